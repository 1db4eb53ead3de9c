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

TaskFolder::PairProblem TaskFolder::pairProblem(std::string_view main, std::string_view mirror) {
    if (main.empty() || mirror.empty()) {
        return PairProblem::Empty;
    }
    if (const PairProblem written = textProblem(main, mirror); written != PairProblem::None) {
        return written;
    }
    // A link can make two unrelated texts the same folder, or one inside
    // the other.
    const std::string realMain = platform::resolvePath(std::string(main));
    const std::string realMirror = platform::resolvePath(std::string(mirror));
    if (realMain.empty() || realMirror.empty()) {
        return PairProblem::None;  // relative texts: nothing to resolve
    }
    return textProblem(realMain, realMirror);
}
