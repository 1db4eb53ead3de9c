#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/HistoryCommand.h"
#include "cli/TaskRunner.h"
#include "config/EDOMError.h"
#include "config/EFileNotFound.h"
#include "config/NormalSetting.h"
#include "config/Support.h"
#include "config/XMLConfig.h"
#include "history/RunHistory.h"
#include "model/CopyPolicy.h"
#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Text.h"

namespace {

const char* const kUsage =
    "Usage:\n"
    "  twinfold-cli [--config FILE] list\n"
    "  twinfold-cli [--config FILE] plan TASK\n"
    "  twinfold-cli [--config FILE] run TASK [--simulate] [--max-delete N|P%]\n"
    "  twinfold-cli mirror MAIN MIRROR [--simulate] [--plan] [--name NAME] [--flags WORD]\n"
    "               [--max-delete N|P%]\n"
    "               [--exclude PATH]... [--exclude-types \"exe;bat\"]\n"
    "               [--exclude-attrs \"HIDDEN;SYSTEM\"] [--include FILE]... [--log FILE]\n"
    "  twinfold-cli [--config FILE] history [TASK] [--limit N] [--json]\n"
    "  twinfold-cli [--config FILE] status\n"
    "\n"
    "list shows the stored tasks; plan and run work on a stored task, named\n"
    "by its identifier or its name. The configuration is read, never written.\n"
    "mirror works on a task made from its arguments: MAIN is mirrored into\n"
    "MIRROR under a copy policy whose rule word is --flags (decimal or 0x-hex,\n"
    "default 17830161). --plan prints the plan and changes nothing.\n"
    "A real run holds back the deletions of a folder pair that would delete\n"
    "more than half of its mirror's entries (and more than 10); they are\n"
    "reported as skipped. --max-delete N allows up to N deletions a pair,\n"
    "--max-delete P% up to P percent of the mirror; 100% allows everything.\n"
    "Every run and mirror is kept in the run history; history prints it,\n"
    "newest first, and status prints each task's last run, exiting 1 when a\n"
    "task's last real run failed or a scheduled task is overdue.\n"
    "Exit status: 0 all done, 1 some operations failed or were skipped,\n"
    "2 wrong usage, 3 the configuration could not be loaded, 4 no such task.\n";

// The run history of this program; its first failure is told once on the
// error stream and never changes a run's exit status.
std::unique_ptr<RunHistory> openHistory() {
    auto history =
        std::make_unique<RunHistory>(XMLConfig::stateFolder() + std::string(RunHistory::kFileName));
    history->setReporter([](const std::string& problem) {
        std::fprintf(stderr, "twinfold-cli: %s\n", platform::escapeControl(problem).c_str());
    });
    return history;
}

int usage(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "twinfold-cli: %s\n", problem);
    }
    std::fputs(kUsage, stderr);
    return TaskRunner::kUsage;
}

bool parseFlags(const std::string& text, std::uint32_t& out) {
    const auto flags = CopyPolicy::parseFlags(text);
    out = flags.value_or(out);
    return flags.has_value();
}

// The deletion limit of the general settings.
DeleteLimit settingLimit(const NormalSetting& setting) {
    DeleteLimit limit;
    limit.percent = setting.maxDeletePercent;
    limit.minimum = setting.maxDeleteMinimum;
    return limit;
}

int mirrorCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    bool simulate = false;
    DeleteLimit limit = settingLimit(NormalSetting());
    bool planOnly = false;
    Task task;
    task.name = "Mirror";
    CopyPolicy policy;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](const char* option) -> const std::string* {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "twinfold-cli: %s needs a value\n", option);
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--simulate") {
            simulate = true;
        } else if (a == "--plan") {
            planOnly = true;
        } else if (a == "--name" || a == "--flags" || a == "--exclude" || a == "--exclude-types" ||
                   a == "--exclude-attrs" || a == "--include" || a == "--log" ||
                   a == "--max-delete") {
            const std::string* v = value(a.c_str());
            if (v == nullptr) {
                return usage(nullptr);
            }
            if (a == "--name") {
                task.name = *v;
            } else if (a == "--max-delete") {
                const auto parsed = DeleteLimit::parse(*v);
                if (!parsed) {
                    return usage("--max-delete takes a count or a share such as 50%");
                }
                limit = *parsed;
            } else if (a == "--flags") {
                std::uint32_t flags = 0;
                if (!parseFlags(*v, flags)) {
                    return usage("--flags takes a decimal or 0x-hexadecimal number");
                }
                policy.setFlags(flags);
            } else if (a == "--exclude") {
                task.exclude.addFile(*v);
            } else if (a == "--exclude-types") {
                task.exclude.setFileTypes(*v);
            } else if (a == "--exclude-attrs") {
                task.exclude.setFileAttrs(*v);
            } else if (a == "--include") {
                task.include.addFile(*v);
            } else {
                task.enableLog = true;
                task.logFile = *v;
            }
        } else if (a == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        } else if (a.size() > 1 && a.front() == '-' && a.starts_with("--")) {
            return usage(("unknown option " + a).c_str());
        } else {
            positional.push_back(a);  // paths may begin with a single dash
        }
    }
    if (positional.size() != 2) {
        return usage("mirror needs a main folder and a mirror folder");
    }
    const TaskFolderItem& pair = task.folderList.addItem(positional[0], positional[1]);
    task.setPolicy(&policy);
    // Runs of the same folders share one history whatever the name.
    task.id = mirrorTaskKey(pair.main, pair.mirror);

    const std::unique_ptr<RunHistory> history = openHistory();
    TaskRunner runner(stdout, stderr);
    runner.setHistory(history.get());
    runner.setDeleteLimit(limit);
    return planOnly ? runner.printPlan(task) : runner.run(task, simulate);
}

