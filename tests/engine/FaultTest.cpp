// Runs of the real engine with one system call made to fail (or be
// interrupted) at a chosen point: the run must say so, the mirror must keep
// whole files only, nothing temporary may stay behind, and a run without the
// fault must then bring the mirror level with the main folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/ProgramFolder.h"
#include "support/SysFault.h"

using testsupport::Fault;
using testsupport::makeTree;
using testsupport::readFile;
using testsupport::Sys;
using testsupport::SysFault;

namespace {

namespace fs = std::filesystem;

constexpr const char* kVersionsFolder = ".twinfold-versions";

// A file as a line of a tree: its path, length and a hash of its content
// (short enough to read in a failure).
std::string fileLine(const std::string& relative, const std::string& content) {
    return relative + " " + std::to_string(content.size()) + " bytes #" +
           std::to_string(std::hash<std::string>{}(content) % 1000000);
}

// A line for each file (see fileLine()) and "relative/" for each folder,
// sorted; the versions folder is left out.
std::set<std::string> treeOf(const std::string& root) {
    std::set<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        if (relative == kVersionsFolder) {
            it.disable_recursion_pending();
            continue;
        }
        lines.insert(it->is_directory() ? relative + "/"
                                        : fileLine(relative, readFile(it->path().string())));
    }
    return lines;
}

// The files kept as versions beneath the mirror `root`, as lines of the
// mirror's tree (see fileLine()).
std::vector<std::string> keptVersions(const std::string& root) {
    std::vector<std::string> lines;
    const fs::path versions = fs::path(root) / kVersionsFolder;
    if (!fs::exists(versions)) {
        return lines;
    }
    for (const auto& entry : fs::recursive_directory_iterator(versions)) {
        if (entry.is_regular_file()) {
            // <run folder>/<pair folder>/relative
            const fs::path relative = fs::relative(entry.path(), versions);
            auto part = relative.begin();
            std::advance(part, 2);
            fs::path inMirror;
            for (; part != relative.end(); ++part) {
                inMirror /= *part;
            }
            lines.push_back(fileLine(inMirror.string(), readFile(entry.path().string())));
        }
    }
    return lines;
}

// Temporary entries anywhere beneath `root`, the versions folder included.
std::vector<std::string> temporariesIn(const std::string& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (platform::isTemporaryName(entry.path().filename().string())) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

std::string patterned(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + (i * 7919 + i / 4096) % 26);
    }
    return text;
}

// Big enough for several writes of the read/write copy (256 KiB each).
const std::string kBigContent = patterned(std::size_t{1} << 20);

// Content goes through read and write, as between file systems the kernel
// cannot copy between.
void withoutKernelCopy(std::vector<SysFault>& faults) {
    faults.push_back(SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP)));
    faults.push_back(SysFault::on<&Sys::copy_file_range>(Fault::fail(EXDEV)));
}

// A rename between two folders: made to answer as one between file systems.
bool crossesFolders(const std::vector<std::string>& paths) {
    return paths.size() == 2 &&
           fs::path(paths[0]).parent_path() != fs::path(paths[1]).parent_path();
}

// The versions folder made to answer as if on another drive: a rename into
// it, and a clone of blocks, cross file systems.
void versionsOnAnotherDrive(std::vector<SysFault>& faults) {
    faults.push_back(SysFault::on<&Sys::renameat2>(Fault::fail(EXDEV).when(crossesFolders)));
    faults.push_back(
        SysFault::on<&Sys::ficlone>(Fault::fail(EXDEV).only(std::string("/") + kVersionsFolder)));
}

// What the faulted run must report.
enum class Outcome {
    Succeeds,  // no problem at all
    Fails,     // a failure
    Skips,     // something skipped, as an unreadable main folder is
};

