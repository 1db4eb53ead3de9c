#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "support/Unprivileged.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;

namespace {

// Records every notification. Can hold the worker inside the update of a
// given item until released, to act between items deterministically.
class Recorder : public TaskRunObserver {
public:
    void onUpdate(const UpdateInfo* info) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_events.push_back("update " + std::to_string(info->doneCount()) + "/" +
                           std::to_string(info->totalCount()));
        m_changed.notify_all();
        if (info->doneCount() == holdAt) {
            m_changed.wait(lock, [this] { return m_released; });
        }
    }
    void onBegin() override { add("begin"); }
    void onEnd() override { add("end"); }
    void onPause(bool paused) override { add(paused ? "pause" : "resume"); }

    void waitFor(const std::string& event) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] {
            return std::find(m_events.begin(), m_events.end(), event) != m_events.end();
        });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    std::vector<std::string> events() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

    int holdAt = -1;

private:
    void add(std::string event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(event));
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_events;
    bool m_released = false;
};

class RunTest : public EngineFixture {
protected:
    RunTest()
        : clock(platform::makeDateTime(2026, 2, 3, 9, 5, 7)),
          log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock) {
        run.setLog(&log);
        run.setSimulationDelay(std::chrono::milliseconds(0));
        run.attach(&recorder);
        policy.setFlags(0x01101111);
    }

    // Plans the task and carries the plan out, waiting for the end.
    void runOnce(bool simulate = false) {
        run.setPlan(plan());
        run.start(simulate);
        run.wait();
    }

    std::string logText() { return pathExists(logPath()) ? readFile(logPath()) : std::string(); }
    std::string logPath() const { return dir / "task.log"; }

    platform::FixedClock clock;
    AppLog log;
    Recorder recorder;
    TaskRun run;
};

struct stat statOf(const std::string& path) {
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st;
}

}  // namespace

TEST_F(RunTest, MirrorsATreeSoThatAResyncFindsNothingToDo) {
    makeTree(mainDir(), "docs/a.txt=alpha\nb=\nlink->docs/a.txt\n-dash=d\n");
    testsupport::writeFile(mainPath("caf\xE9\nname"), "bytes");
    ::mkfifo(mainPath("pipe").c_str(), 0640);
    testsupport::setWriteTime(mainPath("docs/a.txt"), 1700000000, 123456789);
    makeTree(mirrorDir(), "stale/x=1\n");

    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(readFile(mirrorPath("docs/a.txt")), "alpha");
    EXPECT_EQ(readFile(mirrorPath("caf\xE9\nname")), "bytes");
    EXPECT_EQ(statOf(mirrorPath("docs/a.txt")).st_mtim.tv_nsec, 123456789);
    EXPECT_TRUE(S_ISLNK(statOf(mirrorPath("link")).st_mode));
    EXPECT_TRUE(S_ISFIFO(statOf(mirrorPath("pipe")).st_mode));
    EXPECT_FALSE(pathExists(mirrorPath("stale")));

    EXPECT_THAT(planLines(), ::testing::IsEmpty());
}

TEST_F(RunTest, ObserversSeeBeginEachItemAndEnd) {
    runOnce();  // empty plan
    EXPECT_THAT(recorder.events(), ElementsAre("begin", "end"));

    makeTree(mainDir(), "d/\nf=1\n");
    runOnce();
    EXPECT_THAT(recorder.events(),
                ElementsAre("begin", "end", "begin", "update 1/2", "update 2/2", "end"));
}

TEST_F(RunTest, SimulationLogsLikeARealRunAndChangesNothing) {
    makeTree(mainDir(), "new=1\n");
    makeTree(mirrorDir(), "old=1\n");
    log.configureForRun(true, logPath());
    runOnce(true);
    EXPECT_TRUE(pathExists(mirrorPath("old")));
    EXPECT_FALSE(pathExists(mirrorPath("new")));
    const std::string expected = "\n---BEGIN---\n02-03 09:05:07\t[Create file]" +
                                 mirrorPath("new") + "\n02-03 09:05:07\t[Delete file]" +
                                 mirrorPath("old") + "\n";
    EXPECT_EQ(logText(), expected);
    EXPECT_EQ(run.doneCount(), 2);

    log.configureForRun(true, logPath());
    runOnce(false);
    EXPECT_EQ(logText(), expected + expected);
    EXPECT_FALSE(pathExists(mirrorPath("old")));
}

