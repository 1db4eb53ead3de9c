#include "model/TaskFolder.h"

#include "platform/Path.h"

bool TaskFolder::isValidPair(std::string_view main, std::string_view mirror) {
    if (main.empty() || mirror.empty()) {
        return false;
    }
    if (mirror.starts_with(main)) {
        return false;
    }
    return !platform::isSameOrInside(main, mirror);
}
