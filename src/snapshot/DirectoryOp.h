#pragma once

#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "snapshot/FolderListing.h"

class DirectoryInfo;

// Fills a DirectoryInfo with the tree beneath its root. Symbolic links are
// entries of their own and never descended into; a root that is itself a link
// to a folder is followed.
class DirectoryOp {
public:
    // Remembers the snapshot to fill; it must not be null.
    void attach(DirectoryInfo* info);

    // Walks the tree and appends every entry, in the kernel's order within a
    // folder, each folder's content right after the folder. Does not clear the
    // snapshot first. Folders that cannot be listed and entries that cannot be
    // looked up are recorded as failures of the snapshot.
    void scan();

    // A folder the walk must not find beneath the root (the other side of a
    // folder pair, reached through a bind mount): when met it is not entered,
    // and its path is kept for metForbidden().
    void setForbidden(const platform::FileIdentity& identity) { m_rules.forbidden = identity; }
    const std::string& metForbidden() const { return m_metForbidden; }

private:
    // Adds a folder's listing, then lists and adds its subfolders in turn.
    void add(FolderListing listing);

    DirectoryInfo* m_target = nullptr;
    ListingRules m_rules;
    std::string m_metForbidden;
};
