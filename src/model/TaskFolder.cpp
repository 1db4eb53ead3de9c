#include "model/TaskFolder.h"

#include "platform/FileSystem.h"
#include "platform/Path.h"

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
    const std::string main(mainText);
    const std::string mirror(mirrorText);
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
