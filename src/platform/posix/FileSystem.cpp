#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/posix/Listing.h"
#include "platform/posix/Sys.h"

namespace platform {

using detail::retryEintr;
using detail::sys;

namespace {

// Access and creation times are not asked for: no decision reads them, and
// every entry of both trees is looked up.
constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_SIZE |
                                STATX_MTIME | STATX_CTIME | STATX_INO;

std::uint64_t ticks(const struct statx_timestamp& t) {
    return ticksFromUnix(t.tv_sec, t.tv_nsec);
}

bool isAbsentError(int error) {
    return error == ENOENT || error == ENOTDIR;
}

Lookup fromStatx(const struct statx& st, std::string_view name) {
    Lookup result;
    result.status = LookupStatus::Found;
    FindRecord& r = result.record;
    std::uint32_t attrs = 0;
    const auto type = st.stx_mode & S_IFMT;
    if (type == S_IFDIR) {
        attrs |= kAttrDirectory;
    } else if (type == S_IFLNK) {
        attrs |= kAttrSymlink;
    }
    if ((st.stx_mode & S_IWUSR) == 0) {
        attrs |= kAttrReadOnly;
    }
    if (!name.empty() && name.front() == '.') {
        attrs |= kAttrHidden;
    }
    if ((st.stx_attributes_mask & STATX_ATTR_COMPRESSED) &&
        (st.stx_attributes & STATX_ATTR_COMPRESSED)) {
        attrs |= kAttrCompressed;
    }
    if ((st.stx_attributes_mask & STATX_ATTR_ENCRYPTED) &&
        (st.stx_attributes & STATX_ATTR_ENCRYPTED)) {
        attrs |= kAttrEncrypted;
    }
    r.attributes = attrs == 0 ? std::uint32_t{kAttrNormal} : attrs;
    r.lastWriteTime = ticks(st.stx_mtime);
    r.lastAccessTime = (st.stx_mask & STATX_ATIME) ? ticks(st.stx_atime) : 0;
    r.changeTime = (st.stx_mask & STATX_CTIME) ? ticks(st.stx_ctime) : 0;
    r.creationTime = (st.stx_mask & STATX_BTIME) ? ticks(st.stx_btime) : 0;
    r.size = st.stx_size;
    r.mode = st.stx_mode;
    r.owner = st.stx_uid;
    r.group = st.stx_gid;
    result.device = (std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor;
    result.inode = st.stx_ino;
    return result;
}

Lookup statxAt(int dirFd, const char* path, std::string_view name) {
    struct statx st;
    if (sys().statx(dirFd, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &st) != 0) {
        Lookup result;
        result.error = errno;
        result.status = isAbsentError(result.error) ? LookupStatus::Absent : LookupStatus::Unknown;
        return result;
    }
    return fromStatx(st, name);
}

}  // namespace

Lookup lookupEntry(const std::string& path) {
    if (path.empty()) {
        Lookup result;
        result.error = ENOENT;
        return result;
    }
    auto name = std::string_view(path);
    if (const auto pos = name.rfind('/'); pos != std::string_view::npos) {
        name = name.substr(pos + 1);
    }
    return statxAt(AT_FDCWD, path.c_str(), name);
}

Lookup lookupEntryAt(int dirFd, const char* name) {
    return statxAt(dirFd, name, name);
}

Lookup lookupOpen(int fd) {
    struct statx st;
    if (sys().statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, kStatxMask, &st) != 0) {
        Lookup result;
        result.error = errno;
        result.status = LookupStatus::Unknown;
        return result;
    }
    return fromStatx(st, {});
}

namespace {

constexpr std::uint64_t kTwoSeconds = 20000000;
constexpr std::uint64_t kOneSecond = 10000000;

// The type name of the file system mounted with `mountId`, as the kernel's
// mount table shows it ("ext4", "vfat", "fuse.sshfs", ...); empty when not
// found.
std::string mountType(std::uint64_t mountId) {
    std::FILE* table = std::fopen("/proc/self/mountinfo", "re");
    if (table == nullptr) {
        return {};
    }
    std::string type;
    char* line = nullptr;
    std::size_t capacity = 0;
    while (::getline(&line, &capacity, table) > 0) {
        const std::string_view text(line);
        if (std::strtoull(line, nullptr, 10) != mountId) {
            continue;
        }
        // The type follows the " - " that ends the optional fields.
        const auto dash = text.find(" - ");
        if (dash != std::string_view::npos) {
            const auto start = dash + 3;
            type = std::string(text.substr(start, text.find(' ', start) - start));
        }
        break;
    }
    std::free(line);
    std::fclose(table);
    return type;
}

std::uint64_t precisionOfType(std::string_view type) {
    if (type.starts_with("fuse.") || type.starts_with("fuseblk")) {
        const auto dot = type.find('.');
        type = dot == std::string_view::npos ? std::string_view{} : type.substr(dot + 1);
    }
    if (type == "vfat" || type == "msdos" || type == "fat" || type == "fusefat" ||
        type == "exfat" || type == "umsdos") {
        return kTwoSeconds;
    }
    if (type == "hfsplus" || type == "hfs" || type == "iso9660" || type == "sshfs" ||
        type == "minix") {
        return kOneSecond;
    }
    return 1;
}

}  // namespace

std::uint64_t timePrecisionTicks(const std::string& path) {
    // The mount table names the file system even behind FUSE, where the
    // kernel's type number only says "fuse".
    struct statx st;
    if (sys().statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) == 0 &&
        (st.stx_mask & STATX_MNT_ID) != 0) {
        const std::string type = mountType(st.stx_mnt_id);
        if (!type.empty()) {
            return precisionOfType(type);
        }
    }
    struct statfs fs;
    if (sys().statfs(path.c_str(), &fs) != 0) {
        return 1;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x4d44:      // FAT (msdos, vfat)
        case 0x2011BAB0:  // exFAT
            return kTwoSeconds;
        case 0x482b:  // HFS+
        case 0x9660:  // ISO 9660
            return kOneSecond;
        default:
            return 1;
    }
}

