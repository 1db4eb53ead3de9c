#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/VersionFiles.h"
#include "support/MountNamespace.h"
#include "support/SysFault.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"
#include "versions/Versions.h"

using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

struct stat lstatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

// A function, not a constant: the clock's tables are set up at start-up too.
platform::DateTime start() {
    return platform::makeDateTime(2026, 3, 4, 5, 6, 7);
}

std::vector<std::string> paths(const std::vector<versions::KeptVersion>& list) {
    std::vector<std::string> out;
    for (const auto& v : list) {
        out.push_back(v.run + "|" + v.path);
    }
    return out;
}

class VersionsTest : public ::testing::Test {
protected:
    testsupport::TempDir m_tmp;
    std::string m_root = m_tmp / "kept";
    std::string mirror(const std::string& name) const { return m_tmp / ("mirror/" + name); }
};

}  // namespace

TEST(VersionNames, RunFoldersAndNumberedNamesReadBack) {
    EXPECT_EQ(versions::runFolderName(start()), "2026-03-04 050607");
    EXPECT_EQ(versions::runFolderTime("2026-03-04 050607"), start());
    EXPECT_EQ(versions::runFolderTime("2026-03-04 050607-2"), start());
    for (const char* other : {"notes", "2026-03-04 050607-", "2026-13-04 050607",
                              "2026-03-04_050607", "2026-03-04 0506", "2026-03-04 050607 (2)"}) {
        EXPECT_FALSE(versions::runFolderTime(other).has_value()) << other;
    }
    EXPECT_EQ(versions::pairFolderName(0, "/backup/docs/"), "1-docs");
    EXPECT_EQ(versions::pairFolderName(2, "/"), "3-root");
    EXPECT_EQ(versions::unnumbered("a.txt.~2~"), "a.txt");
    EXPECT_EQ(versions::unnumbered("a.txt.~12~"), "a.txt");
    for (const char* plain : {"a.txt", "a.~1~", "a.~02~", "a.~x~", ".~2~", "a~"}) {
        EXPECT_EQ(versions::unnumbered(plain), plain);
    }
}

TEST_F(VersionsTest, KeepMovesFilesIntoPrivateRunFoldersWithoutReplacing) {
    makeTree(m_tmp.path(), "mirror/d/a=old a\nmirror/d/sub/b=old b\nmirror/link->d/a\n");
    ASSERT_EQ(::chmod(mirror("d/a").c_str(), 0640), 0);
    testsupport::setWriteTime(mirror("d/a"), 1000000000, 123456789);
    const ino_t inode = lstatOf(mirror("d/a")).st_ino;
    const mode_t oldMask = ::umask(0);

    versions::RunKeeper keeper(m_root, start());
    EXPECT_EQ(keeper.runFolder(), "") << "nothing made before a file is kept";
    EXPECT_FALSE(pathExists(m_root));
    ASSERT_TRUE(keeper.keepEntry("1-mirror", mirror(""), "d/a").ok());
    ASSERT_TRUE(keeper.keepEntry("1-mirror", mirror(""), "link").ok());
    ::umask(oldMask);

    const std::string run = m_root + "/2026-03-04 050607";
    const std::string kept = run + "/1-mirror/d/a";
    EXPECT_FALSE(pathExists(mirror("d/a")));
    EXPECT_EQ(readFile(kept), "old a");
    const struct stat st = lstatOf(kept);
    EXPECT_EQ(st.st_ino, inode) << "same file system: a rename, no copy";
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_TRUE(S_ISLNK(lstatOf(run + "/1-mirror/link").st_mode));
    for (const std::string& folder : {m_root, run, run + "/1-mirror", run + "/1-mirror/d"}) {
        EXPECT_EQ(lstatOf(folder).st_mode & 0777, 0700u) << folder;
    }

    // A second run of the same second gets its own folder; a taken name in
    // one run folder gets a number and replaces nothing.
    writeFile(mirror("d/a"), "newer a");
    versions::RunKeeper again(m_root, start());
    ASSERT_TRUE(again.keepEntry("1-mirror", mirror(""), "d/a").ok());
    EXPECT_EQ(again.runFolder(), "2026-03-04 050607-2");
    writeFile(mirror("d/a"), "newest a");
    ASSERT_TRUE(again.keepEntry("1-mirror", mirror(""), "d/a").ok());
    EXPECT_EQ(readFile(m_root + "/2026-03-04 050607-2/1-mirror/d/a"), "newer a");
    EXPECT_EQ(readFile(m_root + "/2026-03-04 050607-2/1-mirror/d/a.~2~"), "newest a");
    EXPECT_EQ(readFile(kept), "old a");

    // A link on the way is never followed, and what is gone is no failure.
    ASSERT_EQ(::symlink(mirror("d").c_str(), mirror("via").c_str()), 0);
    EXPECT_EQ(again.keepEntry("1-mirror", mirror(""), "via/sub/b").error, ELOOP);
    EXPECT_TRUE(pathExists(mirror("d/sub/b")));
    EXPECT_TRUE(again.keepEntry("1-mirror", mirror(""), "none/x").ok());
}

