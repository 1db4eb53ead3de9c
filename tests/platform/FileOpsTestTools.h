#pragma once

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileOps.h"
#include "support/TempTree.h"

namespace fileopstest {

// A tmpfs of `kib` KiB mounted on a new folder at `path` for one test.
class TmpfsMount {
public:
    TmpfsMount(const std::string& path, int kib) : m_path(path) {
        testsupport::makeDirs(path);
        const std::string options = "size=" + std::to_string(kib) + "k";
        if (::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            m_error = std::strerror(errno);
        }
    }
    ~TmpfsMount() {
        if (m_error.empty() && ::umount(m_path.c_str()) != 0) {
            ::umount2(m_path.c_str(), MNT_DETACH);
        }
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }

private:
    std::string m_path;
    std::string m_error;
};

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
