#include "platform/Autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/UserFolders.h"

namespace platform {

namespace {

std::string reason(const char* what, const std::string& path, int error = errno) {
    return std::string(what) + " " + path + ": " + std::strerror(error);
}

}  // namespace

std::string autostartFolder() {
    const std::string config = userFolder(UserFolder::Config);
    return config.empty() ? std::string() : config + "autostart/";
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
    if (const OpResult made = makeFolders(folder); !made.ok()) {
        return reason("can't make the folder", folder, made.error);
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
    // Readable by all, as the session's other entries are.
    if (const OpResult written = replaceFile(entry, text, 0644); !written.ok()) {
        return reason("can't write", entry, written.error);
    }
    return {};
}

bool startsWithSession(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    return exists(withTrailingSeparator(folder) + kAutostartEntryName);
}

}  // namespace platform
