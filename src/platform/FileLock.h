#pragma once

#include <string>

namespace platform {

// An exclusive advisory lock on a file, taken without waiting. The kernel lets
// go of it when the holder ends, however it ends, so a crashed holder never
// blocks the next one. Programs the process starts do not inherit it.
// Released when the object goes. Move-only.
class FileLock {
public:
    enum class Result {
        Acquired,     // the lock is this object's
        Taken,        // another holder has it
        Unavailable,  // the file could not be opened or locked; nothing is known
    };

    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on the file at `path`, made for its owner alone when
    // missing; a final symbolic link is refused. A lock held before is let go
    // once the new one is taken.
    Result acquire(const std::string& path);

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace platform
