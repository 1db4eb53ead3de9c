#pragma once

#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "snapshot/FileInfo.h"
#include "snapshot/FolderListing.h"

// The snapshot of one folder tree: every entry beneath the root in pre-order
// (a folder before its content, the content of a folder together right after
// it), plus what the scan could not see.
class DirectoryInfo {
public:
    using ScanFailure = ::ScanFailure;

    // The root gets a trailing separator when it has none.
    explicit DirectoryInfo(std::string_view folder);

    const std::string& root() const { return m_root; }
    const std::deque<FileInfo>& entries() const { return m_entries; }

    // Entries whose change time is before `ticks` are added as unchanged
    // since then (FileInfo::changedSince); 0, the default, marks none so.
    void setChangedSince(std::uint64_t ticks) { m_changedSince = ticks; }
    std::uint64_t changedSinceTicks() const { return m_changedSince; }

    // Appends an entry; it becomes the last one.
    const FileInfo& add(std::string path, const platform::FindRecord& record);
    const FileInfo& add(FileInfo entry) { return m_entries.emplace_back(std::move(entry)); }
    // The extensions (without their dot) of all entries' names, case kept,
    // computed on first request.
    std::set<std::string> fileTypes();

    const std::vector<ScanFailure>& failures() const { return m_failures; }
    void addFailure(std::string path, int error, bool listing);
    // True when the root itself was not there (rather than unreadable).
    bool rootMissing() const { return m_rootMissing; }
    void setRootMissing(bool missing) { m_rootMissing = missing; }

private:
    std::string m_root;
    std::deque<FileInfo> m_entries;
    std::set<std::string> m_fileTypes;
    std::vector<ScanFailure> m_failures;
    bool m_rootMissing = false;
    std::uint64_t m_changedSince = 0;
};
