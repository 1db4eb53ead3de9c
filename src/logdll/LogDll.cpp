#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "logdll/LogWrite.h"

namespace {

// The file the library appends to, held open across calls. A run writes one
// line per item, so opening the file for every line would cost more than the
// writing itself.
class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile() { close(); }

    void append(const char* text, std::size_t size, const char* path) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!isOpenAt(path) && !open(path)) {
            return;
        }
        writeAll(text, size);
    }

private:
    // True when the open file is still usable for the path. Someone may have
    // deleted the log meanwhile (to start afresh); writing on into the deleted
    // file would lose every later line. fstat costs no path lookup, so the
    // check stays cheap next to the write.
    bool isOpenAt(const char* path) const {
        if (m_fd < 0 || m_path != path) {
            return false;
        }
        struct stat st;
        return ::fstat(m_fd, &st) == 0 && st.st_nlink > 0;
    }

    bool open(const char* path) {
        close();
        int fd;
        do {
            fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            return false;
        }
        m_fd = fd;
        m_path = path;
        return true;
    }

    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        m_path.clear();
    }

    // The whole text reaches the kernel before this returns: short writes go
    // on with the rest, interrupted ones are retried. Other errors (a full
    // disk) drop the rest of this text.
    void writeAll(const char* text, std::size_t size) const {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, text, size);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            text += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    std::mutex m_mutex;
    int m_fd = -1;
    std::string m_path;
};

// Destroyed when the library is unloaded (or the process exits), which closes
// the file.
LogFile g_logFile;

}  // namespace

extern "C" void LogWrite(const char* text, const char* logFilePath) {
    if (text == nullptr || *text == '\0' || logFilePath == nullptr || *logFilePath == '\0') {
        return;
    }
    // Nothing may escape into a caller that knows no C++ exceptions.
    try {
        g_logFile.append(text, std::strlen(text), logFilePath);
    } catch (...) {
    }
}
