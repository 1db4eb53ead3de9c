#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Path.h"

namespace platform {

std::string programFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const auto n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<std::size_t>(n));
            return withTrailingSeparator(folderOf(exe));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string workingFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

}  // namespace platform
