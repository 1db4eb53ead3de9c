#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// What real runs learned of mirrors, kept between runs in a small text file,
// one "key ticks" line each; safe to share between threads. Plans that must
// not write (previews, simulations, read-only mirrors) use it as well.
//  - The step in which a mirror file system keeps last-write times, by the
//    file system's key (platform::fileSystemKey).
//  - For a folder pair, the time from which the extended attributes of its
//    entries are known to match (attributesKey): a run that succeeded
//    compared them all, so an entry whose change time on both sides is
//    older needs no second look.
class MirrorMemory {
public:
    // Its name in the program's state folder.
    static constexpr std::string_view kFileName = "time-precisions";

    // Reads `file` when it exists; an unreadable or damaged file counts as
    // empty, since every real run learns again.
    explicit MirrorMemory(std::string file);

    std::optional<std::uint64_t> find(const std::string& key) const;
    // Remembers and writes the file at once when the value is new; a file
    // that cannot be written costs only what the next preview could use.
    void remember(const std::string& key, std::uint64_t ticks);

private:
    std::string m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, std::uint64_t> m_ticks;
};
