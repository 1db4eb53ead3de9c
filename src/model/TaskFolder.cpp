#include "model/TaskFolder.h"

#include "platform/Path.h"

void TaskFolderItem::set(std::string_view mainFolder, std::string_view mirrorFolder) {
    main = platform::lexicallyNormal(mainFolder);
    mirror = platform::lexicallyNormal(mirrorFolder);
}

TaskFolderItem& TaskFolder::addItem(std::string_view main, std::string_view mirror) {
    TaskFolderItem& item = m_items.emplace_back();
    item.set(main, mirror);
    return item;
}

bool TaskFolder::isValidPair(std::string_view mainText, std::string_view mirrorText) {
    if (mainText.empty() || mirrorText.empty()) {
        return false;
    }
    const std::string main = platform::lexicallyNormal(mainText);
    const std::string mirror = platform::lexicallyNormal(mirrorText);
    if (mirror.starts_with(main)) {
        return false;
    }
    return !platform::isSameOrInside(main, mirror);
}
