#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/FindRecord.h"

// One entry of a folder snapshot: its full path and the record the file
// system gave for it. Kept compact, since a snapshot holds one per entry.
class FileInfo {
public:
    // Looks the entry up at exactly this path, without following a final
    // link. When nothing is found the record stays zero.
    explicit FileInfo(std::string path);
    // Takes a record delivered by a listing. The entry counts as changed
    // when the record's change time is at or after `changedSince` (always,
    // when that is 0).
    FileInfo(std::string path, const platform::FindRecord& record, std::uint64_t changedSince = 0);
    // Takes the outcome of a lookup made elsewhere.
    FileInfo(std::string path, const platform::Lookup& lookup);

    const std::string& path() const { return m_path; }
    // The last path component.
    std::string_view fileName() const;
    // The extension of fileName(), dot included; empty when it has no dot.
    std::string_view extension() const;

    std::uint32_t attributes() const { return m_attributes; }
    bool hasAttribute(std::uint32_t mask) const { return (m_attributes & mask) != 0; }
    bool isDirectory() const { return hasAttribute(platform::kAttrDirectory); }
    std::uint64_t size() const { return m_size; }
    std::uint64_t lastWriteTime() const { return m_lastWriteTime; }
    // The type and permission bits (st_mode), owner and group.
    std::uint32_t mode() const { return m_mode; }
    std::uint32_t owner() const { return m_owner; }
    std::uint32_t group() const { return m_group; }

    // How the lookup that made this entry went: Found for listed entries;
    // Absent or Unknown (the lookup failed for another reason than "no such
    // entry") for entries looked up by path.
    platform::LookupStatus lookupStatus() const {
        return static_cast<platform::LookupStatus>(m_status);
    }
    int lookupError() const { return m_error; }

    // False only for a listed entry whose content and metadata have not
    // changed since the time its snapshot was asked about: its extended
    // attributes are then what they were then. Entries looked up by path
    // always count as changed.
    bool changedSince() const { return m_changed != 0; }

    // A live check of the file system, not of the record: for a directory,
    // whether a directory exists at path(); otherwise whether a non-directory
    // (a link counts as one) exists there.
    bool exists() const;
    // The same check with a third answer: Unknown when the lookup failed for
    // another reason than "no such entry".
    platform::LookupStatus existence() const;

    // The entry at the same relative path under `mirrorRoot`, looked up on the
    // file system. Both roots must end with the separator.
    FileInfo createCounterpart(std::string_view root, std::string_view mirrorRoot) const;

    // Three-way comparison of last-write times: -1 older, 0 equal, 1 newer.
    int compareTime(const FileInfo& other) const;
    // Three-way comparison of sizes.
    int compareSize(const FileInfo& other) const;
    // All 32 attribute bits equal.
    bool sameAttributes(const FileInfo& other) const { return m_attributes == other.m_attributes; }

private:
    void setLookup(const platform::Lookup& lookup);
    // Keeps attributes, last-write time, size, mode, owner and group.
    // Creation and access times are dropped: no decision reads them, and a
    // snapshot holds one record per entry.
    void setRecord(const platform::FindRecord& record);

    std::string m_path;
    std::uint32_t m_attributes = 0;
    // A platform::LookupStatus; packed, since a snapshot holds one per entry.
    std::uint8_t m_status : 2 = static_cast<std::uint8_t>(platform::LookupStatus::Found);
    std::uint8_t m_changed : 1 = 1;
    std::uint8_t m_error = 0;
    std::uint16_t m_mode = 0;  // st_mode fits in 16 bits
    std::uint32_t m_owner = 0;
    std::uint32_t m_group = 0;
    std::uint64_t m_lastWriteTime = 0;
    std::uint64_t m_size = 0;
};
