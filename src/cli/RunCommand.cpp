#include "cli/Commands.h"
#include "cli/StoredTaskCommand.h"

namespace {

// run TASK: carries a stored task out under its stored policy.
class RunCommand : public StoredTaskCommand {
public:
    CLI::App* setUp(CLI::App& app) override {
        CLI::App* command = app.add_subcommand(
            "run", "Run a stored task under its stored copy policy, writing its task log.");
        addTaskOptions(command);
        command->add_flag("--simulate", m_simulate,
                          "Walk through the plan and write the task log, changing nothing");
        return command;
    }

    int execute(const GlobalOptions& global) override {
        return withTask(global, true, [this](TaskRunner& runner, Task& task) {
            return runner.run(task, m_simulate);
        });
    }

private:
    bool m_simulate = false;
};

}  // namespace

std::unique_ptr<Command> makeRunCommand() {
    return std::make_unique<RunCommand>();
}
