#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "config/NormalSetting.h"
#include "engine/RunResult.h"
#include "engine/RunStarter.h"
#include "history/TaskStatus.h"
#include "schedule/ScheduleQueue.h"
#include "ui/TaskRunBridge.h"

class AppLog;
class PolicyManager;
class RunHistory;
class QAction;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class Task;
class TaskManager;
class TaskRun;
class TfrmHistory;
class TfrmPreview;
struct PlanSnapshot;
class TfrmProgress;
class TGauge;
class TTrayIcon;
class XMLConfig;

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

// The program's main window. It owns the model for the program's whole life:
// it loads the configuration, lists the tasks, opens the dialogs that edit
// them, starts runs from its buttons, the tray menu and the scheduler (one at
// a time), shows their progress, and saves the configuration after every
// change the user confirms and at exit.
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
    // Rebuilds the rows from the task manager, keeping the selection.
    void refreshTaskList();
    // A question with Yes and No, captioned "Confirm"; true for Yes.
    bool askConfirm(const QString& text,
                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // Asks whether a run may delete as much of a mirror as `hit` says; No
    // is the default answer.
    bool askDeleteMany(const QString& taskName, const GuardHit& hit);
    // Builds the plan of the task (the "please wait" window is shown
    // meanwhile) and starts the run. Refused (false) while the window is
    // busy, while it is closing, and for a task without a copy policy (one
    // still being made in a dialog).
    // A real run started by a person asks before it deletes more of a
    // mirror than the general setting allows; a scheduled one holds those
    // deletions back and reports them.
    bool startTaskRun(Task* task, bool simulate, RunOrigin origin = RunOrigin::Button);
    // Builds the plan of the task and shows it in the preview window
    // (modal); when the person chooses "Run this plan", runs that very plan
    // through runPlan(). The window is busy meanwhile: the plan holds its
    // mirror folders' locks, so no other run (a scheduled one waits) and no
    // edit may come between; closing the preview lets go of them. Refused
    // (false) as startTaskRun is; true when the run started.
    bool previewTask(Task* task);
    // Really runs a plan of the task built earlier, not a fresh scan: what
    // changed since `seen` was taken is first turned into skips that say
    // why (recheckPlan), then the run starts as startTaskRun starts one,
    // deletion limit included. Refused (false) as startTaskRun is.
    bool runPlan(Task* task, std::unique_ptr<FileItemList> plan, const PlanSnapshot& seen,
                 RunOrigin origin = RunOrigin::Button);
    // How the latest run ended; valid once its end has been handled.
    const RunResult& lastResult() const { return m_lastResult; }
    // The run history every run is recorded in; none before FormCreate().
    RunHistory* history() const { return m_history.get(); }
    // What the history says about a task now.
    TaskStatus statusOf(const Task& task);
    // Opens the History window of a task (not modal) and returns it.
    TfrmHistory* showHistory(Task* task);
    // Tells, once a day, of tasks whose real runs are overdue; returns how
    // many are.
    int checkOverdue();

    // Writes the model to the configuration file; a failure is told to the
    // user. Does nothing (true) when loading had failed.
    bool saveConfiguration();

    // From the start of startTaskRun until the end of the run has been
    // handled here, and while a question about stopping is open: no second
    // run starts.
    // While a preview is open too, as its plan holds the mirror locks.
    bool isBusy() const { return m_gathering || m_runActive || m_askingStop || m_previewing; }
    // A run was started and its end is not handled yet.
    bool isRunActive() const { return m_runActive; }
    // The run is paused for a question to the user.
    bool runPaused() const { return m_runPaused; }

    // Ends the program as a normal exit does, without questions: open
    // dialogs are cancelled and their handlers finish, a plan being built is
    // waited for, a run is aborted after its current item, the configuration
    // is saved and the tray icon removed. For SIGTERM, SIGINT and the end of
    // the desktop session.
    void requestUnattendedClose();
    // The window has closed and saved; closed() has been emitted.
    bool isShutDown() const { return m_shutDown; }

    TaskManager* taskManager() const { return m_tasks.get(); }
    PolicyManager* policyManager() const { return m_policies.get(); }
    TaskRun* taskRun() const { return m_taskRun.get(); }
    ScheduleQueue& scheduleQueue() { return m_queue; }
    const NormalSetting& normalSetting() const { return m_setting; }
    TTrayIcon* trayIcon() const { return TrayIcon1; }
    QMenu* trayMenu() const { return popMenuTray; }
    TfrmProgress* progressWindow() const { return m_progress; }

    // Tells the user that the task-log library could not be loaded, in the
    // main window's notice line (never a box a scheduled run would wait on);
    // from any thread. For AppLog::setLoadFailureNotifier.
    static void showLogLoadFailure(const std::string& message);

    // The hover tip of a row: "copy policy : " and the policy's name.
    QString lstTasksInfoTip(const QListWidgetItem* item) const;

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
    void btnAboutClick();
    void mnuTrayAboutClick();
    void lstTasksClick();
    void lstTasksDblClick();
    void lblURLClick();
    void lblSuggestionClick();
    void popMenuTrayPopup();
    void runFromTrayMenu(QAction* item);
    void mnuTrayStopClick();
    void mnuShowDetailClick();
    void mnuTrayShowClick();
    void mnuTrayQuitClick();
    void tmeButtonStatusTimer();
    void tmeCheckTimer();
    void tmeGetTimer();
    // The progress window's stop request: as "&Stop" when that is enabled.
    void stopRequest();

Q_SIGNALS:
    // The window has closed for good: the program may end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildTrayMenu();
    bool FormCloseQuery();
    void FormDestroy();
    void continueUnattendedClose();
    // Quitting from the tray while a dialog is open: cancels the open
    // dialogs and closes once their handlers have finished.
    void continueQuit();
    // Cancels the open dialogs, questions and menus; true while a handler
    // of this window is still inside one.
    bool closeOpenDialogs();

    // Handlers of the run's notifications, on the user-interface thread.
    void runBegan();
    void runUpdated(const RunProgress& progress);
    void runEnded(const RunOutcome& outcome);
    void runPauseChanged(bool paused);
    void reportRunProblems(const RunOutcome& outcome);
    // Records m_lastResult in the history and shows how the run ended.
    void recordRun();
    // A notice over the tray icon, or in the window where there is none.
    void showNotice(const QString& text, const QString& taskId);
    void noticeClicked();
    void lstTasksContextMenu(const QPoint& position);
    void btnHistoryClick();

    // Whether a run of the task may start now.
    bool canStartRun(const Task& task) const;
    // The shared start of every run: begins it, makes its plan with
    // `makePlan` on a helper thread while `waitText` shows, then guards and
    // starts it (or records why there is no plan).
    bool startRun(Task& task, bool simulate, RunOrigin origin, const QString& waitText,
                  const std::function<PlanOutcome()>& makePlan);
    // Runs `work` on a helper thread while the modal "please wait" window
    // shows `text`.
    void waitAside(const QString& text, const std::function<void()>& work);

    // A task made for a dialog, with the general settings' defaults.
    Task& addNewTask();
    // Runs a dialog modally; refused (rejected) while closing unattended.
    int execDialog(QDialog& dialog);
    int execTaskDefine(Task& task, bool newTask = false);
    int execTaskWizard(Task* task, bool& policiesChanged);
    void execCopyPolicy();
    // A task the user has just confirmed is watched by the scheduler.
    void watchTask(Task& task);
    void showInfo(const QString& text);
    void setRunButtons(bool runEnabled);
    void clearTraySubmenus();

    TfrmMainOptions m_options;
    const platform::Clock& m_clock;
    std::unique_ptr<XMLConfig> m_config;
    std::unique_ptr<PolicyManager> m_policies;
    std::unique_ptr<TaskManager> m_tasks;
    NormalSetting m_setting;
    ScheduleQueue m_queue;
    // What real runs learned of mirror file systems, kept with the history;
    // the run reaches it, so it outlives the run.
    std::unique_ptr<MirrorMemory> m_mirrorMemory;
    std::unique_ptr<TaskRun> m_taskRun;
    std::unique_ptr<RunStarter> m_starter;
    RunResult m_lastResult;
    std::unique_ptr<RunHistory> m_history;
    // The task the latest notice was about; clicking it opens its history.
    QString m_noticeTaskId;
    // The day the overdue tasks were last told of.
    int m_overdueToldDay = -1;
    TaskRunBridge* m_bridge = nullptr;
    bool m_bridgeAttached = false;
    TfrmProgress* m_progress = nullptr;

    bool m_gathering = false;
    bool m_runActive = false;
    bool m_askingStop = false;
    bool m_previewing = false;
    bool m_runPaused = false;
    bool m_unattended = false;
    // Quit was chosen from the tray while a dialog was open.
    bool m_quitting = false;
    bool m_inCloseQuery = false;
    bool m_shutDown = false;
    // Nested event loops this window has opened (dialogs, questions, the
    // wait for a plan); closing waits until none is left.
    int m_loopDepth = 0;
    // The run in progress, as it was when it started.
    QString m_runTaskName;
    QString m_runLogFile;

    QGroupBox* GroupBox1;
    QListWidget* lstTasks;
    QPushButton* btnAddTask;
    QPushButton* btnRemoveTask;
    QPushButton* btnEditTask;
    QPushButton* btnTaskWizard;
    QPushButton* btnCopyPolicy;
    QPushButton* btnVersions;
    QPushButton* btnSettings;
    QPushButton* btnAbout;
    TGauge* prgTaskRun;
    QToolButton* btnRunTask;
    QToolButton* btnSimulateRun;
    QToolButton* btnAbortTask;
    QToolButton* btnPreview;
    QToolButton* btnHistory;
    QLabel* lblLastRun;
    QCheckBox* chkShowDetail;
    QWidget* Panel2;
    QLabel* Label1;
    QLabel* lblSuggestion;
    QLabel* lblRunNotice;
    QMenu* popMenuTray;
    QAction* mnuTrayAbout;
    QAction* mnuTraySimulate;
    QAction* mnuTrayRun;
    QAction* mnuTrayStop;
    QAction* mnuShowDetail;
    QAction* mnuTraySettings;
    QAction* mnuTrayShow;
    QAction* mnuTrayQuit;
    TTrayIcon* TrayIcon1;
    QTimer* tmeButtonStatus;
    QTimer* tmeCheck;
    QTimer* tmeGet;
};
