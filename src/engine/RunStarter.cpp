#include "engine/RunStarter.h"

#include <charconv>
#include <exception>

#include "engine/AppLog.h"
#include "engine/FolderComparer.h"
#include "engine/TaskRun.h"
#include "model/Task.h"
#include "platform/Assert.h"

std::string_view runOriginName(RunOrigin origin) {
    switch (origin) {
        case RunOrigin::Button:
            return "button";
        case RunOrigin::Tray:
            return "tray";
        case RunOrigin::Schedule:
            return "schedule";
        case RunOrigin::CommandLine:
            return "command line";
    }
    return "button";
}

std::optional<DeleteLimit> DeleteLimit::parse(std::string_view text) {
    const bool share = !text.empty() && text.back() == '%';
    if (share) {
        text.remove_suffix(1);
    }
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0 ||
        (share && value > 100)) {
        return std::nullopt;
    }
    DeleteLimit limit;
    if (share) {
        limit.percent = static_cast<int>(value);
        limit.minimum = 0;
    } else {
        limit.count = value;
    }
    return limit;
}

bool DeleteLimit::exceeded(std::int64_t deletions, std::int64_t mirrorEntries) const {
    if (count.has_value()) {
        return deletions > *count;
    }
    if (percent >= 100) {
        return false;
    }
    // deletions / entries > percent / 100, without rounding.
    return deletions > minimum && deletions * 100 > mirrorEntries * percent;
}

std::vector<std::int64_t> countDeletions(const FileItemList& plan) {
    std::vector<std::int64_t> counts(plan.pairs.size(), 0);
    for (const FileItem& item : plan) {
        const auto op = item.operation();
        if ((op == opDeleteFile || op == opDeleteDirectory) && item.pair >= 0 &&
            static_cast<std::size_t>(item.pair) < counts.size()) {
            ++counts[static_cast<std::size_t>(item.pair)];
        }
    }
    return counts;
}

std::vector<GuardHit> checkDeleteLimit(const FileItemList& plan, const DeleteLimit& limit) {
    std::vector<GuardHit> hits;
    const std::vector<std::int64_t> counts = countDeletions(plan);
    for (std::size_t i = 0; i < plan.pairs.size(); ++i) {
        const FileItemList::Pair& pair = plan.pairs[i];
        if (counts[i] > 0 && limit.exceeded(counts[i], pair.mirrorEntries)) {
            hits.push_back({i, pair.mainRoot, pair.mirrorRoot, counts[i], pair.mirrorEntries});
        }
    }
    return hits;
}

std::int64_t holdDeletions(FileItemList& plan, const GuardHit& hit) {
    const std::string reason = "deletion held back: this run would delete " +
                               std::to_string(hit.deletions) + " of the mirror's " +
                               std::to_string(hit.mirrorEntries) + " entries";
    std::int64_t held = 0;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        FileItem& item = plan.at(i);
        const auto op = item.operation();
        if ((op == opDeleteFile || op == opDeleteDirectory) &&
            item.pair == static_cast<std::int32_t>(hit.pair)) {
            item.setOperation(opSkip);
            item.setReason(reason);
            ++held;
        }
    }
    return held;
}

PlanOutcome buildPlan(const Task& task, int lockWaitMs, const PlanOptions& options) {
    PlanOutcome outcome;
    try {
        auto list = std::make_unique<FileItemList>(&task);
        list->mirrorMemory = options.mirrorMemory;
        FolderComparer comparer(list.get());
        comparer.setLockWait(lockWaitMs);
        comparer.setLearnTimePrecision(options.forRun);
        comparer.compareAll();
        outcome.plan = std::move(list);
    } catch (const std::exception& error) {
        outcome.failure = error.what();
    } catch (...) {
        outcome.failure = "the plan could not be made";
    }
    return outcome;
}

RunStarter::RunStarter(TaskRun& run, AppLog& log)
    : m_run(run), m_log(log), m_now([] { return std::chrono::system_clock::now(); }) {}

void RunStarter::begin(const Task& task, RunOrigin origin, bool simulate) {
    m_result = RunResult();
    m_result.taskId = task.id;
    m_result.taskName = task.name;
    m_result.origin = origin;
    m_result.simulate = simulate;
    m_result.start = m_now();
    m_simulate = simulate;
    m_log.configureForRun(task.enableLog, task.logFile);
    if (m_log.enabled) {
        m_result.logFile = m_log.logFile();
    }
}

void RunStarter::guard(FileItemList& plan, const DeleteLimit& limit,
                       const std::function<bool(const GuardHit&)>& allow) {
    for (const GuardHit& hit : checkDeleteLimit(plan, limit)) {
        if (!allow || !allow(hit)) {
            m_result.heldDeletions += holdDeletions(plan, hit);
        }
    }
}

void RunStarter::start(std::unique_ptr<FileItemList> plan) {
    TF_ASSERT(plan != nullptr);
    m_run.setPlan(std::move(plan));
    m_run.start(m_simulate);
}

RunResult RunStarter::finish() {
    m_result.end = m_now();
    m_result.done = m_run.doneCount();
    m_result.failed = m_run.failedCount();
    m_result.skipped = m_run.skippedCount();
    m_result.aborted = m_run.wasAborted();
    m_result.problems = m_run.problems();
    return m_result;
}

RunResult RunStarter::fail(const std::string& reason) {
    m_result.end = m_now();
    m_result.failed = 1;
    m_result.problems = {RunProblem{true, std::string(), reason}};
    return m_result;
}
