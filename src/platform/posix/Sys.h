#pragma once

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <ctime>

// The system calls the mirror-tree, versions and file-system code makes that
// can fail, as one table of function pointers. The code calls them through
// sys(); a test swaps single entries to make the nth write fail with ENOSPC, a
// rename with EACCES, a folder open with EIO, and so on, without root and
// without special mounts. Calls that only look (getrandom, realpath, reading
// /proc) stay direct.
namespace platform::detail {

struct Sys {
    // Opening and closing.
    int (*openat)(int dirFd, const char* path, int flags, mode_t mode);
    // openat2 where the kernel has it; ENOSYS where it has not (remembered
    // after the first answer, so later calls cost nothing).
    long (*openat2)(int dirFd, const char* path, struct open_how* how, std::size_t size);
    int (*close)(int fd);
    int (*dupfd)(int fd);  // fcntl(F_DUPFD_CLOEXEC)
    int (*flock)(int fd, int operation);

    // Content.
    ssize_t (*read)(int fd, void* buffer, std::size_t size);
    ssize_t (*pread)(int fd, void* buffer, std::size_t size, off_t offset);
    ssize_t (*write)(int fd, const void* buffer, std::size_t size);
    ssize_t (*pwrite)(int fd, const void* buffer, std::size_t size, off_t offset);
    ssize_t (*copy_file_range)(int source, off_t* sourceOffset, int target, off_t* targetOffset,
                               std::size_t size, unsigned flags);
    int (*ficlone)(int target, int source);  // ioctl(FICLONE)
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*ftruncate)(int fd, off_t length);
    int (*syncfs)(int fd);

    // Looking.
    int (*fstat)(int fd, struct stat* st);
    int (*fstatat)(int dirFd, const char* path, struct stat* st, int flags);
    int (*statx)(int dirFd, const char* path, int flags, unsigned mask, struct statx* st);
    int (*fstatfs)(int fd, struct statfs* st);
    int (*statfs)(const char* path, struct statfs* st);
    ssize_t (*getdents64)(int fd, void* buffer, std::size_t size);
    ssize_t (*readlinkat)(int dirFd, const char* path, char* buffer, std::size_t size);

    // Names.
    int (*mkdirat)(int dirFd, const char* path, mode_t mode);
    int (*mkfifoat)(int dirFd, const char* path, mode_t mode);
    int (*symlinkat)(const char* text, int dirFd, const char* path);
    int (*linkat)(int fromDir, const char* from, int toDir, const char* to, int flags);
    int (*unlinkat)(int dirFd, const char* path, int flags);
    int (*renameat)(int fromDir, const char* from, int toDir, const char* to);
    int (*renameat2)(int fromDir, const char* from, int toDir, const char* to, unsigned flags);

    // Owners, bits, times.
    int (*fchmod)(int fd, mode_t mode);
    int (*fchmodat)(int dirFd, const char* path, mode_t mode, int flags);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*fchownat)(int dirFd, const char* path, uid_t owner, gid_t group, int flags);
    int (*futimens)(int fd, const struct timespec times[2]);
    int (*utimensat)(int dirFd, const char* path, const struct timespec times[2], int flags);

    // Extended attributes.
    ssize_t (*flistxattr)(int fd, char* names, std::size_t size);
    ssize_t (*fgetxattr)(int fd, const char* name, void* value, std::size_t size);
    int (*fsetxattr)(int fd, const char* name, const void* value, std::size_t size, int flags);
    int (*fremovexattr)(int fd, const char* name);
    ssize_t (*llistxattr)(const char* path, char* names, std::size_t size);
    ssize_t (*lgetxattr)(const char* path, const char* name, void* value, std::size_t size);
};

// The process-wide table, filled with the system's own calls.
extern Sys g_sys;

inline Sys& sys() noexcept {
    return g_sys;
}

// Calls `call(args...)` again for as long as it fails with EINTR (a signal
// arrived before anything was done). Not for close(): on Linux a close
// interrupted has closed the descriptor all the same.
template <typename Call, typename... Args>
auto retryEintr(Call call, Args... args) {
    for (;;) {
        const auto result = call(args...);
        if (result != -1 || errno != EINTR) {
            return result;
        }
    }
}

}  // namespace platform::detail
