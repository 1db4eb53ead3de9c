#include "support/TempTree.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace testsupport {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

int makeWritable(const char* path, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D || type == FTW_DNR) {
        ::chmod(path, (st->st_mode & 07777) | S_IRWXU);
    }
    return 0;
}

int removeOne(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP || type == FTW_D || type == FTW_DNR) {
        ::rmdir(path);
    } else {
        ::unlink(path);
    }
    return 0;
}

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/twinfold-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        fail("mkdtemp", pattern);
    }
    m_path = buffer.data();
}

TempDir::~TempDir() {
    removeTree(m_path);
}

std::string TempDir::operator/(std::string_view relative) const {
    return m_path + "/" + std::string(relative);
}

void removeTree(const std::string& path) {
    ::nftw(path.c_str(), makeWritable, 64, FTW_PHYS);
    ::nftw(path.c_str(), removeOne, 64, FTW_PHYS | FTW_DEPTH);
}

void makeDirs(const std::string& path) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            const std::string part = path.substr(0, pos);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
                fail("mkdir", part);
            }
        }
    }
}

void writeFile(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("open", path);
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const auto n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            ::close(fd);
            fail("write", path);
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::string readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail("open", path);
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const auto n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ::close(fd);
            fail("read", path);
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

void setWriteTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        fail("utimensat", path);
    }
}

bool pathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void makeTree(const std::string& root, std::string_view description) {
    while (!description.empty()) {
        const auto end = description.find('\n');
        std::string_view line = description.substr(0, end);
        description =
            end == std::string_view::npos ? std::string_view{} : description.substr(end + 1);
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (line.back() == '/') {
            makeDirs(root + "/" + std::string(line.substr(0, line.size() - 1)));
            continue;
        }
        std::string name;
        std::string content;
        std::string linkTarget;
        bool isLink = false;
        if (const auto arrow = line.find("->"); arrow != std::string_view::npos) {
            name = line.substr(0, arrow);
            linkTarget = line.substr(arrow + 2);
            isLink = true;
        } else if (const auto eq = line.find('='); eq != std::string_view::npos) {
            name = line.substr(0, eq);
            content = line.substr(eq + 1);
        } else {
            name = line;
        }
        const std::string full = root + "/" + name;
        if (const auto slash = full.rfind('/'); slash != std::string::npos && slash > 0) {
            makeDirs(full.substr(0, slash));
        }
        if (isLink) {
            if (::symlink(linkTarget.c_str(), full.c_str()) != 0) {
                fail("symlink", full);
            }
        } else {
            writeFile(full, content);
        }
    }
}

}  // namespace testsupport
