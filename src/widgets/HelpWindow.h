#pragma once

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// Shows the program's help pages (local HTML) in a window of its own, so
// help works without a browser; links between the pages are followed here,
// links to the web are handed to the desktop.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // Shows `page` (a local HTML file) in the help window of `owner`'s
    // window, made when there is none yet, and raises it. A window opened
    // from a modal dialog belongs to that dialog, so it can be used while
    // the dialog is open, and closes with it.
    static HelpWindow* open(QWidget* owner, const QString& page);

    QTextBrowser* browser() const { return m_browser; }

private:
    explicit HelpWindow(QWidget* parent);

    QTextBrowser* m_browser;
    QPushButton* m_back;
    QPushButton* m_forward;
    QString m_home;
};
