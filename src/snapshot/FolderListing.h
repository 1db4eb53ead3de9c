#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "snapshot/FileInfo.h"

// Something beneath a root a scan could not look at. A folder that could not
// be listed (a root included) is a listing failure; an entry whose lookup
// failed for another reason than "no such entry" is not listed at all and
// shows up here instead. Either way its content is unknown, which is not the
// same as absent.
struct ScanFailure {
    std::string path;
    int error = 0;
    bool listing = false;
};

// The entries of one folder as one listing gave them, in the kernel's order,
// with what the listing could not see.
struct FolderListing {
    // The open folder, so that its subfolders are opened beneath it rather
    // than by path; shared by the listings of those subfolders' requests.
    // Null when the folder could not be opened.
    std::shared_ptr<const platform::DirectoryHandle> folder;
    std::vector<FileInfo> entries;
    // Entries that could not be looked at, then the folder itself when it
    // could not be opened or its listing ended early.
    std::vector<ScanFailure> failures;
    // The path of a folder with the forbidden identity met here (it is then
    // not among the entries), or empty.
    std::string metForbidden;

    // True when the folder was opened and listed to its end.
    bool complete() const {
        return folder != nullptr && (failures.empty() || !failures.back().listing);
    }
};

// What a listing needs beyond the folder.
struct ListingRules {
    // Entries whose change time is before this are marked unchanged since
    // then (FileInfo::changedSince); 0 marks none so.
    std::uint64_t changedSince = 0;
    // A folder that must not be met (the other side of a folder pair,
    // reached through a bind mount): it is left out and reported.
    std::optional<platform::FileIdentity> forbidden;
};

// Lists the open `folder`, whose path is `path` (entry paths are `path`, a
// separator unless it ends with one, and the name).
FolderListing listFolder(std::shared_ptr<const platform::DirectoryHandle> folder,
                         const std::string& path, const ListingRules& rules);

// Opens the subfolder `name` of `parent` without following a link and lists
// it; `path` is the subfolder's own path.
FolderListing listSubfolder(const platform::DirectoryHandle& parent, const std::string& name,
                            const std::string& path, const ListingRules& rules);
