#include "support/MountNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/TempTree.h"

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

bool enterNamespace() {
    if (::geteuid() == 0) {
        return ::unshare(CLONE_NEWNS) == 0;
    }
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
           writeText("/proc/self/setgroups", "deny") &&
           writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

}  // namespace

int runInTmpfs(const std::string& mountPoint, const std::function<int()>& body) {
    makeDirs(mountPoint);
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        if (!enterNamespace() ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16m") != 0) {
            ::_exit(kNoMountNamespace);
        }
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace testsupport
