#include "cli/TaskRunner.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <mutex>
#include <string>

#include "cli/InterruptWatch.h"
#include "cli/Json.h"
#include "engine/AppLog.h"
#include "engine/FileItemList.h"
#include "engine/RunStarter.h"
#include "engine/TaskRun.h"
#include "history/RunHistory.h"
#include "model/Task.h"
#include "platform/FileOps.h"
#include "platform/Terminal.h"
#include "platform/Text.h"

namespace {

// "1h02m", "3m05s" or "12s".
std::string formatDuration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ldh%02ldm", total / 3600, total % 3600 / 60);
    } else if (total >= 60) {
        std::snprintf(text, sizeof text, "%ldm%02lds", total / 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lds", total);
    }
    return text;
}

// The last `columns` characters of UTF-8 text, led by "..." when cut.
std::string tailToFit(const std::string& text, std::size_t columns) {
    const auto count = [](std::string_view s) {
        std::size_t n = 0;
        for (const char c : s) {
            n += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
        }
        return n;
    };
    if (count(text) <= columns) {
        return text;
    }
    if (columns <= 3) {
        return std::string(columns, '.');
    }
    std::size_t start = text.size();
    std::size_t kept = 0;
    while (start > 0 && kept < columns - 3) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0u) != 0x80u) {
            ++kept;
        }
    }
    return "..." + text.substr(start);
}

// Draws a one-line progress bar on a terminal, at most ten times a second,
// never wider than the terminal so that it never wraps, with an estimate of
// the time left.
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
        const double seconds = std::chrono::duration<double>(now - m_started).count();
        std::string left = "--";
        if (done > 0 && seconds >= 1.0) {
            left = formatDuration(seconds / done * (total - done));
        }
        // One column stays free: writing the last one wraps on some terminals.
        const int width = platform::terminalColumns(m_err) - 1;
        const std::string counts =
            " " + std::to_string(done) + "/" + std::to_string(total) + " " + left + " left ";
        const int barWidth = std::max(0, std::min(30, width / 4));
        std::string line;
        if (barWidth >= 5) {
            const int filled = total > 0 ? done * barWidth / total : barWidth;
            line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]";
        }
        line += counts;
        const int room = width - static_cast<int>(line.size());
        if (room > 0) {
            line += tailToFit(platform::escapeControl(info->current->logPath()),
                              static_cast<std::size_t>(room));
        } else {
            line = tailToFit(line, static_cast<std::size_t>(std::max(width, 0)));
        }
        std::fprintf(m_err, "\r%s\033[K", line.c_str());
        std::fflush(m_err);
        m_drawn = true;
    }
    void onEnd() override {
        if (m_drawn) {
            std::fputs("\r\033[K", m_err);
            std::fflush(m_err);
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

// Prints each item as it is taken up.
class ItemPrinter : public TaskRunObserver {
public:
    explicit ItemPrinter(std::FILE* out) : m_out(out) {}
    void onBegin() override {}
    void onUpdate(const UpdateInfo* info) override {
        const std::string name(info->current->operationName());
        std::fprintf(m_out, "%s\t%s\n", name.c_str(),
                     platform::escapeControl(info->current->logPath()).c_str());
        std::fflush(m_out);
    }
    void onEnd() override {}
    void onPause(bool) override {}

private:
    std::FILE* m_out;
};

// Wakes the waiting thread when the run has ended.
class EndWaker : public TaskRunObserver {
public:
    explicit EndWaker(InterruptWatch& watch) : m_watch(watch) {}
    void onBegin() override {}
    void onUpdate(const UpdateInfo*) override {}
    void onEnd() override { m_watch.wake(); }
    void onPause(bool) override {}

private:
    InterruptWatch& m_watch;
};

// "[Create file]" without its brackets, for JSON.
std::string bareName(std::string_view name) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    return std::string(name);
}

std::string jsonProblems(const std::vector<RunProblem>& problems) {
    std::string out = "[";
    for (std::size_t i = 0; i < problems.size(); ++i) {
        const RunProblem& p = problems[i];
        out += (i > 0 ? "," : "");
        out += "{\"kind\":";
        out += p.failed ? "\"error\"" : "\"skip\"";
        out += ",\"path\":" + json::quote(p.path) + ",\"reason\":" + json::quote(p.reason) + "}";
    }
    return out + "]";
}

}  // namespace

