#include "platform/Autostart.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Path.h"

namespace platform {

namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return {};
}

// Makes `folder` and its missing parents; errno is set on failure.
bool makeFolders(const std::string& folder) {
    std::string partial;
    std::size_t begin = 0;
    while (begin < folder.size()) {
        std::size_t end = folder.find(kSeparator, begin + 1);
        if (end == std::string::npos) {
            end = folder.size();
        }
        partial = folder.substr(0, end);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        begin = end;
    }
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) {
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

std::string reason(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string autostartFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        return withTrailingSeparator(xdg) + "autostart/";
    }
    const std::string home = homeFolder();
    return home.empty() ? std::string() : withTrailingSeparator(home) + ".config/autostart/";
}

std::string desktopExecValue(const std::string& program) {
    // Inside double quotes, ", `, $ and \ are escaped with a backslash; the
    // value as a whole then escapes each backslash again, and % is doubled
    // because it starts a field code.
    std::string value = "\"";
    for (const char c : program) {
        switch (c) {
            case '"':
            case '`':
            case '$':
                value += "\\\\";
                value += c;
                break;
            case '\\':
                value += "\\\\\\\\";
                break;
            case '%':
                value += "%%";
                break;
            default:
                value += c;
        }
    }
    return value + "\"";
}

std::string setStartWithSession(bool on, const std::string& program, const std::string& folder) {
    if (folder.empty()) {
        return "no autostart folder: neither XDG_CONFIG_HOME nor HOME is set";
    }
    const std::string entry = withTrailingSeparator(folder) + kAutostartEntryName;
    if (!on) {
        if (::unlink(entry.c_str()) != 0 && errno != ENOENT) {
            return reason("can't remove", entry);
        }
        return {};
    }
    if (!makeFolders(folder)) {
        return reason("can't make the folder", folder);
    }
    const std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Twinfold\n"
        "Comment=Runs the scheduled mirror tasks\n"
        "Exec=" +
        desktopExecValue(program) +
        "\n"
        "Icon=io.github.twinfold.Twinfold\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    const std::string temporary = entry + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return reason("can't write", temporary);
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const auto n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            std::string why = reason("can't write", temporary);
            ::close(fd);
            ::unlink(temporary.c_str());
            return why;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        std::string why = reason("can't write", temporary);
        ::unlink(temporary.c_str());
        return why;
    }
    if (::rename(temporary.c_str(), entry.c_str()) != 0) {
        std::string why = reason("can't replace", entry);
        ::unlink(temporary.c_str());
        return why;
    }
    return {};
}

bool startsWithSession(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    struct stat st;
    return ::stat((withTrailingSeparator(folder) + kAutostartEntryName).c_str(), &st) == 0;
}

}  // namespace platform