struct FaultCase {
    const char* name;
    // Puts the faults on; each must be hit during the run.
    std::function<void(std::vector<SysFault>&)> install;
    Outcome outcome;
    const char* intact = nullptr;    // a mirror file that must keep its old content
    const char* reported = nullptr;  // the end of the path a problem must name
    bool versions = false;
    const char* says = nullptr;  // what a problem's reason must say
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

const FaultCase kCases[] = {
    // Failures while copying.
    {"NoSpaceAtTheThirdWrite",
     [](auto& f) {
         withoutKernelCopy(f);
         f.push_back(SysFault::on<&Sys::pwrite>(Fault::fail(ENOSPC).nth(3).only("/mirror/")));
     },
     Outcome::Fails, "big", "/big"},
    {"NoSpaceInTheKernelsCopy",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP)));
         f.push_back(SysFault::on<&Sys::copy_file_range>(Fault::fail(ENOSPC).only("/main/big")));
     },
     Outcome::Fails, "big", "/big"},
    {"AWriteThatTakesNothingIsAFullDrive",
     [](auto& f) {
         withoutKernelCopy(f);
         f.push_back(SysFault::on<&Sys::pwrite>(Fault::answer(0).only("/mirror/")));
     },
     Outcome::Fails, "big", "/big"},
    {"ASourceThatEndsEarlyIsNoCopy",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP)));
         f.push_back(SysFault::on<&Sys::copy_file_range>(Fault::answer(0).only("/main/big")));
         f.push_back(SysFault::on<&Sys::pread>(Fault::answer(0).only("/main/big")));
     },
     Outcome::Fails, "big", "/big"},
    {"RenameIntoPlaceRefused",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::renameat>(Fault::fail(EACCES).only("/mirror/big")));
     },
     Outcome::Fails, "big", "/big"},
    {"FolderToCopyIntoCannotBeOpened",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::openat2>(Fault::fail(EIO).only("/mirror/sub")));
     },
     Outcome::Fails, "sub/a", "/sub/a"},
    {"FlushFails", [](auto& f) { f.push_back(SysFault::on<&Sys::syncfs>(Fault::fail(EIO))); },
     Outcome::Fails},
    // Failures while keeping versions.
    {"VersionMoveFails",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::renameat2>(
             Fault::fail(EIO).only(std::string("/") + kVersionsFolder)));
     },
     Outcome::Fails, "big", nullptr, true},
    {"VersionCopyToAnotherDriveRunsOutOfSpace",
     [](auto& f) {
         versionsOnAnotherDrive(f);
         f.push_back(SysFault::on<&Sys::copy_file_range>(Fault::fail(EXDEV)));
         f.push_back(SysFault::on<&Sys::pwrite>(
             Fault::fail(ENOSPC).only(std::string("/") + kVersionsFolder)));
     },
     Outcome::Fails, "big", nullptr, true},
    {"VersionCopyWhereTheKernelAnswersNothing",
     [](auto& f) {
         versionsOnAnotherDrive(f);
         f.push_back(SysFault::on<&Sys::copy_file_range>(Fault::answer(0).only("/mirror/")));
     },
     Outcome::Succeeds, nullptr, nullptr, true},
    // Failures while planning: a folder that cannot be listed is not empty.
    {"MainSubfolderCannotBeListed",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::openat>(Fault::fail(EIO).nth(1).only("/main/sub")));
     },
     Outcome::Skips, "sub/gone", "/main/sub"},
    {"MirrorSubfolderCannotBeListed",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::openat>(Fault::fail(EIO).nth(1).only("/mirror/sub")));
     },
     Outcome::Fails, "sub/gone", "/mirror/sub"},
    // A main folder the user may not search (another user's 0700 folder):
    // skipped, with the system's reason.
    {"MainFolderCannotBeSearched",
     [](auto& f) { f.push_back(SysFault::on<&Sys::openat>(Fault::fail(EACCES).only("/main/.."))); },
     Outcome::Skips, "big", "/main", false, "the main folder cannot be read: Permission denied"},
    // What the kernel's copy may answer without being wrong.
    {"KernelCopyAnsweringNothingFallsBackToReading",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP)));
         f.push_back(SysFault::on<&Sys::copy_file_range>(Fault::answer(0).only("/main/big")));
     },
     Outcome::Succeeds},
    // Interrupted calls are made again.
    {"InterruptedOpen",
     [](auto& f) { f.push_back(SysFault::on<&Sys::openat>(Fault::fail(EINTR).nth(3))); },
     Outcome::Succeeds},
    {"InterruptedOpenOnTheWay",
     [](auto& f) { f.push_back(SysFault::on<&Sys::openat2>(Fault::fail(EINTR).nth(1))); },
     Outcome::Succeeds},
    {"InterruptedListing",
     [](auto& f) { f.push_back(SysFault::on<&Sys::getdents64>(Fault::fail(EINTR).nth(2))); },
     Outcome::Succeeds},
    {"InterruptedKernelCopy",
     [](auto& f) {
         f.push_back(SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP)));
         f.push_back(SysFault::on<&Sys::copy_file_range>(Fault::fail(EINTR).nth(1)));
     },
     Outcome::Succeeds},
    {"InterruptedReadAndWrite",
     [](auto& f) {
         withoutKernelCopy(f);
         f.push_back(SysFault::on<&Sys::pread>(Fault::fail(EINTR).nth(2)));
         f.push_back(SysFault::on<&Sys::pwrite>(Fault::fail(EINTR).nth(2)));
     },
     Outcome::Succeeds},
    {"InterruptedFlush",
     [](auto& f) { f.push_back(SysFault::on<&Sys::syncfs>(Fault::fail(EINTR).nth(1))); },
     Outcome::Succeeds},
};