// The stored tasks, read from the configuration file and never written.
class StoredTasks {
public:
    // Loads the file; on failure prints the reason and returns false. A
    // missing file counts as no task when `mayBeMissing`.
    bool load(const std::string& configFile, bool mayBeMissing = false) {
        m_tasks.setPolicys(&m_policies);
        m_policies.setTaskManager(&m_tasks);
        const std::string path =
            configFile.empty() ? XMLConfig::configFolder() + std::string(XMLConfig::kConfigFileName)
                               : configFile;
        XMLConfig config(XMLConfig::ReadOnlyFile{path});
        try {
            config.load();
            config.readNormalSetting(m_setting);
            config.readTasks(m_tasks);
            for (const std::string& notice : config.notices()) {
                std::fprintf(stderr, "twinfold-cli: %s\n", notice.c_str());
            }
        } catch (const EFileNotFound&) {
            if (mayBeMissing) {
                return true;
            }
            std::fprintf(stderr, "twinfold-cli: no configuration file at %s\n",
                         platform::escapeControl(path).c_str());
            return false;
        } catch (const EDOMError&) {
            std::fprintf(stderr, "twinfold-cli: %s: %s\n", platform::escapeControl(path).c_str(),
                         std::string(config::kCannotParseMessage).c_str());
            return false;
        }
        return true;
    }

    // A task by identifier or, failing that, the first of that name.
    Task* find(const std::string& key) const {
        Task* task = m_tasks.findTaskById(key);
        return task != nullptr ? task : m_tasks.findTaskByName(key);
    }

    const TaskManager& tasks() const { return m_tasks; }
    const NormalSetting& setting() const { return m_setting; }

private:
    NormalSetting m_setting;
    PolicyManager m_policies;
    TaskManager m_tasks;
};

int taskCommand(const std::string& command, const std::string& configFile,
                const std::vector<std::string>& args) {
    bool simulate = false;
    std::optional<DeleteLimit> limit;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--simulate" && command == "run") {
            simulate = true;
        } else if (a == "--max-delete" && command != "list") {
            if (i + 1 >= args.size() || !(limit = DeleteLimit::parse(args[i + 1]))) {
                return usage("--max-delete takes a count or a share such as 50%");
            }
            ++i;
        } else if (a.starts_with("--")) {
            return usage(("unknown option " + a).c_str());
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != (command == "list" ? 0u : 1u)) {
        return usage(command == "list" ? "list takes no task" : "name one task");
    }
    StoredTasks stored;
    if (!stored.load(configFile)) {
        return TaskRunner::kConfig;
    }
    if (command == "list") {
        for (const auto& task : stored.tasks().taskList()) {
            const CopyPolicy* policy = task->getPolicy();
            std::printf("%s\t%s\t%s\t%zu\n", task->id.c_str(),
                        platform::escapeControl(task->name).c_str(),
                        policy != nullptr ? platform::escapeControl(policy->name).c_str() : "",
                        task->folderList.count());
        }
        return TaskRunner::kAllDone;
    }
    Task* task = stored.find(positional.front());
    if (task == nullptr) {
        std::fprintf(stderr, "twinfold-cli: no task %s\n",
                     platform::escapeControl(positional.front()).c_str());
        return TaskRunner::kNoTask;
    }
    const std::unique_ptr<RunHistory> history = command == "run" ? openHistory() : nullptr;
    TaskRunner runner(stdout, stderr);
    runner.setHistory(history.get());
    runner.setDeleteLimit(limit.value_or(settingLimit(stored.setting())));
    return command == "plan" ? runner.printPlan(*task) : runner.run(*task, simulate);
}

// history and status read the configuration when there is one, to find
// tasks by name and to know their schedules.
int historyOrStatusCommand(const std::string& command, const std::string& configFile,
                           const std::vector<std::string>& args) {
    HistoryArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (command == "history" && a == "--json") {
            parsed.json = true;
        } else if (command == "history" && a == "--limit") {
            char* end = nullptr;
            const char* text = i + 1 < args.size() ? args[i + 1].c_str() : "";
            const unsigned long long value = std::strtoull(text, &end, 10);
            if (*text < '0' || *text > '9' || *end != '\0') {
                return usage("--limit takes a count");
            }
            parsed.limit = static_cast<std::size_t>(value);
            ++i;
        } else if (a.starts_with("--") || command == "status" || !parsed.task.empty()) {
            return usage(("unexpected " + a).c_str());
        } else {
            parsed.task = a;
        }
    }
    StoredTasks stored;
    if (!stored.load(configFile, configFile.empty())) {
        return TaskRunner::kConfig;
    }
    const std::unique_ptr<RunHistory> history = openHistory();
    history->setReporter({});  // the commands tell the problem themselves
    if (command == "history") {
        return historyCommand(parsed, *history, &stored.tasks(), stdout, stderr);
    }
    return statusCommand(*history, stored.tasks(), stored.setting(),
                         std::chrono::system_clock::now(), stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string configFile;
    if (!args.empty() && args.front() == "--config") {
        if (args.size() < 2 || args[1].empty()) {
            return usage("--config needs a file");
        }
        configFile = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usage(nullptr);
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "mirror" && configFile.empty()) {
        return mirrorCommand(args);
    }
    if (command == "list" || command == "plan" || command == "run") {
        return taskCommand(command, configFile, args);
    }
    if (command == "history" || command == "status") {
        return historyOrStatusCommand(command, configFile, args);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return usage(("unknown command " + command).c_str());
}