int TaskRunner::printPlan(Task& task) {
    PlanOutcome outcome = buildPlan(task, platform::kMirrorLockWaitMs, {false, m_mirrorMemory});
    if (!outcome.plan) {
        std::fprintf(m_err, "twinfold-cli: %s\n", platform::escapeControl(outcome.failure).c_str());
        if (m_json) {
            std::fprintf(m_out, "{\"failure\":%s,\"exitStatus\":%d}\n",
                         json::quote(outcome.failure).c_str(), kSomeFailed);
        }
        return kSomeFailed;
    }
    const FileItemList& list = *outcome.plan;
    bool skipped = false;
    std::string items;
    for (const FileItem& item : list) {
        const std::string name(item.operationName());
        if (m_json) {
            items += items.empty() ? "" : ",";
            items += "{\"operation\":" + json::quote(bareName(name)) +
                     ",\"path\":" + json::quote(item.logPath());
            if (!item.reason().empty()) {
                items += ",\"reason\":" + json::quote(item.reason());
            }
            items += "}";
        } else {
            std::fprintf(m_out, "%s\t%s\n", name.c_str(),
                         platform::escapeControl(item.logPath()).c_str());
        }
        if (!item.reason().empty()) {
            std::fprintf(m_err, "%s: %s\n", platform::escapeControl(item.source()).c_str(),
                         platform::escapeControl(item.reason()).c_str());
        }
        skipped = skipped || item.operation() == opSkip;
    }
    std::string held;
    for (const GuardHit& hit : checkDeleteLimit(list, m_limit)) {
        std::fprintf(m_err,
                     "twinfold-cli: a run would hold back the deletions of %s: %lld of the "
                     "mirror's %lld entries\n",
                     platform::escapeControl(hit.mirrorRoot).c_str(),
                     static_cast<long long>(hit.deletions),
                     static_cast<long long>(hit.mirrorEntries));
        held += held.empty() ? "" : ",";
        held += "{\"mirror\":" + json::quote(hit.mirrorRoot) +
                ",\"deletions\":" + std::to_string(hit.deletions) +
                ",\"mirrorEntries\":" + std::to_string(hit.mirrorEntries) + "}";
    }
    const int status = skipped ? kSomeFailed : kAllDone;
    if (m_json) {
        std::fprintf(m_out,
                     "{\"items\":[%s],\"files\":%d,\"directories\":%d,\"heldBack\":[%s],"
                     "\"exitStatus\":%d}\n",
                     items.c_str(), outcome.plan->fileCount(), outcome.plan->directoryCount(),
                     held.c_str(), status);
    } else {
        std::fprintf(m_out, "%d files, %d directories\n", outcome.plan->fileCount(),
                     outcome.plan->directoryCount());
    }
    return status;
}

int TaskRunner::run(Task& task, bool simulate) {
    InterruptWatch interrupts;
    TaskRun taskRun;
    taskRun.setSimulationDelay(std::chrono::milliseconds(0));
    ProgressBar bar(m_err);
    ItemPrinter printer(m_out);
    EndWaker waker(interrupts);
    const bool terminal = platform::isTerminal(m_err);
    if (m_verbosity == Verbosity::Verbose && !m_json) {
        taskRun.attach(&printer);
    } else if (terminal && m_verbosity == Verbosity::Normal) {
        taskRun.attach(&bar);
    }
    taskRun.attach(&waker);
    // Every problem is told as it happens, whether or not the task logs; the
    // JSON result lists them all.
    std::mutex problemLock;
    std::vector<RunProblem> problems;
    taskRun.setProblemSink([&](const RunProblem& problem) {
        std::lock_guard<std::mutex> lock(problemLock);
        std::fprintf(m_err, "%s%s %s: %s\n", terminal ? "\r\033[K" : "",
                     problem.failed ? "[Error]" : "[Skip]",
                     platform::escapeControl(problem.path).c_str(),
                     platform::escapeControl(problem.reason).c_str());
        if (m_json) {
            problems.push_back(problem);
        }
    });

    RunStarter starter(taskRun, AppLog::instance());
    starter.begin(task, RunOrigin::CommandLine, simulate);
    PlanOutcome outcome = buildPlan(task, platform::kMirrorLockWaitMs, {!simulate, m_mirrorMemory});
    if (!outcome.plan) {
        m_result = starter.fail(outcome.failure);
        record();
        std::fprintf(m_err, "twinfold-cli: %s\n", platform::escapeControl(outcome.failure).c_str());
        printJsonResult({{true, std::string(), outcome.failure}}, kSomeFailed);
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
    // A signal while the plan was made stops the run before its first item.
    if (interrupts.wait(false) == 0) {
        starter.start(std::move(outcome.plan));
        // Until the run ends (a wake) or a signal comes; the run then stops
        // after its current item.
        if (interrupts.wait() != 0) {
            taskRun.abort();
        }
        taskRun.wait();
        m_result = starter.finish();
    } else {
        m_result = starter.fail("interrupted before the run began");
        m_result.failed = 0;
        m_result.aborted = true;
    }
    record();
    const int signal = interrupts.signal();

    int status = m_result.failed > 0 || m_result.skipped > 0 ? kSomeFailed : kAllDone;
    if (signal != 0) {
        status = kSignalBase + signal;
        std::fprintf(m_err, "twinfold-cli: stopped by %s after %d items\n",
                     signal == SIGINT ? "SIGINT" : "SIGTERM", m_result.done + m_result.failed);
    }
    if (m_json) {
        printJsonResult(problems, status);
    } else if (m_verbosity != Verbosity::Quiet) {
        std::fprintf(m_out, "%d done, %d failed, %d skipped%s%s\n", m_result.done, m_result.failed,
                     m_result.skipped, simulate ? " (simulated)" : "",
                     m_result.aborted ? " (stopped)" : "");
    }
    return status;
}

void TaskRunner::printJsonResult(const std::vector<RunProblem>& problems, int status) const {
    if (!m_json) {
        return;
    }
    const RunResult& r = m_result;
    std::fprintf(m_out,
                 "{\"task\":%s,\"taskId\":%s,\"simulate\":%s,\"start\":%s,\"end\":%s,"
                 "\"done\":%d,\"failed\":%d,\"skipped\":%d,\"heldDeletions\":%lld,"
                 "\"aborted\":%s,\"problems\":%s,\"logFile\":%s,\"exitStatus\":%d}\n",
                 json::quote(r.taskName).c_str(), json::quote(r.taskId).c_str(),
                 r.simulate ? "true" : "false", json::time(r.start).c_str(),
                 json::time(r.end).c_str(), r.done, r.failed, r.skipped,
                 static_cast<long long>(r.heldDeletions), r.aborted ? "true" : "false",
                 jsonProblems(problems).c_str(),
                 r.logFile.empty() ? "null" : json::quote(r.logFile).c_str(), status);
}

void TaskRunner::record() {
    // A history that cannot be written never changes the run's outcome; its
    // reporter tells why once.
    if (m_history != nullptr) {
        m_history->record(m_result);
    }
}
