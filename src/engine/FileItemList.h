#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileItem.h"
#include "model/FileExclude.h"
#include "platform/FileOps.h"

class Task;
class MirrorMemory;

// A change plan: the operations of one run of a task, in the order they are
// carried out, with what the run needs of the task captured when the plan was
// built, so that editing or deleting the task's rules while the run goes on
// cannot change or break it.
class FileItemList {
public:
    // The task must not be null.
    explicit FileItemList(const Task* task);

    // Appends an empty item and returns it for the caller to fill.
    FileItem& newItem();
    // Appends items made elsewhere, in their order.
    void append(std::deque<FileItem>&& items);
    // Takes back the items after the first `size`.
    void truncate(std::size_t size);

    // Items concerning directories, whatever their operation; counted once.
    std::int32_t directoryCount();
    std::int32_t fileCount();

    const Task* task() const { return m_task; }
    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const FileItem& operator[](std::size_t i) const { return m_items[i]; }
    // For changing an item after planning (holding deletions back).
    FileItem& at(std::size_t i) { return m_items.at(i); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    // The task's name and the policy's rule word when the plan was built.
    std::string taskName;
    std::uint32_t policyFlags = 0;
    // A copy of the task's exclusion filter, used when deleting folders.
    std::optional<FileExclude> exclusions;
    // What real runs learned of mirror file systems; none when not kept. A
    // real run adds what it learns of the mirrors it makes.
    MirrorMemory* mirrorMemory = nullptr;
    // Where the run keeps the mirror files it replaces or deletes; the folder
    // is empty when the task keeps no versions.
    struct Versions {
        std::string folder;
        int keepDays = 0;
        int keepVersions = 0;
    };
    Versions versions;
    // One per folder pair of the task, in order.
    struct Pair {
        std::string mainRoot;    // as the task stores it, with a trailing separator
        std::string mirrorRoot;  // likewise
        // The opened main folder. Every source of the pair is read through
        // it, and the run checks that the path still leads to it.
        platform::SourceTree source;
        // The opened mirror folder; it holds the mirror's lock until
        // released. Invalid when the pair was skipped or its mirror folder is
        // still to be made by the run.
        platform::MirrorTree tree;
        bool skipped = false;
        // Entries (files, links and folders) the mirror held when it was
        // listed, leaving out those no plan touches; the measure of the
        // mass-deletion guard.
        std::int64_t mirrorEntries = 0;
        // Temporary files of killed runs found in the mirror; a real run
        // removes them for good before anything else.
        std::vector<std::string> leftovers;
        // Whether the mirror's time precision was learned (by writing) for
        // this plan; a real run learns it of a mirror it makes.
        bool timePrecisionLearned = false;
        // This pair's folder inside each run folder of the versions folder.
        std::string versionsName;
        // Mirror folders (the root included) whose permission bits, owner
        // or last-write time differ from their main folder's: a real run
        // gives them main's once their content is done. Not items of the
        // plan, since nothing else about them changes.
        std::vector<std::string> folderRepairs;
        // When not empty, a run that carries the whole plan out remembers
        // `attributesCheckTime` under this key: from then on the extended
        // attributes of all the pair's entries are known to match.
        std::string attributesKey;
        std::uint64_t attributesCheckTime = 0;
    };
    std::vector<Pair> pairs;

    // Lets go of the folders and the mirrors' locks.
    void releaseMirrors();

private:
    const Task* m_task;
    std::deque<FileItem> m_items;
    std::int32_t m_directoryCount = -1;
};
