#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/VersionFiles.h"

// The versions folder of a task: the mirror files its runs replaced or
// deleted, one folder per run,
//   <versions>/<YYYY-MM-DD HHMMSS>/<pair number>-<mirror folder name>/<path>
// named by the local time the run started, so that people can browse them by
// date. A second run in the same second gets "<YYYY-MM-DD HHMMSS>-2", and so
// on. Nothing else in the folder is ever touched: entries whose names are not
// run folders are neither listed nor pruned.
namespace versions {

// The run folder name for a run that started at `start`.
std::string runFolderName(platform::DateTime start);
// The start time a run folder's name tells; none for any other name.
std::optional<platform::DateTime> runFolderTime(std::string_view name);
// "<index + 1>-<last name of the mirror folder>".
std::string pairFolderName(std::size_t index, std::string_view mirrorRoot);
// A kept name without the number a taken name was given ("a.txt.~2~" gives
// "a.txt").
std::string_view unnumbered(std::string_view name);

// The folders of one path beneath a base folder, kept open: the next path
// reuses those it shares with the last one and opens (or makes) only the
// rest. Kept files and pruned versions come in tree order, so most of the
// way is already open; opening each path from the base instead costs a
// lookup, and a make, per folder on the way.
class FolderChain {
public:
    // The folder at `relative` ("a/b") beneath `base` ("" is `base`
    // itself), made with kPrivateFolderMode where missing when `make` is
    // set; -1 with `result` telling why when it cannot be opened. Valid
    // until the next call. `base` must stay the same between calls.
    int open(int base, std::string_view relative, bool make, platform::OpResult& result);

private:
    std::vector<std::string> m_names;
    std::vector<platform::FolderFd> m_folders;  // m_folders[i] is m_names[0..i]
};

// Moves the files one run replaces or deletes into its run folder. The run
// folder is made on the first file kept, so a run that keeps nothing leaves
// nothing. One keeper serves one run on one thread.
class RunKeeper {
public:
    RunKeeper(std::string root, platform::DateTime start);

    // Moves the file or link `name` of the open folder `from` into the run
    // folder, at `relative` (its path beneath the pair's mirror folder) inside
    // the pair folder `pairFolder`.
    platform::OpResult keep(const std::string& pairFolder, int from, const std::string& name,
                            std::string_view relative);
    // Keeps the entry at `relative` beneath the mirror folder `mirrorRoot`:
    // a file or link is moved; of a folder every file and link beneath it is
    // moved into its place, leaving the folders themselves and the entries
    // `stay` names (with their full paths; a folder named stays whole). No
    // link on the way from the mirror folder is followed (ELOOP). An entry
    // that is gone already is no failure. Stops at the first failure.
    platform::OpResult keepEntry(const std::string& pairFolder, const std::string& mirrorRoot,
                                 std::string_view relative,
                                 const platform::KeepPredicate& stay = {});
    // Same through the mirror folder's open descriptor (a run's own). When
    // `expected` is given, an entry of the other kind fails and stays, as a
    // removal planned for a file that became a folder does.
    platform::OpResult keepEntry(const std::string& pairFolder, int mirrorFolder,
                                 const std::string& mirrorRoot, std::string_view relative,
                                 std::optional<platform::EntryKind> expected,
                                 const platform::KeepPredicate& stay = {});

    // Waits until what was kept is on the drive, unless nothing was or the
    // versions folder lies on a file system whose device is in `flushed`.
    platform::OpResult flush(const std::vector<std::uint64_t>& flushed);

    // The run folder's name; empty until a file has been kept.
    const std::string& runFolder() const { return m_runName; }
    std::size_t keptCount() const { return m_kept; }

    // Called after each file kept (tests stop a run there).
    static void (*afterKeep)();

private:
    platform::OpResult openRun();
    int mirrorFolder(const std::string& mirrorRoot, platform::OpResult& result);
    platform::OpResult keepTreeIn(const std::string& pairFolder, int folder,
                                  const std::string& path, const std::string& relative,
                                  const platform::KeepPredicate& stay);

