#include <sys/stat.h>

#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace platform {

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
        if (::mkdir(part.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
            return OpResult::failure(errno);
        }
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return OpResult::failure(errno);
    }
    return S_ISDIR(st.st_mode) ? OpResult::success() : OpResult::failure(ENOTDIR);
}

bool exists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool folderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
