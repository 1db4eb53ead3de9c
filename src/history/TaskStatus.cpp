#include "history/TaskStatus.h"

#include <vector>

#include "history/RunHistory.h"

TaskStatus taskStatus(RunHistory& history, std::string_view taskId, const OverdueRule& rule,
                      std::chrono::system_clock::time_point now) {
    TaskStatus status;
    if (std::vector<RunResult> last = history.runs(taskId, 1); !last.empty()) {
        status.last = std::move(last.front());
    }
    if (!status.last) {
        return status;
    }
    const std::vector<RunResult> lastReal =
        status.last->simulate ? history.runs(taskId, 1, true) : std::vector{*status.last};
    status.lastRealFailed = !lastReal.empty() && !lastReal.front().succeeded();
    if (rule.scheduledReal && rule.overdueDays > 0) {
        auto since = history.lastSuccess(taskId);
        if (!since) {
            since = history.firstRun(taskId);
        }
        status.overdue = since && now - *since > std::chrono::hours(24) * rule.overdueDays;
    }
    return status;
}
