#pragma once

#include <string>
#include <string_view>

#include "platform/OpResult.h"

// Whole-file reads and writes for the program's own small files: the
// configuration, the autostart entry, what runs learned of file systems. A
// file written here appears complete or not at all: the content goes to a
// temporary file in the same folder, is flushed to the disk, and then takes
// the final name in one step. A failed write leaves the old file as it was
// and no temporary file.
namespace platform {

// The bits of a file the program makes for itself: its owner's alone.
inline constexpr unsigned kOwnerOnlyFile = 0600;

// A failure naming what failed and the path: "<what> <path>: <reason>".
OpResult fileFailure(int error, const std::string& what, const std::string& path);

// Reads a whole regular file. Fails with ENOENT when it is not there.
OpResult readWholeFile(const std::string& path, std::string& content);

// Replaces the file at `path` (or makes it) with `content`. Where `path` is a
// symbolic link, the file it points to is replaced and the link stays. A
// replaced file keeps its permission bits; a new one gets `newFileMode`
// whatever the umask.
OpResult replaceFile(const std::string& path, std::string_view content,
                     unsigned newFileMode = kOwnerOnlyFile);

// Copies `source` to `target` unless `target` exists, which is never
// overwritten (EEXIST then). The copy is readable by its owner only.
OpResult copyFileNoReplace(const std::string& source, const std::string& target);

}  // namespace platform
