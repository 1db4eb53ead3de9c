#pragma once

#include <cstdio>

namespace platform {

// True when `file` writes to a terminal.
bool isTerminal(std::FILE* file);

// The width in columns of the terminal behind `file`; else the number in
// $COLUMNS when it is positive; else 80.
int terminalColumns(std::FILE* file);

}  // namespace platform