TEST_F(VersionsTest, KeepTreeMovesEveryFileInPlaceAndLeavesWhatMustStay) {
    makeTree(m_tmp.path(),
             "mirror/d/x=1\nmirror/d/s/y=2\nmirror/d/s/t/z=3\nmirror/d/stay.tmp=4\n"
             "mirror/d/skipped/w=5\nmirror/d/empty/\n");
    versions::RunKeeper keeper(m_root, start());
    const platform::KeepPredicate stay = [&](const std::string& path, const platform::FindRecord&) {
        return path.ends_with(".tmp") || path == mirror("d/skipped");
    };
    ASSERT_TRUE(keeper.keepEntry("2-m", mirror(""), "d", stay).ok());
    EXPECT_EQ(keeper.keptCount(), 3u);
    const std::string pair = m_root + "/2026-03-04 050607/2-m/";
    EXPECT_EQ(readFile(pair + "d/x"), "1");
    EXPECT_EQ(readFile(pair + "d/s/y"), "2");
    EXPECT_EQ(readFile(pair + "d/s/t/z"), "3");
    EXPECT_TRUE(pathExists(mirror("d/stay.tmp")));
    EXPECT_TRUE(pathExists(mirror("d/skipped/w")));
    EXPECT_TRUE(pathExists(mirror("d/s/t"))) << "folders stay for the deletion to remove";
    EXPECT_FALSE(pathExists(mirror("d/s/t/z")));
}

// What was kept is flushed before the run says it is done, once per drive:
// not when nothing was kept, not again when the mirror's flush covered it,
// and a flush that fails says so.
TEST_F(VersionsTest, KeptVersionsAreFlushedOnceAndAFailedFlushIsReported) {
    using testsupport::Fault;
    using testsupport::SysFault;
    makeTree(m_tmp.path(), "mirror/f=content\n");
    versions::RunKeeper keeper(m_root, start());
    {
        const auto flushes = SysFault::on<&testsupport::Sys::syncfs>(Fault::pass());
        EXPECT_TRUE(keeper.flush({}).ok());
        EXPECT_EQ(flushes.seen(), 0) << "nothing kept yet";
    }
    ASSERT_TRUE(keeper.keepEntry("1-mirror", mirror(""), "f").ok());
    platform::FileIdentity kept;
    {
        const int fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const bool known = platform::identityOf(fd, kept);
        ::close(fd);
        ASSERT_TRUE(known);
    }
    {
        const auto flushes = SysFault::on<&testsupport::Sys::syncfs>(Fault::pass());
        EXPECT_TRUE(keeper.flush({kept.device}).ok());
        EXPECT_EQ(flushes.seen(), 0) << "the drive was flushed already";
        EXPECT_TRUE(keeper.flush({kept.device + 1}).ok());
        EXPECT_EQ(flushes.seen(), 1);
    }
    const auto failing = SysFault::on<&testsupport::Sys::syncfs>(Fault::fail(EIO));
    const platform::OpResult result = keeper.flush({});
    EXPECT_EQ(result.error, EIO);
    EXPECT_NE(result.message.find("could not be flushed"), std::string::npos) << result.message;
}

