#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/RunnerOptions.h"
#include "model/CopyPolicy.h"
#include "model/Task.h"
#include "platform/AppendFile.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

namespace {

bool parseFlags(const std::string& text, std::uint32_t& out) {
    const auto flags = CopyPolicy::parseFlags(text);
    out = flags.value_or(out);
    return flags.has_value();
}

// Opens (and if need be makes) the log file for appending, so a path that
// cannot be written is refused before anything changes. Empty when usable.
std::string checkLogFile(const std::string& path) {
    platform::AppendFile file;
    const int error = file.open(path);
    return error != 0 ? std::strerror(error) : std::string();
}

// mirror MAIN MIRROR: a task made from the arguments, never stored.
class MirrorCommand : public Command {
public:
    CLI::App* setUp(CLI::App& app) override {
        CLI::App* c = app.add_subcommand(
            "mirror",
            "Mirror MAIN into MIRROR under a policy made from the options. Without --delete, "
            "--trash or a --flags word holding the deletion rule, nothing is deleted from "
            "MIRROR. Relative paths are taken from the working directory.");
        c->add_option("MAIN", m_main, "The folder to copy from")->required();
        c->add_option("MIRROR", m_mirror, "The folder to copy to")->required();
        c->add_flag("--simulate", m_simulate, "Walk through the plan, changing nothing");
        c->add_flag("--plan", m_planOnly, "Print the plan, one item a line, and change nothing");
        c->add_option("--name", m_name, "The task's name in the log and the result")
            ->default_str("Mirror");
        c->add_option("--flags", m_flags,
                      "The policy's rule word (decimal or 0x-hex); the options below change it")
            ->type_name("WORD")
            ->check([](const std::string& text) {
                std::uint32_t ignored = 0;
                return parseFlags(text, ignored)
                           ? std::string()
                           : std::string("takes a decimal or 0x-hexadecimal number");
            });
        CLI::Option* remove = c->add_flag(
            "--delete", m_delete, "Delete entries found only in MIRROR for good (rule 0x00100000)");
        c->add_flag("--trash", m_trash,
                    "Move entries found only in MIRROR to the trash (rules 0x01100000)")
            ->excludes(remove);
        c->add_option("--compare", m_compare,
                      "Copy a file present on both sides when these differ (rules size "
                      "0x10, time 0x100, attributes 0x10000). Default: size,time")
            ->type_name("LIST")
            ->allow_extra_args(false)
            ->delimiter(',')
            ->check(CLI::IsMember({"size", "time", "attributes"}));
        c->add_flag("--newer-only", m_newerOnly,
                    "Copy a file whose time differs only when MAIN's is newer (rule 0x1000)");
        c->add_option("--max-delete", m_maxDelete, kMaxDeleteHelp)
            ->type_name("N|P%")
            ->check([](const std::string& text) {
                return DeleteLimit::parse(text)
                           ? std::string()
                           : std::string("takes a count or a share such as 50%");
            });
        c->add_option("--exclude", m_exclude,
                      "Leave out this file, or this folder's own entry (repeatable; what a "
                      "folder holds is judged entry by entry: name it too, or use "
                      "--exclude-types or --exclude-attrs)")
            ->type_name("PATH")
            ->allow_extra_args(false);
        c->add_option("--exclude-types", m_excludeTypes,
                      "Leave out these extensions, e.g. \"exe;bat\"")
            ->type_name("LIST");
        c->add_option("--exclude-attrs", m_excludeAttrs,
                      "Leave out entries with these attributes, e.g. \"HIDDEN;SYSTEM\"")
            ->type_name("LIST");
        c->add_option("--include", m_include,
                      "Also copy this file, or this folder with its content (each entry under "
                      "the same rules and exclusions as MAIN's), into MIRROR/<NAME_append> "
                      "(repeatable)")
            ->type_name("PATH")
            ->allow_extra_args(false);
        CLI::Option* versions =
            c->add_option("--versions", m_versions,
                          "Keep the mirror files a run replaces or deletes in DIR, one folder "
                          "per run (deletions go there instead of the trash)")
                ->type_name("DIR");
        c->add_option("--keep-days", m_keepDays, "Prune the kept runs older than D days")
            ->type_name("D")
            ->check(CLI::Range(1, VersionSettings::kMaxDays))
            ->needs(versions);
        c->add_option("--keep-versions", m_keepVersions,
                      "Prune the versions of each file beyond the newest N")
            ->type_name("N")
            ->check(CLI::Range(1, VersionSettings::kMaxVersions))
            ->needs(versions);
        c->add_option("--log", m_log,
                      "Append the task log to FILE; exit 2 when it can't be written")
            ->type_name("FILE");
        return c;
    }

