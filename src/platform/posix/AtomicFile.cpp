#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/posix/FileOpsInternal.h"

namespace platform {

OpResult fileFailure(int error, const std::string& what, const std::string& path) {
    return OpResult::failure(error, what + " " + path + ": " + std::strerror(error));
}

namespace {

std::string folderOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string nameOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the rename itself durable. File systems that cannot flush a folder
// are not an error: the file is in place either way.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes `content` to a new temporary file beside `path` and flushes it to
// the disk. On failure nothing is left behind.
OpResult writeTemporary(const std::string& path, std::string_view content, mode_t mode,
                        std::string& temporary) {
    const std::string folder = folderOfPath(path);
    std::string pattern = folder + "/." + nameOfPath(path) + ".tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        return fileFailure(errno, "cannot create a temporary file in", folder);
    }
    temporary = buffer.data();
    int error = 0;
    const char* step = "cannot write";
    if (::fchmod(fd, mode) != 0) {
        error = errno;
        step = "cannot set the permissions of";
    } else if ((error = detail::writeAll(fd, content)) != 0) {
        step = "cannot write";
    } else if (::fsync(fd) != 0) {
        error = errno;
        step = "cannot flush";
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
        step = "cannot write";
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return fileFailure(error, step, temporary);
    }
    return OpResult::success();
}

}  // namespace

OpResult readWholeFile(const std::string& path, std::string& content) {
    content.clear();
    // Non-blocking, so that a FIFO in the file's place cannot hang the reader.
    const detail::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        return fileFailure(errno, "cannot open", path);
    }
    const int fd = file.get();
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return fileFailure(errno, "cannot read", path);
    }
    if (!S_ISREG(st.st_mode)) {
        return fileFailure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "not a regular file:", path);
    }
    content.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fileFailure(errno, "cannot read", path);
        }
        if (got == 0) {
            return OpResult::success();
        }
        content.append(chunk, static_cast<std::size_t>(got));
    }
}

OpResult replaceFile(const std::string& path, std::string_view content, unsigned newFileMode) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const mode_t mode =
        ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : static_cast<mode_t>(newFileMode);
    std::string temporary;
    OpResult result = writeTemporary(target, content, mode, temporary);
    if (!result.ok()) {
        return result;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return fileFailure(error, "cannot replace", target);
    }
    syncFolder(folderOfPath(target));
    return OpResult::success();
}

OpResult copyFileNoReplace(const std::string& source, const std::string& target) {
    std::string content;
    OpResult result = readWholeFile(source, content);
    if (!result.ok()) {
        return result;
    }
    std::string temporary;
    result = writeTemporary(target, content, kOwnerOnlyFile, temporary);
    if (!result.ok()) {
        return result;
    }
    // A hard link gives the file its name only when the name is free.
    int error = 0;
    if (::link(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        if (error != EEXIST) {
            // File systems without hard links: test the name, then rename.
            struct stat st {};
            if (::lstat(target.c_str(), &st) == 0) {
                error = EEXIST;
            } else {
                error = ::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
            }
        }
    }
    ::unlink(temporary.c_str());
    if (error != 0) {
        return fileFailure(error, "cannot copy " + source + " to", target);
    }
    syncFolder(folderOfPath(target));
    return OpResult::success();
}

}  // namespace platform
