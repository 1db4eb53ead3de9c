#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace testsupport {

// A fresh temporary folder for one test, removed with everything in it
// (read-only folders included) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, without a trailing separator.
    const std::string& path() const { return m_path; }
    // path() + "/" + relative.
    std::string operator/(std::string_view relative) const;

private:
    std::string m_path;
};

// Builds a tree under `root` from a compact description, one item per line:
//   "dir/"            a folder (parents made as needed)
//   "file"            an empty file
//   "file=content"    a file holding the text
//   "link->target"    a symbolic link with that link text
// Blank lines are ignored. Throws std::runtime_error on any failure.
void makeTree(const std::string& root, std::string_view description);

void writeFile(const std::string& path, std::string_view content);
std::string readFile(const std::string& path);
void makeDirs(const std::string& path);
// Sets the last-write time (and the access time) in seconds and nanoseconds
// since the Unix epoch, without following a link.
void setWriteTime(const std::string& path, std::int64_t seconds, long nanoseconds = 0);
bool pathExists(const std::string& path);  // lstat succeeds
// Removes a tree, making folders writable as needed.
void removeTree(const std::string& path);

}  // namespace testsupport
