#pragma once

#include <functional>
#include <string>

namespace testsupport {

// What became of a body run with a mount of its own.
struct IsolatedRun {
    bool ran = false;     // false: no mount namespace or no mount; `reason` says why
    bool passed = false;  // the body ran and recorded no test failure
    std::string reason;
};

// Runs `body` in a child process with a tmpfs of `kib` KiB mounted on `path`
// (made first), in a mount namespace of the child's own, so the mount goes
// with the child whatever the test does. Root keeps its powers; anyone else
// gets an unprivileged user namespace to mount in, and the body then runs with
// that user's rights only. The child prints the body's test failures itself;
// the caller checks `passed`, and skips when `ran` is false.
IsolatedRun runWithTmpfs(const std::string& path, int kib, const std::function<void()>& body);

}  // namespace testsupport
