#include "cli/TaskRunner.h"

#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "engine/AppLog.h"
#include "engine/FileItemList.h"
#include "engine/RunStarter.h"
#include "engine/TaskRun.h"
#include "history/RunHistory.h"
#include "model/Task.h"
#include "platform/Text.h"

namespace {

// Draws a one-line progress bar on a terminal, at most ten times a second.
class ProgressBar : public TaskRunObserver {
public:
    explicit ProgressBar(std::FILE* err) : m_err(err) {}

    void onBegin() override { m_started = Clock::now(); }
    void onUpdate(const UpdateInfo* info) override {
        const auto now = Clock::now();
        if (info->doneCount() != info->totalCount() &&
            now - m_lastDraw < std::chrono::milliseconds(100)) {
            return;
        }
        m_lastDraw = now;
        const int total = info->totalCount();
        const int done = info->doneCount();
        constexpr int kWidth = 30;
        const int filled = total > 0 ? done * kWidth / total : kWidth;
        const double seconds = std::chrono::duration<double>(now - m_started).count();
        const double rate = seconds > 0 ? done / seconds : 0.0;
        std::string path = platform::escapeControl(info->current->logPath());
        constexpr std::size_t kPathWidth = 40;
        if (path.size() > kPathWidth) {
            path = "..." + path.substr(path.size() - (kPathWidth - 3));
        }
        std::fprintf(m_err, "\r[%s%s] %d/%d %.0f/s %-40s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '.').c_str(), done, total, rate, path.c_str());
        std::fflush(m_err);
        m_drawn = true;
    }
    void onEnd() override {
        if (m_drawn) {
            std::fputc('\n', m_err);
        }
    }
    void onPause(bool) override {}

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* m_err;
    Clock::time_point m_started{};
    Clock::time_point m_lastDraw{};
    bool m_drawn = false;
};

}  // namespace

int TaskRunner::printPlan(Task& task) {
    PlanOutcome outcome = buildPlan(task, kMirrorLockWaitMs);
    if (!outcome.plan) {
        std::fprintf(m_err, "twinfold-cli: %s\n", platform::escapeControl(outcome.failure).c_str());
        return kSomeFailed;
    }
    const FileItemList& list = *outcome.plan;
    bool skipped = false;
    for (const FileItem& item : list) {
        const std::string name(item.operationName());
        std::fprintf(m_out, "%s\t%s\n", name.c_str(),
                     platform::escapeControl(item.logPath()).c_str());
        if (!item.reason().empty()) {
            std::fprintf(m_err, "%s: %s\n", platform::escapeControl(item.source()).c_str(),
                         platform::escapeControl(item.reason()).c_str());
        }
        skipped = skipped || item.operation() == opSkip;
    }
    for (const GuardHit& hit : checkDeleteLimit(list, m_limit)) {
        std::fprintf(m_err,
                     "twinfold-cli: a run would hold back the deletions of %s: %lld of the "
                     "mirror's %lld entries\n",
                     platform::escapeControl(hit.mirrorRoot).c_str(),
                     static_cast<long long>(hit.deletions),
                     static_cast<long long>(hit.mirrorEntries));
    }
    std::fprintf(m_out, "%d files, %d directories\n", outcome.plan->fileCount(),
                 outcome.plan->directoryCount());
    return skipped ? kSomeFailed : kAllDone;
}

int TaskRunner::run(Task& task, bool simulate) {
    TaskRun taskRun;
    taskRun.setSimulationDelay(std::chrono::milliseconds(0));
    ProgressBar bar(m_err);
    const bool terminal = ::isatty(::fileno(m_err)) != 0;
    if (terminal) {
        taskRun.attach(&bar);
    }
    // Every problem is told as it happens, whether or not the task logs.
    std::mutex errLock;
    taskRun.setProblemSink([this, &errLock, terminal](const RunProblem& problem) {
        std::lock_guard<std::mutex> lock(errLock);
        std::fprintf(m_err, "%s%s %s: %s\n", terminal ? "\r\033[K" : "",
                     problem.failed ? "[Error]" : "[Skip]",
                     platform::escapeControl(problem.path).c_str(),
                     platform::escapeControl(problem.reason).c_str());
    });

    RunStarter starter(taskRun, AppLog::instance());
    starter.begin(task, RunOrigin::CommandLine, simulate);
    PlanOutcome outcome = buildPlan(task, kMirrorLockWaitMs);
    if (!outcome.plan) {
        m_result = starter.fail(outcome.failure);
        record();
        std::fprintf(m_err, "twinfold-cli: %s\n", platform::escapeControl(outcome.failure).c_str());
        return kSomeFailed;
    }
    if (!simulate) {
        // Unattended: a pair over the deletion limit keeps its mirror entries.
        starter.guard(*outcome.plan, m_limit, [this](const GuardHit& hit) {
            std::fprintf(m_err,
                         "twinfold-cli: deletions held back in %s: %lld of the mirror's %lld "
                         "entries would go (see --max-delete)\n",
                         platform::escapeControl(hit.mirrorRoot).c_str(),
                         static_cast<long long>(hit.deletions),
                         static_cast<long long>(hit.mirrorEntries));
            return false;
        });
    }
    starter.start(std::move(outcome.plan));
    taskRun.wait();
    m_result = starter.finish();
    record();

    std::fprintf(m_out, "%d done, %d failed, %d skipped%s\n", m_result.done, m_result.failed,
                 m_result.skipped, simulate ? " (simulated)" : "");
    return m_result.failed > 0 || m_result.skipped > 0 ? kSomeFailed : kAllDone;
}

void TaskRunner::record() {
    // A history that cannot be written never changes the run's outcome; its
    // reporter tells why once.
    if (m_history != nullptr) {
        m_history->record(m_result);
    }
}
