#include "platform/VersionFiles.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/posix/FileOpsInternal.h"

namespace platform {

using detail::retryEintr;
using detail::sys;

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

OpResult fromErrno(int error) {
    return OpResult::failure(error);
}

// A name that isTemporaryName() knows, so that a copy cut short by a kill is
// recognised and never listed as a kept version.
std::string temporaryName() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits) {
        // Uniqueness does not rest on this: the file is created exclusively.
        bits = static_cast<std::uint64_t>(
                   std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (static_cast<std::uint64_t>(::getpid()) << 32);
    }
    std::string name(kTemporaryPrefix);
    for (int i = 0; i < 16; ++i) {
        name.push_back(kHex[bits & 0xf]);
        bits >>= 4;
    }
    return name;
}

// Gives `name` in `to` to the entry `fromName` of `from` unless taken.
// File systems without RENAME_NOREPLACE get a hard link and an unlink,
// which refuse a taken name as well.
int renameNoReplace(int from, const char* fromName, int to, const char* toName) {
    if (sys().renameat2(from, fromName, to, toName, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
        return error;
    }
    if (sys().linkat(from, fromName, to, toName, 0) != 0) {
        return errno;
    }
    return sys().unlinkat(from, fromName, 0) == 0 ? 0 : errno;
}

// Copies the file or link `fromName` of `from` to the new name `tempName` in
// `to`, keeping its times, bits, and as root its owner. Returns 0 or an errno;
// on failure nothing is left behind.
int copyEntry(int from, const std::string& fromName, int to, const std::string& tempName) {
    struct stat st {};
    if (sys().fstatat(from, fromName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> text(static_cast<std::size_t>(st.st_size) + 1);
        const ssize_t n = sys().readlinkat(from, fromName.c_str(), text.data(), text.size());
        if (n < 0) {
            return errno;
        }
        if (sys().symlinkat(std::string(text.data(), static_cast<std::size_t>(n)).c_str(), to,
                            tempName.c_str()) != 0) {
            return errno;
        }
        if (::geteuid() == 0) {
            // Best effort, like the time below: a link that keeps root as
            // its owner still points where the original did.
            [[maybe_unused]] const int ignored =
                sys().fchownat(to, tempName.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
        }
        static_cast<void>(sys().utimensat(to, tempName.c_str(), times, AT_SYMLINK_NOFOLLOW));
        return 0;
    }
    if (S_ISDIR(st.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(st.st_mode)) {
        return EOPNOTSUPP;
    }
    const int source =
        retryEintr(sys().openat, from, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (source < 0) {
        return errno;
    }
    const int target = retryEintr(sys().openat, to, tempName.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (target < 0) {
        const int error = errno;
        sys().close(source);
        return error;
    }
    // The mirror's own copying: a clone where the file systems share blocks,
    // holes kept, and a source that shrinks meanwhile is no copy of anything.
    int error = detail::copyContent(source, target, st);
    sys().close(source);
    if (error == 0 && ::geteuid() == 0 && sys().fchown(target, st.st_uid, st.st_gid) != 0) {
        error = errno;
    }
    if (error == 0 && sys().fchmod(target, st.st_mode & 07777) != 0) {
        error = errno;
    }
    if (error == 0 && sys().futimens(target, times) != 0) {
        error = errno;
    }
    if (sys().close(target) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        sys().unlinkat(to, tempName.c_str(), 0);
    }
    return error;
}

std::string numbered(const std::string& name, int number) {
    return number == 1 ? name : name + ".~" + std::to_string(number) + "~";
}

constexpr int kMaxNumbers = 10000;

}  // namespace

FolderFd::~FolderFd() {
    if (m_fd >= 0) {
        sys().close(m_fd);
    }
}

FolderFd::FolderFd(FolderFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FolderFd& FolderFd::operator=(FolderFd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            sys().close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FolderFd openFolder(const std::string& path, bool make, OpResult& result) {
    result = OpResult::success();
    if (path.empty() || path.front() != '/') {
        result = OpResult::failure(EINVAL, "not an absolute path: " + path);
        return {};
    }
    const int fd = retryEintr(sys().openat, AT_FDCWD, path.c_str(), kFolderFlags, 0);
    if (fd >= 0 || errno != ENOENT || !make) {
        if (fd < 0) {
            result = fromErrno(errno);
        }
        return FolderFd(fd);
    }
    // Walk down from the root, making what is missing. Links on the way are
    // followed here, as for any folder a user names.
    FolderFd current(retryEintr(sys().openat, AT_FDCWD, "/", kFolderFlags, 0));
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (name.empty() || name == ".") {
            continue;
        }
        if (sys().mkdirat(current.get(), name.c_str(), kPrivateFolderMode) != 0 &&
            errno != EEXIST) {
            result = fromErrno(errno);
            return {};
        }
        FolderFd next(retryEintr(sys().openat, current.get(), name.c_str(), kFolderFlags, 0));
        if (!next.valid()) {
            result = fromErrno(errno);
            return {};
        }
        current = std::move(next);
    }
    return current;
}

FolderFd openChildFolder(int parent, std::string_view name, bool make, OpResult& result) {
    result = OpResult::success();
    const std::string child(name);
    if (child.empty() || child == "." || child == ".." || child.find('/') != std::string::npos) {
        result = OpResult::failure(EINVAL, "not a folder name: " + child);
        return {};
    }
    if (make && sys().mkdirat(parent, child.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        result = fromErrno(errno);
        return {};
    }
    const int fd = retryEintr(sys().openat, parent, child.c_str(), kFolderFlags | O_NOFOLLOW, 0);
    if (fd < 0) {
        // With O_DIRECTORY a link answers ENOTDIR; say what it is.
        const int error = errno;
        struct stat st {};
        const bool link = (error == ELOOP || error == ENOTDIR) &&
                          sys().fstatat(parent, child.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(st.st_mode);
        result = link ? OpResult::failure(ELOOP, child + " is a symbolic link") : fromErrno(error);
        return {};
    }
    return FolderFd(fd);
}

FolderFd openFolderPath(int base, std::string_view relative, bool make, OpResult& result) {
    FolderFd current(sys().dupfd(base));
    if (!current.valid()) {
        result = fromErrno(errno);
        return {};
    }
    result = OpResult::success();
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string_view name = relative.substr(0, slash);
        relative =
            slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
        if (name.empty()) {
            continue;
        }
        FolderFd next = openChildFolder(current.get(), name, make, result);
        if (!next.valid()) {
            return {};
        }
        current = std::move(next);
    }
    return current;
}

OpResult flushFileSystem(int folder) {
    if (retryEintr(sys().syncfs, folder) != 0) {
        return fromErrno(errno);
    }
    return OpResult::success();
}

OpResult claimFolder(int parent, std::string_view name) {
    const std::string child(name);
    if (sys().mkdirat(parent, child.c_str(), kPrivateFolderMode) != 0) {
        return fromErrno(errno);
    }
    return OpResult::success();
}

OpResult moveNoReplace(int from, const std::string& fromName, int to, const std::string& toName,
                       std::string* usedName) {
    struct stat st {};
    if (sys().fstatat(from, fromName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return fromErrno(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return OpResult::failure(EISDIR);
    }
    bool crossing = false;
    for (int number = 1; number <= kMaxNumbers && !crossing; ++number) {
        const std::string name = numbered(toName, number);
        const int error = renameNoReplace(from, fromName.c_str(), to, name.c_str());
        if (error == 0) {
            if (usedName != nullptr) {
                *usedName = name;
            }
            return OpResult::success();
        }
        if (error == EXDEV) {
            crossing = true;
        } else if (error != EEXIST) {
            return fromErrno(error);
        }
    }
    if (!crossing) {
        return OpResult::failure(EEXIST, "no free name for " + toName);
    }

    // Another file system: the copy is whole under its final name before the
    // original goes, so a kill leaves at least one of them.
    const std::string temp = temporaryName();
    if (const int error = copyEntry(from, fromName, to, temp); error != 0) {
        return fromErrno(error);
    }
    for (int number = 1; number <= kMaxNumbers; ++number) {
        const std::string name = numbered(toName, number);
        const int error = renameNoReplace(to, temp.c_str(), to, name.c_str());
        if (error == EEXIST) {
            continue;
        }
        if (error != 0) {
            sys().unlinkat(to, temp.c_str(), 0);
            return fromErrno(error);
        }
        if (usedName != nullptr) {
            *usedName = name;
        }
        if (sys().unlinkat(from, fromName.c_str(), 0) != 0 && errno != ENOENT) {
            return fromErrno(errno);
        }
        return OpResult::success();
    }
    sys().unlinkat(to, temp.c_str(), 0);
    return OpResult::failure(EEXIST, "no free name for " + toName);
}

OpResult copyOut(int from, const std::string& fromName, int to, const std::string& toName,
                 bool replace) {
    struct stat existing {};
    if (sys().fstatat(to, toName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!replace) {
            return OpResult::failure(EEXIST);
        }
        if (S_ISDIR(existing.st_mode)) {
            return OpResult::failure(EISDIR, "a folder of that name is in the way");
        }
    } else if (errno != ENOENT) {
        return fromErrno(errno);
    }
    const std::string temp = temporaryName();
    if (const int error = copyEntry(from, fromName, to, temp); error != 0) {
        return fromErrno(error);
    }
    const int error = replace
                          ? (sys().renameat(to, temp.c_str(), to, toName.c_str()) == 0 ? 0 : errno)
                          : renameNoReplace(to, temp.c_str(), to, toName.c_str());
    if (error != 0) {
        sys().unlinkat(to, temp.c_str(), 0);
        return fromErrno(error);
    }
    return OpResult::success();
}

OpResult removeEntryTree(int parent, const std::string& name) {
    if (sys().unlinkat(parent, name.c_str(), 0) == 0 || errno == ENOENT) {
        return OpResult::success();
    }
    if (errno != EISDIR && errno != EPERM) {
        return fromErrno(errno);
    }
    const FolderFd folder(
        retryEintr(sys().openat, parent, name.c_str(), kFolderFlags | O_NOFOLLOW, 0));
    if (!folder.valid()) {
        return fromErrno(errno);
    }
    std::vector<detail::Listed> entries;
    const int listError = detail::listFolder(folder.get(), entries);
    OpResult result;
    for (const detail::Listed& entry : entries) {
        OpResult removed = removeEntryTree(folder.get(), entry.name);
        if (!removed.ok() && result.ok()) {
            result = std::move(removed);
        }
    }
    if (result.ok() && listError != 0) {
        result = fromErrno(listError);
    }
    if (!result.ok()) {
        return result;
    }
    if (sys().unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
        return fromErrno(errno);
    }
    return OpResult::success();
}

OpResult removeEmptyFolder(int parent, const std::string& name) {
    if (sys().unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0) {
        return fromErrno(errno);
    }
    return OpResult::success();
}

int forEachEntry(int folder,
                 const std::function<void(const std::string& name, const Lookup&)>& visit) {
    std::vector<detail::Listed> entries;
    if (const int error = detail::listFolder(folder, entries)) {
        return error;
    }
    for (const detail::Listed& entry : entries) {
        visit(entry.name, lookupEntryAt(folder, entry.name.c_str()));
    }
    return 0;
}

int forEachName(int folder,
                const std::function<void(const std::string& name, bool isFolder)>& visit) {
    std::vector<detail::Listed> entries;
    if (const int error = detail::listFolder(folder, entries)) {
        return error;
    }
    for (const detail::Listed& entry : entries) {
        visit(entry.name, detail::isFolderEntry(folder, entry));
    }
    return 0;
}

std::optional<bool> sameFileSystem(const std::string& a, const std::string& b) {
    const auto device = [](std::string path) -> std::optional<dev_t> {
        while (!path.empty()) {
            struct stat st {};
            if (sys().fstatat(AT_FDCWD, path.c_str(), &st, 0) == 0) {
                return st.st_dev;
            }
            if (errno != ENOENT && errno != ENOTDIR) {
                return std::nullopt;
            }
            const std::size_t slash = path.find_last_of('/');
            if (slash == std::string::npos) {
                return std::nullopt;
            }
            path = slash == 0 ? std::string("/") : path.substr(0, slash);
        }
        return std::nullopt;
    };
    const auto first = device(a);
    const auto second = device(b);
    if (!first || !second) {
        return std::nullopt;
    }
    return *first == *second;
}

}  // namespace platform
