#include "platform/LocalSocket.h"

#include <sys/un.h>

namespace platform {

bool fitsSocketAddress(std::string_view path) {
    // The address also holds the terminating zero.
    return path.size() < sizeof(sockaddr_un::sun_path);
}

}  // namespace platform
