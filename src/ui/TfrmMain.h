#pragma once

#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "engine/RunResult.h"
#include "ui/ModalLoops.h"

class AppLog;
class ConfigKeeper;
class MainView;
class NormalSetting;
class QMenu;
class QTimer;
class RunController;
class ScheduleDriver;
class ScheduleQueue;
class Task;
class TaskHistory;
class TaskManager;
class TaskRun;
class TfrmProgress;
class TrayController;
class TTrayIcon;

namespace platform {
class Clock;
}

// What the main window is made with; the defaults are the program's own.
struct TfrmMainOptions {
    // The folder of config.xml and the shipped default file; empty for
    // XMLConfig::configFolder() and XMLConfig::defaultFile().
    std::string configFolder;
    std::string defaultFile;
    // The clock of the schedules; none for the system clock. Must outlive
    // the window.
    const platform::Clock* clock = nullptr;
    // The pause per item of a simulated run.
    std::chrono::milliseconds simulationDelay{20};
    // The task log; none for AppLog::instance().
    AppLog* log = nullptr;
    // The run history file; empty for "history.db" in
    // XMLConfig::stateFolder().
    std::string historyFile;
};

// The program's main window, for the program's whole life. It puts the
// parts together and handles closing: the configuration (ConfigKeeper), the
// schedule timers (ScheduleDriver), the runs (RunController), the run
// history (TaskHistory), the tray icon (TrayController) and its own
// controls (MainView). Its handlers turn what the user asks for into calls
// on the parts; the parts tell each other what changed through signals.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(TfrmMainOptions options = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up: loads the configuration and fills the window. When loading
    // fails the user is told, and the window closes itself once the event
    // loop runs.
    void FormCreate();
    bool loadFailed() const;

    // The task of the first selected row; none when no row is selected.
    Task* selectedTask() const;
    // Starts a run as RunController::startTaskRun does.
    bool startTaskRun(Task* task, bool simulate, RunOrigin origin = RunOrigin::Button);
    // Previews a task, and runs the plan shown if asked to, as
    // RunController::previewTask does.
    bool previewTask(Task* task);
    // How the latest run ended; valid once its end has been handled.
    const RunResult& lastResult() const;
    // Tells, once a day, of tasks whose real runs are overdue; returns how
    // many are.
    int checkOverdue();

    // No second run may start now (see RunController::isBusy).
    bool isBusy() const;
    // A run was started and its end is not handled yet.
    bool isRunActive() const;
    // The run is paused for a question to the user.
    bool runPaused() const;

    // Ends the program as a normal exit does, without questions: open
    // dialogs are cancelled and their handlers finish, a plan being built is
    // waited for, a run is aborted after its current item, the configuration
    // is saved and the tray icon removed. For SIGTERM, SIGINT and the end of
    // the desktop session.
    void requestUnattendedClose();
    // The window has closed and saved; closed() has been emitted.
    bool isShutDown() const { return m_loops.shutDown(); }

    TaskManager* taskManager() const;
    TaskRun* taskRun() const;
    ScheduleQueue& scheduleQueue();
    const NormalSetting& normalSetting() const;
    TTrayIcon* trayIcon() const;
    QMenu* trayMenu() const;
    TfrmProgress* progressWindow() const;

    // Tells the user that the task-log library could not be loaded, in the
    // main window's notice line (never a box a scheduled run would wait on);
    // from any thread. For AppLog::setLoadFailureNotifier.
    static void showLogLoadFailure(const std::string& message);

public Q_SLOTS:
    void btnAddTaskClick();
    void btnEditTaskClick();
    void btnRemoveTaskClick();
    void btnTaskWizardClick();
    void btnCopyPolicyClick();
    // Opens the Versions window of the selected task.
    void btnVersionsClick();
    // Opens the Settings dialog; OK saves the configuration at once.
    void btnSettingsClick();
    void btnRunTaskClick();
    void btnSimulateRunClick();
    void btnPreviewClick();
    void btnAbortTaskClick();
    void btnHistoryClick();
    void btnAboutClick();
    // Enables the buttons for the selection, unless busy.
    void lstTasksClick();
    void lblURLClick();
    void lblSuggestionClick();
    // Brings the tray menu's entries up to date.
    void popMenuTrayPopup();
    void mnuTrayStopClick();
    void mnuTrayShowClick();
    void mnuTrayQuitClick();
    void tmeButtonStatusTimer();
    void tmeCheckTimer();
    void tmeGetTimer();

Q_SIGNALS:
    // The window has closed for good: the program may end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectParts();
    bool FormCloseQuery();
    void FormDestroy();
    void continueUnattendedClose();
    // Quitting from the tray while a dialog is open: cancels the open
    // dialogs and closes once their handlers have finished.
    void continueQuit();
    // Asks, with the run paused, whether to stop it and quit.
    bool askQuitDuringRun(const std::function<void()>& onYes);
    // A notice over the tray icon, or in the window where there is none;
    // clicking it opens the history of the task it is about.
    void showNotice(const QString& text, const QString& taskId);
    void noticeClicked();
    void showHistory(Task* task);
    // The task with this identifier; none when it is gone.
    Task* findTask(const std::string& id) const;

    TfrmMainOptions m_options;
    const platform::Clock& m_clock;
    ModalLoops m_loops;
    std::unique_ptr<ConfigKeeper> m_config;
    std::unique_ptr<RunController> m_runs;
    std::unique_ptr<ScheduleDriver> m_scheduler;
    // None until the configuration has loaded.
    std::unique_ptr<TaskHistory> m_history;
    std::unique_ptr<TrayController> m_tray;
    MainView* m_view;
    QTimer* tmeButtonStatus;
    // The task the latest notice was about.
    QString m_noticeTaskId;
};
