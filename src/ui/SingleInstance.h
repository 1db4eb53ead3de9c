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

    // The lock file: in $XDG_RUNTIME_DIR when that names a folder, else in
    // `fallbackFolder` (the configuration folder, with its trailing
    // separator), which is made when missing.
    static std::string lockPath(const std::string& fallbackFolder);

    // Takes the lock at `path` without waiting. Programs the process starts
    // do not inherit it.
    Result acquire(const std::string& path);

private:
    int m_fd = -1;
};
