#include "snapshot/DirectoryInfo.h"

#include "platform/Path.h"

DirectoryInfo::DirectoryInfo(std::string_view folder)
    : m_root(platform::withTrailingSeparator(folder)) {}

const FileInfo& DirectoryInfo::add(std::string path, const platform::FindRecord& record) {
    return m_entries.emplace_back(std::move(path), record, m_changedSince);
}

std::set<std::string> DirectoryInfo::fileTypes() {
    if (m_fileTypes.empty()) {
        for (const FileInfo& entry : m_entries) {
            const std::string_view extension = entry.extension();
            if (extension.size() > 1) {
                m_fileTypes.emplace(extension.substr(1));
            }
        }
    }
    return m_fileTypes;
}

void DirectoryInfo::addFailure(std::string path, int error, bool listing) {
    m_failures.push_back(ScanFailure{std::move(path), error, listing});
}
