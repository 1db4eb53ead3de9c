#include <sys/xattr.h>

#include <cerrno>
#include <map>
#include <string>
#include <string_view>

#include "platform/posix/FileOpsInternal.h"

namespace platform {

using detail::sys;

namespace {

constexpr std::string_view kUserPrefix = "user.";
constexpr std::string_view kAccessAcl = "system.posix_acl_access";
constexpr std::string_view kDefaultAcl = "system.posix_acl_default";

std::uint32_t kindOf(std::string_view name) {
    if (name.starts_with(kUserPrefix)) {
        return kKeepUserAttributes;
    }
    if (name == kAccessAcl || name == kDefaultAcl) {
        return kKeepAcls;
    }
    return 0;
}

// Answers meaning the file system (or the entry's type: links and FIFOs
// take no user. attributes) cannot keep an attribute; the attribute is then
// dropped, as permission bits are on FAT.
bool attributeNotStorable(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM || error == E2BIG ||
           error == ERANGE || error == EINVAL || error == ENOSYS;
}

// Calls `size(buffer, capacity)` (a list or get call answering a size or -1)
// until the answer fits. Returns 0 or an errno.
template <typename Call>
int readGrowing(std::string& out, Call&& call) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t needed = call(nullptr, 0);
        if (needed < 0) {
            return errno;
        }
        out.resize(static_cast<std::size_t>(needed));
        if (needed == 0) {
            return 0;
        }
        const ssize_t got = call(out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE) {
            return errno;  // grown meanwhile: ask again
        }
    }
    return ERANGE;
}

using AttributeMap = std::map<std::string, std::string>;

// The attributes of the kinds in `kinds`, through `list` and `get` (by path
// or by descriptor). Returns 0 or an errno; a file system without extended
// attributes has none.
template <typename List, typename Get>
int readAttributes(std::uint32_t kinds, AttributeMap& out, List&& list, Get&& get) {
    std::string names;
    if (const int error = readGrowing(names, list)) {
        return attributeNotStorable(error) ? 0 : error;
    }
    for (std::size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        if ((kindOf(name) & kinds) == 0) {
            continue;
        }
        std::string value;
        const int error = readGrowing(
            value, [&](char* buffer, std::size_t size) { return get(name.c_str(), buffer, size); });
        if (error == ENODATA) {
            continue;  // removed meanwhile
        }
        if (error != 0) {
            return attributeNotStorable(error) ? 0 : error;
        }
        out.emplace(name, std::move(value));
    }
    return 0;
}

int readAttributesAt(const std::string& path, std::uint32_t kinds, AttributeMap& out) {
    return readAttributes(
        kinds, out,
        [&](char* buffer, std::size_t size) {
            return sys().llistxattr(path.c_str(), buffer, size);
        },
        [&](const char* name, char* buffer, std::size_t size) {
            return sys().lgetxattr(path.c_str(), name, buffer, size);
        });
}

int readAttributesOf(int fd, std::uint32_t kinds, AttributeMap& out) {
    return readAttributes(
        kinds, out,
        [&](char* buffer, std::size_t size) { return sys().flistxattr(fd, buffer, size); },
        [&](const char* name, char* buffer, std::size_t size) {
            return sys().fgetxattr(fd, name, buffer, size);
        });
}

}  // namespace

std::uint32_t keptMetadata(int dirFd) {
    std::uint32_t kinds = 0;
    char byte;
    // Asking for an attribute nobody sets writes nothing: ENODATA says the
    // file system keeps that kind, EOPNOTSUPP that it does not.
    if (sys().fgetxattr(dirFd, "user.twinfold-probe", &byte, 0) >= 0 || errno == ENODATA ||
        errno == ERANGE) {
        kinds |= kKeepUserAttributes;
    }
    if (sys().fgetxattr(dirFd, std::string(kAccessAcl).c_str(), &byte, 0) >= 0 ||
        errno == ENODATA || errno == ERANGE) {
        kinds |= kKeepAcls;
    }
    return kinds;
}

bool sameExtendedAttributes(const std::string& main, const std::string& mirror,
                            std::uint32_t kinds) {
    if (kinds == 0) {
        return true;
    }
    AttributeMap mainAttributes;
    AttributeMap mirrorAttributes;
    // What cannot be read is not judged different: a copy would not help.
    if (readAttributesAt(main, kinds, mainAttributes) != 0 ||
        readAttributesAt(mirror, kinds, mirrorAttributes) != 0) {
        return true;
    }
    return mainAttributes == mirrorAttributes;
}

namespace detail {

int copyExtendedAttributes(int source, int target, bool targetIsNew) {
    constexpr std::uint32_t kAll = kKeepUserAttributes | kKeepAcls;
    AttributeMap wanted;
    if (const int error = readAttributesOf(source, kAll, wanted)) {
        return error;
    }
    AttributeMap present;
    if (!targetIsNew) {
        if (const int error = readAttributesOf(target, kAll, present)) {
            return error;
        }
    }
    for (const auto& [name, value] : present) {
        if (wanted.count(name) == 0 && sys().fremovexattr(target, name.c_str()) != 0 &&
            errno != ENODATA && !attributeNotStorable(errno)) {
            return errno;
        }
    }
    for (const auto& [name, value] : wanted) {
        const auto it = present.find(name);
        if (it != present.end() && it->second == value) {
            continue;
        }
        if (sys().fsetxattr(target, name.c_str(), value.data(), value.size(), 0) != 0 &&
            !attributeNotStorable(errno)) {
            return errno;
        }
    }
    return 0;
}

}  // namespace detail

}  // namespace platform
