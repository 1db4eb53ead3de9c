#pragma once

#include <string>

// Where the user's files of each kind live, by the desktop's base folder
// rules (freedesktop.org).
namespace platform {

// The user's home folder: $HOME when it is an absolute path, else the one the
// user database names; empty when neither tells.
std::string homeFolder();

// The kinds of files a user's base folders hold:
//   Config  settings                   $XDG_CONFIG_HOME, else ~/.config
//   State   what programs keep between runs (history, logs)
//                                      $XDG_STATE_HOME, else ~/.local/state
//   Data    data files (the trash)     $XDG_DATA_HOME, else ~/.local/share
// A variable holding a relative path is passed over.
enum class UserFolder { Config, State, Data };

// The base folder for `kind`, with a trailing separator; empty when neither
// its variable nor the home folder tells.
std::string userFolder(UserFolder kind);

}  // namespace platform
