#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/FileOps.h"
#include "support/TempTree.h"

namespace fileopstest {

// The names in a folder, sorted by byte value.
inline std::vector<std::string> listNames(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline bool hasTemporary(const std::string& folder) {
    const auto names = listNames(folder);
    return std::any_of(names.begin(), names.end(), [](const std::string& name) {
        return name.rfind(platform::kTemporaryPrefix, 0) == 0;
    });
}

inline struct stat lstatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

}  // namespace fileopstest
