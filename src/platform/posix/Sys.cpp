#include "platform/posix/Sys.h"

#include <dirent.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>

namespace platform::detail {

namespace {

std::atomic<bool> g_openat2Missing{false};

long openat2Call(int dirFd, const char* path, struct open_how* how, std::size_t size) {
    if (g_openat2Missing.load(std::memory_order_relaxed)) {
        errno = ENOSYS;
        return -1;
    }
    const long fd = ::syscall(SYS_openat2, dirFd, path, how, size);
    // An old kernel, or a filter that refuses the call: either way it will
    // not work later.
    if (fd < 0 && (errno == ENOSYS || errno == EPERM)) {
        g_openat2Missing.store(true, std::memory_order_relaxed);
        errno = ENOSYS;
    }
    return fd;
}

// The calls whose own declarations do not fit a plain pointer: variadic,
// or reached through ioctl and fcntl.
int openatCall(int dirFd, const char* path, int flags, mode_t mode) {
    return ::openat(dirFd, path, flags, mode);
}

int dupfdCall(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

int ficloneCall(int target, int source) {
    return ::ioctl(target, FICLONE, source);
}

}  // namespace

constinit Sys g_sys = {
    .openat = openatCall,
    .openat2 = openat2Call,
    .close = ::close,
    .dupfd = dupfdCall,
    .flock = ::flock,
    .read = ::read,
    .pread = ::pread,
    .write = ::write,
    .pwrite = ::pwrite,
    .copy_file_range = ::copy_file_range,
    .ficlone = ficloneCall,
    .lseek = ::lseek,
    .ftruncate = ::ftruncate,
    .syncfs = ::syncfs,
    .fstat = ::fstat,
    .fstatat = ::fstatat,
    .statx = ::statx,
    .fstatfs = ::fstatfs,
    .statfs = ::statfs,
    .getdents64 = ::getdents64,
    .readlinkat = ::readlinkat,
    .mkdirat = ::mkdirat,
    .mkfifoat = ::mkfifoat,
    .symlinkat = ::symlinkat,
    .linkat = ::linkat,
    .unlinkat = ::unlinkat,
    .renameat = ::renameat,
    .renameat2 = ::renameat2,
    .fchmod = ::fchmod,
    .fchmodat = ::fchmodat,
    .fchown = ::fchown,
    .fchownat = ::fchownat,
    .futimens = ::futimens,
    .utimensat = ::utimensat,
    .flistxattr = ::flistxattr,
    .fgetxattr = ::fgetxattr,
    .fsetxattr = ::fsetxattr,
    .fremovexattr = ::fremovexattr,
    .llistxattr = ::llistxattr,
    .lgetxattr = ::lgetxattr,
};

}  // namespace platform::detail
