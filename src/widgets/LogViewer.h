#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;

// Shows a task log in a window of the program's own, read-only, scrolled to
// its end: a log is read where the program runs, whether or not the desktop
// has a program for text files. A long log is shown from its last part.
class LogViewer : public QDialog {
    Q_OBJECT
public:
    // The largest part of a log that is shown, counted from its end.
    static constexpr qint64 kShownBytes = qint64{4} << 20;

    // Shows the log at `path` in a new window of `owner`, which it closes with.
    static LogViewer* open(QWidget* owner, const QString& path);

    QPlainTextEdit* text() const { return m_text; }

private:
    LogViewer(QWidget* parent, const QString& path);
    void load();

    QString m_path;
    QLabel* m_note;
    QPlainTextEdit* m_text;
};
