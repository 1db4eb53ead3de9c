#include "platform/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/posix/FileOpsInternal.h"
#include "platform/posix/Listing.h"

namespace platform {

using detail::DeferredClose;
using detail::isFolderEntry;
using detail::Listed;
using detail::listFolder;
using detail::retryEintr;
using detail::sys;
using detail::UniqueFd;

OpResult OpResult::failure(int code) {
    if (code == 0) {
        code = EIO;
    }
    return failure(code, std::strerror(code));
}

OpResult OpResult::failure(int code, std::string message) {
    OpResult result;
    result.error = code != 0 ? code : EIO;
    result.message = std::move(message);
    return result;
}

namespace {

constexpr std::size_t kRandomLength = 16;
constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
constexpr char kHexDigits[] = "0123456789abcdef";

// Descriptors of folders on the way to a target serve only as the base of
// *at() calls, so they need search permission only.
constexpr int kWayFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
// Folders that are listed.
constexpr int kListFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string temporaryName() {
    thread_local std::mt19937_64 engine{[] {
        std::uint64_t seed = 0;
        if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != sizeof seed) {
            // Uniqueness does not rest on the seed: creation is exclusive.
            seed = static_cast<std::uint64_t>(
                       std::chrono::steady_clock::now().time_since_epoch().count()) ^
                   (static_cast<std::uint64_t>(::getpid()) << 32);
        }
        return seed;
    }()};
    std::string name(kTemporaryPrefix);
    std::uint64_t bits = engine();
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        name.push_back(kHexDigits[bits & 0xf]);
        bits >>= 4;
    }
    return name;
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

// Owners, permission bits or times that a file system cannot store (FAT has
// no owners or permission bits, some FUSE file systems implement none of
// them) do not fail a copy: the content matters more.
bool notStorable(int error) {
    return error == EPERM || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS;
}

OpResult wayFailure(int error) {
    switch (error) {
        case ELOOP:
            return OpResult::failure(ELOOP, "a folder on the way to the target is a symbolic link");
        case EXDEV:
            return OpResult::failure(EXDEV,
                                     "the way to the target leads outside the mirror folder");
        default:
            return OpResult::failure(error);
    }
}

OpResult notBeneathRoot() {
    return OpResult::failure(EINVAL, "the path does not lie beneath the mirror folder");
}

// Lends a read-only mirror folder its owner's write permission while the
// operations in it last, and gives the folder its bits back afterwards.
// Only for folders the process owns: nothing else's permissions change.
class FolderUnlock {
public:
    explicit FolderUnlock(int dirFd) : m_dir(dirFd) {}
    ~FolderUnlock() { restore(); }
    FolderUnlock(const FolderUnlock&) = delete;
    FolderUnlock& operator=(const FolderUnlock&) = delete;

    // After an operation in the folder failed with `error`: true when the
    // folder lacked only its owner's write permission and has it now, so the
    // operation is worth one more try.
    bool unlockFor(int error) {
        if (m_open.valid() || (error != EACCES && error != EPERM)) {
            return false;
        }
        struct stat st;
        if (sys().fstat(m_dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
            (st.st_mode & S_IWUSR) != 0) {
            return false;
        }
        // fchmod needs a real descriptor; the way's descriptors are path-only.
        UniqueFd dir(retryEintr(sys().openat, m_dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
        if (!dir.valid() || sys().fchmod(dir.get(), (st.st_mode & 07777) | S_IWUSR) != 0) {
            return false;
        }
        m_mode = st.st_mode & 07777;
        m_open = std::move(dir);
        return true;
    }

    void restore() {
        if (m_open.valid()) {
            sys().fchmod(m_open.get(), m_mode);
            m_open.reset();
        }
    }

private:
    int m_dir;
    UniqueFd m_open;
    mode_t m_mode = 0;
};

// Runs `op` (which returns 0 or an errno) in the folder of `unlock`, once
// more after lending the folder write permission when that was missing.
template <typename Op>
int inFolder(FolderUnlock& unlock, Op&& op) {
    const int error = op();
    if (error != 0 && unlock.unlockFor(error)) {
        return op();
    }
    return error;
}

int errnoOf(int result) {
    return result == 0 ? 0 : errno;
}

// A target split at the mirror's root: the folders on the way (relative to
// the root, possibly empty) and the entry's own name (empty for the root).
struct TargetPath {
    std::string parent;
    std::string leaf;
};

bool splitTarget(const std::string& root, const std::string& target, TargetPath& out) {
    std::string_view base(root);
    while (base.size() > 1 && base.back() == '/') {
        base.remove_suffix(1);
    }
    std::string_view rest(target);
    if (base.empty() || rest.find('\0') != std::string_view::npos ||
        rest.substr(0, base.size()) != base) {
        return false;
    }
    rest.remove_prefix(base.size());
    if (base != "/" && !rest.empty() && rest.front() != '/') {
        return false;  // "/m/mirror2" is not beneath "/m/mirror"
    }
    out.parent.clear();
    out.leaf.clear();
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            return false;
        }
        if (!out.leaf.empty()) {
            if (!out.parent.empty()) {
                out.parent.push_back('/');
            }
            out.parent += out.leaf;
        }
        out.leaf.assign(name);
    }
    return true;
}

bool isLinkAt(int dirFd, const char* name) {
    struct stat st;
    return sys().fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Makes a folder with owner rwx; the owner keeps those bits whatever the
// umask says.
int makeFolder(int dirFd, const char* name, mode_t mode) {
    FolderUnlock unlock(dirFd);
    if (const int error =
            inFolder(unlock, [&] { return errnoOf(sys().mkdirat(dirFd, name, mode)); })) {
        return error;
    }
    struct stat st;
    if (sys().fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_IRWXU) != S_IRWXU) {
        // A failure here shows at the first write into the folder, which
        // reports it.
        [[maybe_unused]] const int ignored =
            sys().fchmodat(dirFd, name, (st.st_mode & 07777) | S_IRWXU, 0);
    }
    return 0;
}

// Walks to `relative` beneath `rootFd` one folder at a time, refusing links.
// Folders it makes are owner-only, and their paths (relative to the root) go
// to `made`.
int walkBeneath(int rootFd, const std::string& relative, bool create, UniqueFd& out,
                std::vector<std::string>* made) {
    UniqueFd current(retryEintr(sys().openat, rootFd, ".", kWayFlags, 0));
    if (!current.valid()) {
        return errno;
    }
    std::string_view rest(relative);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (name.empty()) {
            continue;
        }
        int fd = retryEintr(sys().openat, current.get(), name.c_str(), kWayFlags | O_NOFOLLOW, 0);
        if (fd < 0 && errno == ENOENT && create) {
            const int error = makeFolder(current.get(), name.c_str(), 0700);
            if (error != 0 && error != EEXIST) {
                return error;
            }
            if (error == 0 && made != nullptr) {
                made->push_back(relative.substr(
                    0, relative.size() - rest.size() - (slash == std::string_view::npos ? 0 : 1)));
            }
            fd = retryEintr(sys().openat, current.get(), name.c_str(), kWayFlags | O_NOFOLLOW, 0);
        }
        if (fd < 0) {
            const int error = errno;
            return (error == ENOTDIR || error == ELOOP) && isLinkAt(current.get(), name.c_str())
                       ? ELOOP
                       : error;
        }
        current.reset(fd);
    }
    out = std::move(current);
    return 0;
}

// Opens the folder `relative` beneath the root (path-only) without following
// any link; with `create`, missing folders are made (see walkBeneath()).
// Returns 0 or an errno: ELOOP when a folder on the way is a link.
int openBeneath(int rootFd, const std::string& relative, bool create, UniqueFd& out,
                std::vector<std::string>* made = nullptr) {
    if (!relative.empty()) {
        struct open_how how = {};
        how.flags = static_cast<std::uint64_t>(kWayFlags);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        for (int attempt = 0;; ++attempt) {
            const long fd = retryEintr(sys().openat2, rootFd, relative.c_str(), &how, sizeof how);
            if (fd >= 0) {
                out.reset(static_cast<int>(fd));
                return 0;
            }
            const int error = errno;
            if (error == EAGAIN && attempt < 16) {
                continue;  // a rename raced the lookup
            }
            if (error == ENOSYS) {
                break;  // an old kernel, or a filter that refuses the call
            }
            if (error == ENOENT && create) {
                break;
            }
            return error;
        }
    }
    return walkBeneath(rootFd, relative, create, out, made);
}

}  // namespace

