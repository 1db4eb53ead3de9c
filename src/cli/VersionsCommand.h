#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

class Task;

// The command line's view of a task's versions folder: listing what runs
// kept and bringing it back. The commands themselves (versions, restore) are
// made by makeVersionsCommand() and makeRestoreCommand() (cli/Commands.h).
namespace cli {

// The versions path ("<pair folder>/<path>") a user's PATH names: a path
// beneath one of the task's main or mirror folders, or a versions path as
// listed. Empty names everything.
std::string versionsPathFor(const Task& task, std::string_view path);

// `versions TASK [PATH]`: one line per kept file, newest run first: the
// run's time, the path, the size, separated by tabs. Returns a TaskRunner
// exit code.
int listVersions(const Task& task, std::string_view path, std::FILE* out, std::FILE* err);

// `restore TASK PATH [--at RUN] --to DIR [--overwrite]`: copies the newest
// version (or the one `at` kept) of the file, or of every file beneath the
// folder, into DIR under the path's last name. An existing file is replaced
// only with `overwrite`.
int restoreVersions(const Task& task, std::string_view path, const std::optional<std::string>& at,
                    const std::string& to, bool overwrite, std::FILE* out, std::FILE* err);

}  // namespace cli