TEST_F(VersionsTest, AnotherFileSystemGetsACopyThenTheOriginalGoes) {
    makeTree(m_tmp.path(), "mirror/f=content\n");
    ASSERT_EQ(::chmod(mirror("f").c_str(), 0604), 0);
    testsupport::setWriteTime(mirror("f"), 1500000000, 5);
    const std::string tmpfs = m_tmp / "other";
    testsupport::makeDirs(tmpfs);
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        testsupport::Failures failures;
        if (::mount("tmpfs", tmpfs.c_str(), "tmpfs", 0, "size=16m") != 0) {
            return std::string("mount tmpfs: ") + std::strerror(errno);
        }
        versions::RunKeeper keeper(tmpfs + "/kept", start());
        failures.check(keeper.keepEntry("1-mirror", mirror(""), "f").ok(), "kept");
        const std::string kept = tmpfs + "/kept/2026-03-04 050607/1-mirror/f";
        const struct stat st = lstatOf(kept);
        failures.check(pathExists(kept) && readFile(kept) == "content", "content copied");
        failures.check((st.st_mode & 07777) == 0604, "bits kept");
        failures.check(st.st_mtim.tv_sec == 1500000000 && st.st_mtim.tv_nsec == 5, "time kept");
        failures.check(!pathExists(mirror("f")), "original removed");
        return failures.text();
    });

    // The same path on one file system, for the numbering: a rename between
    // two folders answers as one between file systems does.
    makeTree(m_tmp.path(), "mirror/g=one\n");
    bool first = false;
    bool second = false;
    {
        const auto crossing = testsupport::SysFault::on<&testsupport::Sys::renameat2>(
            testsupport::Fault::fail(EXDEV).when([](const std::vector<std::string>& paths) {
                return paths.size() == 2 && std::string(platform::folderOf(paths[0])) !=
                                                std::string(platform::folderOf(paths[1]));
            }));
        versions::RunKeeper keeper(m_root, start());
        first = keeper.keepEntry("1-mirror", mirror(""), "g").ok();
        writeFile(mirror("g"), "two");
        second = keeper.keepEntry("1-mirror", mirror(""), "g").ok();
        EXPECT_EQ(crossing.hits(), 2);
    }
    ASSERT_TRUE(first && second);
    EXPECT_EQ(readFile(m_root + "/2026-03-04 050607/1-mirror/g"), "one");
    EXPECT_EQ(readFile(m_root + "/2026-03-04 050607/1-mirror/g.~2~"), "two");
    EXPECT_FALSE(pathExists(mirror("g")));
}

