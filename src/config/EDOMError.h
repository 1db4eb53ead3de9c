#pragma once

#include <stdexcept>
#include <string>

// The configuration file could not be read or is not a configuration
// document (not well-formed XML, or no "config" root). what() tells the file
// and the reason.
class EDOMError : public std::runtime_error {
public:
    explicit EDOMError(const std::string& detail) : std::runtime_error(detail) {}
};
