#include "cli/VersionsCommand.h"

#include <charconv>

#include "cli/TaskRunner.h"
#include "model/Task.h"
#include "platform/Path.h"
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
        return TaskRunner::kSomeFailed;
    }
    platform::OpResult result;
    const auto list = versions::listVersions(*folder, result, versionsPathFor(task, path));
    if (!result.ok()) {
        std::fprintf(err, "twinfold-cli: %s: %s\n", platform::escapeControl(*folder).c_str(),
                     result.message.c_str());
        return TaskRunner::kSomeFailed;
    }
    for (const versions::KeptVersion& version : list) {
        std::fprintf(out, "%s\t%s\t%llu\n", version.run.c_str(),
                     platform::escapeControl(version.path).c_str(),
                     static_cast<unsigned long long>(version.size));
    }
    return TaskRunner::kAllDone;
}

int restoreVersions(const Task& task, std::string_view path, const std::optional<std::string>& at,
                    const std::string& to, bool overwrite, std::FILE* out, std::FILE* err) {
    const auto folder = versionsFolder(task, err);
    if (!folder) {
        return TaskRunner::kSomeFailed;
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
        return TaskRunner::kSomeFailed;
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
    return restored.conflicts.empty() && restored.failures.empty() ? TaskRunner::kAllDone
                                                                   : TaskRunner::kSomeFailed;
}

std::optional<std::string> setVersionOption(Task& task, std::string_view option,
                                            const std::string& value) {
    if (option == "--versions") {
        if (value.empty() || value.front() != platform::kSeparator) {
            return "--versions takes an absolute folder";
        }
        task.versions.enabled = true;
        task.versions.folder = value;
        return std::nullopt;
    }
    const bool days = option == "--keep-days";
    int number = 0;
    const auto [stop, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    const int most = days ? VersionSettings::kMaxDays : VersionSettings::kMaxVersions;
    if (value.empty() || error != std::errc() || stop != value.data() + value.size() ||
        number < 0 || number > most) {
        return std::string(option) + " takes a whole number from 0 (off) to " +
               std::to_string(most);
    }
    (days ? task.versions.keepDays : task.versions.keepVersions) = number;
    return std::nullopt;
}

}  // namespace cli
