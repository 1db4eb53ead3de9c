#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileItemList.h"
#include "engine/RunResult.h"

class AppLog;
class Task;
class TaskRun;
class MirrorMemory;

// How much of a mirror one run may delete before its deletions are held
// back: either more than `percent` of the pair's mirror entries and more than
// `minimum` entries, or, when `count` is set, more than `count` entries.
struct DeleteLimit {
    int percent = 50;
    std::int64_t minimum = 10;
    std::optional<std::int64_t> count;

    // "N" (a count) or "P%" (a share, 0 to 100); none when unreadable.
    static std::optional<DeleteLimit> parse(std::string_view text);
    bool exceeded(std::int64_t deletions, std::int64_t mirrorEntries) const;
};

// A folder pair whose planned deletions are over the limit.
struct GuardHit {
    std::size_t pair = 0;
    std::string mainRoot;
    std::string mirrorRoot;
    std::int64_t deletions = 0;
    std::int64_t mirrorEntries = 0;
};

// Planned deletions (files, links and folders) of each pair.
std::vector<std::int64_t> countDeletions(const FileItemList& plan);

// The pairs of a plan over the limit.
std::vector<GuardHit> checkDeleteLimit(const FileItemList& plan, const DeleteLimit& limit);

// Turns every deletion of the hit's pair into a skip that says why; returns
// how many were held back.
std::int64_t holdDeletions(FileItemList& plan, const GuardHit& hit);

// A plan, or why none could be made.
struct PlanOutcome {
    std::unique_ptr<FileItemList> plan;
    std::string failure;
};

// How a plan is made.
struct PlanOptions {
    // The plan is for a real run: it may write a temporary file in each
    // mirror to learn the mirror's time precision. Previews and simulations
    // write nothing.
    bool forRun = false;
    // What earlier real runs learned of mirror file systems; none: the mount
    // table's rule alone. Must outlive the plan and its run.
    MirrorMemory* mirrorMemory = nullptr;
};

// Builds the change plan of a task. Any thread; never throws. The task must
// have a policy and must not change meanwhile.
PlanOutcome buildPlan(const Task& task, int lockWaitMs, const PlanOptions& options = {});

// The one way both front ends start a run of a task:
//   begin()     configures the task log and notes the start (caller's thread);
//   buildPlan() on any thread;
//   the caller checks the deletion limit and holds what it must;
//   start()     hands the plan to the task run and starts its worker;
//   finish()    once the run has ended, collects the result.
// A plan that could not be built ends the run at once through fail().
class RunStarter {
public:
    using Now = std::function<std::chrono::system_clock::time_point()>;

    // The run and the log must outlive the starter.
    RunStarter(TaskRun& run, AppLog& log);

    // Replaces the wall clock that stamps the result (tests).
    void setNow(Now now) { m_now = std::move(now); }

    void begin(const Task& task, RunOrigin origin, bool simulate);
    // The log file the run writes to, empty when the log is off.
    const std::string& logFile() const { return m_result.logFile; }

    // Applies the deletion limit. Pairs for which `allow` answers false (or
    // every pair over the limit, when `allow` is empty) have their deletions
    // held back and counted in the result.
    void guard(FileItemList& plan, const DeleteLimit& limit,
               const std::function<bool(const GuardHit&)>& allow = {});

    void start(std::unique_ptr<FileItemList> plan);
    RunResult finish();

    // Ends the run without a plan: the result tells why.
    RunResult fail(const std::string& reason);

private:
    TaskRun& m_run;
    AppLog& m_log;
    Now m_now;
    bool m_simulate = false;
    RunResult m_result;
};