TEST_F(VersionsTest, PruningByAgeAndCountTouchesOnlyRunFolders) {
    // Three runs keep versions of a, one of them two in one second; the
    // folder also holds things that are not run folders.
    makeTree(m_root,
             "2026-01-01 000000/1-m/a=jan\n2026-01-01 000000/1-m/old/only=jan\n"
             "2026-02-01 000000/1-m/a=feb\n2026-02-01 000000/1-m/a.~2~=feb2\n"
             "2026-03-01 000000/1-m/d/a=mar d\n2026-03-01 000000/1-m/a=mar\n"
             "notes.txt=mine\n1999-01-01 000000 backup/x=mine\n2000-01-01 000000.txt=mine\n");
    platform::OpResult result;
    EXPECT_EQ(paths(versions::listVersions(m_root, result, "1-m/a")),
              (std::vector<std::string>{"2026-03-01 000000|1-m/a", "2026-02-01 000000|1-m/a",
                                        "2026-02-01 000000|1-m/a.~2~", "2026-01-01 000000|1-m/a"}));
    EXPECT_TRUE(result.ok());

    // By count: of a, the newest two stay (feb's second outranks its first).
    versions::PruneResult pruned = versions::prune(m_root, start(), 0, 2);
    EXPECT_TRUE(pruned.problems.empty());
    EXPECT_EQ(pruned.versionsRemoved, 2u);
    EXPECT_EQ(paths(versions::listVersions(m_root, result, "1-m/a")),
              (std::vector<std::string>{"2026-03-01 000000|1-m/a", "2026-02-01 000000|1-m/a.~2~"}));
    EXPECT_TRUE(pathExists(m_root + "/2026-01-01 000000/1-m/old/only"));

    // By age, with the fake clock: runs started more than 50 days before.
    const platform::DateTime now = platform::makeDateTime(2026, 3, 15, 12, 0, 0);
    pruned = versions::prune(m_root, now, 50, 0);
    EXPECT_EQ(pruned.runsRemoved, 1u);
    EXPECT_FALSE(pathExists(m_root + "/2026-01-01 000000"));
    EXPECT_TRUE(pathExists(m_root + "/2026-02-01 000000"));

    // Removing the last version of a run removes its emptied folders.
    pruned = versions::prune(m_root, now, 0, 1);
    EXPECT_EQ(pruned.versionsRemoved, 1u);
    EXPECT_FALSE(pathExists(m_root + "/2026-02-01 000000"));
    EXPECT_EQ(readFile(m_root + "/2026-03-01 000000/1-m/d/a"), "mar d");

    for (const char* mine : {"notes.txt", "1999-01-01 000000 backup/x", "2000-01-01 000000.txt"}) {
        EXPECT_EQ(readFile(m_root + "/" + mine), "mine") << mine;
    }
    EXPECT_EQ(versions::prune(m_tmp / "none", now, 1, 1).problems.size(), 0u);
}

// A run's pruner lists the earlier runs while the run still keeps files: what
// the run keeps meanwhile counts all the same, even when its folder, named to
// the second, is there before the listing starts (a run starting 0.6 s into
// a second).
TEST_F(VersionsTest, PrunerListingAheadCountsWhatTheRunKeepsMeanwhile) {
    makeTree(m_root,
             "2026-01-01 000000/1-m/a=jan\n2026-01-01 000000/1-m/deep/er/c=jan c\n"
             "2026-02-01 000000/1-m/a=feb\n2026-02-01 000000/1-m/deep/er/c=feb c\n"
             "2026-03-01 000000/1-m/b=mar b\n");
    const platform::DateTime runStart = platform::makeDateTime(2026, 3, 1, 0, 0, 0) + 0.6 / 86400.0;
    versions::Pruner pruner(m_root, 0, 2);
    pruner.listAhead(runStart);
    // Long enough for the listing to have passed the run's folder.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    makeTree(m_root, "2026-03-01 000000/1-m/a=mar\n2026-03-01 000000/1-m/deep/er/c=mar c\n");
    const versions::PruneResult pruned = pruner.prune(runStart);
    EXPECT_TRUE(pruned.problems.empty());
    EXPECT_EQ(pruned.versionsRemoved, 2u);
    // January's run held nothing else: it goes, folders and all.
    EXPECT_FALSE(pathExists(m_root + "/2026-01-01 000000"));
    platform::OpResult result;
    EXPECT_EQ(
        paths(versions::listVersions(m_root, result)),
        (std::vector<std::string>{"2026-03-01 000000|1-m/a", "2026-03-01 000000|1-m/b",
                                  "2026-03-01 000000|1-m/deep/er/c", "2026-02-01 000000|1-m/a",
                                  "2026-02-01 000000|1-m/deep/er/c"}));
}

