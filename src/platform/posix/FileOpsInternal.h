#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/FileOps.h"
#include "platform/posix/Sys.h"

// Pieces of the mirror-tree operations shared by their source files.
namespace platform::detail {

// An owned file descriptor; closes itself.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.m_fd, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1) {
        if (m_fd >= 0) {
            sys().close(m_fd);
        }
        m_fd = fd;
    }
    // Closes now and reports what close() said (late write errors show here
    // on network file systems): 0 or an errno.
    int close() {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || sys().close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
};

// Hands all of `text` to the open file `fd`: short writes go on with the
// rest, interrupted ones are tried again. A write that takes nothing counts
// as a full drive rather than being asked again forever. Returns 0 or the
// errno of another failure.
inline int writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = retryEintr(sys().write, fd, text.data(), text.size());
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// The largest piece of content moved by one system call.
inline constexpr std::size_t kCopyChunkBytes = std::size_t{8} << 20;

// Copies the content of the regular file `source` (described by `st`) into
// the empty file `target`, keeping holes. Returns 0 or an errno: EAGAIN when
// the source ends before the length `st` gives (it shrank meanwhile), ENOSPC
// when a write takes nothing.
// `cloneRefused`, when given, keeps the copies of one mirror from asking for
// a clone again once one was refused: a file system that cannot clone
// (ext4), or a main folder on another file system, refuses every file alike.
// Within one file system the kernel's range copy shares blocks where it can,
// so an included file that could have been cloned loses nothing.
int copyContent(int source, int target, const struct stat& st, bool* cloneRefused = nullptr);
// Gives the open entry `target` the user. attributes and POSIX ACLs of the
// open entry `source`, removing those it has that the source has not (none,
// when `targetIsNew`). What the target's file system cannot keep is dropped.
// Returns 0 or an errno.
int copyExtendedAttributes(int source, int target, bool targetIsNew);

// An entry of a listed folder: its name, and its type as the listing tells it
// (a DT_ value; DT_UNKNOWN where the file system does not tell).
struct Listed {
    std::string name;
    unsigned char type;
};

// Lists the folder open as `dirFd` from its start, all but "." and "..".
// Returns 0 or the errno that ended the listing.
int listFolder(int dirFd, std::vector<Listed>& out);

// True when the listed entry of the folder `dirFd` is a folder (a link never
// is); asks the file system only where the listing did not tell.
bool isFolderEntry(int dirFd, const Listed& entry);

// Moves the entry `name` of the open folder `dirFd` to the trash of its own
// file system; `path` is its full path, kept for putting it back. Never
// deletes instead, never replaces an entry in the trash.
OpResult moveToTrashAt(int dirFd, const std::string& name, const std::string& path);

// Closes the descriptors of entries whose last name was just taken (renamed
// over or unlinked) on a thread of its own. Their last close frees the
// blocks, which on a drive mounted with online discard waits for the drive,
// once per file; the copies that follow need not wait with it. Few
// descriptors and little space are held back at a time: beyond that a
// descriptor is closed at once, as without this.
class DeferredClose {
public:
    // For the mirror open as `folderFd`. Only local file systems of drives
    // take part: a network file system keeps a file renamed over or deleted
    // while it is open under a hidden name of its own.
    explicit DeferredClose(int folderFd);
    ~DeferredClose() { drain(); }
    DeferredClose(const DeferredClose&) = delete;
    DeferredClose& operator=(const DeferredClose&) = delete;

    // Whether entries are worth holding: otherwise add() closes at once.
    bool enabled() const { return m_enabled; }
    // Takes `fd`, an entry that may hold `bytes` of the drive until closed.
    void add(UniqueFd fd, std::uint64_t bytes);
    // Whether entries taken but not yet closed may hold space of the drive.
    bool holdsSpace();
    // Returns once everything taken is closed; the thread ends.
    void drain();

private:
    struct Waiting {
        int fd;
        std::uint64_t bytes;
        int (*close)(int);  // the table's entry when it was taken
    };
    void work();

    bool m_enabled = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Waiting> m_waiting;
    std::uint64_t m_bytes = 0;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace platform::detail
