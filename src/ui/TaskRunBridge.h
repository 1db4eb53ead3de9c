#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>

#include "engine/TaskRunObserver.h"

class TaskRun;

// What a window shows of one step of a run: copies, never the run's own
// records, which the run frees.
struct RunProgress {
    std::int32_t fileTotal = 0;
    std::int32_t directoryTotal = 0;
    std::int32_t fileDone = 0;
    std::int32_t directoryDone = 0;
    QString currentPath;  // the source path of the item being carried out

    std::int32_t totalCount() const { return fileTotal + directoryTotal; }
    std::int32_t doneCount() const { return fileDone + directoryDone; }
};

// How a run ended.
struct RunOutcome {
    std::int32_t done = 0;
    std::int32_t failed = 0;
    std::int32_t skipped = 0;
};

// The windows' observer of the task run. The run calls it on its worker
// thread (onPause on the thread that pauses); it hands each notification to
// the user-interface thread as a queued call carrying copies, and never waits
// for that thread, so abort() on the user-interface thread cannot deadlock
// against it. Its signals are emitted on the user-interface thread, in the
// order of the notifications. An update that is overtaken by a newer one
// before the user-interface thread gets to it is dropped, so a fast run
// cannot flood the windows.
//
// The run must be stopped, or destroyed, before the bridge is.
class TaskRunBridge : public QObject, public TaskRunObserver {
    Q_OBJECT
public:
    // `run` is read for the outcome counts at the end of each run.
    explicit TaskRunBridge(const TaskRun* run, QObject* parent = nullptr);

    void onUpdate(const UpdateInfo* info) override;
    void onBegin() override;
    void onEnd() override;
    void onPause(bool paused) override;

Q_SIGNALS:
    void updated(const RunProgress& progress);
    void began();
    void ended(const RunOutcome& outcome);
    void pauseChanged(bool paused);

private:
    const TaskRun* m_run;
    std::atomic<std::uint64_t> m_latestUpdate{0};
};
