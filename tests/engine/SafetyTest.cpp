#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "support/MountNamespace.h"
#include "support/Unprivileged.h"

using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;

namespace {

constexpr std::uint32_t kMirrorAndDelete = 0x00101111;

// Plans and runs a task over folders whose identity the test plays with.
class SafetyTest : public EngineFixture {
protected:
    SafetyTest()
        : clock(platform::makeDateTime(2026, 2, 3, 9, 5, 7)),
          log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock) {
        run.setLog(&log);
        log.configureForRun(true, logPath());
        policy.setFlags(kMirrorAndDelete);
    }

    void carryOut(std::unique_ptr<FileItemList> list) {
        run.setPlan(std::move(list));
        run.start(false);
        run.wait();
    }

    std::string logText() { return pathExists(logPath()) ? readFile(logPath()) : std::string(); }
    std::string logPath() const { return dir / "task.log"; }

    bool planHas(const std::vector<std::string>& lines, const std::string& prefix) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.starts_with(prefix); });
    }

    platform::FixedClock clock;
    AppLog log;
    TaskRun run;
};

// Aliases of one folder under another path: each pair overlaps whatever its
// texts say, and one run with deletion on would delete main's own files.
struct AliasCase {
    const char* name;  // the loss it catches
    // Prepares the pair inside the namespace: main at `main`, the mirror set
    // by the task; returns the mirror path to use.
    std::function<std::string(const std::string& base, const std::string& main)> setup;
};

std::string bindMount(const std::string& from, const std::string& to) {
    testsupport::makeDirs(to);
    return ::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) == 0
               ? std::string()
               : "bind " + from + ": " + std::strerror(errno);
}

class AliasTest : public SafetyTest, public ::testing::WithParamInterface<AliasCase> {};

TEST_P(AliasTest, AliasedPairIsRefusedAndNothingIsTouched) {
    const std::string base = dir / "data";
    const std::string main = base + "/main";
    makeTree(main, "a=1\n");
    testsupport::makeDirs(main + "/sub/evil\n[Delete file]FORGED");
    testsupport::writeFile(main + "/sub/evil\n[Delete file]FORGED/x", "2");
    makeTree(base, "sibling=precious\n");
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        testsupport::Failures failures;
        const std::string mirror = GetParam().setup(base, main);
        if (mirror.empty()) {
            return std::string("setup failed");
        }
        task.folderList.clearItems();
        TaskFolderItem& pair = task.folderList.addItem();
        pair.main = main;
        pair.mirror = mirror;
        auto list = plan();
        const auto lines = linesOf(*list);
        failures.check(lines.size() == 1 && lines[0].starts_with("[Skip]"),
                       "the pair was not refused: " + (lines.empty() ? "" : lines[0]));
        carryOut(std::move(list));
        failures.check(run.doneCount() == 0, "something was carried out");
        failures.check(readFile(main + "/a") == "1" &&
                           readFile(main + "/sub/evil\n[Delete file]FORGED/x") == "2" &&
                           readFile(base + "/sibling") == "precious",
                       "main or its siblings changed");
        // A reason that names a folder cannot forge a log line.
        const std::string text = logText();
        failures.check(text.find("\n[Delete file]FORGED") == std::string::npos,
                       "a reason forged a log line: " + text);
        return failures.text();
    });
}

const AliasCase kAliasCases[] = {
    {"MirrorIsABindMountOfMainsParent",
     [](const std::string& base, const std::string&) {
         const std::string alias = base + "/../alias";
         return bindMount(base, alias).empty() ? alias : std::string();
     }},
    {"MirrorIsABindMountOfAFolderInsideMain",
     [](const std::string& base, const std::string& main) {
         const std::string alias = base + "/../alias";
         return bindMount(main + "/sub", alias).empty() ? alias : std::string();
     }},
    {"MainHoldsABindMountOfTheMirror",
     [](const std::string& base, const std::string& main) {
         const std::string mirror = base + "/../mirror2";
         makeTree(mirror, "stale=1\n");
         return bindMount(mirror, main + "/sub/evil\n[Delete file]FORGED/inner").empty()
                    ? mirror
                    : std::string();
     }},
    {"MirrorIsALinkToMainsParentThroughABindMount",
     [](const std::string& base, const std::string&) {
         const std::string alias = base + "/../alias";
         const std::string link = base + "/../link";
         if (!bindMount(base, alias).empty() || ::symlink(alias.c_str(), link.c_str()) != 0) {
             return std::string();
         }
         return link;
     }},
};

