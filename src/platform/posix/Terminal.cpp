#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

bool isTerminal(std::FILE* file) {
    return ::isatty(::fileno(file)) != 0;
}

int terminalColumns(std::FILE* file) {
    winsize size{};
    if (::ioctl(::fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    if (const char* columns = std::getenv("COLUMNS")) {
        const int value = std::atoi(columns);
        if (value > 0) {
            return value;
        }
    }
    return 80;
}

}  // namespace platform
