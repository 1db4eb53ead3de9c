#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FindRecord.h"

// The file operations a run carries out on a mirror folder, in place of the
// shell's copy and delete. Every operation reports what went wrong as a value;
// none throws.
namespace platform {

struct OpResult {
    int error = 0;        // errno-style code; 0 is success
    std::string message;  // the system's reason, for the task log
    bool ok() const { return error == 0; }
    static OpResult success() { return {}; }
    static OpResult failure(int code);  // message from strerror
    static OpResult failure(int code, std::string message);
};

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

// A mirror folder opened for changes. Every target path handed to it must lie
// beneath its root (the root as the task stores it, with its trailing
// separator). No operation follows a symbolic link beneath the root: when a
// folder on the way to a target is a link, the operation fails instead of
// writing or deleting outside the mirror. The root itself may be a link.
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

    // Copies the regular file, link or FIFO at `source` (read without
    // following a final link; a regular file is opened without blocking) to
    // `target`. A file's content goes into a temporary file beside the target,
    // which then replaces the target in one step, so the target is always
    // either the old file or the new one. Keeps the last-write time to the
    // nanosecond, the access time, the permission bits, holes of sparse files,
    // and, when running as root, owner and group. Missing parent folders are
    // created; a read-only target is replaced. Other special files fail.
    // `beforeReplace`, when given, is called just before an existing target
    // is replaced.
    OpResult copyFile(const std::string& source, const std::string& target,
                      const BeforeReplace& beforeReplace = {});

    // Creates the folder at `target` (parents as needed) and nothing else. It
    // stays writable for its owner until finishDirectories() gives it the
    // permission bits and times of `source`.
    OpResult createDirectory(const std::string& source, const std::string& target);

    // Deletes the entry at `target`: a file or link, or a folder with all its
    // content except the entries `keep` names (which stay, with the folders
    // holding them). To the desktop's trash when `toTrash`; where no trash is
    // available the entry stays and the failure is returned. An entry that is
    // already gone is not a failure.
    OpResult remove(const std::string& target, bool toTrash, const KeepPredicate& keep = {});

    // Removes (for good) temporary files left by killed runs anywhere beneath
    // the root; returns how many went.
    std::size_t removeLeftovers();

    // Gives the folders made by createDirectory() their final permission bits
    // and times (and, when running as root, owner and group), deepest first.
    // A folder whose source has gone keeps what it has. Returns the first
    // failure; the other folders are finished all the same.
    OpResult finishDirectories();

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
