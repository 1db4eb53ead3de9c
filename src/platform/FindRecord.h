#pragma once

#include <cstdint>

namespace platform {

// Attribute bits, with the values the Windows find record uses, so that
// filters, policies and the configuration file keep their meaning.
enum : std::uint32_t {
    kAttrReadOnly = 0x1,
    kAttrHidden = 0x2,
    kAttrSystem = 0x4,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrNormal = 0x80,
    kAttrTemporary = 0x100,
    kAttrSymlink = 0x400,  // the reparse-point bit
    kAttrCompressed = 0x800,
    kAttrEncrypted = 0x4000,
};

// What the file system tells about one entry, kept compact: a snapshot holds
// one per entry. Times are 100-nanosecond ticks since 1601-01-01 UTC.
// A record of an entry that was not found is all zero.
struct FindRecord {
    std::uint32_t attributes = 0;
    // Filled only where the file system gives them unasked; nothing reads them.
    std::uint64_t creationTime = 0;
    std::uint64_t lastAccessTime = 0;
    std::uint64_t lastWriteTime = 0;
    // When the entry's content or metadata (permissions, owner, extended
    // attributes, links) last changed; 0 where the file system keeps none.
    std::uint64_t changeTime = 0;
    std::uint64_t size = 0;
    // The type and permission bits (st_mode), owner and group.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;

    bool operator==(const FindRecord&) const = default;
};

// The parts of FindRecord::mode, numbered as POSIX numbers them: the entry's
// type (file, folder, link, FIFO, ...) and its permission bits.
inline constexpr std::uint32_t kModeTypeMask = 0170000;
inline constexpr std::uint32_t kModePermissionMask = 07777;

// Ticks between 1601-01-01 and the Unix epoch.
inline constexpr std::int64_t kEpochDifferenceTicks = 116444736000000000LL;

constexpr std::uint64_t ticksFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
    return static_cast<std::uint64_t>(seconds * 10000000LL + nanoseconds / 100 +
                                      kEpochDifferenceTicks);
}

}  // namespace platform
