#pragma once

#include <string>

namespace platform {

// The folder of the running executable, with its trailing separator; empty
// when it cannot be told.
std::string programFolder();

// The process's working folder, against which relative paths are taken,
// without a trailing separator; empty when it cannot be told (it was
// removed).
std::string workingFolder();

}  // namespace platform
