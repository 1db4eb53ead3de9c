#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "engine/RunResult.h"
#include "engine/RunStarter.h"
#include "ui/TaskRunBridge.h"

class AppLog;
class FileItemList;
class ModalLoops;
class NormalSetting;
class QWidget;
class RunHistory;
class Task;
class TaskRun;
class TfrmProgress;
class MirrorMemory;
struct PlanSnapshot;

// Starts the runs of the main window, one at a time, through the shared
// RunStarter: builds the plan on a helper thread behind a "please wait"
// window, asks before deleting much of a mirror, shows the progress window
// when the user wants detail, and records each result in the run history.
// Runs come from the buttons, the tray, the schedule and the preview.
class RunController : public QObject {
    Q_OBJECT
public:
    // What the runs are made with.
    struct Setup {
        // The pause per item of a simulated run.
        std::chrono::milliseconds simulationDelay{20};
        // The task log; none for AppLog::instance().
        AppLog* log = nullptr;
        // The folder (with its trailing separator) of what real runs learn
        // of mirrors.
        std::string stateFolder;
    };

    // `window` parents the progress, preview and wait windows; `loops`
    // must outlive this.
    RunController(ModalLoops& loops, QWidget* window);
    ~RunController() override;

    // Makes the task run once the configuration has loaded; until then no
    // run starts. `setting` (the deletion limit, whether to show detail)
    // must outlive this; `history` may be null.
    void create(const Setup& setup, const NormalSetting& setting, RunHistory* history);

    // Whether a run of the task may start now: not while busy or closing,
    // nor for a task without a copy policy (one still being made in a
    // dialog).
    bool canStartRun(const Task& task) const;
    // Builds the plan of the task (the "please wait" window is shown
    // meanwhile) and starts the run; refused (false) as canStartRun says.
    // A real run started by a person asks before it deletes more of a
    // mirror than the general setting allows; a scheduled one holds those
    // deletions back and reports them.
    bool startTaskRun(Task* task, bool simulate, RunOrigin origin = RunOrigin::Button);
    // Builds the plan of the task and shows it in the preview window
    // (modal); when the person chooses "Run this plan", runs that very plan
    // through runPlan(). Busy meanwhile: the plan holds its mirror folders'
    // locks, so no other run (a scheduled one waits) and no edit may come
    // between; closing the preview lets go of them. True when the run
    // started.
    bool previewTask(Task* task);
    // Really runs a plan of the task built earlier, not a fresh scan: what
    // changed since `seen` was taken is first turned into skips that say
    // why (recheckPlan), then the run starts as startTaskRun starts one,
    // deletion limit included.
    bool runPlan(Task* task, std::unique_ptr<FileItemList> plan, const PlanSnapshot& seen,
                 RunOrigin origin = RunOrigin::Button);

    // From the start of a run until its end has been handled, while a
    // question about stopping is open and while a preview is open: no
    // second run starts.
    bool isBusy() const { return m_gathering || m_runActive || m_askingStop || m_previewing; }
    // A run was started and its end is not handled yet.
    bool isRunActive() const { return m_runActive; }
    // The run is paused for a question to the user.
    bool runPaused() const { return m_runPaused; }
    // How the latest run ended; valid once its end has been handled.
    const RunResult& lastResult() const { return m_lastResult; }

    // "&Stop": asks, with the run paused, whether to abort it.
    void requestStop();
    // Pauses the run while `question` is open; true when the user agrees.
    // `onYes` runs before the run is resumed.
    bool askWhilePaused(const QString& question, const std::function<void()>& onYes);
    // Aborts the run after its current item; nothing when none runs.
    void abort();
    void hideProgress();

    TaskRun* taskRun() const { return m_taskRun.get(); }
    TfrmProgress* progressWindow() const { return m_progress; }

public Q_SLOTS:
    // The progress window's stop request: as "&Stop" while a run can be
    // stopped.
    void stopRequest();

Q_SIGNALS:
    // A run has begun; it can be stopped from now on.
    void began();
    void progressed(const RunProgress& progress);
    // The run has ended, before its result is recorded.
    void ended();
    // The user aborted the run.
    void stopped();
    // The result of a run (or of a run that had no plan) is in the history;
    // `outcome` says how it ended.
    void recorded(const QString& outcome);
    // Something the user should know of the latest run, with the task's
    // identifier.
    void noticeRaised(const QString& text, const QString& taskId);

private:
    void runBegan();
    void runEnded(const RunOutcome& outcome);
    void runPauseChanged(bool paused);
    // Asks whether a run may delete as much of a mirror as `hit` says; No
    // is the default answer.
    bool askDeleteMany(const QString& taskName, const GuardHit& hit);
    // The shared start of every run: begins it, makes its plan with
    // `makePlan` on a helper thread while `waitText` shows, then guards and
    // starts it (or records why there is no plan).
    bool startRun(Task& task, bool simulate, RunOrigin origin, const QString& waitText,
                  const std::function<PlanOutcome()>& makePlan);
    // Runs `work` on a helper thread while the modal "please wait" window
    // shows `text`.
    void waitAside(const QString& text, const std::function<void()>& work);
    void showProgressWindow(const QString& taskName);
    // Records m_lastResult in the history and says how the run ended.
    void recordRun();
    void reportRunProblems(const RunOutcome& outcome);

    ModalLoops& m_loops;
    QWidget* m_window;
    const NormalSetting* m_setting = nullptr;
    RunHistory* m_history = nullptr;
    // What real runs learned of mirrors; the run reaches it, so it outlives
    // the run.
    std::unique_ptr<MirrorMemory> m_mirrorMemory;
    std::unique_ptr<TaskRun> m_taskRun;
    std::unique_ptr<RunStarter> m_starter;
    TaskRunBridge* m_bridge = nullptr;
    bool m_bridgeAttached = false;
    TfrmProgress* m_progress = nullptr;
    RunResult m_lastResult;

    bool m_gathering = false;
    bool m_runActive = false;
    bool m_askingStop = false;
    bool m_previewing = false;
    bool m_runPaused = false;
    // From the run's beginning until its end or an abort.
    bool m_canStop = false;
    // The run in progress, as it was when it started.
    QString m_runTaskName;
    QString m_runLogFile;
};
