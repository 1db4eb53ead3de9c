#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Who started a run.
enum class RunOrigin : std::uint8_t { Button, Tray, Schedule, CommandLine };

// The stored word of each origin ("button", "tray", "schedule", "command line").
std::string_view runOriginName(RunOrigin origin);

// One item that failed or was skipped, as the task log tells it.
struct RunProblem {
    bool failed = false;  // failed; otherwise skipped
    std::string path;
    std::string reason;
};

// How one run of a task ended: what the front ends report, and what the run
// history keeps.
struct RunResult {
    std::string taskId;
    std::string taskName;
    RunOrigin origin = RunOrigin::Button;
    bool simulate = false;
    std::chrono::system_clock::time_point start{};
    std::chrono::system_clock::time_point end{};
    std::int32_t done = 0;
    std::int32_t failed = 0;
    std::int32_t skipped = 0;
    bool aborted = false;
    // Deletions the mass-deletion guard held back (each also counted as
    // skipped).
    std::int64_t heldDeletions = 0;
    // The first problems of the run, in the order they happened.
    std::vector<RunProblem> problems;
    // The task log written during the run; empty when the log was off.
    std::string logFile;

    static constexpr std::size_t kMaxProblems = 20;

    bool succeeded() const { return failed == 0 && skipped == 0 && !aborted; }
};
