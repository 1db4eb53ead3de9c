#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/Path.h"

// Files outside the task's folders that a run copies into the task's include
// folder. Paths are kept in their lexically normal form
// (platform::lexicallyNormal()), letter case as given.
class FileInclude {
public:
    void addFile(std::string_view path) { m_fileList.insert(platform::lexicallyNormal(path)); }
    void clearFiles() { m_fileList.clear(); }
    const std::set<std::string>& fileList() const { return m_fileList; }

private:
    std::set<std::string> m_fileList;
};