bool changeTimesTrusted(int fd) {
    struct statfs fs;
    if (sys().fstatfs(fd, &fs) != 0) {
        return false;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC:  // ext2 and ext3 share it
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
        case TMPFS_MAGIC:
            return true;
        default:
            return false;
    }
}

std::string fileSystemKey(int fd) {
    struct statfs fs;
    if (sys().fstatfs(fd, &fs) != 0) {
        return {};
    }
    std::string type;
    struct statx st;
    if (sys().statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) == 0 &&
        (st.stx_mask & STATX_MNT_ID) != 0) {
        type = mountType(st.stx_mnt_id);
    }
    if (type.empty()) {
        type = std::to_string(static_cast<unsigned long>(fs.f_type));
    }
    int id[2];
    static_assert(sizeof id == sizeof fs.f_fsid);
    std::memcpy(id, &fs.f_fsid, sizeof id);
    char text[32];
    std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(id[0]),
                  static_cast<unsigned>(id[1]));
    return type + ":" + text;
}

MetadataKept metadataKeptBy(const std::string& path) {
    MetadataKept kept;
    struct statx st;
    if (sys().statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) == 0 &&
        (st.stx_mask & STATX_MNT_ID) != 0) {
        const std::string name = mountType(st.stx_mnt_id);
        std::string_view type = name;
        if (type.starts_with("fuse.")) {
            type.remove_prefix(5);
        }
        // FAT keeps neither: its owners and bits come from mount options.
        for (const std::string_view each : {"vfat", "msdos", "fat", "fusefat", "exfat", "umsdos"}) {
            if (type == each) {
                kept.permissions = false;
            }
        }
    }
    kept.owners = kept.permissions && ::geteuid() == 0;
    return kept;
}

bool ignoresCase(const std::string& path) {
    struct statx st;
    if (sys().statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_MNT_ID, &st) != 0 ||
        (st.stx_mask & STATX_MNT_ID) == 0) {
        return false;
    }
    const std::string name = mountType(st.stx_mnt_id);
    std::string_view type = name;
    if (type.starts_with("fuse.")) {
        type.remove_prefix(5);
    }
    for (const std::string_view each : {"vfat", "msdos", "fat", "fusefat", "exfat", "umsdos",
                                        "cifs", "smb3", "smbfs", "hfsplus", "hfs"}) {
        if (type == each) {
            return true;
        }
    }
    return false;
}