INSTANTIATE_TEST_SUITE_P(Roots, AliasTest, ::testing::ValuesIn(kAliasCases),
                         [](const ::testing::TestParamInfo<AliasCase>& param) {
                             return std::string(param.param.name);
                         });

// A root whose link is re-pointed between planning and running (a drive
// switched, a link changed): the run must not carry the plan out in the
// folder now found there, nor move its files to the trash.
TEST_F(SafetyTest, RootRepointedBetweenPlanAndRunFailsThePairsItemsAndTouchesNothing) {
    for (const bool mirrorSide : {true, false}) {
        SCOPED_TRACE(mirrorSide ? "mirror re-pointed" : "main re-pointed");
        testsupport::TempDir area;
        const std::string planned = area / "planned";
        const std::string other = area / "other";
        const std::string link = area / "link";
        makeTree(planned, "stale=mine\n");
        makeTree(other, "stale=not yours\nnew=x\n");
        makeTree(area / "main", "new=x\n");
        makeTree(area / "mirror", "");
        ASSERT_EQ(::symlink(planned.c_str(), link.c_str()), 0);
        task.folderList.clearItems();
        TaskFolderItem& pair = task.folderList.addItem();
        pair.main = mirrorSide ? area / "main" : link;
        pair.mirror = mirrorSide ? link : area / "mirror";
        policy.setFlags(0x01101111);  // deletions to the trash

        auto list = plan();
        ASSERT_FALSE(linesOf(*list).empty());
        ASSERT_EQ(::unlink(link.c_str()), 0);
        ASSERT_EQ(::symlink(other.c_str(), link.c_str()), 0);
        carryOut(std::move(list));

        EXPECT_GT(run.failedCount(), 0);
        EXPECT_EQ(run.doneCount(), 0);
        EXPECT_EQ(readFile(other + "/stale"), "not yours");
        EXPECT_EQ(readFile(planned + "/stale"), "mine");
        EXPECT_FALSE(pathExists(area / "mirror/new"));
        EXPECT_THAT(logText(), ::testing::HasSubstr("no longer the one the plan was made for"));
    }
}

// A main folder swapped for a link after the plan: the copy must not read
// what the link leads to (another user's private files) into the mirror.
TEST_F(SafetyTest, SourceFolderSwappedForALinkFailsItsItems) {
    makeTree(mainDir(), "sub/secret=public words\nsub/deeper/f=1\n");
    testsupport::TempDir outside;
    makeTree(outside.path(), "secret=private\ndeeper/f=private\n");
    auto list = plan();
    testsupport::removeTree(mainPath("sub"));
    ASSERT_EQ(::symlink(outside.path().c_str(), mainPath("sub").c_str()), 0);
    carryOut(std::move(list));

    EXPECT_GE(run.failedCount(), 2);
    for (const char* rel : {"sub/secret", "sub/deeper/f"}) {
        EXPECT_FALSE(pathExists(mirrorPath(rel)) && readFile(mirrorPath(rel)) == "private") << rel;
    }
}

