#pragma once

#include <string>

#include "platform/FileLock.h"

// Makes sure only one copy of the program runs: an advisory lock
// (platform::FileLock) on a file named "ONLY_ONE_TWINFOLD.lock", let go when
// the object goes or the copy ends however it ends, so a crashed copy never
// blocks the next.
class SingleInstance {
public:
    enum class Result {
        Acquired,        // this copy is the only one
        AlreadyRunning,  // another copy holds the lock
        Unavailable,     // the lock file could not be opened; nothing is known
    };

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
    platform::FileLock m_lock;
};
