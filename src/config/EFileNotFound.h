#pragma once

#include <stdexcept>
#include <string>

// Loading found no configuration file to read: neither the file itself nor
// the shipped default to make it from. what() names the missing file.
class EFileNotFound : public std::runtime_error {
public:
    explicit EFileNotFound(const std::string& detail) : std::runtime_error(detail) {}
};
