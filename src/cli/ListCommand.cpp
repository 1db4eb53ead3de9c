#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/StoredTasks.h"
#include "model/CopyPolicy.h"
#include "model/Task.h"
#include "platform/Text.h"

namespace {

// list: one line per stored task: identifier, name, policy, folder pairs.
class ListCommand : public Command {
public:
    CLI::App* setUp(CLI::App& app) override {
        return app.add_subcommand(
            "list",
            "List the stored tasks: identifier, name, copy policy and number of folder pairs, "
            "separated by tabs.");
    }

    int execute(const GlobalOptions& global) override {
        StoredTasks stored;
        if (!stored.load(global.configFile)) {
            return kConfig;
        }
        std::string items;
        for (const auto& task : stored.tasks().taskList()) {
            const CopyPolicy* policy = task->getPolicy();
            const std::string policyName = policy != nullptr ? policy->name : std::string();
            if (global.json) {
                items += items.empty() ? "" : ",";
                items += "{\"id\":" + json::quote(task->id) +
                         ",\"name\":" + json::quote(task->name) +
                         ",\"policy\":" + json::quote(policyName) +
                         ",\"folderPairs\":" + std::to_string(task->folderList.count()) + "}";
            } else {
                std::printf("%s\t%s\t%s\t%zu\n", task->id.c_str(),
                            platform::escapeControl(task->name).c_str(),
                            platform::escapeControl(policyName).c_str(), task->folderList.count());
            }
        }
        if (global.json) {
            std::printf("{\"tasks\":[%s],\"exitStatus\":0}\n", items.c_str());
        }
        return kAllDone;
    }
};

}  // namespace

std::unique_ptr<Command> makeListCommand() {
    return std::make_unique<ListCommand>();
}
