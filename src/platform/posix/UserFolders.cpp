#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/Path.h"

namespace platform {

namespace {

bool isAbsolute(const char* path) {
    return path != nullptr && path[0] == kSeparator;
}

}  // namespace

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); isAbsolute(home)) {
        return home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && isAbsolute(found->pw_dir)) {
        return found->pw_dir;
    }
    return {};
}

std::string userFolder(UserFolder kind) {
    const char* variable = "XDG_CONFIG_HOME";
    const char* inHome = ".config";
    switch (kind) {
        case UserFolder::Config:
            break;
        case UserFolder::State:
            variable = "XDG_STATE_HOME";
            inHome = ".local/state";
            break;
        case UserFolder::Data:
            variable = "XDG_DATA_HOME";
            inHome = ".local/share";
            break;
    }
    if (const char* base = std::getenv(variable); isAbsolute(base)) {
        return withTrailingSeparator(base);
    }
    const std::string home = homeFolder();
    return home.empty() ? std::string()
                        : withTrailingSeparator(withTrailingSeparator(home) + inHome);
}

}  // namespace platform
