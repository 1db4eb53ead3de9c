#include "ui/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/FileOps.h"
#include "platform/Path.h"

namespace {

constexpr const char* kLockName = "ONLY_ONE_TWINFOLD.lock";

bool isFolder(const char* path) {
    struct stat st;
    return path != nullptr && path[0] == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

SingleInstance::~SingleInstance() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string SingleInstance::lockPath(const std::string& fallbackFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (isFolder(runtime)) {
        return platform::withTrailingSeparator(runtime) + kLockName;
    }
    // A folder that cannot be made shows when the lock file is opened in it.
    [[maybe_unused]] const platform::OpResult made = platform::makeDirectories(fallbackFolder);
    return platform::withTrailingSeparator(fallbackFolder) + kLockName;
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
