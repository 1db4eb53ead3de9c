#include "support/MountNamespace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/TempTree.h"

namespace testsupport {

namespace {

constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kUnavailable = 2;

bool writeText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

// Enters a user namespace in which this process keeps its own uid and gid
// and holds the capabilities to mount.
bool enterUserNamespace(std::string& why) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        why = std::string("no unprivileged user namespace: ") + std::strerror(errno);
        return false;
    }
    if (!writeText("/proc/self/setgroups", "deny") ||
        !writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
        !writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
        why = std::string("cannot map the user into its namespace: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// Gives up every capability, so the body has the user's rights only.
bool dropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    return ::syscall(SYS_capset, &header, data) == 0;
}

// The child: namespace, mount, body. Reports through its exit status and, when
// the mount cannot be made, the reason on `report`.
[[noreturn]] void runChild(const std::string& path, int kib, const std::function<void()>& body,
                           int report) {
    const bool root = ::geteuid() == 0;
    std::string why;
    if (root ? ::unshare(CLONE_NEWNS) != 0 : !enterUserNamespace(why)) {
        if (why.empty()) {
            why = std::string("no mount namespace: ") + std::strerror(errno);
        }
    } else {
        // Nothing mounted here reaches the namespace the tests started in.
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        makeDirs(path);
        const std::string options = "size=" + std::to_string(kib) + "k";
        if (::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            why = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        } else if (!root && !dropCapabilities()) {
            why = std::string("cannot drop the namespace's capabilities: ") + std::strerror(errno);
        }
    }
    if (!why.empty()) {
        [[maybe_unused]] const auto n = ::write(report, why.data(), why.size());
        ::_exit(kUnavailable);
    }
    body();
    const bool failed = ::testing::Test::HasFailure();
    std::fflush(nullptr);
    ::_exit(failed ? kFailed : kPassed);
}

}  // namespace

IsolatedRun runWithTmpfs(const std::string& path, int kib, const std::function<void()>& body) {
    IsolatedRun result;
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        result.reason = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.reason = std::string("fork: ") + std::strerror(errno);
        ::close(report[0]);
        ::close(report[1]);
        return result;
    }
    if (pid == 0) {
        ::close(report[0]);
        runChild(path, kib, body, report[1]);
    }
    ::close(report[1]);
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(report[0], buffer, sizeof buffer)) > 0) {
        result.reason.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(report[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) {
        result.reason = std::string("waitpid: ") + std::strerror(errno);
        return result;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kUnavailable) {
        return result;
    }
    result.ran = true;
    result.passed = WIFEXITED(status) && WEXITSTATUS(status) == kPassed;
    if (!result.passed) {
        result.reason = WIFSIGNALED(status)
                            ? "the child died of signal " + std::to_string(WTERMSIG(status))
                            : "the body recorded failures (printed above)";
    }
    return result;
}

}  // namespace testsupport
