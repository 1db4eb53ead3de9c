#pragma once

#include <string>

namespace platform {

// The folder of the running executable, with its trailing separator; empty
// when it cannot be told.
std::string programFolder();

}  // namespace platform
