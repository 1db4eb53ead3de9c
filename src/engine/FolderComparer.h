#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/FileItem.h"
#include "engine/FileItemList.h"
#include "model/CopyPolicy.h"
#include "platform/FileSystem.h"
#include "snapshot/FileInfo.h"

class DirectoryInfo;
class Task;
class TaskFolderItem;

// Builds a change plan: compares every folder pair of the list's task under
// its copy policy and exclusion filter, then the task's included files.
//
// It plans to protect: a pair whose main folder is missing, unreadable, or
// empty while its mirror is not plans a single skip; nothing beneath a main
// folder or entry that could not be read is deleted; pairs that overlap are
// refused, by path and by the identity of the folders (bind mounts and links
// do not hide an overlap); a mirror folder that cannot be listed and a name
// that another main entry takes in other letter case on a mirror that ignores
// case are failed items; the include folder, the versions folder, the trash and
// lost+found of a mounted folder and temporary files of killed runs are
// never planned. A task whose versions folder cannot be used plans nothing
// but skips: it must not replace or delete what it was asked to keep.
//
// Both folders of each pair are opened once here and kept in the plan: the
// run works through them.
class FolderComparer {
public:
    // The list must not be null; its task must have a policy.
    explicit FolderComparer(FileItemList* list);

    // How long to wait for a mirror folder another run is using.
    void setLockWait(int milliseconds) { m_lockWaitMs = milliseconds; }
    // For a plan a real run carries out: each mirror's time precision is
    // learned by writing a temporary file in it. Otherwise nothing is written
    // and what the list's memory holds, or the mount table's rule, is used.
    void setLearnTimePrecision(bool learn) { m_learnTimePrecision = learn; }

    void compareAll();

    // Judges one included file against its copy in the include folder. An
    // included folder is judged with everything beneath it.
    void compareIncludedFile(const std::string& path, const std::string& includeFolder);

private:
    void comparePair(std::size_t index, const TaskFolderItem& folder);
    bool refusePair(std::size_t index, const TaskFolderItem& folder, std::string& reason);
    bool refuseByIdentity(std::size_t index, const FileItemList::Pair& pair, std::string& reason);
    void compareMain(const FileInfo& entry, const FileInfo& counterpart,
                     platform::LookupStatus status);
    // Plans what becomes of a mirror entry without a main counterpart;
    // into `into` when given (safe beside the main pass), else the plan.
    void compareMirror(const FileInfo& entry, std::string counterpartPath,
                       platform::LookupStatus status, std::deque<FileItem>* into = nullptr) const;
    bool timesDiffer(const FileInfo& a, const FileInfo& b, int& order) const;
    bool attributesDiffer(const FileInfo& entry, const FileInfo& counterpart) const;
    void compareFolder(const FileInfo& entry, const FileInfo& counterpart);
    bool planTypeChange(const FileInfo& entry, const FileInfo& counterpart);
    FileItem& addItem(const FileInfo& entry, const FileInfo& counterpart, std::int32_t code,
                      std::deque<FileItem>* into = nullptr) const;
    void addSkip(const std::string& path, std::string reason,
                 std::deque<FileItem>* into = nullptr) const;
    void addFailure(const std::string& path, bool isDirectory, std::string reason);
    bool isExcluded(const FileInfo& entry) const;
    void compareIncludedFolder(const std::string& folder, const std::string& copy);
    std::uint64_t mirrorTimePrecision(FileItemList::Pair& pair);
    // The time from which the pair's entries are known to have matching
    // extended attributes (0: none known), and the key and time a run that
    // succeeds remembers for the next.
    std::uint64_t attributesCheckedSince(FileItemList::Pair& pair) const;

    FileItemList* m_list;
    const Task* m_task;
    CopyPolicy m_policy;
    int m_lockWaitMs = platform::kMirrorLockWaitMs;
    bool m_learnTimePrecision = false;
    std::string m_includeFolder;
    std::vector<std::string> m_resolvedMirrors;
    std::string m_versionsProblem;
    std::string m_resolvedVersions;
    // The mirror folders of the pairs so far with the folders above them.
    std::vector<std::vector<platform::FileIdentity>> m_mirrorChains;
    // State of the pair being compared.
    std::int32_t m_pair = -1;
    std::uint64_t m_timePrecision = 1;
    // The kinds of extended metadata the pair's mirror keeps.
    std::uint32_t m_keptMetadata = 0;
    platform::MetadataKept m_kept;
};
