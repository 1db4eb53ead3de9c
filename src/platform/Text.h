#pragma once

#include <string>
#include <string_view>

namespace platform {

// Lower-cases 8-bit text as UTF-8, whatever the process's locale, so that a
// filter stored by the windows still matches in a command line started with
// LANG=C. Multi-byte letters are mapped ("Ä" to "ä"); bytes that are not valid
// UTF-8 stay as they are.
std::string lowerCase(std::string_view text);

// A copy of the text with control characters and backslashes escaped
// (\n, \t, \\, \xHH), so a file name can never forge a line of a log or of
// listed output.
std::string escapeControl(std::string_view text);

}  // namespace platform
