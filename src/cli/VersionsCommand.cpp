#include "cli/VersionsCommand.h"

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/StoredTasks.h"
#include "model/Task.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"
#include "versions/Versions.h"

namespace cli {

namespace {

// The versions folder of the task, or an error printed and none.
std::optional<std::string> versionsFolder(const Task& task, std::FILE* err) {
    if (!task.versions.enabled) {
        std::fprintf(err, "twinfold-cli: task %s keeps no versions\n",
                     platform::escapeControl(task.name).c_str());
        return std::nullopt;
    }
    if (const std::string problem = task.versionsFolderProblem(); !problem.empty()) {
        std::fprintf(err, "twinfold-cli: %s\n", platform::escapeControl(problem).c_str());
        return std::nullopt;
    }
    return task.versionsFolder();
}

std::string_view withoutTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && path.back() == platform::kSeparator) {
        path.remove_suffix(1);
    }
    return path;
}

}  // namespace

std::string versionsPathFor(const Task& task, std::string_view path) {
    path = withoutTrailingSeparators(path);
    const auto& pairs = task.folderList.items();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        for (const std::string& root : {pairs[i].main, pairs[i].mirror}) {
            const std::string_view folder = withoutTrailingSeparators(root);
            if (folder.empty() || !platform::isSameOrInside(path, folder)) {
                continue;
            }
            std::string result = versions::pairFolderName(i, pairs[i].mirror);
            const std::string_view rest = path.substr(folder.size());
            if (!rest.empty() && rest != "/") {
                result += rest.front() == platform::kSeparator ? rest : "/" + std::string(rest);
            }
            return result;
        }
    }
    while (path.starts_with("./")) {
        path.remove_prefix(2);
    }
    return std::string(path == "." ? std::string_view() : path);
}

int listVersions(const Task& task, std::string_view path, std::FILE* out, std::FILE* err) {
    const auto folder = versionsFolder(task, err);
    if (!folder) {
        return kSomeFailed;
    }
    platform::OpResult result;
    const auto list = versions::listVersions(*folder, result, versionsPathFor(task, path));
    if (!result.ok()) {
        std::fprintf(err, "twinfold-cli: %s: %s\n", platform::escapeControl(*folder).c_str(),
                     result.message.c_str());
        return kSomeFailed;
    }
    for (const versions::KeptVersion& version : list) {
        std::fprintf(out, "%s\t%s\t%llu\n", version.run.c_str(),
                     platform::escapeControl(version.path).c_str(),
                     static_cast<unsigned long long>(version.size));
    }
    return kAllDone;
}

int restoreVersions(const Task& task, std::string_view path, const std::optional<std::string>& at,
                    const std::string& to, bool overwrite, std::FILE* out, std::FILE* err) {
    const auto folder = versionsFolder(task, err);
    if (!folder) {
        return kSomeFailed;
    }
    const std::string wanted = versionsPathFor(task, path);
    platform::OpResult result;
    const auto all = versions::listVersions(*folder, result, wanted);
    const auto picks = versions::pickVersions(
        all, wanted, at ? std::optional<std::string_view>(*at) : std::nullopt);
    if (picks.empty()) {
        std::fprintf(err, "twinfold-cli: no kept version of %s%s%s\n",
                     platform::escapeControl(wanted).c_str(), at ? " at " : "",
                     at ? platform::escapeControl(*at).c_str() : "");
        return kSomeFailed;
    }
    const versions::RestoreResult restored =
        versions::restore(*folder, versions::restoreLayout(picks, wanted), to, overwrite);
    for (const std::string& conflict : restored.conflicts) {
        std::fprintf(err, "twinfold-cli: %s exists; not replaced (--overwrite replaces it)\n",
                     platform::escapeControl(conflict).c_str());
    }
    for (const std::string& failure : restored.failures) {
        std::fprintf(err, "twinfold-cli: %s\n", platform::escapeControl(failure).c_str());
    }
    std::fprintf(out, "%zu restored, %zu not replaced, %zu failed\n", restored.restored,
                 restored.conflicts.size(), restored.failures.size());
    return restored.conflicts.empty() && restored.failures.empty() ? kAllDone : kSomeFailed;
}

}  // namespace cli

namespace {

// versions TASK [PATH]
class VersionsCommand : public Command {
public:
    CLI::App* setUp(CLI::App& app) override {
        CLI::App* c = app.add_subcommand(
            "versions",
            "List the versions a stored task kept: run, path and size, separated by tabs, "
            "newest run first.");
        c->add_option("TASK", m_task, "The task's identifier or name")->required();
        c->add_option("PATH", m_path,
                      "Only this file or folder: a path in a main or mirror folder, or one as "
                      "listed");
        return c;
    }

    int execute(const GlobalOptions& global) override {
        StoredTasks stored;
        int status = kAllDone;
        const Task* task = stored.loadTask(global.configFile, m_task, status);
        if (task == nullptr) {
            return status;
        }
        return cli::listVersions(*task, m_path, stdout, stderr);
    }

private:
    std::string m_task;
    std::string m_path;
};

// restore TASK PATH [--at RUN] --to DIR [--overwrite]
class RestoreCommand : public Command {
public:
    CLI::App* setUp(CLI::App& app) override {
        CLI::App* c = app.add_subcommand(
            "restore",
            "Copy the newest kept version of a file or folder (or the one a run kept) into a "
            "folder; existing files are replaced only with --overwrite.");
        c->add_option("TASK", m_task, "The task's identifier or name")->required();
        c->add_option("PATH", m_path,
                      "A path in a main or mirror folder, or one as versions lists it")
            ->required();
        c->add_option("--at", m_at, "The run's time, \"YYYY-MM-DD HHMMSS\"")->type_name("RUN");
        c->add_option("--to", m_to, "The folder to copy into (made when missing)")
            ->type_name("DIR")
            ->required();
        c->add_flag("--overwrite", m_overwrite, "Replace existing files");
        return c;
    }

    int execute(const GlobalOptions& global) override {
        StoredTasks stored;
        int status = kAllDone;
        const Task* task = stored.loadTask(global.configFile, m_task, status);
        if (task == nullptr) {
            return status;
        }
        const std::optional<std::string> at =
            m_at.empty() ? std::nullopt : std::optional<std::string>(m_at);
        return cli::restoreVersions(*task, m_path, at,
                                    platform::absolutePath(m_to, platform::workingFolder()),
                                    m_overwrite, stdout, stderr);
    }

private:
    std::string m_task;
    std::string m_path;
    std::string m_at;
    std::string m_to;
    bool m_overwrite = false;
};

}  // namespace

std::unique_ptr<Command> makeVersionsCommand() {
    return std::make_unique<VersionsCommand>();
}

std::unique_ptr<Command> makeRestoreCommand() {
    return std::make_unique<RestoreCommand>();
}
