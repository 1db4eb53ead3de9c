#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/UserFolders.h"
#include "platform/posix/FileOpsInternal.h"

// Moves entries to the desktop's trash in the freedesktop.org trash layout,
// through descriptors only: the entry leaves the folder the caller holds
// open, so a path re-pointed meanwhile cannot send anything else to the
// trash. The trash folder is chosen on the entry's own
// mount, since a rename cannot cross one; where none can be used the entry
// stays and the failure says so.
namespace platform::detail {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Longest own name kept in the trash: room for ".trashinfo" and a number.
constexpr std::size_t kMaxTrashName = 200;

// The mount an open entry lies on, and the entry itself.
struct Where {
    std::uint64_t mount = 0;
    bool hasMount = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t uid = 0;
    std::uint16_t mode = 0;
};

int whereAt(int dirFd, const char* name, int flags, Where& out) {
    struct statx st;
    if (sys().statx(dirFd, name, flags | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO | STATX_MNT_ID, &st) != 0) {
        return errno;
    }
    out.hasMount = (st.stx_mask & STATX_MNT_ID) != 0;
    out.mount = st.stx_mnt_id;
    out.device = (std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor;
    out.inode = st.stx_ino;
    out.uid = st.stx_uid;
    out.mode = st.stx_mode;
    return 0;
}

int whereOf(int fd, Where& out) {
    return whereAt(fd, "", AT_EMPTY_PATH, out);
}

// A rename works within one mount only; where the kernel does not tell the
// mount, the device has to do.
bool sameMount(const Where& a, const Where& b) {
    if (a.hasMount && b.hasMount) {
        return a.mount == b.mount;
    }
    return a.device == b.device;
}

// A folder of the trash: made for the owner alone when missing, never a link,
// and owned by this user.
UniqueFd trashFolder(int parentFd, const char* name) {
    if (sys().mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST) {
        return UniqueFd();
    }
    UniqueFd fd(retryEintr(sys().openat, parentFd, name, kFolderFlags, 0));
    Where where;
    if (!fd.valid() || whereOf(fd.get(), where) != 0 || where.uid != ::geteuid()) {
        return UniqueFd();
    }
    return fd;
}

// The user's home trash, when it lies on the entry's mount.
UniqueFd homeTrash(const Where& entry) {
    const std::string data = userFolder(UserFolder::Data);
    if (data.empty()) {
        return UniqueFd();
    }
    const std::string path = data + "Trash";
    // Its parents are the user's own folders: links among them are followed.
    std::string existing = path;
    Where where;
    while (whereAt(AT_FDCWD, existing.c_str(), 0, where) != 0) {
        const auto slash = existing.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            return UniqueFd();
        }
        existing.resize(slash);
    }
    if (!sameMount(where, entry)) {
        return UniqueFd();
    }
    if (existing != path && makeFolders(path).error != 0) {
        return UniqueFd();
    }
    UniqueFd fd(
        retryEintr(sys().openat, AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!fd.valid() || whereOf(fd.get(), where) != 0 || !sameMount(where, entry) ||
        where.uid != ::geteuid()) {
        return UniqueFd();
    }
    return fd;
}

// The top folder of the mount holding the folder `dirFd`, found by walking
// up through ".." while the mount stays the same.
UniqueFd mountTop(int dirFd, const Where& entry) {
    UniqueFd current(retryEintr(sys().openat, dirFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
    for (int depth = 0; current.valid() && depth < 4096; ++depth) {
        UniqueFd parent(
            retryEintr(sys().openat, current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
        Where here;
        Where up;
        if (!parent.valid() || whereOf(current.get(), here) != 0 ||
            whereOf(parent.get(), up) != 0) {
            return UniqueFd();
        }
        if (!sameMount(up, entry) || (up.device == here.device && up.inode == here.inode)) {
            return current;
        }
        current = std::move(parent);
    }
    return UniqueFd();
}

// $topdir/.Trash/$uid where an administrator made $topdir/.Trash a sticky
// folder (not a link), else $topdir/.Trash-$uid.
UniqueFd topTrash(int dirFd, const Where& entry) {
    const UniqueFd top = mountTop(dirFd, entry);
    if (!top.valid()) {
        return UniqueFd();
    }
    const std::string uid = std::to_string(::geteuid());
    Where shared;
    if (whereAt(top.get(), ".Trash", AT_SYMLINK_NOFOLLOW, shared) == 0 && S_ISDIR(shared.mode) &&
        (shared.mode & S_ISVTX) != 0) {
        const UniqueFd sharedFd(retryEintr(sys().openat, top.get(), ".Trash", kFolderFlags, 0));
        if (sharedFd.valid()) {
            if (UniqueFd own = trashFolder(sharedFd.get(), uid.c_str()); own.valid()) {
                return own;
            }
        }
    }
    const std::string name = ".Trash-" + uid;
    return trashFolder(top.get(), name.c_str());
}

// The entry's path as .trashinfo files store it: bytes outside the URL's
// unreserved and path characters as %XX.
std::string escapedPath(std::string_view path) {
    static constexpr std::string_view kKept =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~/!$&'()*+,;=:@";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        if (kKept.find(c) != std::string_view::npos) {
            out.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xf]);
        }
    }
    return out;
}

std::string infoText(const std::string& path) {
    char date[32] = {};
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + escapedPath(path) + "\nDeletionDate=" + date + "\n";
}

// Renames without ever replacing an entry of the trash. Where the file system
// cannot refuse to replace by itself, the name reserved by the .trashinfo
// written first is checked to be free.
int renameNoReplace(int fromFd, const char* from, int toFd, const char* to) {
    if (sys().renameat2(fromFd, from, toFd, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
        return error;
    }
    struct stat st;
    if (sys().fstatat(toFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return sys().renameat(fromFd, from, toFd, to) == 0 ? 0 : errno;
}

OpResult intoTrash(int trashFd, int dirFd, const std::string& name, const std::string& path) {
    const UniqueFd files = trashFolder(trashFd, "files");
    const UniqueFd info = trashFolder(trashFd, "info");
    if (!files.valid() || !info.valid()) {
        return OpResult::failure(EACCES, "the trash folder cannot be used");
    }
    const std::string base = name.substr(0, kMaxTrashName);
    const std::string text = infoText(path);
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string trashName = attempt == 1 ? base : base + "." + std::to_string(attempt);
        const std::string infoName = trashName + ".trashinfo";
        UniqueFd out(retryEintr(sys().openat, info.get(), infoName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid()) {
            if (errno == EEXIST) {
                continue;
            }
            return OpResult::failure(errno);
        }
        int error = detail::writeAll(out.get(), text);
        if (error == 0) {
            error = out.close();
        }
        if (error == 0) {
            error = renameNoReplace(dirFd, name.c_str(), files.get(), trashName.c_str());
        }
        if (error != 0) {
            sys().unlinkat(info.get(), infoName.c_str(), 0);
        }
        if (error == EEXIST || error == ENOTEMPTY) {
            continue;  // a stray entry of that name without its .trashinfo
        }
        return error == 0 ? OpResult::success() : OpResult::failure(error);
    }
    return OpResult::failure(EEXIST, "the trash holds too many entries of this name");
}

}  // namespace

OpResult moveToTrashAt(int dirFd, const std::string& name, const std::string& path) {
    Where entry;
    if (const int error = whereAt(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW, entry)) {
        return OpResult::failure(error);
    }
    if (const UniqueFd home = homeTrash(entry); home.valid()) {
        return intoTrash(home.get(), dirFd, name, path);
    }
    if (const UniqueFd top = topTrash(dirFd, entry); top.valid()) {
        Where where;
        if (whereOf(top.get(), where) == 0 && sameMount(where, entry)) {
            return intoTrash(top.get(), dirFd, name, path);
        }
    }
    return OpResult::failure(EXDEV,
                             "no trash folder can be used on this file system; the entry stays");
}

}  // namespace platform::detail
