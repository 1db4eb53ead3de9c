#include "cli/Commands.h"
#include "cli/StoredTaskCommand.h"

namespace {

// plan TASK: what a run would do, changing nothing.
class PlanCommand : public StoredTaskCommand {
public:
    CLI::App* setUp(CLI::App& app) override {
        CLI::App* command = app.add_subcommand(
            "plan",
            "Print what a run of a stored task would do, one item a line, and change nothing. "
            "Exits with 1 when the plan holds skipped items.");
        addTaskOptions(command);
        return command;
    }

    int execute(const GlobalOptions& global) override {
        return withTask(global, false,
                        [](TaskRunner& runner, Task& task) { return runner.printPlan(task); });
    }
};

}  // namespace

std::unique_ptr<Command> makePlanCommand() {
    return std::make_unique<PlanCommand>();
}
