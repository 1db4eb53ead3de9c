#pragma once

#include <string>
#include <string_view>
#include <vector>

// The ";"-separated lists of the filters and the configuration file.

// Splits at every separator. Each separator ends a token, which is kept even
// when empty; the text after the last separator is kept only when not empty.
// "exe;;bat;" gives {"exe", "", "bat"}, ";exe" gives {"", "exe"}.
std::vector<std::string> splitList(std::string_view text, char separator);

// The non-empty tokens of the ";"-separated text, each followed by ";".
// "exe;;bat" gives "exe;bat;"; an empty or all-separator text gives "".
std::string normalizeList(std::string_view text);