TEST_F(VersionsTest, RestoreBringsBackTheNewestOrAChosenRunAndReplacesOnlyWhenAsked) {
    makeTree(m_root,
             "2026-01-01 000000/1-m/docs/a=jan a\n2026-01-01 000000/1-m/docs/sub/b=jan b\n"
             "2026-02-01 000000/1-m/docs/a=feb a\n2026-02-01 000000/1-m/docs/a.~2~=feb a2\n");
    testsupport::setWriteTime(m_root + "/2026-01-01 000000/1-m/docs/sub/b", 1234567890);
    platform::OpResult result;
    const auto all = versions::listVersions(m_root, result);

    const auto newest = versions::pickVersions(all, "1-m/docs");
    const std::string to = m_tmp / "restored";
    versions::RestoreResult restored =
        versions::restore(m_root, versions::restoreLayout(newest, "1-m/docs"), to, false);
    EXPECT_EQ(restored.restored, 2u);
    EXPECT_TRUE(restored.conflicts.empty() && restored.failures.empty());
    EXPECT_EQ(readFile(to + "/docs/a"), "feb a2");
    EXPECT_EQ(readFile(to + "/docs/sub/b"), "jan b");
    EXPECT_EQ(lstatOf(to + "/docs/sub/b").st_mtim.tv_sec, 1234567890);

    // The same file from a chosen run: it is there already, so it stays
    // unless replacing is asked for.
    const auto january = versions::pickVersions(all, "1-m/docs/a", "2026-01-01 000000");
    ASSERT_EQ(january.size(), 1u);
    writeFile(to + "/extra", "stays");
    restored = versions::restore(m_root, versions::restoreLayout(january, "1-m/docs/a"),
                                 to + "/docs", false);
    EXPECT_EQ(restored.conflicts, std::vector<std::string>{"a"});
    EXPECT_EQ(readFile(to + "/docs/a"), "feb a2");
    restored = versions::restore(m_root, versions::restoreLayout(january, "1-m/docs/a"),
                                 to + "/docs", true);
    EXPECT_EQ(restored.restored, 1u);
    EXPECT_EQ(readFile(to + "/docs/a"), "jan a");
    EXPECT_EQ(readFile(to + "/extra"), "stays");

    // A folder in the way is never replaced.
    testsupport::makeDirs(to + "/x/a");
    restored =
        versions::restore(m_root, versions::restoreLayout(january, "1-m/docs/a"), to + "/x", true);
    EXPECT_EQ(restored.failures.size(), 1u);
    EXPECT_TRUE(versions::pickVersions(all, "1-m/docs", "2027-01-01 000000").empty());
}

TEST_F(VersionsTest, APruningFailureIsReportedAndTheRestIsPruned) {
    makeTree(m_root, "2026-01-01 000000/1-m/locked/a=x\n2026-01-02 000000/1-m/b=y\n");
    const std::string locked = m_root + "/2026-01-01 000000/1-m/locked";
    ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
    // As root, only another user is refused: the tree then belongs to nobody.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(m_tmp.path().c_str(), 0755), 0);
        ASSERT_EQ(std::system(("chown -R 65534:65534 '" + m_root + "'").c_str()), 0);
    }
    const int status = testsupport::runUnprivileged([&] {
        const versions::PruneResult pruned =
            versions::prune(m_root, platform::makeDateTime(2026, 3, 1), 7, 0);
        if (pruned.problems.size() != 1 ||
            pruned.problems.front().find("2026-01-01 000000") == std::string::npos) {
            return 1;
        }
        return pruned.runsRemoved == 1 && !pathExists(m_root + "/2026-01-02 000000") ? 0 : 2;
    });
    ::chmod(locked.c_str(), 0700);
    EXPECT_EQ(status, 0) << "1 the failure not reported, 2 the other run not pruned";
    EXPECT_TRUE(pathExists(locked + "/a"));
}
