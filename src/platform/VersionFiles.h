#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/FindRecord.h"

// The file operations of a versions folder: moving a mirror file in without
// ever replacing what is kept there, copying kept files back out, and
// removing what pruning lets go. Folders are worked on through descriptors
// and no link beneath a folder handed in is ever followed.
namespace platform {

// An owned descriptor of an open folder; closes itself.
class FolderFd {
public:
    FolderFd() = default;
    explicit FolderFd(int fd) : m_fd(fd) {}
    ~FolderFd();
    FolderFd(FolderFd&& other) noexcept;
    FolderFd& operator=(FolderFd&& other) noexcept;
    FolderFd(const FolderFd&) = delete;
    FolderFd& operator=(const FolderFd&) = delete;

    bool valid() const { return m_fd >= 0; }
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// Folders this module makes have owner bits only: what they hold is never
// shown to other users, whatever the folder it came from allowed.
inline constexpr unsigned kPrivateFolderMode = 0700;

// Opens the folder at `path` (a final link is followed), making it and its
// missing parents with kPrivateFolderMode when `make` is set.
FolderFd openFolder(const std::string& path, bool make, OpResult& result);

// Opens the folder `name` inside `parent` without following a link, making
// it with kPrivateFolderMode when missing and `make` is set.
FolderFd openChildFolder(int parent, std::string_view name, bool make, OpResult& result);

// Opens every folder of the relative path `relative` ("a/b/c") beneath
// `base` in turn, as openChildFolder does. An empty path opens `base` again.
FolderFd openFolderPath(int base, std::string_view relative, bool make, OpResult& result);

// Waits until what was written on the file system holding the open folder
// `folder` is on its drive.
OpResult flushFileSystem(int folder);

// Makes the folder `name` inside `parent` with kPrivateFolderMode; fails
// with EEXIST when the name is taken, so two callers never get one folder.
OpResult claimFolder(int parent, std::string_view name);

// Moves the file or link `fromName` of the folder `from` into the folder `to`
// as `toName`, never replacing anything: when the name is taken the first
// free of "toName.~2~", "toName.~3~", ... is used, and `usedName` tells which.
// Within one file system this is a rename. Across file systems the entry is
// copied (content, holes aside, last-write and access times, permission
// bits, and owner and group when running as root) under a temporary name,
// given its final name without replacing, and only then removed from `from`.
// Folders are refused (EISDIR).
OpResult moveNoReplace(int from, const std::string& fromName, int to, const std::string& toName,
                       std::string* usedName = nullptr);

// Copies the file or link `fromName` of `from` to `toName` in `to`, keeping
// times and permission bits (and owner and group as root). Through a
// temporary file given its name in one step; an existing entry of that name
// is replaced only when `replace` is set (a folder never is), else the copy
// fails with EEXIST.
OpResult copyOut(int from, const std::string& fromName, int to, const std::string& toName,
                 bool replace);

// Removes the entry `name` of `parent` and, for a folder, everything in it,
// without following links.
OpResult removeEntryTree(int parent, const std::string& name);

// Removes the folder `name` of `parent` when it is empty; an error otherwise
// (ENOTEMPTY).
OpResult removeEmptyFolder(int parent, const std::string& name);

// Calls `visit` for every entry of the open folder but "." and "..", with
// what lookupEntryAt() tells of it. Returns 0 or the errno that ended the
// listing.
int forEachEntry(int folder,
                 const std::function<void(const std::string& name, const Lookup&)>& visit);

// Calls `visit` for every entry of the open folder but "." and "..", with
// whether it is a folder (a link never is), from the listing alone where the
// file system tells the type: far cheaper than a lookup per entry. Returns 0
// or the errno that ended the listing.
int forEachName(int folder,
                const std::function<void(const std::string& name, bool isFolder)>& visit);

// True when the folders `a` and `b` (or, for one not made yet, its deepest
// existing folder) are on one file system; none when either cannot be read.
std::optional<bool> sameFileSystem(const std::string& a, const std::string& b);

}  // namespace platform
