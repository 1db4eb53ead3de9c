#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

class RunHistory;
class TaskManager;
class NormalSetting;

// `twinfold-cli history [TASK] [--limit N] [--json]`, parsed.
struct HistoryArgs {
    std::string task;       // an identifier or a name; empty: every task
    std::size_t limit = 0;  // 0: every run kept
    bool json = false;
};

// Prints the runs, newest first: one tab-separated line per run (start, task,
// "run" or "simulation", origin, outcome, done, failed, skipped, held
// deletions, the first problem), or one JSON array of objects. A task is
// looked up among `tasks` (which may be null) by identifier or name, then
// among the names the history kept. Returns the exit status.
int historyCommand(const HistoryArgs& args, RunHistory& history, const TaskManager* tasks,
                   std::FILE* out, std::FILE* err);

// `twinfold-cli status`: one line per stored task and per folder pair run by
// `mirror` (name, last run's start, its outcome, and "ok", "failed" or
// "overdue"). Returns 1 when any task's last real run failed or any task is
// overdue, else 0.
int statusCommand(RunHistory& history, const TaskManager& tasks, const NormalSetting& setting,
                  std::chrono::system_clock::time_point now, std::FILE* out, std::FILE* err);
