#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>

#include "platform/posix/FileOpsInternal.h"

namespace platform::detail {

namespace {

constexpr std::uint64_t kToEnd = std::numeric_limits<std::uint64_t>::max();
constexpr std::size_t kBufferBytes = std::size_t{256} << 10;

// copy_file_range's answers that mean "not between these two files": the
// content then goes through read and write.
bool kernelCopyRefused(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Writes all of `data` at `offset`. A write that takes nothing counts as a
// full drive rather than being asked again forever.
int writeAll(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = retryEintr(sys().pwrite, fd, data, size, offset);
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return 0;
}

// FICLONE's answers that hold for every file between the same two file
// systems: not supported there, or not between these two.
bool refusesClones(int error) {
    return error == EOPNOTSUPP || error == ENOTTY || error == ENOSYS || error == EINVAL ||
           error == EXDEV;
}

class RangeCopier {
public:
    // `size`: the source's length when the copy began.
    RangeCopier(int source, int target, off_t size)
        : m_source(source), m_target(target), m_size(size) {}

    // Copies `length` bytes from `offset` to the same offset in the target,
    // or up to the source's end when it is shorter. Returns 0 or an errno:
    // EAGAIN when the source ends before the length it had at the start.
    int copy(off_t offset, std::uint64_t length) {
        while (length > 0) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(length, m_kernel ? kCopyChunkBytes : kBufferBytes));
            ssize_t n;
            if (m_kernel) {
                off_t in = offset;
                off_t out = offset;
                n = retryEintr(sys().copy_file_range, m_source, &in, m_target, &out, want, 0U);
                if (n < 0) {
                    if (kernelCopyRefused(errno)) {
                        m_kernel = false;
                        continue;
                    }
                    return errno;
                }
                if (n == 0 && offset < m_size) {
                    // Some file systems (FUSE ones, those of the kernel's own
                    // files) answer "nothing" where there is content: read
                    // it instead.
                    m_kernel = false;
                    continue;
                }
            } else {
                if (!m_buffer) {
                    m_buffer = std::make_unique<char[]>(kBufferBytes);
                }
                n = retryEintr(sys().pread, m_source, m_buffer.get(), want, offset);
                if (n < 0) {
                    return errno;
                }
                if (const int error =
                        writeAll(m_target, m_buffer.get(), static_cast<std::size_t>(n), offset)) {
                    return error;
                }
                if (n == 0 && offset < m_size) {
                    return EAGAIN;  // shrunk while being copied: not a copy of anything
                }
            }
            if (n == 0) {
                break;  // the source ends here
            }
            offset += n;
            length -= static_cast<std::uint64_t>(n);
        }
        return 0;
    }

private:
    int m_source;
    int m_target;
    off_t m_size;
    bool m_kernel = true;
    std::unique_ptr<char[]> m_buffer;
};

// Copies only the source's data segments and sets the length, so holes stay
// holes. Returns 0, an errno, or -1 when the file system cannot tell data
// from holes.
int copySegments(RangeCopier& copier, int source, int target) {
    off_t pos = 0;
    for (;;) {
        const off_t data = sys().lseek(source, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // no data after pos
            }
            return pos == 0 ? -1 : errno;
        }
        const off_t hole = sys().lseek(source, data, SEEK_HOLE);
        if (hole < 0) {
            return pos == 0 ? -1 : errno;
        }
        if (const int error = copier.copy(data, static_cast<std::uint64_t>(hole - data))) {
            return error;
        }
        pos = hole;
    }
    const off_t size = sys().lseek(source, 0, SEEK_END);
    if (size < 0) {
        return errno;
    }
    return retryEintr(sys().ftruncate, target, size) == 0 ? 0 : errno;
}

}  // namespace

int copyContent(int source, int target, const struct stat& st, bool* cloneRefused) {
    RangeCopier copier(source, target, st.st_size);
    // A clone shares the blocks (holes included) where the file system can.
    if (st.st_size > 0 && (cloneRefused == nullptr || !*cloneRefused)) {
        if (sys().ficlone(target, source) == 0) {
            return 0;
        }
        if (cloneRefused != nullptr && refusesClones(errno)) {
            *cloneRefused = true;
        }
    }
    // Fewer blocks than the length holds: there may be holes.
    if (st.st_size > 0 && st.st_blocks * 512 < st.st_size) {
        const int result = copySegments(copier, source, target);
        if (result >= 0) {
            return result;
        }
    }
    return copier.copy(0, kToEnd);
}

}  // namespace platform::detail
