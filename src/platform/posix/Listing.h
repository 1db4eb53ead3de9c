#pragma once

#include <dirent.h>

#include <cerrno>

#include "platform/posix/Sys.h"

namespace platform::detail {

// Reads the listing of the open folder `fd` from where its position stands,
// calling visit(name, type) (a DT_ value; DT_UNKNOWN where the file system
// does not tell) for every entry but "." and "..". Returns 0 or the errno
// that ended the listing.
template <typename Visit>
int readListing(int fd, Visit&& visit) {
    alignas(struct dirent64) char buffer[32768];
    for (;;) {
        const ssize_t count = retryEintr(sys().getdents64, fd, buffer, sizeof buffer);
        if (count <= 0) {
            return count == 0 ? 0 : errno;
        }
        for (ssize_t offset = 0; offset < count;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            visit(name, entry->d_type);
        }
    }
}

}  // namespace platform::detail
