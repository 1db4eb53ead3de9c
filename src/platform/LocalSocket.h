#pragma once

#include <string_view>

namespace platform {

// True when `path` is short enough to name a local socket: the kernel keeps
// the path in a socket address of fixed size.
bool fitsSocketAddress(std::string_view path);

}  // namespace platform
