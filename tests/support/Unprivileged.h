#pragma once

#include <functional>

namespace testsupport {

// Runs `body` in a child process without root's file powers (as nobody,
// uid/gid 65534, no extra groups) and returns its result, or -1 when the child
// did not exit normally. Lets permission-denied cases be tested as root.
int runUnprivileged(const std::function<int()>& body);

}  // namespace testsupport
