#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

namespace {

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_INO;

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
    r.lastAccessTime = ticks(st.stx_atime);
    r.creationTime = (st.stx_mask & STATX_BTIME) ? ticks(st.stx_btime) : 0;
    r.size = st.stx_size;
    result.device = (std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor;
    result.inode = st.stx_ino;
    return result;
}

Lookup statxAt(int dirFd, const char* path, std::string_view name) {
    struct statx st;
    if (::statx(dirFd, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &st) != 0) {
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

std::uint64_t timePrecisionTicks(const std::string& path) {
    struct statfs fs;
    if (::statfs(path.c_str(), &fs) != 0) {
        return 1;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x4d44:      // FAT (msdos, vfat)
        case 0x2011BAB0:  // exFAT keeps 10 ms in newer drivers, but 2 s on many devices
            return 20000000;
        case 0x482b:  // HFS+
        case 0x9660:  // ISO 9660
        case 0x137F:  // Minix
        case 0x137D:  // ext (old)
            return 10000000;
        default:
            return 1;
    }
}

bool isMountRoot(const std::string& path) {
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_INO, &st) != 0) {
        return false;
    }
    if (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        return (st.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    struct statx parent;
    const std::string up = path + "/..";
    if (::statx(AT_FDCWD, up.c_str(), AT_NO_AUTOMOUNT, STATX_INO, &parent) != 0) {
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
            rest = rest.empty() ? last : last + "/" + rest;
        }
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
}

DirectoryHandle::~DirectoryHandle() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
        m_error = other.m_error;
    }
    return *this;
}

DirectoryHandle DirectoryHandle::open(const std::string& path) {
    DirectoryHandle handle;
    handle.m_fd = ::open(path.empty() ? "" : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle.m_fd < 0) {
        handle.m_error = errno;
    }
    return handle;
}

DirectoryHandle DirectoryHandle::openChild(const char* name) const {
    DirectoryHandle handle;
    handle.m_fd = ::openat(m_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (handle.m_fd < 0) {
        handle.m_error = errno;
    }
    return handle;
}

int DirectoryHandle::forEach(const std::function<void(const Entry&)>& visit) const {
    if (m_fd < 0) {
        return m_error != 0 ? m_error : EBADF;
    }
    if (::lseek(m_fd, 0, SEEK_SET) < 0) {
        return errno;
    }
    alignas(struct dirent64) char buffer[32768];
    for (;;) {
        const auto count = ::getdents64(m_fd, buffer, sizeof buffer);
        if (count == 0) {
            return 0;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        for (ssize_t offset = 0; offset < count;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer + offset);
            offset += d->d_reclen;
            const char* name = d->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            Entry entry{std::string_view(name), statxAt(m_fd, name, name)};
            if (entry.lookup.status == LookupStatus::Absent) {
                continue;  // removed between listing and lookup
            }
            visit(entry);
        }
    }
}

}  // namespace platform
