#include "ui/SingleInstance.h"

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace {

constexpr const char* kLockName = "ONLY_ONE_TWINFOLD.lock";

}  // namespace

std::string SingleInstance::lockPath(const std::string& configFolder) {
    // A folder that cannot be made shows when the lock file is opened in it.
    [[maybe_unused]] const platform::OpResult made = platform::makeFolders(configFolder);
    return platform::withTrailingSeparator(configFolder) + kLockName;
}

SingleInstance::Result SingleInstance::acquire(const std::string& path) {
    switch (m_lock.acquire(path)) {
        case platform::FileLock::Result::Acquired:
            return Result::Acquired;
        case platform::FileLock::Result::Taken:
            return Result::AlreadyRunning;
        case platform::FileLock::Result::Unavailable:
            break;
    }
    return Result::Unavailable;
}
