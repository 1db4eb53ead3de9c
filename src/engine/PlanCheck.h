#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

class FileItemList;

// What a preview saw of the entries a plan touches, so that the very plan
// can be carried out later only where nothing changed meanwhile.
struct PlanSnapshot {
    struct Seen {
        platform::LookupStatus status = platform::LookupStatus::Absent;
        bool isDirectory = false;
        bool isLink = false;
        std::uint64_t size = 0;           // files only
        std::uint64_t lastWriteTime = 0;  // files only
        bool operator==(const Seen&) const = default;
    };
    // Per item of the plan: its source and its target.
    std::vector<Seen> sources;
    std::vector<Seen> targets;
    // Per folder deletion (by item index): every entry beneath the folder,
    // as "relative path, type, size, time" keys.
    std::unordered_map<std::size_t, std::vector<std::string>> beneath;
};

// Looks at every entry the plan's operations touch (skips and exclusions
// touch nothing).
PlanSnapshot takePlanSnapshot(const FileItemList& plan);

// Turns each operation whose source or target is no longer as the snapshot
// saw it (existence, type, and for files size and last-write time), and each
// folder deletion beneath which an entry was added or changed, into a skip
// that says why. Returns how many were turned. The plan must be the one the
// snapshot was taken of.
std::size_t recheckPlan(FileItemList& plan, const PlanSnapshot& seen);