TEST_F(RunTest, FailuresAreLoggedAndCountedAndNamesCannotForgeLines) {
    makeTree(mainDir(), "vanishing=1\nok=1\n");
    testsupport::writeFile(mainPath("evil\n02-03 09:05:07\t[Delete file]x"), "e");
    log.configureForRun(true, logPath());
    run.setPlan(plan());
    ::unlink(mainPath("vanishing").c_str());
    run.start(false);
    run.wait();
    EXPECT_EQ(run.failedCount(), 1);
    EXPECT_EQ(run.doneCount(), 2);
    const std::string text = logText();
    EXPECT_THAT(text, HasSubstr("[Error]" + mirrorPath("vanishing") + ": No such file"));
    EXPECT_THAT(text, HasSubstr("evil\\n02-03 09:05:07\\t[Delete file]x"));
    // Every line of the log is a begin marker or starts with a time stamp.
    std::istringstream lines(text);
    std::string line;
    int entries = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line == "---BEGIN---") {
            continue;
        }
        EXPECT_EQ(line.substr(0, 15), "02-03 09:05:07\t") << line;
        ++entries;
    }
    EXPECT_EQ(entries, 4);  // three items and one error line
}

TEST_F(RunTest, PauseAndAbortActBetweenItems) {
    makeTree(mainDir(), "a=1\nb=2\nc=3\n");
    recorder.holdAt = 1;
    run.setPlan(plan());
    run.start(false);
    recorder.waitFor("update 1/3");
    run.setPaused(true);  // takes effect before the second item
    recorder.release();
    recorder.waitFor("pause");
    run.setPaused(false);
    run.wait();
    // "resume" is told on this thread and may land before or after the
    // worker's next update; the items themselves keep their order.
    auto seen = recorder.events();
    seen.erase(std::remove(seen.begin(), seen.end(), "resume"), seen.end());
    EXPECT_THAT(seen,
                ElementsAre("begin", "update 1/3", "pause", "update 2/3", "update 3/3", "end"));
    EXPECT_EQ(run.doneCount(), 3);

    // Abort while paused: no further item is carried out.
    testsupport::removeTree(mirrorDir());
    testsupport::makeDirs(mirrorDir());
    Recorder second;
    second.holdAt = 1;
    TaskRun other;
    other.setLog(&log);
    other.attach(&second);
    other.setPlan(plan());
    other.start(false);
    second.waitFor("update 1/3");
    other.setPaused(true);
    second.release();
    other.abort();
    other.setPaused(false);
    EXPECT_EQ(other.doneCount(), 1);
    EXPECT_FALSE(other.isRunning());
    auto events = second.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), std::string("end")), 1);

    // A stale abort after the end does not stop the next run.
    other.abort();
    other.setPlan(plan());
    other.start(false);
    other.wait();
    EXPECT_EQ(other.doneCount(), 2);
}

TEST_F(RunTest, DeletedFoldersKeepTheirExcludedEntriesEvenIfTheTaskChangesMeanwhile) {
    makeTree(mainDir(), "keep=1\n");
    makeTree(mirrorDir(), "keep=1\nold/notes.txt=n\nold/save.bak=b\nold/sub/deep.bak=c\n");
    testsupport::setWriteTime(mainPath("keep"), 1700000000);
    testsupport::setWriteTime(mirrorPath("keep"), 1700000000);
    task.exclude.setFileTypes("bak");
    run.setPlan(plan());
    // The windows may edit the task while it runs: the run uses what the plan
    // captured.
    task.exclude.setFileTypes("");
    policy.setFlags(0);
    run.start(false);
    run.wait();
    EXPECT_FALSE(pathExists(mirrorPath("old/notes.txt")));
    EXPECT_TRUE(pathExists(mirrorPath("old/save.bak")));
    EXPECT_TRUE(pathExists(mirrorPath("old/sub/deep.bak")));
}

