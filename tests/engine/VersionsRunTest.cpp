#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "versions/Versions.h"

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// A task keeping versions in the default folder inside its mirror, with
// deletions on (to the trash, which versions replace).
class VersionsRunTest : public EngineFixture {
protected:
    VersionsRunTest()
        : clock(platform::makeDateTime(2026, 2, 3, 9, 5, 7)),
          log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock) {
        run.setLog(&log);
        run.setClock(&clock);
        run.setSimulationDelay(std::chrono::milliseconds(0));
        policy.setFlags(0x01101111);
        task.versions.enabled = true;
    }

    void runOnce(bool simulate = false) {
        log.configureForRun(true, dir / "task.log");
        run.setPlan(plan());
        run.start(simulate);
        run.wait();
    }

    std::string kept(const std::string& runFolder, const std::string& relative) const {
        return mirrorPath(".twinfold-versions/" + runFolder + "/1-mirror/" + relative);
    }
    std::string logText() const {
        const std::string path = dir / "task.log";
        return pathExists(path) ? readFile(path) : std::string();
    }

    platform::FixedClock clock;
    AppLog log;
    TaskRun run;
};

}  // namespace

TEST_F(VersionsRunTest, ReplacedAndDeletedFilesAreKeptInTheirPlaces) {
    makeTree(mainDir(), "a=new a\nd/b=b\nkeep=k\n");
    makeTree(mirrorDir(),
             "a=old a\nd/b=b\nkeep=k\ngone=old gone\nold/x=1\nold/s/y=2\nold/s/z.tmp=t\n");
    testsupport::setWriteTime(mirrorPath("a"), 1000, 0);
    task.exclude.setFileTypes("tmp");
    runOnce();
    EXPECT_EQ(run.failedCount(), 0);

    const std::string at = "2026-02-03 090507";
    EXPECT_EQ(readFile(mirrorPath("a")), "new a");
    EXPECT_EQ(readFile(kept(at, "a")), "old a");
    struct stat st {};
    ASSERT_EQ(::lstat(kept(at, "a").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000);
    EXPECT_EQ(readFile(kept(at, "gone")), "old gone");
    EXPECT_EQ(readFile(kept(at, "old/x")), "1");
    EXPECT_EQ(readFile(kept(at, "old/s/y")), "2");
    EXPECT_FALSE(pathExists(mirrorPath("gone")));
    EXPECT_FALSE(pathExists(mirrorPath("old/x")));
    EXPECT_EQ(readFile(mirrorPath("old/s/z.tmp")), "t") << "excluded entries stay";
    EXPECT_FALSE(pathExists(kept(at, "keep"))) << "unchanged files are not kept";
    EXPECT_THAT(logText(), HasSubstr("[Keep version]"));

    // The versions folder in the mirror is never planned, even with
    // deletions on, and is no part of the mirror's count.
    clock.advanceSeconds(60);
    const auto list = plan();
    EXPECT_THAT(linesOf(*list), Not(::testing::Contains(HasSubstr(".twinfold-versions"))));
    EXPECT_EQ(list->pairs.at(0).mirrorEntries, 7) << "a d d/b keep old old/s old/s/z.tmp";
}

TEST_F(VersionsRunTest, SimulationLogsWhatItWouldKeepAndMovesNothing) {
    makeTree(mainDir(), "a=new\n");
    makeTree(mirrorDir(), "a=old\ngone=x\n");
    testsupport::setWriteTime(mirrorPath("a"), 1000, 0);
    runOnce(true);
    EXPECT_EQ(readFile(mirrorPath("a")), "old");
    EXPECT_TRUE(pathExists(mirrorPath("gone")));
    EXPECT_FALSE(pathExists(mirrorPath(".twinfold-versions")));
    EXPECT_THAT(logText(), HasSubstr("[Keep version]" + mirrorPath("gone")));
}

TEST_F(VersionsRunTest, ASuccessfulRunPrunesByAgeAndByCount) {
    task.versions.keepDays = 10;
    task.versions.keepVersions = 2;
    // Versions of earlier runs, one of them older than ten days; and a file
    // of the user's own in the versions folder.
    makeTree(mirrorDir(),
             ".twinfold-versions/2026-01-01 000000/1-mirror/a=january\n"
             ".twinfold-versions/2026-02-01 000000/1-mirror/a=feb 1\n"
             ".twinfold-versions/2026-02-02 000000/1-mirror/a=feb 2\n"
             ".twinfold-versions/readme=mine\na=current\n");
    makeTree(mainDir(), "a=newest\n");
    runOnce();
    ASSERT_EQ(run.failedCount(), 0);
    const std::string root = mirrorPath(".twinfold-versions/");
    EXPECT_FALSE(pathExists(root + "2026-01-01 000000")) << "older than ten days";
    EXPECT_FALSE(pathExists(root + "2026-02-01 000000")) << "third newest of a";
    EXPECT_EQ(readFile(root + "2026-02-02 000000/1-mirror/a"), "feb 2");
    EXPECT_EQ(readFile(kept("2026-02-03 090507", "a")), "current");
    EXPECT_EQ(readFile(root + "readme"), "mine");
}

TEST_F(VersionsRunTest, AKillBetweenTheTwoRenamesLosesNothing) {
    makeTree(mainDir(), "a=new\n");
    makeTree(mirrorDir(), "a=old\n");
    testsupport::setWriteTime(mirrorPath("a"), 1000, 0);
    // The child runs the task and dies right after the old file went into
    // the versions folder, before the new one takes its place.
    const pid_t pid = ::fork();
    if (pid == 0) {
        versions::RunKeeper::afterKeep = [] { ::raise(SIGKILL); };
        runOnce();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(readFile(kept("2026-02-03 090507", "a")), "old");
    EXPECT_FALSE(pathExists(mirrorPath("a"))) << "killed before the rename";

    // The next run copies the file again and keeps nothing more.
    clock.advanceSeconds(1);
    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(readFile(mirrorPath("a")), "new");
    EXPECT_FALSE(pathExists(mirrorPath(".twinfold-versions/2026-02-03 090508")));
}

TEST_F(VersionsRunTest, AVersionsFolderInsideTheMainFolderPlansOnlySkips) {
    makeTree(mainDir(), "a=new\n");
    makeTree(mirrorDir(), "a=old\n");
    task.versions.folder = mainPath(".versions");
    EXPECT_THAT(planLines(), ::testing::ElementsAre("[Skip]main"));
}

TEST_F(VersionsRunTest, AnEntryThatChangedKindAfterThePlanStaysAndFails) {
    makeTree(mainDir(), "keep=k\n");
    makeTree(mirrorDir(), "keep=k\nx=file\n");
    run.setPlan(plan());
    // The planned file became a folder with content of its own.
    ASSERT_EQ(::unlink(mirrorPath("x").c_str()), 0);
    makeTree(mirrorDir(), "x/inner=precious\n");
    log.configureForRun(true, dir / "task.log");
    run.start(false);
    run.wait();
    EXPECT_EQ(run.failedCount(), 1);
    EXPECT_EQ(readFile(mirrorPath("x/inner")), "precious");
    EXPECT_FALSE(pathExists(mirrorPath(".twinfold-versions")));
}

TEST_F(VersionsRunTest, APermissionChangeAloneIsCarriedInPlaceAndKeepsNoVersion) {
    makeTree(mainDir(), "script=same\n");
    runOnce();
    struct stat before {};
    ASSERT_EQ(::lstat(mirrorPath("script").c_str(), &before), 0);
    ASSERT_EQ(::chmod(mainPath("script").c_str(), 0700), 0);
    clock.advanceSeconds(60);
    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    struct stat after {};
    ASSERT_EQ(::lstat(mirrorPath("script").c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0700u);
    EXPECT_EQ(after.st_ino, before.st_ino) << "changed in place, not replaced";
    EXPECT_FALSE(pathExists(mirrorPath(".twinfold-versions")))
        << "nothing was replaced, so nothing is kept";
}
