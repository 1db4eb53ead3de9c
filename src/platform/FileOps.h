#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FindRecord.h"
#include "platform/OpResult.h"

// The file operations a run carries out on a mirror folder, in place of the
// shell's copy and delete. Every operation reports what went wrong as a value;
// none throws.
namespace platform {

namespace detail {
class DeferredClose;
}

// Names of temporary files that a copy writes before renaming them into
// place: a fixed prefix and a random part. A killed run can leave them
// behind; nothing else ever has such a name.
inline constexpr std::string_view kTemporaryPrefix = ".twinfold-partial-";
bool isTemporaryName(std::string_view name);

// Kinds of extended metadata that copies carry where the mirror keeps them:
// attributes in the user. namespace (tags, ratings, origins) and POSIX ACLs
// (access and default).
inline constexpr std::uint32_t kKeepUserAttributes = 1;
inline constexpr std::uint32_t kKeepAcls = 2;

// The kinds the file system of the open folder `dirFd` keeps; asks without
// writing.
std::uint32_t keptMetadata(int dirFd);

// True when the entries at `main` and `mirror` (final links not followed)
// carry the same metadata of the kinds `kinds`, or when either cannot be
// read.
bool sameExtendedAttributes(const std::string& main, const std::string& mirror,
                            std::uint32_t kinds);

// Decides whether an entry beneath a folder being deleted must stay (an
// excluded entry); its ancestors then stay too.
using KeepPredicate = std::function<bool(const std::string& path, const FindRecord& record)>;

// Called by MirrorTree::copyFile() when the new content is complete under its
// temporary name and an entry of the target's name is about to be replaced:
// with the target's folder and name, so the old entry can be moved away
// first. A failure stops the copy and leaves the target as it was.
using BeforeReplace = std::function<OpResult(int folderFd, const std::string& name)>;

// How long a run waits for another run to let go of a mirror folder.
inline constexpr int kMirrorLockWaitMs = 3000;

// A main folder opened for reading, once per plan. Sources beneath it are
// opened relative to it without following any link on the way, so a folder
// swapped for a link after the plan was made cannot lead a copy outside. The
// root itself may be a link: it is followed once, when opened.
class SourceTree {
public:
    SourceTree() = default;
    ~SourceTree();
    SourceTree(SourceTree&& other) noexcept;
    SourceTree& operator=(SourceTree&& other) noexcept;
    SourceTree(const SourceTree&) = delete;
    SourceTree& operator=(const SourceTree&) = delete;

    // Opens the folder `root`; invalid on failure, result says why.
    static SourceTree open(const std::string& root, OpResult& result);
    // Sources named one by one by their full path (included files): links on
    // the way are followed, a final link is copied as a link.
    static SourceTree byFullPath();

    bool valid() const { return m_fd >= 0 || m_byPath; }
    const std::string& root() const { return m_root; }
    int fd() const { return m_fd; }
    bool byPath() const { return m_byPath; }

    // Fails when `root()` now names another folder than the one opened (a
    // link re-pointed, a drive mounted or unmounted there).
    OpResult checkRoot() const;

private:
    std::string m_root;
    int m_fd = -1;
    bool m_byPath = false;
};

// What the plan saw at a target about to be removed: a folder, or anything
// else (a file, a link, a FIFO). A removal whose entry is no longer of that
// kind fails and touches nothing.
enum class EntryKind : std::uint8_t { File, Folder };

// A mirror folder opened for changes. Every target path handed to it must lie
// beneath its root (the root as the task stores it, with its trailing
// separator). No operation follows a symbolic link beneath the root: when a
// folder on the way to a target is a link, the operation fails instead of
// writing or deleting outside the mirror. The root itself may be a link; it
// is followed once, when opened, and every operation goes through the folder
// opened then.
//
// While a MirrorTree is open it holds an advisory lock on the folder, so two
// runs over one mirror never meet.
class MirrorTree {
public:
    MirrorTree();
    ~MirrorTree();
    MirrorTree(MirrorTree&& other) noexcept;
    MirrorTree& operator=(MirrorTree&& other) noexcept;
    MirrorTree(const MirrorTree&) = delete;
    MirrorTree& operator=(const MirrorTree&) = delete;

    // Opens the folder (which must exist) and takes its lock, waiting up to
    // `lockWaitMs` for another run to let go. Invalid on failure; result says
    // why (EWOULDBLOCK when the lock stayed taken).
    static MirrorTree open(const std::string& root, int lockWaitMs, OpResult& result);

    bool valid() const { return m_fd >= 0; }
    const std::string& root() const { return m_root; }
    int fd() const { return m_fd; }

    // Fails when `root()` now names another folder than the one opened.
    OpResult checkRoot() const;

