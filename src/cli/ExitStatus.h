#pragma once

// The exit statuses of twinfold-cli, as its help and manual page list them.
enum ExitStatus : int {
    kAllDone = 0,
    kSomeFailed = 1,  // some items failed or were skipped
    kUsage = 2,       // wrong usage, or an unusable --log file
    kConfig = 3,      // the configuration could not be read
    kNoTask = 4,
    // A run stopped by a signal exits with 128 plus the signal's number:
    // 130 for SIGINT, 143 for SIGTERM.
    kSignalBase = 128,
};

// The text of the exit statuses, for --help.
inline constexpr const char* kExitStatusText =
    "Exit status: 0 all done; 1 some items failed or were skipped; 2 wrong usage\n"
    "or an unusable --log file; 3 the configuration could not be read; 4 no such\n"
    "task; 130 interrupted (SIGINT), 143 terminated (SIGTERM).\n"
    "Options of every command: --config FILE, -q, -v, --json (see twinfold-cli --help).";
