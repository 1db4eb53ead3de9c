#pragma once

#include <string>

// Makes sure only one copy of the program runs: an advisory lock (flock) on
// a file named "ONLY_ONE_TWINFOLD.lock". The kernel lets go of the lock when
// the holder ends, however it ends, so a crashed copy never blocks the next.
class SingleInstance {
public:
    enum class Result {
        Acquired,        // this copy is the only one
        AlreadyRunning,  // another copy holds the lock
        Unavailable,     // the lock file could not be opened; nothing is known
    };

    SingleInstance() = default;
    // Lets go of the lock.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The lock file, always beside the configuration file in use:
    // `configFolder` (with its trailing separator) is made when missing. Two
    // copies that read one configuration then exclude each other whatever
    // their runtime folders, and a portable copy and an installed one, each
    // with its own configuration, run side by side.
    static std::string lockPath(const std::string& configFolder);

    // Takes the lock at `path` without waiting. Programs the process starts
    // do not inherit it.
    Result acquire(const std::string& path);

private:
    int m_fd = -1;
};
