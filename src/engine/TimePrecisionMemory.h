#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// What real runs learned of mirror file systems: the step in which each keeps
// last-write times, by the file system's key (platform::fileSystemKey). Plans
// that must not write (previews, simulations, read-only mirrors) judge times
// by it. Kept in a small text file, one "key ticks" line per file system;
// safe to share between threads.
class TimePrecisionMemory {
public:
    // Its name in the program's state folder.
    static constexpr std::string_view kFileName = "time-precisions";

    // Reads `file` when it exists; an unreadable or damaged file counts as
    // empty, since every real run learns again.
    explicit TimePrecisionMemory(std::string file);

    std::optional<std::uint64_t> find(const std::string& key) const;
    // Remembers and writes the file at once when the value is new; a file
    // that cannot be written costs only what the next preview could use.
    void remember(const std::string& key, std::uint64_t ticks);

private:
    std::string m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, std::uint64_t> m_ticks;
};