bool identityOf(int fd, FileIdentity& out) {
    struct statx st;
    if (sys().statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, STATX_INO, &st) != 0) {
        return false;
    }
    out.device = (std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor;
    out.inode = st.stx_ino;
    return true;
}

std::vector<FileIdentity> folderAndAncestors(int dirFd, int* error) {
    std::vector<FileIdentity> chain;
    int current = retryEintr(sys().openat, dirFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
    int stopped = current >= 0 ? ELOOP : errno;  // ELOOP: no root after 4096 folders
    while (current >= 0 && chain.size() < 4096) {
        FileIdentity here;
        if (!identityOf(current, here)) {
            stopped = errno;
            break;
        }
        if (!chain.empty() && chain.back() == here) {
            sys().close(current);
            return chain;  // "/" is its own parent
        }
        chain.push_back(here);
        const int parent =
            retryEintr(sys().openat, current, "..", O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
        if (parent < 0) {
            stopped = errno;
        }
        sys().close(current);
        current = parent;
    }
    if (current >= 0) {
        sys().close(current);
    }
    if (error != nullptr) {
        *error = stopped;
    }
    return {};
}

bool isMountRoot(const std::string& path) {
    struct statx st;
    if (sys().statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_INO, &st) != 0) {
        return false;
    }
    if (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        return (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    struct statx parent;
    const std::string up = path + "/..";
    if (sys().statx(AT_FDCWD, up.c_str(), AT_NO_AUTOMOUNT, STATX_INO, &parent) != 0) {
        return false;
    }
    return parent.stx_dev_major != st.stx_dev_major || parent.stx_dev_minor != st.stx_dev_minor ||
           parent.stx_ino == st.stx_ino;
}

std::string resolvePath(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        return {};
    }
    std::string existing = path;
    std::string rest;
    for (;;) {
        char* resolved = ::realpath(existing.c_str(), nullptr);
        if (resolved != nullptr) {
            std::string result(resolved);
            std::free(resolved);
            if (!rest.empty()) {
                if (result.back() != '/') {
                    result.push_back('/');
                }
                result += rest;
            }
            while (result.size() > 1 && result.back() == '/') {
                result.pop_back();
            }
            return result;
        }
        while (existing.size() > 1 && existing.back() == '/') {
            existing.pop_back();
        }
        const auto slash = existing.rfind('/');
        if (slash == std::string::npos || existing == "/") {
            return {};
        }
        const std::string last = existing.substr(slash + 1);
        if (last == "..") {
            return {};  // cannot tell where a missing folder's parent leads
        }
        if (last != "." && !last.empty()) {
            rest.insert(0, rest.empty() ? last : last + '/');
        }
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
}

DirectoryHandle::~DirectoryHandle() {
    if (m_fd >= 0) {
        sys().close(m_fd);
    }
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            sys().close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
    }
    return *this;
}

DirectoryHandle DirectoryHandle::open(const std::string& path) {
    DirectoryHandle handle;
    handle.m_fd = retryEintr(sys().openat, AT_FDCWD, path.empty() ? "" : path.c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (handle.m_fd < 0) {
        handle.m_error = errno;
    }
    return handle;
}

DirectoryHandle DirectoryHandle::openChild(const char* name) const {
    DirectoryHandle handle;
    handle.m_fd =
        retryEintr(sys().openat, m_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (handle.m_fd < 0) {
        handle.m_error = errno;
    }
    return handle;
}

int DirectoryHandle::forEach(const std::function<void(const Entry&)>& visit) const {
    if (m_fd < 0) {
        return m_error != 0 ? m_error : EBADF;
    }
    if (sys().lseek(m_fd, 0, SEEK_SET) < 0) {
        return errno;
    }
    return detail::readListing(m_fd, [this, &visit](const char* name, unsigned char) {
        const Entry entry{std::string_view(name), statxAt(m_fd, name, name)};
        if (entry.lookup.status != LookupStatus::Absent) {  // else removed since listed
            visit(entry);
        }
    });
}

}  // namespace platform
