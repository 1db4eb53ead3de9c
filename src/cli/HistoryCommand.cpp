#include "cli/HistoryCommand.h"

#include <ctime>
#include <optional>
#include <vector>

#include "cli/Json.h"
#include "config/NormalSetting.h"
#include "history/RunHistory.h"
#include "history/TaskStatus.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Text.h"

namespace {

using Clock = std::chrono::system_clock;

// Local time as "YYYY-MM-DD HH:MM:SS", or with `utc` as ISO 8601 with a Z.
std::string timeText(Clock::time_point time, bool utc) {
    const std::time_t t = Clock::to_time_t(time);
    std::tm parts{};
    if (utc ? ::gmtime_r(&t, &parts) == nullptr : ::localtime_r(&t, &parts) == nullptr) {
        return {};
    }
    char text[32];
    std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string outcome(const RunResult& run) {
    if (run.aborted) {
        return "aborted";
    }
    if (run.failed > 0) {
        return "failed " + std::to_string(run.failed);
    }
    if (run.skipped > 0) {
        return "skipped " + std::to_string(run.skipped);
    }
    return "done";
}

void printJson(const std::vector<RunResult>& runs, std::FILE* out) {
    std::fputs("[", out);
    bool first = true;
    for (const RunResult& run : runs) {
        std::fprintf(out,
                     "%s\n  {\"taskId\": %s, \"taskName\": %s, \"origin\": %s, \"simulate\": %s, "
                     "\"start\": \"%s\", \"end\": \"%s\", \"done\": %d, \"failed\": %d, "
                     "\"skipped\": %d, \"aborted\": %s, \"heldDeletions\": %lld, "
                     "\"succeeded\": %s, \"logFile\": %s, \"problems\": [",
                     first ? "" : ",", json::quote(run.taskId).c_str(),
                     json::quote(run.taskName).c_str(),
                     json::quote(runOriginName(run.origin)).c_str(),
                     run.simulate ? "true" : "false", timeText(run.start, true).c_str(),
                     timeText(run.end, true).c_str(), run.done, run.failed, run.skipped,
                     run.aborted ? "true" : "false", static_cast<long long>(run.heldDeletions),
                     run.succeeded() ? "true" : "false", json::quote(run.logFile).c_str());
        bool firstProblem = true;
        for (const RunProblem& problem : run.problems) {
            std::fprintf(out, "%s{\"failed\": %s, \"path\": %s, \"reason\": %s}",
                         firstProblem ? "" : ", ", problem.failed ? "true" : "false",
                         json::quote(problem.path).c_str(), json::quote(problem.reason).c_str());
            firstProblem = false;
        }
        std::fputs("]}", out);
        first = false;
    }
    std::fputs(first ? "]\n" : "\n]\n", out);
}

void printLines(const std::vector<RunResult>& runs, std::FILE* out) {
    for (const RunResult& run : runs) {
        std::string problem;
        if (!run.problems.empty()) {
            problem = run.problems.front().path + ": " + run.problems.front().reason;
        }
        std::fprintf(
            out, "%s\t%s\t%s\t%s\t%s\t%d\t%d\t%d\t%lld\t%s\n", timeText(run.start, false).c_str(),
            platform::escapeControl(run.taskName).c_str(), run.simulate ? "simulation" : "run",
            std::string(runOriginName(run.origin)).c_str(), outcome(run).c_str(), run.done,
            run.failed, run.skipped, static_cast<long long>(run.heldDeletions),
            platform::escapeControl(problem).c_str());
    }
}

// The history's key of a task named on the command line.
std::optional<std::string> findTaskKey(const std::string& key, RunHistory& history,
                                       const TaskManager* tasks) {
    if (tasks != nullptr) {
        const Task* task = tasks->findTaskById(key);
        task = task != nullptr ? task : tasks->findTaskByName(key);
        if (task != nullptr) {
            return task->id;
        }
    }
    for (const RunResult& run : history.latestRuns()) {
        if (run.taskId == key || run.taskName == key) {
            return run.taskId;
        }
    }
    return std::nullopt;
}

}  // namespace

int historyCommand(const HistoryArgs& args, RunHistory& history, const TaskManager* tasks,
                   std::FILE* out, std::FILE* err) {
    std::string key;
    if (!args.task.empty()) {
        const std::optional<std::string> found = findTaskKey(args.task, history, tasks);
        if (!found) {
            std::fprintf(err, "twinfold-cli: no task %s\n",
                         platform::escapeControl(args.task).c_str());
            return 4;
        }
        key = *found;
    }
    const std::vector<RunResult> runs = history.runs(key, args.limit);
    if (args.json) {
        printJson(runs, out);
    } else {
        printLines(runs, out);
    }
    if (!history.problem().empty()) {
        std::fprintf(err, "twinfold-cli: %s\n", platform::escapeControl(history.problem()).c_str());
        return 1;
    }
    return 0;
}

int statusCommand(RunHistory& history, const TaskManager& tasks, const NormalSetting& setting,
                  Clock::time_point now, std::FILE* out, std::FILE* err) {
    bool attention = false;
    const auto print = [&](const std::string& name, const std::string& id,
                           const OverdueRule& rule) {
        const TaskStatus status = taskStatus(history, id, rule, now);
        const char* verdict = status.overdue ? "overdue" : status.lastRealFailed ? "failed" : "ok";
        attention = attention || status.needsAttention();
        std::string last = "never run";
        if (status.last) {
            last = timeText(status.last->start, false) + "\t" + outcome(*status.last) +
                   (status.last->simulate ? " (simulation)" : "");
        } else {
            last += "\t-";
        }
        std::fprintf(out, "%s\t%s\t%s\t%s\n", platform::escapeControl(name).c_str(), id.c_str(),
                     last.c_str(), verdict);
    };
    for (const auto& task : tasks.taskList()) {
        const Schedule& schedule = task->schedule;
        print(task->name, task->id,
              {.scheduledReal =
                   (schedule.intervalEnabled || schedule.fixupEnabled) && !schedule.simulate,
               .overdueDays = setting.overdueDays});
    }
    for (const RunResult& run : history.latestRuns()) {
        if (run.taskId.starts_with(kMirrorKeyPrefix)) {
            print(run.taskName, run.taskId, {});
        }
    }
    if (!history.problem().empty()) {
        std::fprintf(err, "twinfold-cli: %s\n", platform::escapeControl(history.problem()).c_str());
        return 1;
    }
    return attention ? 1 : 0;
}
