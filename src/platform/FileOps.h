#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FindRecord.h"
#include "platform/OpResult.h"

// The file operations a run carries out on a mirror folder, in place of the
// shell's copy and delete. Every operation reports what went wrong as a value;
// none throws.
namespace platform {

// Names of temporary files that a copy writes before renaming them into
// place: a fixed prefix and a random part. A killed run can leave them
// behind; nothing else ever has such a name.
inline constexpr std::string_view kTemporaryPrefix = ".twinfold-partial-";
bool isTemporaryName(std::string_view name);

// Makes a folder and its missing parents (owner rwx plus the umask's other
// bits). Succeeds when the folder exists already.
OpResult makeDirectories(const std::string& path);

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
    MirrorTree() = default;
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

    // Copies the regular file, link or FIFO at `source` (beneath `from`, read
    // without following a link on the way or a final link; a regular file is
    // opened without blocking) to `target`. A file's content goes into a
    // temporary file beside the target, which then replaces the target in one
    // step, so the target is always either the old file or the new one. Keeps
    // the last-write time to the nanosecond, the access time, the permission
    // bits, holes of sparse files, and, when running as root, owner and group.
    // Missing parent folders are created; a read-only target is replaced.
    // Other special files fail. `beforeReplace`, when given, is called just
    // before an existing target is replaced.
    OpResult copyFile(const SourceTree& from, const std::string& source, const std::string& target,
                      const BeforeReplace& beforeReplace = {});

    // Creates the folder at `target` (parents as needed) and nothing else. It
    // stays writable for its owner until finishDirectories() gives it the
    // permission bits and times of `source`, which must still be a folder.
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

    // Gives the folders made by createDirectory() their final permission bits
    // and times (and, when running as root, owner and group), deepest first,
    // reading them from their sources beneath `from`. A folder whose source
    // has gone keeps what it has. Returns the first failure; the other
    // folders are finished all the same.
    OpResult finishDirectories(const SourceTree& from);

private:
    struct PendingDirectory {
        std::string target;
        std::string source;
    };

    std::string m_root;
    int m_fd = -1;
    std::vector<PendingDirectory> m_pending;
};

}  // namespace platform
