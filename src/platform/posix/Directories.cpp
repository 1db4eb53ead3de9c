#include <sys/stat.h>

#include <cerrno>

#include "platform/FileOps.h"

namespace platform {

OpResult makeDirectories(const std::string& path, unsigned mode) {
    std::string part;
    part.reserve(path.size());
    for (std::size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/') {
            continue;
        }
        part.assign(path, 0, pos);
        if (part.empty()) {
            continue;
        }
        if (::mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
            return OpResult::failure(errno);
        }
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return OpResult::failure(errno);
    }
    return S_ISDIR(st.st_mode) ? OpResult::success() : OpResult::failure(ENOTDIR);
}

}  // namespace platform
