#pragma once

#include <set>
#include <string>
#include <string_view>

// Files outside the task's folders that a run copies into the task's include
// folder. Paths are kept exactly as given.
class FileInclude {
public:
    void addFile(std::string_view path) { m_fileList.emplace(path); }
    void clearFiles() { m_fileList.clear(); }
    const std::set<std::string>& fileList() const { return m_fileList; }

private:
    std::set<std::string> m_fileList;
};
