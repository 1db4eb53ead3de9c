#include "engine/AppLog.h"

#include <cstdio>
#include <type_traits>
#include <utility>

#include "logdll/LogWrite.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/InstallLayout.h"

namespace {

static_assert(std::is_same_v<decltype(&LogWrite), void (*)(const char*, const char*)>,
              "the library's function and the writer type must agree");

AppLog::Notifier& loadFailureNotifier() {
    static AppLog::Notifier notifier = [](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
    };
    return notifier;
}

}  // namespace

const char* const AppLog::kLibraryName = "libLogDll.so";
const char* const AppLog::kLoadFailureMessage = "Can't load libLogDll.so, task log is disabled";

AppLog& AppLog::instance() {
    static AppLog log(platform::locateShippedFile(platform::Shipped::Library, kLibraryName),
                      loadFailureNotifier(), platform::Clock::system());
    return log;
}

void AppLog::setLoadFailureNotifier(Notifier notifier) {
    loadFailureNotifier() = std::move(notifier);
}

AppLog::AppLog(const std::string& libraryPath, const Notifier& onLoadFailure,
               const platform::Clock& clock)
    : m_library(libraryPath), m_clock(&clock) {
    if (!m_library.loaded()) {
        if (onLoadFailure) {
            onLoadFailure(kLoadFailureMessage);
        }
        return;
    }
    // A library without the function stays loaded but writes nothing.
    m_writer = m_library.function<Writer>("LogWrite");
}

AppLog::~AppLog() = default;

void AppLog::configureForRun(bool enableLog, const std::string& logFile) {
    // Without a writer the log is off, so nobody points at a file no one writes.
    const bool canLog = enableLog && m_writer != nullptr && platform::folderOfFileExists(logFile);
    enabled = canLog;
    if (canLog) {
        setLogFile(logFile);
    }
}

void AppLog::setLogFile(const std::string& path) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_logFile = path;
    }
    writeRaw("\n---BEGIN---\n");
}

std::string AppLog::logFile() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_logFile;
}

void AppLog::write(const std::string& text) {
    if (!enabled || m_writer == nullptr) {
        return;  // spare the formatting
    }
    std::string line = platform::formatDateTime(m_clock->now(), "%m-%d %H:%M:%S");
    line += '\t';
    line += text;
    line += '\n';
    writeRaw(line);
}

void AppLog::writeRaw(const std::string& text) {
    if (!enabled || m_writer == nullptr) {
        return;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_writer(text.c_str(), m_logFile.c_str());
}