    std::string m_root;
    platform::DateTime m_start;
    platform::FolderFd m_runFd;
    // The folders the latest file went into: the next one often goes there
    // or near.
    FolderChain m_folders;
    // The mirror folders, opened once for the run.
    std::map<std::string, platform::FolderFd> m_mirrors;
    std::string m_runName;
    std::size_t m_kept = 0;
};

// One kept file.
struct KeptVersion {
    std::string run;  // its run folder's name
    platform::DateTime runTime = 0;
    std::string path;  // "<pair folder>/<path>" as kept, numbered or not
    std::uint64_t size = 0;
    std::uint64_t lastWriteTime = 0;  // ticks, as FindRecord
    bool isLink = false;

    // `path` without the number a taken name got: the file it is a version of.
    std::string filePath() const;
};

struct RunFolder {
    std::string name;
    platform::DateTime time = 0;
};

// The run folders, newest first. An absent versions folder has none.
std::vector<RunFolder> listRuns(const std::string& root, platform::OpResult& result);
// Every kept file, newest run first, then by path. `under` (a pair folder
// path such as "1-docs/letters") keeps those of that file or folder.
std::vector<KeptVersion> listVersions(const std::string& root, platform::OpResult& result,
                                      std::string_view under = {});

// What pruning did; problems are reported, never fatal.
struct PruneResult {
    std::size_t runsRemoved = 0;
    std::size_t versionsRemoved = 0;
    std::vector<std::string> problems;
};
// Removes whole run folders that started more than `keepDays` days before
// `now`, then, of each file, the versions beyond the newest `keepVersions`.
// A limit of 0 is off.
PruneResult prune(const std::string& root, platform::DateTime now, int keepDays, int keepVersions);

// The same, for a run that keeps versions and prunes at its end. The count
// limit needs the name of every kept file: the folders of the earlier runs
// can be listed while the run is still keeping files, on a thread of their
// own, since nothing but pruning changes them. The run's own folder, and any
// not listed ahead, are listed when pruning.
class Pruner {
public:
    Pruner(std::string root, int keepDays, int keepVersions);
    ~Pruner();
    Pruner(const Pruner&) = delete;
    Pruner& operator=(const Pruner&) = delete;

    // Starts listing the run folders named for seconds before that of
    // `before` (the run's start), when the count limit is on.
    void listAhead(platform::DateTime before);
    PruneResult prune(platform::DateTime now);

private:
    struct Listing;

    // Lists into m_ahead the run folders named for seconds before that of
    // `before`.
    void listRunsBefore(platform::DateTime before);

    std::string m_root;
    int m_keepDays = 0;
    int m_keepVersions = 0;
    std::unique_ptr<Listing> m_ahead;
    std::thread m_lister;
};

// The versions to bring back for the file or folder `path` (as in
// listVersions): of each file the one kept by the run `at` (a run folder
// name; "YYYY-MM-DD HHMMSS" also finds the later runs of that second), or
// the newest one.
std::vector<KeptVersion> pickVersions(const std::vector<KeptVersion>& versions,
                                      std::string_view path,
                                      std::optional<std::string_view> at = std::nullopt);

struct RestoreItem {
    KeptVersion version;
    std::string target;  // relative to the destination folder
};
// Places each picked version under the last name of `path`: restoring
// "1-docs/letters" puts "1-docs/letters/a/b.txt" at "letters/a/b.txt".
std::vector<RestoreItem> restoreLayout(const std::vector<KeptVersion>& picks,
                                       std::string_view path);

struct RestoreResult {
    std::size_t restored = 0;
    std::vector<std::string> conflicts;  // targets left alone: something is there
    std::vector<std::string> failures;   // "target: reason"
};
// Copies the items into `destination` (made when missing), keeping times and
// bits. An existing entry is replaced only when `overwrite` is set, and a
// folder never; nothing is ever deleted.
RestoreResult restore(const std::string& root, const std::vector<RestoreItem>& items,
                      const std::string& destination, bool overwrite);

}  // namespace versions