TEST_F(RunTest, NewFoldersCarryNoExcludedEntriesAndReadOnlyOnesGetTheirContent) {
    makeTree(mainDir(), "ro/file=1\nro/skip.bak=2\n");
    ::chmod(mainPath("ro").c_str(), 0555);
    task.exclude.setFileTypes("bak");
    ::chmod(dir.path().c_str(), 0755);
    const std::string cmd = "chown -R 65534:65534 '" + dir.path() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const int status = testsupport::runUnprivileged([&] {
        runOnce();
        const bool ok = run.failedCount() == 0 && readFile(mirrorPath("ro/file")) == "1" &&
                        !pathExists(mirrorPath("ro/skip.bak")) &&
                        (statOf(mirrorPath("ro")).st_mode & 07777) == 0555;
        return ok ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(RunTest, ALinkInTheMirrorToAFolderOutsideLeavesThatFolderAlone) {
    testsupport::TempDir outside;
    makeTree(outside.path(), "precious=keep me\n");
    ASSERT_EQ(::symlink(outside.path().c_str(), mirrorPath("sub").c_str()), 0);
    makeTree(mainDir(), "sub/precious=new\n");
    // The mirror's "sub" is a link: it is replaced by a folder, and nothing
    // passes through it.
    policy.setFlags(0x00101111);
    runOnce();
    EXPECT_EQ(readFile(outside / "precious"), "keep me");
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(readFile(mirrorPath("sub/precious")), "new");
}

TEST_F(RunTest, LeftoversOfAKilledRunGoForGoodInTheNextRealRun) {
    const std::string leftover = mirrorPath("sub/.twinfold-partial-0123456789abcdef");
    makeTree(mainDir(), "sub/a=1\nsub/.twinfold-partial-x=mine\n");
    makeTree(mirrorDir(), "sub/.twinfold-partial-0123456789abcdef=half\n");
    policy.setFlags(0x01101111 | 0x01000000);  // even when deletes go to the trash
    runOnce(true);
    EXPECT_TRUE(pathExists(leftover));
    runOnce(false);
    EXPECT_FALSE(pathExists(leftover));
    EXPECT_EQ(readFile(mirrorPath("sub/.twinfold-partial-x")), "mine");  // not one of ours
    EXPECT_EQ(readFile(mirrorPath("sub/a")), "1");
}

// A mirror on a FAT file system (through FUSE, so the test needs no kernel
// module): it keeps last-write times in steps of two seconds and ignores
// letter case in names.
class FatMirrorTest : public RunTest {
protected:
    void SetUp() override {
        // Anyone but root mounts through the set-user-ID fusermount, which
        // needs the FUSE device to be open to them.
        if (::geteuid() != 0 && ::access("/dev/fuse", R_OK | W_OK) != 0) {
            GTEST_SKIP() << "/dev/fuse is not readable and writable for this user, so "
                            "fusefat cannot mount the FAT image";
        }
        // mkfs.vfat lives in sbin, which an ordinary user's PATH leaves out.
        const std::string image = dir / "fat.img";
        const std::string make = "PATH=\"$PATH:/usr/sbin:/sbin\" && truncate -s 16M '" + image +
                                 "' && mkfs.vfat '" + image + "' >/dev/null && fusefat -o rw+ '" +
                                 image + "' '" + mirrorDir() + "' >/dev/null";
        ASSERT_EQ(std::system(make.c_str()), 0) << "needs dosfstools and fusefat";
        mounted = true;
    }
    void TearDown() override {
        if (mounted && ::umount2(mirrorDir().c_str(), MNT_DETACH) != 0) {
            const std::string unmount = "fusermount -u -z '" + mirrorDir() + "'";
            EXPECT_EQ(std::system(unmount.c_str()), 0);
        }
    }
    bool mounted = false;
};

TEST_F(FatMirrorTest, CoarseTimesAndRenamedCaseDoNotCopyOrDeleteAgain) {
    makeTree(mainDir(), "Photos/a.jpg=picture\nnotes.txt=n\n");
    testsupport::setWriteTime(mainPath("Photos/a.jpg"), 1700000001, 500000000);
    testsupport::setWriteTime(mainPath("notes.txt"), 1700000003, 999999999);
    runOnce();
    ASSERT_EQ(run.failedCount(), 0);
    EXPECT_EQ(readFile(mirrorPath("Photos/a.jpg")), "picture");
    // The mirror's times are coarser: the next run must not copy again.
    EXPECT_THAT(planLines(), ::testing::IsEmpty());

    // The user renames the folder's case in main: the mirror's entry is the
    // same one, and must be neither deleted nor copied again.
    ASSERT_EQ(::rename(mainPath("Photos").c_str(), mainPath("photos").c_str()), 0);
    EXPECT_THAT(planLines(), ::testing::IsEmpty());
    runOnce();
    EXPECT_EQ(readFile(mirrorPath("Photos/a.jpg")), "picture");

    // A real change is still seen.
    testsupport::writeFile(mainPath("notes.txt"), "m");
    testsupport::setWriteTime(mainPath("notes.txt"), 1700000009);
    EXPECT_THAT(planLines(), ElementsAre("[Update file]mirror/notes.txt"));
}

// Some FUSE FAT implementations give a renamed file the current time, in
// their cache only until the file system is mounted again. Read after a new
// mount, past every attribute cache, the copies keep main's times.
TEST_F(FatMirrorTest, CopiedTimesSurviveANewMount) {
    makeTree(mainDir(), "a=1\nsub/b=2\n");
    testsupport::setWriteTime(mainPath("a"), 1600000000, 0);
    testsupport::setWriteTime(mainPath("sub/b"), 1600000003, 0);
    runOnce();
    ASSERT_EQ(run.failedCount(), 0);
    ASSERT_EQ(::umount2(mirrorDir().c_str(), 0), 0) << errno;
    const std::string mount =
        "fusefat -o rw+ '" + (dir / "fat.img") + "' '" + mirrorDir() + "' >/dev/null";
    ASSERT_EQ(std::system(mount.c_str()), 0);
    EXPECT_EQ(statOf(mirrorPath("a")).st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(statOf(mirrorPath("sub/b")).st_mtim.tv_sec, 1600000002);  // FAT's 2-second step
    EXPECT_THAT(planLines(), ::testing::IsEmpty());
}

// FAT keeps no user attributes nor ACLs: they are dropped without a
// failure, and the next run does not try again.
TEST_F(FatMirrorTest, AttributesTheMirrorCannotKeepAreDroppedSilently) {
    makeTree(mainDir(), "tagged=t\n");
    if (std::system(
            ("setfattr -n user.tag -v red '" + mainPath("tagged") + "' 2>/dev/null").c_str()) !=
        0) {
        GTEST_SKIP() << "setfattr missing, or main's file system refuses user attributes";
    }
    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(readFile(mirrorPath("tagged")), "t");
    EXPECT_THAT(planLines(), ::testing::IsEmpty());
}

// main's `dup` and `DUP` are one name on the mirror: copied both, each would
// overwrite the other on every run. The first in byte order is mirrored, the
// other is a failed item, and a second run plans nothing new.
TEST_F(FatMirrorTest, NamesDifferingInCaseOnlyDoNotOverwriteEachOther) {
    makeTree(mainDir(), "DUP=upper\ndup=lower\nDir/a=1\ndir/b=2\n");
    log.configureForRun(true, logPath());
    runOnce();
    EXPECT_EQ(run.failedCount(), 2);
    EXPECT_EQ(readFile(mirrorPath("DUP")), "upper");
    EXPECT_EQ(readFile(mirrorPath("Dir/a")), "1");
    EXPECT_THAT(logText(), HasSubstr("another entry of the same name in other letter case"));
    EXPECT_THAT(planLines(), ::testing::UnorderedElementsAre("[Skip]main/dup", "[Skip]main/dir"));
    runOnce();
    EXPECT_EQ(run.doneCount(), 0);
    EXPECT_EQ(readFile(mirrorPath("DUP")), "upper");
}
