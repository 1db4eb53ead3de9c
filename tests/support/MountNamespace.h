#pragma once

#include <functional>
#include <string>

namespace testsupport {

// The status runInTmpfs() returns when this machine allows no private mount
// (no root and no unprivileged user namespaces): the caller skips.
inline constexpr int kNoMountNamespace = 77;

// Runs `body` in a child process with a mount namespace of its own, where a
// fresh tmpfs is mounted on `mountPoint` (made when missing), and returns
// the body's result, -1 when the child did not exit normally, or
// kNoMountNamespace. Without root the namespace comes with a user namespace
// mapping the caller to root, as `unshare -rm` does. Everything written on
// the tmpfs is gone when the child ends, so the body checks what it needs.
int runInTmpfs(const std::string& mountPoint, const std::function<int()>& body);

}  // namespace testsupport
