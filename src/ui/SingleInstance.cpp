#include "ui/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace {

constexpr const char* kLockName = "ONLY_ONE_TWINFOLD.lock";

}  // namespace

SingleInstance::~SingleInstance() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string SingleInstance::lockPath(const std::string& configFolder) {
    // A folder that cannot be made shows when the lock file is opened in it.
    [[maybe_unused]] const platform::OpResult made = platform::makeFolders(configFolder);
    return platform::withTrailingSeparator(configFolder) + kLockName;
}

SingleInstance::Result SingleInstance::acquire(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return Result::Unavailable;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return taken ? Result::AlreadyRunning : Result::Unavailable;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    return Result::Acquired;
}
