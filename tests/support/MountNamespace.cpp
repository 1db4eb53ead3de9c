#include "support/MountNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace testsupport {

namespace {

bool writeText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// In the child: enters the namespaces. Returns empty or why it could not.
std::string enter() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return std::string("unshare(CLONE_NEWUSER|CLONE_NEWNS): ") + std::strerror(errno);
        }
        const std::string uidMap = std::to_string(uid) + " " + std::to_string(uid) + " 1\n";
        const std::string gidMap = std::to_string(gid) + " " + std::to_string(gid) + " 1\n";
        if (!writeText("/proc/self/setgroups", "deny") ||
            !writeText("/proc/self/uid_map", uidMap) || !writeText("/proc/self/gid_map", gidMap)) {
            return std::string("writing the id maps: ") + std::strerror(errno);
        }
    } else if (::unshare(CLONE_NEWNS) != 0) {
        return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("making mounts private: ") + std::strerror(errno);
    }
    return {};
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

NamespaceOutcome runInMountNamespace(const std::function<std::string()>& body) {
    NamespaceOutcome outcome;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        outcome.failure = "pipe failed";
        return outcome;
    }
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid < 0) {
        outcome.failure = "fork failed";
        return outcome;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        const std::string refused = enter();
        if (!refused.empty()) {
            writeAll(pipeFds[1], refused);
            ::_exit(2);
        }
        std::string failure;
        try {
            failure = body();
        } catch (const std::exception& error) {
            failure = std::string("exception: ") + error.what();
        } catch (...) {
            failure = "an exception";
        }
        writeAll(pipeFds[1], failure);
        std::fflush(nullptr);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        outcome.failure = "the child did not end normally: " + text;
    } else if (WEXITSTATUS(status) == 2) {
        outcome.refused = text;
    } else {
        outcome.failure = text;
    }
    return outcome;
}

}  // namespace testsupport