    int execute(const GlobalOptions& global) override {
        std::string cwd = platform::workingFolder();
        if (cwd.empty()) {
            cwd = "/";
        }
        Task task;
        task.name = m_name;
        const std::string main = platform::absolutePath(m_main, cwd);
        for (const std::string& typed : m_exclude) {
            // Read like MAIN and MIRROR, against the working folder. An
            // exclusion that can leave nothing out must not pass silently:
            // the files it was meant to keep out would be copied.
            const std::string path = platform::absolutePath(typed, cwd);
            if (const std::string problem = exclusionProblem(typed, path, main); !problem.empty()) {
                std::fprintf(stderr, "twinfold-cli: --exclude %s: %s\n",
                             platform::escapeControl(typed).c_str(), problem.c_str());
                return kUsage;
            }
            task.exclude.addFile(path);
        }
        if (!m_excludeTypes.empty()) {
            task.exclude.setFileTypes(m_excludeTypes);
        }
        if (!m_excludeAttrs.empty()) {
            task.exclude.setFileAttrs(m_excludeAttrs);
        }
        for (const std::string& path : m_include) {
            task.include.addFile(platform::absolutePath(path, cwd));
        }
        if (!m_log.empty()) {
            task.enableLog = true;
            task.logFile = platform::absolutePath(m_log, cwd);
            if (!m_planOnly) {
                if (const std::string problem = checkLogFile(task.logFile); !problem.empty()) {
                    std::fprintf(stderr, "twinfold-cli: can't write the log %s: %s\n",
                                 platform::escapeControl(task.logFile).c_str(), problem.c_str());
                    return kUsage;
                }
            }
        }
        if (!m_versions.empty()) {
            task.versions = {true, platform::absolutePath(m_versions, cwd), m_keepDays,
                             m_keepVersions};
        }
        TaskFolderItem& pair = task.folderList.addItem(main, platform::absolutePath(m_mirror, cwd));
        CopyPolicy policy = makePolicy();
        task.setPolicy(&policy);
        // Runs of the same folders share one history whatever the name.
        task.id = mirrorTaskKey(pair.main, pair.mirror);

        const std::unique_ptr<RunHistory> history = openHistory();
        TaskRunner runner = makeRunner(global);
        runner.setHistory(history.get());
        runner.setDeleteLimit(m_maxDelete.empty() ? settingLimit(NormalSetting())
                                                  : *DeleteLimit::parse(m_maxDelete));
        return m_planOnly ? runner.printPlan(task) : runner.run(task, m_simulate);
    }

private:
    // Why the exclusion `typed` (`path` once made absolute) can leave nothing
    // out of MAIN; empty when it can.
    static std::string exclusionProblem(const std::string& typed, const std::string& path,
                                        const std::string& main) {
        const bool exists = platform::lookupEntry(path).status != platform::LookupStatus::Absent;
        if (!exists && typed.find_first_of("*?[") != std::string::npos) {
            return "no such file or folder; it takes a path, not a pattern (leave out files "
                   "by extension with --exclude-types, e.g. --exclude-types \"bak\")";
        }
        if (!platform::isSameOrInside(path, main)) {
            return "not in " + platform::escapeControl(main) +
                   "; a relative path is read from the working folder";
        }
        return {};
    }

    // The --flags word (or new files plus size and time, deleting nothing),
    // changed by the named options.
    CopyPolicy makePolicy() const {
        CopyPolicy policy;
        std::uint32_t flags = CopyPolicy::CopyNewFiles | CopyPolicy::CopyIfSizeDiffers |
                              CopyPolicy::CopyIfTimeDiffers;
        if (!m_flags.empty()) {
            parseFlags(m_flags, flags);
        }
        policy.setFlags(flags);
        if (!m_compare.empty()) {
            const auto has = [&](const char* word) {
                return std::find(m_compare.begin(), m_compare.end(), word) != m_compare.end();
            };
            policy.setCopyIfSizeDiffers(has("size"));
            policy.setCopyIfTimeDiffers(has("time"));
            policy.setCopyIfAttributesDiffer(has("attributes"));
        }
        if (m_newerOnly) {
            policy.setCopyOnlyIfMainNewer(true);
        }
        if (m_delete) {
            policy.setDeleteMirrorOnly(true);
            policy.setDeleteToRecycleBin(false);
        }
        if (m_trash) {
            policy.setDeleteToRecycleBin(true);
        }
        return policy;
    }

    std::string m_main;
    std::string m_mirror;
    bool m_simulate = false;
    bool m_planOnly = false;
    std::string m_name = "Mirror";
    std::string m_flags;
    bool m_delete = false;
    bool m_trash = false;
    std::vector<std::string> m_compare;
    bool m_newerOnly = false;
    std::string m_maxDelete;
    std::vector<std::string> m_exclude;
    std::string m_excludeTypes;
    std::string m_excludeAttrs;
    std::vector<std::string> m_include;
    std::string m_log;
    std::string m_versions;
    int m_keepDays = 0;
    int m_keepVersions = 0;
};

}  // namespace

std::unique_ptr<Command> makeMirrorCommand() {
    return std::make_unique<MirrorCommand>();
}
