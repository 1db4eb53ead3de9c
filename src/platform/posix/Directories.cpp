#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/posix/Sys.h"

namespace platform {

using detail::retryEintr;
using detail::sys;

OpResult makeFolders(const std::string& path) {
    std::string part;
    part.reserve(path.size());
    for (std::size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != kSeparator) {
            continue;
        }
        part.assign(path, 0, pos);
        if (part.empty()) {
            continue;
        }
        if (sys().mkdirat(AT_FDCWD, part.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
            return OpResult::failure(errno);
        }
    }
    struct stat st;
    if (sys().fstatat(AT_FDCWD, path.c_str(), &st, 0) != 0) {
        return OpResult::failure(errno);
    }
    return S_ISDIR(st.st_mode) ? OpResult::success() : OpResult::failure(ENOTDIR);
}

bool exists(const std::string& path) {
    struct stat st;
    return !path.empty() && sys().fstatat(AT_FDCWD, path.c_str(), &st, 0) == 0;
}

bool folderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && sys().fstatat(AT_FDCWD, path.c_str(), &st, 0) == 0 &&
           S_ISDIR(st.st_mode);
}

bool folderOfFileExists(const std::string& path) {
    const std::string_view folder = folderOf(path);
    if (folder.empty()) {
        return !path.empty() && path.front() == kSeparator &&
               folderExists(std::string(1, kSeparator));
    }
    return folderExists(std::string(folder));
}

}  // namespace platform
