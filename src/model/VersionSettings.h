#pragma once

#include <string>
#include <string_view>

// Whether and how a task keeps the mirror files a run replaces or deletes.
// The limits are independent; 0 turns one off.
struct VersionSettings {
    // The folder made at the top of the first mirror when the user turns
    // versions on without choosing one.
    static constexpr std::string_view kDefaultFolderName = ".twinfold-versions";
    static constexpr int kMaxDays = 36500;
    static constexpr int kMaxVersions = 1000000;

    bool enabled = false;
    // An absolute folder; empty means the default folder of the task.
    std::string folder;
    int keepDays = 0;      // run folders older than this many days go
    int keepVersions = 0;  // versions of one file beyond this many go, oldest first

    bool operator==(const VersionSettings&) const = default;
};
