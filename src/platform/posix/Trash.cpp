#include <gio/gio.h>

#include <cerrno>

#include "platform/posix/FileOpsInternal.h"

namespace platform::detail {

namespace {

int errnoFromGio(const GError* error) {
    if (error->domain != G_IO_ERROR) {
        return EIO;
    }
    switch (error->code) {
        case G_IO_ERROR_NOT_FOUND:
            return ENOENT;
        case G_IO_ERROR_PERMISSION_DENIED:
            return EACCES;
        case G_IO_ERROR_NOT_SUPPORTED:
            return EOPNOTSUPP;
        case G_IO_ERROR_NO_SPACE:
            return ENOSPC;
        case G_IO_ERROR_READ_ONLY:
            return EROFS;
        case G_IO_ERROR_BUSY:
            return EBUSY;
        case G_IO_ERROR_FILENAME_TOO_LONG:
            return ENAMETOOLONG;
        case G_IO_ERROR_NOT_DIRECTORY:
            return ENOTDIR;
        default:
            return EIO;
    }
}

}  // namespace

OpResult moveToTrash(const std::string& path) {
    // The local file system's implementation directly: no desktop daemon is
    // asked, so this works the same from a worker thread or without a session.
    GFile* file = g_vfs_get_file_for_path(g_vfs_get_local(), path.c_str());
    GError* error = nullptr;
    const gboolean moved = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (moved) {
        return OpResult::success();
    }
    if (error == nullptr) {
        return OpResult::failure(EIO);
    }
    OpResult result = OpResult::failure(errnoFromGio(error), error->message);
    g_error_free(error);
    return result;
}

}  // namespace platform::detail
