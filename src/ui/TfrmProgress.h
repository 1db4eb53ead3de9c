#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "ui/TaskRunBridge.h"

class QFrame;
class QLabel;
class QPushButton;
class TGauge;

// The detailed progress of a run: the task's name, how many files and
// directories the plan holds and how many have been reached, the path being
// worked on, and a gauge. Its "&Stop" asks the main window to stop the run.
// Closing it only hides it; the run goes on.
class TfrmProgress : public QDialog {
    Q_OBJECT
public:
    explicit TfrmProgress(QWidget* owner);

    // Follows the run through the bridge's signals from now on.
    void observe(const TaskRunBridge* bridge);

    // The title: the name with one blank before and one after.
    void setTaskName(const QString& name);

    bool paused() const { return m_paused; }

    // How the run ended, shown once it has (whichever of this and the end
    // of the run comes first); the next run clears it.
    void setOutcome(const QString& text);

    // Shortens a path until `measure` finds it no wider than `maxWidth`:
    // the first remaining folder names give way to "..." one by one, then
    // the leading "/" goes, then the dots. The file name is never cut.
    static QString shortenPath(const QString& path, int maxWidth,
                               const std::function<int(const QString&)>& measure);

public Q_SLOTS:
    void handleUpdate(const RunProgress& progress);
    void handleBegin();
    void handleEnd();
    void handlePause(bool paused);
    void btnAbortTaskClick();

Q_SIGNALS:
    // Emitted by "&Stop"; the main window handles it before the emit returns.
    void stopRequested();

private:
    static QString countText(std::int32_t files, std::int32_t directories);

    QLabel* lblTaskName;
    QFrame* Bevel1;
    QLabel* Label1;
    QLabel* lblFileCount;
    QLabel* Label3;
    QLabel* lblFileComplete;
    QLabel* lblCurrentFile;
    QFrame* bevTaskRun;
    TGauge* prgTaskRun;
    QPushButton* btnAbortTask;
    bool m_paused = false;
    QString m_outcome;
};
