#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/FileOpsInternal.h"

namespace platform {

AppendFile::~AppendFile() {
    close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int AppendFile::open(const std::string& path) {
    close();
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return errno;
    }
    m_fd = fd;
    return 0;
}

void AppendFile::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool AppendFile::stillNamed() const {
    struct stat st;
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && st.st_nlink > 0;
}

int AppendFile::append(std::string_view text) const {
    return detail::writeAll(m_fd, text);
}

}  // namespace platform
