#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "platform/SharedLibrary.h"

namespace platform {
class Clock;
}

// The task log: the single writer of every task's log file. It formats the
// lines and hands them to the task-log library (libLogDll.so, beside the
// program or in the installed library folder), loaded at run time. Without the library the program
// runs as usual and writes no log.
//
// Threads: the run starter configures the log on the user-interface thread
// before the worker starts; the worker then calls write() for each item.
class AppLog {
public:
    using Notifier = std::function<void(const std::string& message)>;

    // The process's one instance, made on first use with the library found
    // through platform::locateShippedFile and the system clock.
    static AppLog& instance();

    // Who tells the user that the library could not be loaded (the windows
    // show a message box, the command line a line on standard error, which is
    // also the default). Set it before the first instance() call.
    static void setLoadFailureNotifier(Notifier notifier);

    // Loads the library from `libraryPath`; when that fails, passes the
    // message to `onLoadFailure` (when set) and keeps no writer. The clock
    // must outlive the log. Production code uses instance(); this is for
    // tests and tools.
    AppLog(const std::string& libraryPath, const Notifier& onLoadFailure,
           const platform::Clock& clock);
    ~AppLog();
    AppLog(const AppLog&) = delete;
    AppLog& operator=(const AppLog&) = delete;

    // The file name of the library, and the message shown when it is missing.
    static const char* const kLibraryName;
    static const char* const kLoadFailureMessage;

    // Lines are written only while this is set. False when made.
    std::atomic<bool> enabled{false};

    // Prepares the log for one run of a task: enabled when the library offers
    // its writer, the task keeps a log and the folder of its log file exists,
    // and then the file is set and
    // its begin marker written. Otherwise nothing is written during the run,
    // so the lines never land in another task's file.
    void configureForRun(bool enableLog, const std::string& logFile);

    // Stores the path of the log file, then writes the begin marker.
    void setLogFile(const std::string& path);
    std::string logFile() const;

    // Writes one entry: the local time as "mm-dd hh:nn:ss", a tab, the text
    // and a line feed.
    void write(const std::string& text);

    // Hands the text unchanged to the library, with the log file path, when
    // enabled and the library offers its function; otherwise does nothing.
    void writeRaw(const std::string& text);

    // True when the library was loaded and offers its function.
    bool hasWriter() const { return m_writer != nullptr; }

    // The clock of the time stamps; it must outlive the log. Change it
    // between runs only.
    void setClock(const platform::Clock& clock) { m_clock = &clock; }

private:
    using Writer = void (*)(const char* text, const char* logFilePath);

    // Guards the path: set between runs, read by the worker for every line.
    mutable std::mutex m_mutex;
    std::string m_logFile;
    Writer m_writer = nullptr;
    platform::SharedLibrary m_library;
    const platform::Clock* m_clock;
};
