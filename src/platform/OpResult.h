#pragma once

#include <string>

namespace platform {

// What an operation on files came to: success, or an errno-style code and a
// reason for the user. Never dropped silently: a dropped failure would turn
// into a run that reports nothing wrong.
struct [[nodiscard]] OpResult {
    int error = 0;        // errno-style code; 0 is success
    std::string message;  // the reason, for the task log or a message box
    bool ok() const { return error == 0; }
    static OpResult success() { return {}; }
    static OpResult failure(int code);  // message from strerror
    static OpResult failure(int code, std::string message);
};

}  // namespace platform
