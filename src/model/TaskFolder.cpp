#include "model/TaskFolder.h"

#include "platform/FileSystem.h"
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

namespace {

TaskFolder::PairProblem textProblem(std::string_view main, std::string_view mirror) {
    const bool mirrorInMain = platform::isSameOrInside(mirror, main);
    const bool mainInMirror = platform::isSameOrInside(main, mirror);
    if (mirrorInMain && mainInMirror) {
        return TaskFolder::PairProblem::Same;
    }
    if (mirrorInMain) {
        return TaskFolder::PairProblem::MirrorInsideMain;
    }
    if (mainInMirror) {
        return TaskFolder::PairProblem::MirrorAboveMain;
    }
    return TaskFolder::PairProblem::None;
}

}  // namespace

TaskFolder::PairProblem TaskFolder::pairProblem(std::string_view mainText,
                                                std::string_view mirrorText) {
    if (mainText.empty() || mirrorText.empty()) {
        return PairProblem::Empty;
    }
    // "/data//a/" and "/data/./a" are one folder.
    const std::string main = platform::lexicallyNormal(mainText);
    const std::string mirror = platform::lexicallyNormal(mirrorText);
    if (const PairProblem written = textProblem(main, mirror); written != PairProblem::None) {
        return written;
    }
    // A link can make two unrelated texts the same folder, or one inside
    // the other.
    const std::string realMain = platform::resolvePath(main);
    const std::string realMirror = platform::resolvePath(mirror);
    if (realMain.empty() || realMirror.empty()) {
        return PairProblem::None;  // relative texts: nothing to resolve
    }
    return textProblem(realMain, realMirror);
}