class FaultTest : public EngineFixture, public ::testing::WithParamInterface<FaultCase> {
protected:
    FaultTest()
        : clock(platform::makeDateTime(2026, 2, 3, 9, 5, 7)),
          log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock) {
        run.setLog(&log);
        run.setClock(&clock);
        run.setSimulationDelay(std::chrono::milliseconds(0));
        policy.setFlags(CopyPolicy::CopyNewFiles | CopyPolicy::CopyIfSizeDiffers |
                        CopyPolicy::CopyIfTimeDiffers | CopyPolicy::CopyOnlyIfMainNewer |
                        CopyPolicy::DeleteMirrorOnly);
    }

    void runOnce() {
        run.setPlan(plan());
        run.start(false);
        run.wait();
    }

    platform::FixedClock clock;
    AppLog log;
    TaskRun run;
};

TEST_P(FaultTest, RunReportsTheFaultKeepsWholeFilesAndTheNextRunConverges) {
    const FaultCase& row = GetParam();
    task.versions.enabled = row.versions;
    makeTree(mainDir(), "sub/a=new a\nsub/b=new b\nkeep=k\n");
    testsupport::writeFile(mainPath("big"), kBigContent);
    makeTree(mirrorDir(), "big=old big\nsub/a=old a\nsub/gone=old gone\nkeep=k\n");
    for (const char* old : {"big", "sub/a"}) {
        testsupport::setWriteTime(mirrorPath(old), 1000000000);
    }
    const std::set<std::string> mainTree = treeOf(mainDir());
    const std::set<std::string> before = treeOf(mirrorDir());

    {
        std::vector<SysFault> faults;
        row.install(faults);
        runOnce();
        for (std::size_t i = 0; i < faults.size(); ++i) {
            EXPECT_GE(faults[i].hits(), 1) << "fault " << i << " was never reached";
        }
    }

    const std::vector<RunProblem> problems = run.problems();
    switch (row.outcome) {
        case Outcome::Succeeds:
            EXPECT_EQ(run.failedCount(), 0);
            for (const RunProblem& problem : problems) {
                ADD_FAILURE() << problem.path << ": " << problem.reason;
            }
            EXPECT_EQ(treeOf(mirrorDir()), mainTree);
            break;
        case Outcome::Fails:
            EXPECT_GT(run.failedCount(), 0) << "the run reported success";
            EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                                    [](const RunProblem& p) { return p.failed; }));
            break;
        case Outcome::Skips:
            EXPECT_FALSE(problems.empty()) << "the run reported success";
            break;
    }
    if (row.reported != nullptr) {
        EXPECT_TRUE(
            std::any_of(problems.begin(), problems.end(),
                        [&](const RunProblem& p) { return p.path.ends_with(row.reported); }))
            << "no problem names " << row.reported;
    }
    if (row.says != nullptr) {
        EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                                [&](const RunProblem& p) { return p.reason == row.says; }))
            << "no problem says " << row.says;
    }
    // Every mirror file is whole: as it was, or as the main folder has it.
    for (const std::string& line : treeOf(mirrorDir())) {
        EXPECT_TRUE(before.count(line) != 0 || mainTree.count(line) != 0) << line;
    }
    if (row.intact != nullptr) {
        EXPECT_EQ(before.count(fileLine(row.intact, readFile(mirrorPath(row.intact)))), 1U)
            << row.intact << " lost its old content";
    }
    EXPECT_EQ(temporariesIn(mirrorDir()), std::vector<std::string>{});

    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(treeOf(mirrorDir()), mainTree);
    EXPECT_EQ(temporariesIn(mirrorDir()), std::vector<std::string>{});
    // What was kept is what the mirror held, whole.
    for (const std::string& line : keptVersions(mirrorDir())) {
        EXPECT_EQ(before.count(line), 1U) << "kept: " << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& each) {
                             return std::string(each.param.name);
                         });

}  // namespace
