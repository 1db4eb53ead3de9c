#include "platform/InstallLayout.h"

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

// The build defines both as paths relative to the installed programs' folder.
#ifndef TWINFOLD_LIBRARY_FROM_BINDIR
#error "TWINFOLD_LIBRARY_FROM_BINDIR must be defined by the build"
#endif
#ifndef TWINFOLD_DATA_FROM_BINDIR
#error "TWINFOLD_DATA_FROM_BINDIR must be defined by the build"
#endif

namespace platform {

std::vector<std::string> shippedFileCandidates(const std::string& programFolder, Shipped kind,
                                               std::string_view name) {
    if (programFolder.empty()) {
        return {};
    }
    std::string_view installed =
        kind == Shipped::Library ? TWINFOLD_LIBRARY_FROM_BINDIR : TWINFOLD_DATA_FROM_BINDIR;
    std::string beside = programFolder;
    if (beside.back() != '/') {
        beside += '/';
    }
    // The program's folder is a resolved path, so each leading ".." of the
    // installed place is its lexical parent.
    std::string base = beside;
    while (installed.starts_with("../")) {
        const std::size_t cut = base.find_last_of('/', base.size() >= 2 ? base.size() - 2 : 0);
        if (cut == std::string::npos || base.size() < 2) {
            break;
        }
        base.resize(cut + 1);
        installed.remove_prefix(3);
    }
    return {beside + std::string(name), base + std::string(installed) + "/" + std::string(name)};
}

std::string locateShippedFile(const std::string& programFolder, Shipped kind,
                              std::string_view name) {
    const std::vector<std::string> candidates = shippedFileCandidates(programFolder, kind, name);
    for (const std::string& candidate : candidates) {
        if (exists(candidate)) {
            return candidate;
        }
    }
    return candidates.empty() ? std::string() : candidates.front();
}

std::string locateShippedFile(Shipped kind, std::string_view name) {
    return locateShippedFile(programFolder(), kind, name);
}

}  // namespace platform
