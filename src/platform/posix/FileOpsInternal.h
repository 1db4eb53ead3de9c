#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "platform/FileOps.h"

// Pieces of the mirror-tree operations shared by their source files, and the
// switches tests use to reach paths this machine would not take on its own.
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
            ::close(m_fd);
        }
        m_fd = fd;
    }
    // Closes now and reports what close() said (late write errors show here
    // on network file systems): 0 or an errno.
    int close() {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
};

struct FileOpsSeam {
    bool noOpenat2 = false;     // resolve folders one name at a time, as without openat2
    bool noKernelCopy = false;  // copy content with read and write only
    // Called after each piece of content written to a temporary file, with
    // the bytes written so far.
    std::function<void(std::uint64_t)> afterChunk;
};
FileOpsSeam& fileOpsSeam();

// The largest piece of content moved by one system call.
inline constexpr std::size_t kCopyChunkBytes = std::size_t{8} << 20;

// Copies the content of the regular file `source` (described by `st`) into
// the empty file `target`, keeping holes. Returns 0 or an errno.
int copyContent(int source, int target, const struct stat& st);

// Moves the entry `name` of the open folder `dirFd` to the trash of its own
// file system; `path` is its full path, kept for putting it back. Never
// deletes instead, never replaces an entry in the trash.
OpResult moveToTrashAt(int dirFd, const std::string& name, const std::string& path);

}  // namespace platform::detail
