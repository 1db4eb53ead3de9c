#pragma once

#include <cstdio>

class Task;

// Plans a task and prints or carries out the plan, for the command line.
class TaskRunner {
public:
    enum ExitCode { kAllDone = 0, kSomeFailed = 1, kUsage = 2, kConfig = 3, kNoTask = 4 };

    TaskRunner(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    // Prints one line per item (the operation's name, a tab, the path the
    // task log shows), then the counts. Changes nothing.
    int printPlan(Task& task);

    // Carries the plan out (or simulates it, without pausing per item). On a
    // terminal, shows progress on the error stream. Ends with one summary
    // line; returns kAllDone, or kSomeFailed when an operation failed or an
    // item was skipped.
    int run(Task& task, bool simulate);

private:
    std::FILE* m_out;
    std::FILE* m_err;
};