// What a deletion removes is what the plan judged: not a folder that took a
// file's name, nor the target of a link that took a folder's name.
TEST_F(SafetyTest, DeletionWhoseEntryChangedKindFailsAndRemovesNothing) {
    testsupport::TempDir outside;
    makeTree(outside.path(), "precious=1\n");
    makeTree(mainDir(), "kept=1\n");
    makeTree(mirrorDir(), "kept=1\nwas-file=1\nwas-folder/x=1\n");
    testsupport::setWriteTime(mainPath("kept"), 1700000000);
    testsupport::setWriteTime(mirrorPath("kept"), 1700000000);
    auto list = plan();
    ASSERT_THAT(linesOf(*list),
                ::testing::UnorderedElementsAre("[Delete file]mirror/was-file",
                                                "[Delete directory]mirror/was-folder",
                                                "[Delete file]mirror/was-folder/x"));
    ASSERT_EQ(::unlink(mirrorPath("was-file").c_str()), 0);
    makeTree(mirrorPath("was-file"), "new-work=keep me\n");
    testsupport::removeTree(mirrorPath("was-folder"));
    ASSERT_EQ(::symlink(outside.path().c_str(), mirrorPath("was-folder").c_str()), 0);
    carryOut(std::move(list));

    EXPECT_EQ(readFile(mirrorPath("was-file/new-work")), "keep me");
    EXPECT_EQ(readFile(outside.path() + "/precious"), "1");
    EXPECT_TRUE(pathExists(mirrorPath("was-folder")));
    EXPECT_EQ(run.failedCount(), 3);  // and the file beneath the link
    EXPECT_THAT(logText(), ::testing::HasSubstr("became a folder"));
    EXPECT_THAT(logText(), ::testing::HasSubstr("became a link"));
}

// A mirror folder that cannot be listed hides stale entries: the run must
// not say "0 failed".
TEST_F(SafetyTest, UnlistableMirrorFolderIsAFailedItem) {
    makeTree(mainDir(), "locked/f=new\nok=1\n");
    makeTree(mirrorDir(), "locked/stale=old\n");
    ::chmod(dir.path().c_str(), 0755);
    const std::string cmd = "chown -R 65534:65534 '" + dir.path() + "'";
    if (::geteuid() == 0) {
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    ::chmod(mirrorPath("locked").c_str(), 0);
    const int status = testsupport::runUnprivileged([&] {
        carryOut(plan());
        const bool failed = run.failedCount() == 1;
        const bool logged = logText().find("cannot be listed") != std::string::npos;
        // Nothing is done to the folder either: its bits are not "repaired".
        struct stat locked {};
        const bool untouched =
            ::stat(mirrorPath("locked").c_str(), &locked) == 0 && (locked.st_mode & 07777) == 0;
        return (failed ? 0 : 1) | (logged ? 0 : 2) | (readFile(mirrorPath("ok")) == "1" ? 0 : 4) |
               (untouched ? 0 : 8);
    });
    ::chmod(mirrorPath("locked").c_str(), 0755);
    EXPECT_EQ(status, 0);
}

// lost+found belongs to the file system: at the top of a mounted main or
// mirror folder it is never planned (an ordinary user would otherwise get a
// skip, and exit status 1, on every run).
TEST_F(SafetyTest, LostAndFoundAtTheTopOfMountedFoldersIsNeverPlanned) {
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        for (const std::string& root : {mainDir(), mirrorDir()}) {
            if (::mount("tmpfs", root.c_str(), "tmpfs", 0, "size=1m") != 0) {
                return std::string("mount: ") + std::strerror(errno);
            }
            makeTree(root, "lost+found/old=1\n");
            ::chmod((root + "/lost+found").c_str(), 0);
        }
        makeTree(mainDir(), "a=1\nsub/lost+found/x=1\n");
        const auto lines = planLines();
        testsupport::Failures failures;
        for (const std::string& line : lines) {
            failures.check(line.find("mirror/lost+found") == std::string::npos &&
                               line.find("main/lost+found") == std::string::npos,
                           "planned: " + line);
        }
        failures.check(planHas(lines, "[Create file]mirror/sub/lost+found/x"),
                       "a lost+found below the top is an ordinary folder");
        return failures.text();
    });
}

}  // namespace
