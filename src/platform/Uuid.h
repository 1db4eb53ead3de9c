#pragma once

#include <string>

namespace platform {

// A new random identifier: 36 lower-case characters, groups of 8-4-4-4-12
// hexadecimal digits joined by "-", no braces.
std::string newUuid();

}  // namespace platform
