#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/HistoryCommand.h"
#include "cli/RunnerOptions.h"
#include "cli/StoredTasks.h"

namespace {

// history and status read the configuration when there is one, to find
// tasks by name and to know their schedules.
std::unique_ptr<RunHistory> openQuietHistory() {
    std::unique_ptr<RunHistory> history = openHistory();
    history->setReporter({});  // the commands tell the problem themselves
    return history;
}

// history [TASK]: the recorded runs, newest first.
class HistoryCommandLine : public Command {
public:
    CLI::App* setUp(CLI::App& app) override {
        CLI::App* c = app.add_subcommand(
            "history",
            "Print the recorded runs, newest first: one tab-separated line per run, or a JSON "
            "array with --json.");
        c->add_option("TASK", m_args.task, "Only this task (identifier or name)");
        c->add_option("--limit", m_args.limit, "At most N runs")->type_name("N");
        return c;
    }

    int execute(const GlobalOptions& global) override {
        StoredTasks stored;
        if (!stored.load(global.configFile, global.configFile.empty())) {
            return kConfig;
        }
        m_args.json = global.json;
        const std::unique_ptr<RunHistory> history = openQuietHistory();
        return historyCommand(m_args, *history, &stored.tasks(), stdout, stderr);
    }

private:
    HistoryArgs m_args;
};

// status: each task's last run; exits 1 when one failed or is overdue.
class StatusCommand : public Command {
public:
    CLI::App* setUp(CLI::App& app) override {
        return app.add_subcommand(
            "status",
            "Print each task's last run; exit with 1 when a task's last real run failed or a "
            "scheduled task is overdue.");
    }

    int execute(const GlobalOptions& global) override {
        StoredTasks stored;
        if (!stored.load(global.configFile, global.configFile.empty())) {
            return kConfig;
        }
        const std::unique_ptr<RunHistory> history = openQuietHistory();
        return statusCommand(*history, stored.tasks(), stored.setting(),
                             std::chrono::system_clock::now(), stdout, stderr);
    }
};

}  // namespace

std::unique_ptr<Command> makeHistoryCommand() {
    return std::make_unique<HistoryCommandLine>();
}

std::unique_ptr<Command> makeStatusCommand() {
    return std::make_unique<StatusCommand>();
}
