#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "cli/RunnerOptions.h"
#include "cli/StoredTasks.h"
#include "platform/Text.h"

// What plan and run share: one stored task, named by identifier or name, and
// the deletion limit.
class StoredTaskCommand : public Command {
protected:
    void addTaskOptions(CLI::App* command) {
        command->add_option("TASK", m_key, "The task's identifier or name (the first of that name)")
            ->required();
        command->add_option("--max-delete", m_maxDelete, kMaxDeleteHelp)
            ->type_name("N|P%")
            ->check([](const std::string& text) {
                return DeleteLimit::parse(text)
                           ? std::string()
                           : std::string("takes a count or a share such as 50%");
            });
    }

    // Loads the configuration and runs `body` on the task; the exit status.
    // With `record`, runs go to the run history.
    template <typename Body>
    int withTask(const GlobalOptions& global, bool record, Body body) {
        StoredTasks stored;
        int status = kAllDone;
        Task* task = stored.loadTask(global.configFile, m_key, status);
        if (task == nullptr) {
            return status;
        }
        const std::unique_ptr<RunHistory> history = record ? openHistory() : nullptr;
        TaskRunner runner = makeRunner(global);
        runner.setHistory(history.get());
        runner.setDeleteLimit(m_maxDelete.empty() ? settingLimit(stored.setting())
                                                  : *DeleteLimit::parse(m_maxDelete));
        return body(runner, *task);
    }

private:
    std::string m_key;
    std::string m_maxDelete;
};