    // What the mirror's file system keeps of bits and owners.
    MetadataKept kept() const { return m_kept; }

    // Copies the regular file, link or FIFO at `source` (beneath `from`, read
    // without following a link on the way or a final link; a regular file is
    // opened without blocking) to `target`. A file's content goes into a
    // temporary file beside the target, which then replaces the target in one
    // step, so the target is always either the old file or the new one. Keeps
    // the last-write time to the nanosecond, the access time, the permission
    // bits, user. attributes and ACLs where the mirror's file system keeps
    // them, holes of sparse files, and, when running as root, owner and group.
    // Missing parent folders are created owner-only, and get their sources'
    // bits in finishDirectories(); a read-only target is replaced. Other
    // special files fail. `beforeReplace`, when given, is called just before
    // an existing target is replaced.
    OpResult copyFile(const SourceTree& from, const std::string& source, const std::string& target,
                      const BeforeReplace& beforeReplace = {});

    // Gives the entry at `target` the metadata of `source` in place: the
    // user. attributes and ACLs (of regular files), then the permission bits
    // (not to links) and, when running as root, the owner and group. Content,
    // times and the entry itself stay. Fails when the two are not of one type.
    OpResult copyAttributes(const SourceTree& from, const std::string& source,
                            const std::string& target);

    // Creates the folder at `target` (parents as needed) and nothing else. It
    // stays owner-only until finishDirectories() gives it the permission bits
    // and times of `source`, which must still be a folder.
    OpResult createDirectory(const SourceTree& from, const std::string& source,
                             const std::string& target);

    // Deletes the entry at `target` when it is still of the kind `expected`:
    // a file or link, or a folder with all its content except the entries
    // `keep` names (which stay, with the folders holding them). To the
    // desktop's trash when `toTrash`; where no trash is available on the
    // entry's file system the entry stays and the failure is returned. An
    // entry that is already gone is not a failure.
    OpResult remove(const std::string& target, EntryKind expected, bool toTrash,
                    const KeepPredicate& keep = {});

    // Looks up the entry at `target` without following any link on the way
    // or a final link: a path that passes through a link (or a file) leads
    // to no entry of this mirror, and is Absent.
    Lookup lookup(const std::string& target) const;

    // Has finishDirectories() look at the folder `target` (the root
    // included) too: a folder whose bits, owner or times differ from its
    // source's.
    void finishLater(const std::string& target);

    // Gives each folder this tree made, each folder holding an entry it
    // changed, and each folder passed to finishLater() the permission bits,
    // last-write and access times and, when running as root, owner and group
    // of its source beneath `from` (the folder at the same place), deepest
    // first, so that a folder's times are set after its content is done.
    // Bits and owners are left alone on a file system that keeps none (FAT).
    // A folder whose source has gone keeps what it has. Every folder is
    // tried; each failure goes to `failed` when given, and the first is
    // returned.
    using FailureSink = std::function<void(const std::string& target, const OpResult& result)>;
    OpResult finishDirectories(const SourceTree& from, const FailureSink& failed = {});

    // Learns the step in which the mirror's file system keeps last-write
    // times: a temporary file in the root gets a known time with nanoseconds,
    // which is read back. Writes, so for real runs only. 100-nanosecond
    // ticks, or 0 when nothing could be learned (a read-only mirror).
    std::uint64_t learnTimePrecision();

    // Flushes everything written to the mirror's file system to the drive,
    // so that what a run reports done survives a drive pulled right after.
    // A failure means some of it may not be there.
    OpResult flush();

private:
    // A folder's source for finishDirectories(): none for the entry at the
    // same place beneath the main folder.
    struct PendingSource {
        std::string source;
        bool byPath = false;  // read by its full path (an included folder)
    };

    // Records the folder `relative` (to the root; empty for the root) for
    // finishDirectories(), with its source when that is not the entry at the
    // same place beneath the main folder.
    void pend(const std::string& relative, const std::string& source = {}, bool byPath = false);
    void pendMade(const std::vector<std::string>& made);
    OpResult finishOne(const SourceTree& tree, const std::string& relative,
                       const PendingSource& pending) const;
    // The mirror's closing thread, made when first needed.
    detail::DeferredClose& closer();

    std::string m_root;
    int m_fd = -1;
    // Through FUSE a rename can give the renamed file the current time (FAT
    // implementations do): times are set once more after the rename.
    bool m_timesAfterRename = false;
    // The file system refused to clone a copy's blocks: later copies do not ask.
    bool m_cloneRefused = false;
    MetadataKept m_kept;
    std::unordered_map<std::string, PendingSource> m_pending;
    // Where files replaced or deleted are closed: their blocks are freed
    // beside the next copies instead of before them.
    std::unique_ptr<detail::DeferredClose> m_closer;
};

}  // namespace platform
