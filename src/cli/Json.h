#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace json {

// A JSON string literal, quotes included. Paths are byte strings: bytes that
// are not valid UTF-8 become U+FFFD, so the output always parses.
std::string quote(std::string_view text);

// A time as an ISO 8601 UTC string literal ("2024-05-01T12:00:00Z").
std::string time(std::chrono::system_clock::time_point when);

}  // namespace json
