#include "snapshot/FileInfo.h"

#include "platform/Assert.h"
#include "platform/Path.h"

FileInfo::FileInfo(std::string path) : m_path(std::move(path)) {
    setLookup(platform::lookupEntry(m_path));
}

FileInfo::FileInfo(std::string path, const platform::Lookup& lookup) : m_path(std::move(path)) {
    setLookup(lookup);
}

FileInfo::FileInfo(std::string path, const platform::FindRecord& record, std::uint64_t changedSince)
    : m_path(std::move(path)) {
    setRecord(record);
    m_changed = changedSince == 0 || record.changeTime >= changedSince ? 1 : 0;
}

void FileInfo::setLookup(const platform::Lookup& lookup) {
    m_status = static_cast<std::uint8_t>(lookup.status);
    m_error = static_cast<std::uint8_t>(lookup.error);
    if (lookup.status == platform::LookupStatus::Found) {
        setRecord(lookup.record);
    }
}

void FileInfo::setRecord(const platform::FindRecord& record) {
    m_attributes = record.attributes;
    m_lastWriteTime = record.lastWriteTime;
    m_size = record.size;
    m_mode = static_cast<std::uint16_t>(record.mode);
    m_owner = record.owner;
    m_group = record.group;
}

std::string_view FileInfo::fileName() const {
    return platform::fileNameOf(m_path);
}

std::string_view FileInfo::extension() const {
    return platform::extensionOf(fileName());
}

platform::LookupStatus FileInfo::existence() const {
    const platform::Lookup lookup = platform::lookupEntry(m_path);
    if (lookup.status != platform::LookupStatus::Found) {
        return lookup.status;
    }
    const bool foundDirectory = (lookup.record.attributes & platform::kAttrDirectory) != 0;
    return foundDirectory == isDirectory() ? platform::LookupStatus::Found
                                           : platform::LookupStatus::Absent;
}

bool FileInfo::exists() const {
    return existence() == platform::LookupStatus::Found;
}

FileInfo FileInfo::createCounterpart(std::string_view root, std::string_view mirrorRoot) const {
    TF_ASSERT(!root.empty() && root.back() == platform::kSeparator);
    TF_ASSERT(!mirrorRoot.empty() && mirrorRoot.back() == platform::kSeparator);
    TF_ASSERT(std::string_view(m_path).starts_with(root));
    std::string path;
    path.reserve(mirrorRoot.size() + m_path.size() - root.size());
    path.append(mirrorRoot);
    path.append(m_path, root.size());
    return FileInfo(std::move(path));
}

int FileInfo::compareTime(const FileInfo& other) const {
    if (m_lastWriteTime < other.m_lastWriteTime) {
        return -1;
    }
    return m_lastWriteTime > other.m_lastWriteTime ? 1 : 0;
}

int FileInfo::compareSize(const FileInfo& other) const {
    if (m_size < other.m_size) {
        return -1;
    }
    return m_size > other.m_size ? 1 : 0;
}