namespace detail {

int listFolder(int dirFd, std::vector<Listed>& out) {
    // A descriptor of its own: the listing starts at the folder's start
    // whatever was read through `dirFd` before.
    const UniqueFd dir(retryEintr(sys().openat, dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!dir.valid()) {
        return errno;
    }
    return readListing(dir.get(), [&out](const char* name, unsigned char type) {
        out.push_back({std::string(name), type});
    });
}

bool isFolderEntry(int dirFd, const Listed& entry) {
    if (entry.type != DT_UNKNOWN) {
        return entry.type == DT_DIR;
    }
    struct stat st;
    return sys().fstatat(dirFd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

}  // namespace detail

namespace {

void keepFirst(OpResult& first, OpResult result) {
    if (first.ok() && !result.ok()) {
        first = std::move(result);
    }
}

// Deletes the folder `name` in `parentFd` with everything beneath it but the
// entries `keep` names. True when the folder itself went.
bool removeTree(int parentFd, FolderUnlock& parentUnlock, const std::string& name,
                const std::string& path, const KeepPredicate& keep, OpResult& first) {
    UniqueFd dir(retryEintr(sys().openat, parentFd, name.c_str(), kListFlags, 0));
    if (!dir.valid()) {
        if (errno == ENOENT) {
            return true;
        }
        keepFirst(first, OpResult::failure(errno));
        return false;
    }
    bool keptAny = false;
    {
        std::vector<Listed> entries;
        if (const int error = listFolder(dir.get(), entries)) {
            keepFirst(first, OpResult::failure(error));
            return false;
        }
        FolderUnlock unlock(dir.get());
        for (const Listed& entry : entries) {
            const std::string childPath = path + "/" + entry.name;
            bool isFolder;
            if (keep) {
                const Lookup lookup = lookupEntryAt(dir.get(), entry.name.c_str());
                if (lookup.status == LookupStatus::Absent) {
                    continue;
                }
                if (lookup.status != LookupStatus::Found) {
                    // What cannot be seen cannot be judged: it stays.
                    keepFirst(first, OpResult::failure(lookup.error));
                    keptAny = true;
                    continue;
                }
                if (keep(childPath, lookup.record)) {
                    keptAny = true;
                    continue;
                }
                isFolder = (lookup.record.attributes & kAttrDirectory) != 0;
            } else {
                isFolder = isFolderEntry(dir.get(), entry);
            }
            if (isFolder) {
                if (!removeTree(dir.get(), unlock, entry.name, childPath, keep, first)) {
                    keptAny = true;
                }
                continue;
            }
            const int error = inFolder(
                unlock, [&] { return errnoOf(sys().unlinkat(dir.get(), entry.name.c_str(), 0)); });
            if (error != 0 && error != ENOENT) {
                keepFirst(first, OpResult::failure(error));
                keptAny = true;
            }
        }
    }
    if (keptAny) {
        return false;
    }
    const int error = inFolder(parentUnlock, [&] {
        return errnoOf(sys().unlinkat(parentFd, name.c_str(), AT_REMOVEDIR));
    });
    if (error != 0 && error != ENOENT) {
        keepFirst(first, OpResult::failure(error));
        return false;
    }
    return true;
}

OpResult trashEntry(FolderUnlock& unlock, int dirFd, const std::string& name,
                    const std::string& path) {
    OpResult result;
    const int error = inFolder(unlock, [&] {
        result = detail::moveToTrashAt(dirFd, name, path);
        return result.error;
    });
    static_cast<void>(error);  // result holds the outcome of the last try
    return result.error == ENOENT ? OpResult::success() : result;
}

// Sends to the trash whatever beneath the folder `dirFd` holds no kept
// entry, each as one piece as high up as possible. True when nothing beneath
// the folder is kept, and the caller may trash the folder whole (nothing has
// been trashed then).
bool trashKeeping(int dirFd, const std::string& path, const KeepPredicate& keep, OpResult& first) {
    std::vector<Listed> entries;
    if (const int error = listFolder(dirFd, entries)) {
        keepFirst(first, OpResult::failure(error));
        return false;
    }
    std::vector<std::string> loose;  // names in dirFd
    bool clean = true;
    for (const Listed& entry : entries) {
        std::string childPath = path + "/" + entry.name;
        const Lookup lookup = lookupEntryAt(dirFd, entry.name.c_str());
        if (lookup.status == LookupStatus::Absent) {
            continue;
        }
        if (lookup.status != LookupStatus::Found) {
            keepFirst(first, OpResult::failure(lookup.error));
            clean = false;
            continue;
        }
        if (keep(childPath, lookup.record)) {
            clean = false;
            continue;
        }
        if ((lookup.record.attributes & kAttrDirectory) != 0) {
            UniqueFd child(retryEintr(sys().openat, dirFd, entry.name.c_str(), kListFlags, 0));
            if (!child.valid()) {
                if (errno != ENOENT) {
                    keepFirst(first, OpResult::failure(errno));
                    clean = false;
                }
                continue;
            }
            if (!trashKeeping(child.get(), childPath, keep, first)) {
                clean = false;
                continue;
            }
        }
        loose.push_back(entry.name);
    }
    if (!clean) {
        FolderUnlock unlock(dirFd);
        const std::string prefix = path + '/';
        for (const std::string& each : loose) {
            keepFirst(first, trashEntry(unlock, dirFd, each, prefix + each));
        }
    }
    return clean;
}

// Opens the entry `name` of the folder `dirFd` (path-only, a link not
// followed) so that it outlives losing its name; invalid when there is none.
UniqueFd holdEntry(int dirFd, const std::string& name) {
    return UniqueFd(
        retryEintr(sys().openat, dirFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC, 0));
}

// Closes `held`, an entry held by holdEntry() whose name is gone now, through
// `closer` when that close frees a file's blocks.
void letGo(DeferredClose* closer, UniqueFd held) {
    struct stat st;
    if (closer != nullptr && held.valid() && sys().fstat(held.get(), &st) == 0 &&
        st.st_nlink == 0 && S_ISREG(st.st_mode)) {
        closer->add(std::move(held), static_cast<std::uint64_t>(st.st_blocks) * 512);
    }
}

// A temporary entry beside the target; removed unless it was renamed into
// place.
class Temporary {
public:
    Temporary(int dirFd, FolderUnlock& unlock) : m_dir(dirFd), m_unlock(unlock) {}
    ~Temporary() {
        if (!m_name.empty()) {
            inFolder(m_unlock, [&] { return errnoOf(sys().unlinkat(m_dir, m_name.c_str(), 0)); });
        }
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    // Makes the entry through `make(name)`, which returns 0 or an errno
    // (EEXIST: the name is taken). Returns 0 or an errno.
    template <typename Make>
    int create(Make&& make) {
        for (int attempt = 0; attempt < 64; ++attempt) {
            std::string name = temporaryName();
            const int error = inFolder(m_unlock, [&] { return make(name.c_str()); });
            if (error == 0) {
                m_name = std::move(name);
                return 0;
            }
            if (error != EEXIST) {
                return error;
            }
        }
        return EEXIST;
    }

    const char* name() const { return m_name.c_str(); }

    // Replaces `target` with the entry in one step; the entry replaced is
    // let go of through `closer` when given. Returns 0 or an errno.
    int replace(const std::string& target, DeferredClose* closer = nullptr) {
        UniqueFd old;
        if (closer != nullptr && closer->enabled()) {
            old = holdEntry(m_dir, target);
        }
        const int error = inFolder(m_unlock, [&] {
            return errnoOf(sys().renameat(m_dir, m_name.c_str(), m_dir, target.c_str()));
        });
        if (error == 0) {
            m_name.clear();
            letGo(closer, std::move(old));
        }
        return error;
    }

private:
    int m_dir;
    FolderUnlock& m_unlock;
    std::string m_name;
};

// Lets the caller move an existing target away before it is replaced.
int beforeReplacing(const BeforeReplace& before, int dirFd, FolderUnlock& unlock,
                    const std::string& leaf, std::string& message) {
    struct stat existing;
    if (!before || sys().fstatat(dirFd, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        return 0;
    }
    return inFolder(unlock, [&] {
        OpResult result = before(dirFd, leaf);
        message = std::move(result.message);
        return result.error;
    });
}

int copyRegular(int source, const struct stat& st, int dirFd, FolderUnlock& unlock,
                const std::string& leaf, bool timesAfterRename, const BeforeReplace& before,
                DeferredClose* closer, bool& cloneRefused, std::string& message) {
    std::optional<Temporary> temporary;
    UniqueFd out;
    for (bool again = false;; again = true) {
        temporary.emplace(dirFd, unlock);
        int error = temporary->create([&](const char* name) {
            const int fd = retryEintr(sys().openat, dirFd, name,
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) {
                return errno;
            }
            out.reset(fd);
            return 0;
        });
        if (error == 0) {
            error = detail::copyContent(source, out.get(), st, &cloneRefused);
        }
        if (error == 0) {
            break;
        }
        // The files replaced before this one may still hold their space
        // while they wait to be closed: a full drive is only full once they
        // are let go of.
        if (!again && (error == ENOSPC || error == EDQUOT) && closer != nullptr &&
            closer->holdsSpace()) {
            out.reset();
            temporary.reset();
            closer->drain();
            continue;
        }
        if (error == EAGAIN) {
            message = "the source became shorter while being copied";
        }
        return error;
    }
    if (runningAsRoot() && sys().fchown(out.get(), st.st_uid, st.st_gid) != 0 &&
        !notStorable(errno)) {
        return errno;
    }
    // Before the bits: a read-only file takes no user. attributes.
    if (const int error = detail::copyExtendedAttributes(source, out.get(), true)) {
        return error;
    }
    if (sys().fchmod(out.get(), st.st_mode & 07777) != 0 && !notStorable(errno)) {
        return errno;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (sys().futimens(out.get(), times) != 0 && !notStorable(errno)) {
        return errno;
    }
    if (const int error = out.close()) {
        return error;
    }
    if (const int error = beforeReplacing(before, dirFd, unlock, leaf, message)) {
        return error;
    }
    if (const int error = temporary->replace(leaf, closer)) {
        return error;
    }
    if (timesAfterRename && sys().utimensat(dirFd, leaf.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 &&
        !notStorable(errno)) {
        return errno;
    }
    return 0;
}

int readLinkText(int base, const std::string& name, const struct stat& st, std::string& text) {
    std::size_t size = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : PATH_MAX;
    for (;;) {
        text.resize(size);
        const ssize_t n = sys().readlinkat(base, name.c_str(), text.data(), size);
        if (n < 0) {
            return errno;
        }
        if (static_cast<std::size_t>(n) < size) {
            text.resize(static_cast<std::size_t>(n));
            return 0;
        }
        size *= 2;  // the link changed since it was looked at
    }
}

// Links and FIFOs: made under a temporary name, given owner, bits and times,
// then renamed over the target.
int copySpecial(int base, const std::string& source, const struct stat& st, int dirFd,
                FolderUnlock& unlock, const std::string& leaf, const BeforeReplace& before,
                std::string& message) {
    const bool isLink = S_ISLNK(st.st_mode);
    std::string text;
    if (isLink) {
        if (const int error = readLinkText(base, source, st, text)) {
            return error;
        }
    }
    Temporary temporary(dirFd, unlock);
    if (const int error = temporary.create([&](const char* name) {
            return errnoOf(isLink ? sys().symlinkat(text.c_str(), dirFd, name)
                                  : sys().mkfifoat(dirFd, name, 0600));
        })) {
        return error;
    }
    if (runningAsRoot() &&
        sys().fchownat(dirFd, temporary.name(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
        !notStorable(errno)) {
        return errno;
    }
    if (!isLink && sys().fchmodat(dirFd, temporary.name(), st.st_mode & 07777, 0) != 0 &&
        !notStorable(errno)) {
        return errno;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (sys().utimensat(dirFd, temporary.name(), times, AT_SYMLINK_NOFOLLOW) != 0 &&
        !notStorable(errno)) {
        return errno;
    }
    if (const int error = beforeReplacing(before, dirFd, unlock, leaf, message)) {
        return error;
    }
    return temporary.replace(leaf);
}

// A source entry: the folder holding it, opened beneath the main folder
// without following a link on the way, and its own name there. Sources named
// by full path are looked up from the working folder instead.
struct SourceEntry {
    UniqueFd dir;
    int base = AT_FDCWD;
    std::string name;
};

OpResult openSource(const SourceTree& from, const std::string& source, SourceEntry& out) {
    if (!from.valid()) {
        return OpResult::failure(EBADF, "the main folder is not open");
    }
    if (from.byPath()) {
        out.base = AT_FDCWD;
        out.name = source;
        return OpResult::success();
    }
    TargetPath path;
    if (!splitTarget(from.root(), source, path) || path.leaf.empty()) {
        return OpResult::failure(EINVAL, "the path does not lie beneath the main folder");
    }
    if (const int error = openBeneath(from.fd(), path.parent, false, out.dir)) {
        switch (error) {
            case ELOOP:
                return OpResult::failure(ELOOP,
                                         "a folder on the way to the source is a symbolic link");
            case EXDEV:
                return OpResult::failure(EXDEV,
                                         "the way to the source leads outside the main folder");
            default:
                return OpResult::failure(error);
        }
    }
    out.base = out.dir.get();
    out.name = std::move(path.leaf);
    return OpResult::success();
}

// Opens the way to the source entry as openSource() does and reads its own
// status (a link's, not its target's).
OpResult statSource(const SourceTree& from, const std::string& source, SourceEntry& out,
                    struct stat& st) {
    if (OpResult opened = openSource(from, source, out); !opened.ok()) {
        return opened;
    }
    if (sys().fstatat(out.base, out.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return OpResult::failure(errno);
    }
    return OpResult::success();
}

// Fails unless `path` still names the folder open as `fd`.
OpResult sameFolder(const std::string& path, int fd) {
    struct stat now;
    struct stat held;
    if (sys().fstatat(AT_FDCWD, path.c_str(), &now, 0) != 0) {
        return OpResult::failure(errno);
    }
    if (sys().fstat(fd, &held) != 0) {
        return OpResult::failure(errno);
    }
    if (now.st_dev != held.st_dev || now.st_ino != held.st_ino) {
        return OpResult::failure(ESTALE,
                                 "the folder is no longer the one the plan was made for; "
                                 "nothing was changed");
    }
    return OpResult::success();
}

// Folders relative to the root: the root (empty) is the shallowest.
std::size_t depthOf(const std::string& relative) {
    return relative.empty()
               ? 0
               : 1 + static_cast<std::size_t>(std::count(relative.begin(), relative.end(), '/'));
}

std::string joinRelative(const std::string& parent, const std::string& leaf) {
    return parent.empty() ? leaf : parent + "/" + leaf;
}

// What the file system does not implement: nothing to carry there.
bool unsupported(int error) {
    return error == EOPNOTSUPP || error == ENOSYS;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Gives the entry open as `fd` (path-only, never a link followed; its status
// `have`) the owner, permission bits and, with `times`, the times of `want`,
// each only where it differs. Returns 0 or an errno.
int applyAttributes(int fd, const struct stat& have, const struct stat& want, MetadataKept kept,
                    bool times) {
    // A path-only descriptor takes no fchmod or futimens; its /proc name
    // leads to the very entry it holds.
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (kept.owners && (have.st_uid != want.st_uid || have.st_gid != want.st_gid) &&
        sys().fchownat(fd, "", want.st_uid, want.st_gid, AT_EMPTY_PATH) != 0 &&
        !unsupported(errno)) {
        return errno;
    }
    if (kept.permissions && !S_ISLNK(have.st_mode)) {
        // A change of owner may have cleared set-id bits: compare what is there now.
        struct stat now;
        if (sys().fstat(fd, &now) != 0) {
            return errno;
        }
        if ((now.st_mode & 07777) != (want.st_mode & 07777) &&
            sys().fchmodat(AT_FDCWD, self, want.st_mode & 07777, 0) != 0 && !unsupported(errno)) {
            return errno;
        }
    }
    if (times && !sameTime(have.st_mtim, want.st_mtim)) {
        const struct timespec both[2] = {want.st_atim, want.st_mtim};
        if (sys().utimensat(AT_FDCWD, self, both, 0) != 0 && !unsupported(errno)) {
            return errno;
        }
    }
    return 0;
}

}  // namespace

bool isTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kRandomLength ||
        name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) {
        return false;
    }
    return name.substr(kTemporaryPrefix.size()).find_first_not_of(kHexDigits) ==
           std::string_view::npos;
}

SourceTree::~SourceTree() {
    if (m_fd >= 0) {
        sys().close(m_fd);
    }
}

SourceTree::SourceTree(SourceTree&& other) noexcept
    : m_root(std::move(other.m_root)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_byPath(std::exchange(other.m_byPath, false)) {}

SourceTree& SourceTree::operator=(SourceTree&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            sys().close(m_fd);
        }
        m_root = std::move(other.m_root);
        m_fd = std::exchange(other.m_fd, -1);
        m_byPath = std::exchange(other.m_byPath, false);
    }
    return *this;
}

SourceTree SourceTree::open(const std::string& root, OpResult& result) {
    SourceTree tree;
    if (root.empty() || root.find('\0') != std::string::npos) {
        result = OpResult::failure(EINVAL);
        return tree;
    }
    const int fd = retryEintr(sys().openat, AT_FDCWD, root.c_str(), kWayFlags, 0);
    if (fd < 0) {
        result = OpResult::failure(errno);
        return tree;
    }
    tree.m_root = root;
    tree.m_fd = fd;
    result = OpResult::success();
    return tree;
}

SourceTree SourceTree::byFullPath() {
    SourceTree tree;
    tree.m_byPath = true;
    return tree;
}

OpResult SourceTree::checkRoot() const {
    if (m_byPath) {
        return OpResult::success();
    }
    if (m_fd < 0) {
        return OpResult::failure(EBADF, "the main folder is not open");
    }
    return sameFolder(m_root, m_fd);
}

OpResult MirrorTree::checkRoot() const {
    if (m_fd < 0) {
        return OpResult::failure(EBADF, "the mirror folder is not open");
    }
    return sameFolder(m_root, m_fd);
}

MirrorTree::MirrorTree() = default;

DeferredClose& MirrorTree::closer() {
    if (!m_closer) {
        m_closer = std::make_unique<DeferredClose>(m_fd);
    }
    return *m_closer;
}

MirrorTree::~MirrorTree() {
    m_closer.reset();
    if (m_fd >= 0) {
        sys().close(m_fd);
    }
}

MirrorTree::MirrorTree(MirrorTree&& other) noexcept
    : m_root(std::move(other.m_root)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_timesAfterRename(other.m_timesAfterRename),
      m_cloneRefused(other.m_cloneRefused),
      m_kept(other.m_kept),
      m_pending(std::move(other.m_pending)),
      m_closer(std::move(other.m_closer)) {}

MirrorTree& MirrorTree::operator=(MirrorTree&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            sys().close(m_fd);
        }
        m_root = std::move(other.m_root);
        m_fd = std::exchange(other.m_fd, -1);
        m_timesAfterRename = other.m_timesAfterRename;
        m_cloneRefused = other.m_cloneRefused;
        m_kept = other.m_kept;
        m_pending = std::move(other.m_pending);
        m_closer = std::move(other.m_closer);
    }
    return *this;
}

MirrorTree MirrorTree::open(const std::string& root, int lockWaitMs, OpResult& result) {
    MirrorTree tree;
    if (root.empty() || root.find('\0') != std::string::npos) {
        result = OpResult::failure(EINVAL);
        return tree;
    }
    // The root itself may be a link; the lock is taken on the folder it names.
    UniqueFd fd(
        retryEintr(sys().openat, AT_FDCWD, root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!fd.valid()) {
        result = OpResult::failure(errno);
        return tree;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(lockWaitMs, 0));
    for (;;) {
        if (retryEintr(sys().flock, fd.get(), LOCK_EX | LOCK_NB) == 0) {
            break;
        }
        const int error = errno;
        const auto now = Clock::now();
        if (error != EWOULDBLOCK) {
            result = OpResult::failure(error);
            return tree;
        }
        if (now >= deadline) {
            result = OpResult::failure(EWOULDBLOCK, "the mirror folder is in use by another run");
            return tree;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(50), deadline - now));
    }
    struct statfs fs;
    tree.m_timesAfterRename = sys().fstatfs(fd.get(), &fs) == 0 && fs.f_type == kFuseMagic;
    tree.m_root = root;
    tree.m_fd = fd.release();
    tree.m_kept = metadataKeptBy(root);
    result = OpResult::success();
    return tree;
}

void MirrorTree::pend(const std::string& relative, const std::string& source, bool byPath) {
    if (source.empty()) {
        m_pending.try_emplace(relative);
    } else {
        m_pending.insert_or_assign(relative, PendingSource{source, byPath});
    }
}

void MirrorTree::pendMade(const std::vector<std::string>& made) {
    for (const std::string& each : made) {
        pend(each);
    }
}

void MirrorTree::finishLater(const std::string& target) {
    TargetPath path;
    if (splitTarget(m_root, target, path)) {
        pend(joinRelative(path.parent, path.leaf));
    }
}

Lookup MirrorTree::lookup(const std::string& target) const {
    Lookup result;
    result.status = LookupStatus::Absent;
    result.error = ENOENT;
    if (!valid()) {
        return result;
    }
    TargetPath path;
    if (!splitTarget(m_root, target, path)) {
        result.status = LookupStatus::Unknown;
        result.error = EINVAL;
        return result;
    }
    if (path.leaf.empty()) {
        return lookupOpen(m_fd);
    }
    UniqueFd dir;
    if (const int error = openBeneath(m_fd, path.parent, false, dir)) {
        // Through a link or a file there is no entry of this mirror.
        result.error = error;
        if (error != ENOENT && error != ENOTDIR && error != ELOOP && error != EXDEV) {
            result.status = LookupStatus::Unknown;
        }
        return result;
    }
    return lookupEntryAt(dir.get(), path.leaf.c_str());
}

OpResult MirrorTree::copyAttributes(const SourceTree& from, const std::string& source,
                                    const std::string& target) {
    if (!valid()) {
        return OpResult::failure(EBADF);
    }
    TargetPath path;
    if (!splitTarget(m_root, target, path) || path.leaf.empty()) {
        return notBeneathRoot();
    }
    SourceEntry in;
    struct stat want;
    if (OpResult status = statSource(from, source, in, want); !status.ok()) {
        return status;
    }
    UniqueFd dir;
    if (const int error = openBeneath(m_fd, path.parent, false, dir)) {
        return wayFailure(error);
    }
    UniqueFd entry(
        retryEintr(sys().openat, dir.get(), path.leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC, 0));
    struct stat have;
    if (!entry.valid() || sys().fstat(entry.get(), &have) != 0) {
        return OpResult::failure(errno);
    }
    if ((have.st_mode & S_IFMT) != (want.st_mode & S_IFMT)) {
        return OpResult::failure(EAGAIN, "the entry changed its type after the plan was made");
    }
    // User. attributes and ACLs (of regular files) first: a read-only file
    // refuses user. attributes, and the bits given next may make it one.
    if (S_ISREG(want.st_mode)) {
        const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        UniqueFd input(retryEintr(sys().openat, in.base, in.name.c_str(), flags, 0));
        UniqueFd output(retryEintr(sys().openat, dir.get(), path.leaf.c_str(), flags, 0));
        if (!input.valid() || !output.valid()) {
            return OpResult::failure(errno);
        }
        int error = detail::copyExtendedAttributes(input.get(), output.get(), false);
        // A read-only mirror file of this process's takes user. attributes
        // once its owner may write it for a moment.
        if (error == EACCES && have.st_uid == ::geteuid() && (have.st_mode & S_IWUSR) == 0 &&
            sys().fchmod(output.get(), (have.st_mode & 07777) | S_IWUSR) == 0) {
            error = detail::copyExtendedAttributes(input.get(), output.get(), false);
            sys().fchmod(output.get(), have.st_mode & 07777);
        }
        if (error != 0) {
            return OpResult::failure(error);
        }
    }
    const int error = applyAttributes(entry.get(), have, want, m_kept, false);
    return error == 0 ? OpResult::success() : OpResult::failure(error);
}

OpResult MirrorTree::copyFile(const SourceTree& from, const std::string& source,
                              const std::string& target, const BeforeReplace& beforeReplace) {
    if (!valid()) {
        return OpResult::failure(EBADF);
    }
    TargetPath path;
    if (!splitTarget(m_root, target, path) || path.leaf.empty()) {
        return notBeneathRoot();
    }
    SourceEntry in;
    struct stat st;
    if (OpResult status = statSource(from, source, in, st); !status.ok()) {
        return status;
    }
    UniqueFd input;
    switch (st.st_mode & S_IFMT) {
        case S_IFREG: {
            // Never blocks (a FIFO swapped in meanwhile) and never follows a
            // link; the descriptor's own status decides what is read. The
            // source's access time stays where the system lets it.
            const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
            if (runningAsRoot() || st.st_uid == ::geteuid()) {
                input.reset(
                    retryEintr(sys().openat, in.base, in.name.c_str(), flags | O_NOATIME, 0));
            }
            if (!input.valid()) {
                input.reset(retryEintr(sys().openat, in.base, in.name.c_str(), flags, 0));
            }
            if (!input.valid()) {
                return OpResult::failure(errno);
            }
            if (sys().fstat(input.get(), &st) != 0) {
                return OpResult::failure(errno);
            }
            if (!S_ISREG(st.st_mode)) {
                return OpResult::failure(EAGAIN, "the source changed its type while being copied");
            }
            break;
        }
        case S_IFLNK:
        case S_IFIFO:
            break;
        case S_IFDIR:
            return OpResult::failure(EISDIR);
        default:
            return OpResult::failure(EOPNOTSUPP, "devices and sockets are not copied");
    }
    UniqueFd dir;
    std::vector<std::string> made;
    const int opened = openBeneath(m_fd, path.parent, true, dir, &made);
    pendMade(made);
    if (opened != 0) {
        return wayFailure(opened);
    }
    pend(path.parent);
    FolderUnlock unlock(dir.get());
    std::string message;
    const int error = input.valid() ? copyRegular(input.get(), st, dir.get(), unlock, path.leaf,
                                                  m_timesAfterRename, beforeReplace, &closer(),
                                                  m_cloneRefused, message)
                                    : copySpecial(in.base, in.name, st, dir.get(), unlock,
                                                  path.leaf, beforeReplace, message);
    if (error == 0) {
        return OpResult::success();
    }
    return message.empty() ? OpResult::failure(error) : OpResult::failure(error, message);
}

OpResult MirrorTree::createDirectory(const SourceTree& from, const std::string& source,
                                     const std::string& target) {
    if (!valid()) {
        return OpResult::failure(EBADF);
    }
    TargetPath path;
    if (!splitTarget(m_root, target, path)) {
        return notBeneathRoot();
    }
    if (path.leaf.empty()) {
        return OpResult::success();  // the root is there already
    }
    // What the plan saw as a folder must still be one: a folder swapped for a
    // link makes no folder whose bits and times would come from elsewhere.
    SourceEntry in;
    struct stat sourceStat;
    if (OpResult status = statSource(from, source, in, sourceStat); !status.ok()) {
        return status;
    }
    if (!S_ISDIR(sourceStat.st_mode)) {
        return OpResult::failure(ENOTDIR, "the source is no longer a folder");
    }
    UniqueFd dir;
    std::vector<std::string> made;
    const int opened = openBeneath(m_fd, path.parent, true, dir, &made);
    pendMade(made);
    if (opened != 0) {
        return wayFailure(opened);
    }
    // Owner only until finishDirectories(): the source's bits may be stricter.
    const int error = makeFolder(dir.get(), path.leaf.c_str(), 0700);
    if (error == 0) {
        pend(path.parent);
    }
    if (error == EEXIST) {
        struct stat st;
        if (sys().fstatat(dir.get(), path.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return OpResult::failure(errno);
        }
        if (!S_ISDIR(st.st_mode)) {
            return OpResult::failure(EEXIST, "an entry that is not a folder is in the way");
        }
    } else if (error != 0) {
        return OpResult::failure(error);
    }
    pend(joinRelative(path.parent, path.leaf), source, from.byPath());
    return OpResult::success();
}

OpResult MirrorTree::remove(const std::string& target, EntryKind expected, bool toTrash,
                            const KeepPredicate& keep) {
    if (!valid()) {
        return OpResult::failure(EBADF);
    }
    TargetPath path;
    if (!splitTarget(m_root, target, path) || path.leaf.empty()) {
        return notBeneathRoot();
    }
    UniqueFd dir;
    if (const int error = openBeneath(m_fd, path.parent, false, dir)) {
        // A missing folder on the way: the entry is gone already.
        return error == ENOENT || error == ENOTDIR ? OpResult::success() : wayFailure(error);
    }
    struct stat st;
    if (sys().fstatat(dir.get(), path.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? OpResult::success() : OpResult::failure(errno);
    }
    // What the plan judged is what goes: a file that became a folder, or a
    // folder that became a link, is someone else's new entry.
    if (expected == EntryKind::File && S_ISDIR(st.st_mode)) {
        return OpResult::failure(EISDIR, "the entry became a folder after the plan was made");
    }
    if (expected == EntryKind::Folder && !S_ISDIR(st.st_mode)) {
        return OpResult::failure(ENOTDIR, S_ISLNK(st.st_mode)
                                              ? "the folder became a link after the plan was made"
                                              : "the folder became a file after the plan was made");
    }
    pend(path.parent);
    FolderUnlock unlock(dir.get());
    OpResult first;
    if (toTrash) {
        // Moved through the folder opened above, so the way checked is the
        // way taken.
        if (S_ISDIR(st.st_mode) && keep) {
            UniqueFd folder(retryEintr(sys().openat, dir.get(), path.leaf.c_str(), kListFlags, 0));
            if (!folder.valid()) {
                return OpResult::failure(errno);
            }
            if (trashKeeping(folder.get(), target, keep, first)) {
                folder.reset();
                keepFirst(first, trashEntry(unlock, dir.get(), path.leaf, target));
            }
            return first;
        }
        return trashEntry(unlock, dir.get(), path.leaf, target);
    }
    if (S_ISDIR(st.st_mode)) {
        removeTree(dir.get(), unlock, path.leaf, target, keep, first);
        return first;
    }
    UniqueFd held = closer().enabled() ? holdEntry(dir.get(), path.leaf) : UniqueFd();
    const int error =
        inFolder(unlock, [&] { return errnoOf(sys().unlinkat(dir.get(), path.leaf.c_str(), 0)); });
    if (error == 0) {
        letGo(&closer(), std::move(held));
    }
    return error == 0 || error == ENOENT ? OpResult::success() : OpResult::failure(error);
}

OpResult MirrorTree::finishDirectories(const SourceTree& from, const FailureSink& failed) {
    std::vector<std::pair<std::string, PendingSource>> pendingList;
    pendingList.reserve(m_pending.size());
    for (auto& each : std::exchange(m_pending, {})) {
        pendingList.emplace_back(each.first, std::move(each.second));
    }
    // Deepest first: a folder's times are set once its content is done.
    std::sort(pendingList.begin(), pendingList.end(), [](const auto& a, const auto& b) {
        const std::size_t da = depthOf(a.first);
        const std::size_t db = depthOf(b.first);
        return da != db ? da > db : a.first < b.first;
    });
    OpResult first;
    for (const auto& [relative, pending] : pendingList) {
        OpResult result = finishOne(from, relative, pending);
        if (!result.ok()) {
            std::string target = m_root;
            if (!relative.empty()) {
                target += (target.ends_with('/') ? "" : "/") + relative;
            }
            if (failed) {
                failed(target, result);
            }
            keepFirst(first, std::move(result));
        }
    }
    return first;
}

OpResult MirrorTree::finishOne(const SourceTree& tree, const std::string& relative,
                               const PendingSource& pending) const {
    if (!valid()) {
        return OpResult::failure(EBADF);
    }
    // An included folder's source lies outside the main folder: read by path.
    const SourceTree byPath = pending.byPath ? SourceTree::byFullPath() : SourceTree();
    const SourceTree& from = pending.byPath ? byPath : tree;
    const std::string& source = pending.source;
    // The source: named, or at the same place beneath the main folder. One
    // that has gone or is no folder any more leaves the folder as it is.
    struct stat want;
    UniqueFd sourceFolder;
    if (source.empty() && relative.empty()) {
        if (!from.valid() || from.byPath() || sys().fstat(from.fd(), &want) != 0) {
            return OpResult::success();
        }
        sourceFolder.reset(retryEintr(sys().openat, from.fd(), ".", kListFlags, 0));
    } else {
        std::string sourcePath = source;
        if (sourcePath.empty()) {
            sourcePath = from.root();
            if (!sourcePath.ends_with('/')) {
                sourcePath.push_back('/');
            }
            sourcePath += relative;
        }
        SourceEntry in;
        if (!openSource(from, sourcePath, in).ok() ||
            sys().fstatat(in.base, in.name.c_str(), &want, AT_SYMLINK_NOFOLLOW) != 0) {
            return OpResult::success();
        }
        if (S_ISDIR(want.st_mode)) {
            sourceFolder.reset(retryEintr(sys().openat, in.base, in.name.c_str(), kListFlags, 0));
        }
    }
    if (!S_ISDIR(want.st_mode)) {
        return OpResult::success();
    }
    UniqueFd folder;
    if (relative.empty()) {
        // The top folder of a FAT file system has no entry, so no times.
        if (!m_kept.permissions && isMountRoot(m_root)) {
            return OpResult::success();
        }
        folder.reset(retryEintr(sys().openat, m_fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
    } else {
        const auto slash = relative.rfind('/');
        const std::string parentPath =
            slash == std::string::npos ? std::string() : relative.substr(0, slash);
        const std::string leaf = relative.substr(slash == std::string::npos ? 0 : slash + 1);
        UniqueFd parent;
        if (const int error = openBeneath(m_fd, parentPath, false, parent)) {
            // A folder deleted since it was made has nothing left to finish.
            return error == ENOENT || error == ENOTDIR ? OpResult::success() : wayFailure(error);
        }
        folder.reset(retryEintr(sys().openat, parent.get(), leaf.c_str(),
                                O_PATH | O_NOFOLLOW | O_CLOEXEC, 0));
    }
    struct stat have;
    if (!folder.valid() || sys().fstat(folder.get(), &have) != 0) {
        return errno == ENOENT ? OpResult::success() : OpResult::failure(errno);
    }
    if (!S_ISDIR(have.st_mode)) {
        return OpResult::success();  // replaced meanwhile: not a folder of this run
    }
    // User. attributes and ACLs first: the bits given next may leave the
    // folder closed to them.
    // A failure there still leaves the folder its bits and times.
    int extended = 0;
    if (sourceFolder.valid()) {
        UniqueFd open(retryEintr(sys().openat, folder.get(), ".", kListFlags, 0));
        if (open.valid()) {
            extended = detail::copyExtendedAttributes(sourceFolder.get(), open.get(), false);
        }
    }
    const int error = applyAttributes(folder.get(), have, want, m_kept, true);
    if (error != 0 || extended != 0) {
        return OpResult::failure(error != 0 ? error : extended);
    }
    return OpResult::success();
}

std::uint64_t MirrorTree::learnTimePrecision() {
    if (!valid()) {
        return 0;
    }
    FolderUnlock unlock(m_fd);
    Temporary probe(m_fd, unlock);
    UniqueFd file;
    if (probe.create([&](const char* name) {
            const int fd = retryEintr(sys().openat, m_fd, name,
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) {
                return errno;
            }
            file.reset(fd);
            return 0;
        }) != 0) {
        return 0;
    }
    // An odd second and every digit of the nanoseconds: each coarser step
    // loses some of them.
    constexpr std::int64_t kSeconds = 1234567891;
    constexpr std::int64_t kNanoseconds = 987654321;
    const struct timespec times[2] = {{kSeconds, kNanoseconds}, {kSeconds, kNanoseconds}};
    struct stat st;
    if (sys().futimens(file.get(), times) != 0 || sys().fstat(file.get(), &st) != 0) {
        return 0;
    }
    const std::int64_t kept =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const std::int64_t lost = std::abs(kSeconds * 1000000000 + kNanoseconds - kept);
    // The finest step (in ticks of 100 ns) that explains what was lost.
    for (const std::uint64_t step : {1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL,
                                     10000000ULL, 20000000ULL}) {
        if (static_cast<std::uint64_t>(lost) < step * 100) {
            return step;
        }
    }
    return 0;
}

OpResult MirrorTree::flush() {
    if (!valid()) {
        return OpResult::failure(EBADF);
    }
    // Files replaced or deleted are let go of first: flushed after that, the
    // drive holds what a run without the closing thread would have left.
    if (m_closer) {
        m_closer->drain();
    }
    const int error = errnoOf(retryEintr(sys().syncfs, m_fd));
    if (error != 0) {
        return OpResult::failure(error, std::string("what was written could not be flushed to "
                                                    "the drive: ") +
                                            std::strerror(error));
    }
    return OpResult::success();
}

}  // namespace platform
