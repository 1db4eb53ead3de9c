#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/FileItemList.h"
#include "engine/RunResult.h"
#include "engine/TaskRunObserver.h"
#include "engine/TaskRunThread.h"

class AppLog;
namespace platform {
class Clock;
}
namespace versions {
class Pruner;
class RunKeeper;
}  // namespace versions

// Carries out a change plan item by item on a worker thread, or only walks
// it through in a simulation, notifying the observers as it goes. Pause and
// abort take effect between items, never inside a file operation.
class TaskRun : public TaskRunSubject {
public:
    TaskRun();
    // Stops a run in progress after its current item and waits for it.
    ~TaskRun();
    TaskRun(const TaskRun&) = delete;
    TaskRun& operator=(const TaskRun&) = delete;

    // Takes the plan to carry out, replacing the previous one. Between runs
    // only; the plan must not be null.
    void setPlan(std::unique_ptr<FileItemList> plan);
    const FileItemList* plan() const { return m_list.get(); }

    // Starts the worker and returns at once. Waits for a previous worker that
    // has finished; a stale abort() of an earlier run is forgotten.
    void start(bool simulate);
    bool isRunning() const { return m_running.load(); }
    void setPaused(bool paused);
    bool isPaused() const { return m_paused.load(); }
    // Asks the worker to stop before its next item and waits until it has.
    void abort();
    // Waits until the worker of the latest start() has ended.
    void wait();

    // The pause per item of a simulated run.
    void setSimulationDelay(std::chrono::milliseconds delay) { m_simulationDelay = delay; }
    // Where the task log goes; none means the process's AppLog.
    void setLog(AppLog* log) { m_log = log; }
    // The clock that names a run's versions folder and ages old versions;
    // none means the system's. Set between runs.
    void setClock(const platform::Clock* clock) { m_clock = clock; }

    // Outcome of the latest run, valid once it has ended.
    std::int32_t doneCount() const { return m_done.load(); }
    std::int32_t failedCount() const { return m_failed.load(); }
    std::int32_t skippedCount() const { return m_skipped.load(); }
    // True when the latest run stopped before its last item.
    bool wasAborted() const { return m_wasAborted.load(); }
    // The first problems (failed or skipped items with their reasons) of the
    // latest run, at most RunResult::kMaxProblems.
    std::vector<RunProblem> problems() const;
    // Called on the worker thread for every problem as it happens, so a
    // front end can report it at once. Set between runs.
    void setProblemSink(std::function<void(const RunProblem&)> sink) {
        m_problemSink = std::move(sink);
    }

private:
    static void runBody(void* self);
    void run();
    void execute(const FileItem& item);
    bool perform(const FileItem& item, platform::OpResult& result);
    void logLine(std::string_view text);
    void recordProblem(bool failed, std::string path, std::string reason);
    void openMirrors();
    void finishMirrors();
    // After a run that carried out its whole plan: every pair compared in
    // full now has matching extended attributes as of its plan's start.
    void rememberAttributesChecked();
    bool keepsVersions() const;
    platform::OpResult removeOrKeep(const FileItem& item, platform::MirrorTree& tree,
                                    const platform::KeepPredicate& keep);
    void pruneVersions();

    std::atomic<bool> m_aborting{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_running{false};
    bool m_simulate = false;
    std::unique_ptr<FileItemList> m_list;
    std::unique_ptr<TaskRunThread> m_thread;
    std::chrono::milliseconds m_simulationDelay{20};
    AppLog* m_log = nullptr;
    const platform::Clock* m_clock = nullptr;
    std::unique_ptr<versions::RunKeeper> m_keeper;
    std::unique_ptr<versions::Pruner> m_pruner;
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseChanged;
    std::atomic<std::int32_t> m_done{0};
    std::atomic<std::int32_t> m_failed{0};
    std::atomic<std::int32_t> m_skipped{0};
    std::atomic<bool> m_wasAborted{false};
    mutable std::mutex m_problemMutex;
    std::vector<RunProblem> m_problems;
    std::function<void(const RunProblem&)> m_problemSink;
    // Per pair, why none of its items may be carried out (its root now leads
    // to another folder than the plan's); empty when it may.
    std::vector<std::string> m_pairFailures;
    // Per pair: whether the run changed anything the plan asked for in its
    // mirror (made it, removed leftovers, carried out an item, repaired a
    // folder), so that its file system is flushed.
    std::vector<char> m_pairChanged;
};
