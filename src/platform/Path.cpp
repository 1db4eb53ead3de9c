#include "platform/Path.h"

namespace platform {

std::string withTrailingSeparator(std::string_view path) {
    std::string result(path);
    if (result.empty() || result.back() != kSeparator) {
        result.push_back(kSeparator);
    }
    return result;
}

std::string_view fileNameOf(std::string_view path) {
    const auto pos = path.rfind(kSeparator);
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view folderOf(std::string_view path) {
    const auto pos = path.rfind(kSeparator);
    return pos == std::string_view::npos ? std::string_view{} : path.substr(0, pos);
}

std::string_view extensionOf(std::string_view name) {
    const auto pos = name.rfind('.');
    return pos == std::string_view::npos ? std::string_view{} : name.substr(pos);
}

bool isSameOrInside(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == kSeparator) {
        folder.remove_suffix(1);
    }
    while (path.size() > 1 && path.back() == kSeparator) {
        path.remove_suffix(1);
    }
    if (!path.starts_with(folder)) {
        return false;
    }
    if (path.size() == folder.size()) {
        return true;
    }
    return folder.back() == kSeparator || path[folder.size()] == kSeparator;
}

std::string lexicallyNormal(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    const bool absolute = path.front() == kSeparator;
    std::string result = absolute ? std::string(1, kSeparator) : std::string();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t stop = path.find(kSeparator, start);
        if (stop == std::string_view::npos) {
            stop = path.size();
        }
        const std::string_view part = path.substr(start, stop - start);
        start = stop + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == ".." && result.size() == 1 && absolute) {
            continue;  // "/.." is "/"
        }
        if (!result.empty() && result.back() != kSeparator) {
            result.push_back(kSeparator);
        }
        result += part;
    }
    return result.empty() ? std::string(".") : result;
}

std::string absolutePath(std::string_view path, std::string_view base) {
    if (!path.empty() && path.front() == kSeparator) {
        return lexicallyNormal(path);
    }
    std::string joined(base);
    joined += kSeparator;
    joined.append(path);
    return lexicallyNormal(joined);
}

}  // namespace platform
