#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "engine/RunResult.h"

class RunHistory;

// What the history says about one task: its newest run and whether it needs
// attention.
struct TaskStatus {
    std::optional<RunResult> last;  // the newest run, real or simulated
    // The newest real run failed an item, skipped one or was aborted.
    bool lastRealFailed = false;
    // A task whose schedule makes real runs has had no successful real run
    // for longer than the overdue period.
    bool overdue = false;

    bool needsAttention() const { return lastRealFailed || overdue; }
};

// How a task's schedule and the general settings bear on its status.
struct OverdueRule {
    bool scheduledReal = false;  // the schedule is on and makes real runs
    int overdueDays = 0;         // 0: never overdue
};

// The status of a task at `now`. Without any successful real run the
// period counts from the oldest run kept, and a task never run is not
// overdue: its history does not tell since when it should have run.
TaskStatus taskStatus(RunHistory& history, std::string_view taskId, const OverdueRule& rule,
                      std::chrono::system_clock::time_point now);
