#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FindRecord.h"
#include "platform/OpResult.h"

namespace platform {

// The outcome of looking an entry up. Only "no such entry" (ENOENT, ENOTDIR)
// means absent; any other failure (EACCES, EIO, ENOTCONN, ESTALE, ...) leaves
// the entry unknown, which callers must never treat as absent.
enum class LookupStatus : std::uint8_t { Found, Absent, Unknown };

struct Lookup {
    LookupStatus status = LookupStatus::Absent;
    int error = 0;  // errno when not found
    FindRecord record;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Which entry a path or descriptor leads to, whatever the path text: bind
// mounts and links make one folder reachable under many texts.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of an open descriptor; false when it cannot be read.
bool identityOf(int fd, FileIdentity& out);

// The folder open as `dirFd` and each folder above it up to "/", nearest
// first, as the kernel reaches them through "..". Empty on failure, with the
// errno that stopped it in `error` when given (EACCES: a folder on the way
// may not be searched).
std::vector<FileIdentity> folderAndAncestors(int dirFd, int* error = nullptr);

// True when the file system holding `path` takes names that differ only in
// letter case for one (FAT, exFAT, SMB shares, HFS+).
bool ignoresCase(const std::string& path);

// Looks up the entry at `path` itself, without following a final link.
Lookup lookupEntry(const std::string& path);

// Same, relative to an open directory.
Lookup lookupEntryAt(int dirFd, const char* name);

// The entry an open descriptor leads to (Found, or Unknown with the errno).
Lookup lookupOpen(int fd);

// What of an entry's metadata a copy can carry to the file system holding
// `path`, beyond content and times: permission bits (not on FAT, whose bits
// come from mount options), and owner and group (those file systems, and only
// when running as root).
struct MetadataKept {
    bool permissions = true;
    bool owners = false;
};
MetadataKept metadataKeptBy(const std::string& path);

// The finest step, in 100-nanosecond ticks, in which the file system holding
// `path` stores last-write times by the mount table's rule for its type: 2
// seconds on FAT, 1 second on some others, 1 tick where it is finer or not
// known. A file system can keep coarser times than its type says (ext4 with
// small inodes keeps whole seconds); what a mirror really keeps is learned by
// MirrorTree::learnTimePrecision().
std::uint64_t timePrecisionTicks(const std::string& path);

// A text naming the file system that holds the open entry `fd`: its type and
// the identity the kernel gives it (derived from the volume's UUID where it
// has one), so what was learned of a drive is found again when it is plugged
// in elsewhere. Empty when it cannot be read.
std::string fileSystemKey(int fd);

// True when the file system holding the open entry `fd` is kept on this
// machine and stamps change times from this machine's clock in nanoseconds
// (ext4, XFS, Btrfs, F2FS, tmpfs): a change time there can be compared with
// the time a run started. Network and FUSE file systems take theirs from
// elsewhere, and FAT keeps none.
bool changeTimesTrusted(int fd);

// True when `path` is the top folder of a mounted file system.
bool isMountRoot(const std::string& path);

// The absolute path with every link and "." or ".." resolved; for a path that
// does not exist (yet), its deepest existing folder is resolved and the rest
// appended as given. Empty for an empty or relative path.
std::string resolvePath(const std::string& path);

// Makes the folder `path` and its missing parents. Every folder made here is
// its owner's alone (0700): the program makes folders for its own state (the
// configuration, the run history, task logs, the desktop's trash and
// autostart folders), which nobody else needs to read, and for mirror
// folders, which get their main folders' bits once their content is done.
// Succeeds when the folder exists already, whatever its bits; a file in the
// way fails with ENOTDIR.
OpResult makeFolders(const std::string& path);

// True when `path` leads to an existing entry; a link is followed, so a
// dangling one does not count.
bool exists(const std::string& path);

// True when `path` leads to an existing folder (a link to one counts).
bool folderExists(const std::string& path);

// True when the folder that would hold the file `path` exists: its folder
// part, or the root for "/name". A bare name has no folder and gives false.
// The task dialog's warning and the run decide by it whether a task log can
// be written.
bool folderOfFileExists(const std::string& path);

// An open directory, listed in the kernel's order. Move-only; closes itself.
class DirectoryHandle {
public:
    DirectoryHandle() = default;
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    // Opens a folder by path; a final link to a folder is followed (roots may
    // be links). On failure the handle is invalid and error() tells why.
    static DirectoryHandle open(const std::string& path);

    // Opens a subfolder by name without following a link.
    DirectoryHandle openChild(const char* name) const;

    bool valid() const { return m_fd >= 0; }
    int error() const { return m_error; }
    int fd() const { return m_fd; }

    // One listed entry. `name` is valid during the callback only.
    struct Entry {
        std::string_view name;
        Lookup lookup;  // statx of the entry (Found, or Unknown when it failed)
    };

    // Calls `visit` for every entry but "." and "..", in the kernel's order,
    // each with its record. Returns 0, or the errno that ended the listing.
    int forEach(const std::function<void(const Entry&)>& visit) const;

private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace platform
