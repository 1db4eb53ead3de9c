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

std::string absolutePath(std::string_view path, std::string_view base) {
    std::string joined;
    if (path.empty() || path.front() != kSeparator) {
        joined.append(base);
        joined += kSeparator;
    }
    joined.append(path);
    std::string out;
    std::size_t begin = 0;
    while (begin <= joined.size()) {
        std::size_t end = joined.find(kSeparator, begin);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string_view part(joined.data() + begin, end - begin);
        if (!part.empty() && part != ".") {
            out += kSeparator;
            out.append(part);
        }
        begin = end + 1;
    }
    return out.empty() ? std::string(1, kSeparator) : out;
}

}  // namespace platform
