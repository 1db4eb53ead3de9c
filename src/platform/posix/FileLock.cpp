#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

FileLock::~FileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileLock::FileLock(FileLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FileLock::Result FileLock::acquire(const std::string& path) {
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
        return taken ? Result::Taken : Result::Unavailable;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    return Result::Acquired;
}

}  // namespace platform
