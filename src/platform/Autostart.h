#pragma once

#include <string>

namespace platform {

// The file name of the autostart entry; the application id of the desktop
// entry, so the session shows the program's name and icon.
inline constexpr const char* kAutostartEntryName = "io.github.twinfold.Twinfold.desktop";

// The session's autostart folder: $XDG_CONFIG_HOME/autostart/ when that is an
// absolute path, else $HOME/.config/autostart/; with a trailing separator.
// Empty when neither can be told.
std::string autostartFolder();

// Writes (on) or removes (off) the autostart entry in `folder`, so the
// desktop session starts `program` at login and schedules keep working after
// a reboot. The folder is made when missing; the entry is replaced whole,
// never left half written. Removing an absent entry succeeds. Returns an
// empty text on success, else the reason.
std::string setStartWithSession(bool on, const std::string& program,
                                const std::string& folder = autostartFolder());

// True when `folder` holds the autostart entry.
bool startsWithSession(const std::string& folder = autostartFolder());

// The Exec value that runs `program` with no arguments, quoted and escaped
// as desktop entries require.
std::string desktopExecValue(const std::string& program);

}  // namespace platform
