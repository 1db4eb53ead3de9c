#include <mutex>
#include <string>
#include <string_view>

#include "logdll/LogWrite.h"
#include "platform/AppendFile.h"

namespace {

// The file the library appends to, held open across calls. A run writes one
// line per item, so opening the file for every line would cost more than the
// writing itself.
class LogFile {
public:
    // A failed write (a full disk) drops the rest of this text.
    void append(std::string_view text, const char* path) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!isOpenAt(path) && !open(path)) {
            return;
        }
        static_cast<void>(m_file.append(text));
    }

private:
    // True when the open file is still usable for the path. Someone may have
    // deleted the log meanwhile (to start afresh); writing on into the deleted
    // file would lose every later line.
    bool isOpenAt(const char* path) const {
        return m_file.isOpen() && m_path == path && m_file.stillNamed();
    }

    bool open(const char* path) {
        m_path.clear();
        if (m_file.open(path) != 0) {
            return false;
        }
        m_path = path;
        return true;
    }

    std::mutex m_mutex;
    platform::AppendFile m_file;
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
        g_logFile.append(text, logFilePath);
    } catch (...) {
    }
}
