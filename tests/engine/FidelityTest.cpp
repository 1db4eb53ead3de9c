#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/RunStarter.h"
#include "engine/TaskRun.h"
#include "engine/TimePrecisionMemory.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/posix/FileOpsInternal.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;

namespace {

// Runs of one task through buildPlan, as the front ends start them.
class FidelityTest : public EngineFixture {
protected:
    FidelityTest()
        : clock(platform::makeDateTime(2026, 2, 3, 9, 5, 7)),
          log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock),
          memory(dir / "time-precisions") {
        run.setLog(&log);
        run.setSimulationDelay(std::chrono::milliseconds(0));
        policy.setFlags(0x01101111);
    }
    ~FidelityTest() override { platform::detail::fileOpsSeam() = {}; }

    std::unique_ptr<FileItemList> planFor(bool forRun) {
        PlanOutcome outcome = buildPlan(task, 100, {forRun, &memory});
        EXPECT_TRUE(outcome.plan) << outcome.failure;
        return std::move(outcome.plan);
    }
    // A preview: writes nothing, judges by what was learned.
    std::vector<std::string> previewLines() { return linesOf(*planFor(false)); }
    // The plan a real run would carry out (it may learn by writing).
    std::vector<std::string> runPlanLines() { return linesOf(*planFor(true)); }

    void runOnce(bool simulate = false) {
        run.setPlan(planFor(!simulate));
        run.start(simulate);
        run.wait();
    }

    platform::FixedClock clock;
    AppLog log;
    TimePrecisionMemory memory;
    TaskRun run;
};

ino_t inodeOf(const std::string& path) {
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st.st_ino;
}

std::string keyOf(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string key = fd >= 0 ? platform::fileSystemKey(fd) : std::string();
    if (fd >= 0) {
        ::close(fd);
    }
    return key;
}

// A mirror on an ext4 file system with 128-byte inodes, which keeps whole
// seconds although the mount table calls it ext4. Loop-mounted, so it needs
// root.
class WholeSecondMirrorTest : public FidelityTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "loop-mounting an ext4 image needs root";
        }
        const std::string image = dir / "ext4.img";
        const std::string make = "truncate -s 16M '" + image + "' && mkfs.ext4 -q -F -I 128 '" +
                                 image + "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" +
                                 mirrorDir() + "' 2>/dev/null";
        if (std::system(make.c_str()) != 0) {
            GTEST_SKIP() << "no ext4 image could be loop-mounted here (mkfs.ext4 or loop "
                            "devices missing)";
        }
        mounted = true;
        ::rmdir(mirrorPath("lost+found").c_str());
    }
    void TearDown() override {
        if (mounted) {
            ::umount2(mirrorDir().c_str(), MNT_DETACH);
        }
    }
    bool mounted = false;
};

}  // namespace

// Every main time has nanoseconds the mirror drops. Copies must not look
// changed on the next run, nor in a preview once a real run has learned what
// the file system keeps; a preview writes nothing to learn it.
TEST_F(WholeSecondMirrorTest, DroppedNanosecondsNeverCopyAgain) {
    makeTree(mainDir(), "a=1\nsub/b=2\n");
    testsupport::setWriteTime(mainPath("a"), 1700000000, 999999999);
    testsupport::setWriteTime(mainPath("sub/b"), 1700000001, 1);

    // Nothing learned and nothing written yet: the preview goes by the mount
    // table, which calls the file system ext4. The mirror stays untouched.
    makeTree(mirrorDir(), "a=1\n");
    testsupport::setWriteTime(mirrorPath("a"), 1700000000);
    EXPECT_THAT(previewLines(),
                UnorderedElementsAre("[Update file]mirror/a", "[Create directory]mirror/sub",
                                     "[Create file]mirror/sub/b"));
    EXPECT_EQ(memory.find(keyOf(mirrorDir())), std::nullopt);

    // A real run learns before its first copy, so the equal file stays.
    runOnce();
    EXPECT_EQ(run.doneCount(), 2);
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(memory.find(keyOf(mirrorDir())), std::uint64_t{10000000});
    EXPECT_THAT(runPlanLines(), IsEmpty());
    // A fresh memory read from the file serves the next preview.
    TimePrecisionMemory reread(dir / "time-precisions");
    EXPECT_EQ(reread.find(keyOf(mirrorDir())), std::uint64_t{10000000});
    EXPECT_THAT(previewLines(), IsEmpty());

    // A real change of a second or more is still seen.
    testsupport::setWriteTime(mainPath("a"), 1700000002, 0);
    EXPECT_THAT(previewLines(), ElementsAre("[Update file]mirror/a"));
}

// A mirror folder the run makes was not there to learn from when the plan
// was made: the run learns it for the previews to come.
TEST_F(WholeSecondMirrorTest, ARunLearnsOfAMirrorItMakes) {
    task.folderList.item(0).mirror = mirrorPath("new");
    makeTree(mainDir(), "a=1\n");
    testsupport::setWriteTime(mainPath("a"), 1700000000, 5);
    runOnce(true);  // a simulation learns nothing
    EXPECT_EQ(memory.find(keyOf(mirrorDir())), std::nullopt);
    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_EQ(memory.find(keyOf(mirrorDir())), std::uint64_t{10000000});
    EXPECT_THAT(previewLines(), IsEmpty());
}

TEST(TimePrecisionMemory, KeepsWhatItLearnedAcrossReadsAndIgnoresDamage) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "memory", "ext4:1 10000000\ngarbage\nvfat:2 0\n");
    TimePrecisionMemory memory(dir / "memory");
    EXPECT_EQ(memory.find("ext4:1"), std::uint64_t{10000000});
    EXPECT_EQ(memory.find("vfat:2"), std::nullopt);
    memory.remember("tmpfs:3", 1);
    memory.remember("with blank", 1);
    TimePrecisionMemory reread(dir / "memory");
    EXPECT_EQ(reread.find("tmpfs:3"), std::uint64_t{1});
    EXPECT_EQ(reread.find("ext4:1"), std::uint64_t{10000000});
    EXPECT_EQ(reread.find("with blank"), std::nullopt);
}

// What a run reports done is on the drive: each mirror's file system is
// flushed once at the end of a real run, and a flush that fails fails the run.
TEST_F(FidelityTest, ARunFlushesEachMirrorAndAFailedFlushIsAFailure) {
    const struct {
        const char* name;
        bool simulate;
        int flushError;
        int flushes;
        int failed;
    } rows[] = {
        {"a real run flushes its mirror", false, 0, 1, 0},
        {"a flush that fails is a failure", false, EIO, 1, 1},
        {"a simulation writes nothing and flushes nothing", true, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::removeTree(mirrorDir());
        testsupport::makeDirs(mirrorDir());
        makeTree(mainDir(), "a=1\n");
        int flushes = 0;
        platform::detail::fileOpsSeam().flush = [&](int) {
            ++flushes;
            return row.flushError;
        };
        runOnce(row.simulate);
        platform::detail::fileOpsSeam().flush = nullptr;
        EXPECT_EQ(flushes, row.flushes);
        EXPECT_EQ(run.failedCount(), row.failed);
        EXPECT_EQ(run.doneCount(), 1);
        if (row.failed != 0) {
            ASSERT_EQ(run.problems().size(), 1U);
            EXPECT_THAT(run.problems()[0].reason, HasSubstr("could not be flushed"));
        }
    }
}

// An included folder is copied with its content, entry by entry under the
// task's rules and exclusions, gets its own bits and time once its content is
// in place, and a second run plans nothing.
TEST_F(FidelityTest, IncludedFoldersCarryTheirContent) {
    for (const char* spelling : {"outside/photos", "outside/photos/"}) {
        SCOPED_TRACE(spelling);
        testsupport::removeTree(mirrorDir());
        testsupport::makeDirs(mirrorDir());
        testsupport::removeTree(dir / "outside");
        makeTree(dir / "outside", "photos/a.jpg=A\nphotos/deep/b.jpg=B\nphotos/skip.tmp=x\n");
        ASSERT_EQ(::chmod((dir / "outside/photos").c_str(), 0750), 0);
        testsupport::setWriteTime(dir / "outside/photos", 1600000000, 7);
        task.include.clearFiles();
        task.include.addFile(dir / spelling);
        task.exclude.setFileTypes("tmp");
        makeTree(mainDir(), "m=1\n");

        runOnce();
        EXPECT_EQ(run.failedCount(), 0);
        const std::string copy = mirrorPath("<T_append>/photos");
        EXPECT_EQ(readFile(copy + "/a.jpg"), "A");
        EXPECT_EQ(readFile(copy + "/deep/b.jpg"), "B");
        EXPECT_FALSE(pathExists(copy + "/skip.tmp"));
        struct stat st = {};
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0750U);
        EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
        // Excluded entries show in every plan, as in the task's folders.
        EXPECT_THAT(runPlanLines(), ElementsAre("[Exclude]outside/photos/skip.tmp"));

        testsupport::writeFile(dir / "outside/photos/deep/b.jpg", "changed");
        EXPECT_THAT(runPlanLines(),
                    UnorderedElementsAre("[Update file]mirror/<T_append>/photos/deep/b.jpg",
                                         "[Exclude]outside/photos/skip.tmp"));
    }
}

namespace {

// Runs a shell command in `folder`; its standard output, or "failed".
std::string shellIn(const std::string& folder, const std::string& command) {
    const std::string line = "cd '" + folder + "' && " + command + " 2>/dev/null";
    std::string out;
    if (std::FILE* pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
            out.append(buffer, n);
        }
        if (::pclose(pipe) != 0) {
            return "failed";
        }
        return out;
    }
    return "failed";
}

// Every user. attribute and ACL of a tree, hex-encoded, by relative path.
std::string attributeDump(const std::string& folder) {
    return shellIn(folder,
                   "getfattr -R -h -e hex -d -m '^(user\\.|system\\.posix_acl_)' . | "
                   "grep -v '<T_append>'");
}

}  // namespace

// User attributes and ACLs (access and default) go with files and folders,
// and a change of them alone reaches the mirror without copying content.
TEST_F(FidelityTest, UserAttributesAndAclsAreCarriedLikePermissionBits) {
    makeTree(mainDir(), "tagged=t\nacl=a\nshared/in=i\nplain=p\n");
    if (shellIn(mainDir(),
                "setfattr -n user.tag -v red tagged && "
                "setfattr -n user.rating -v 5 tagged && "
                "setfacl -m u:65534:r acl && "
                "setfacl -m u:65534:rwx shared && setfacl -d -m u:65534:rx shared") == "failed") {
        GTEST_SKIP() << "setfattr or setfacl missing, or the file system refuses user "
                        "attributes or ACLs";
    }
    if (shellIn(mirrorDir(),
                "touch probe && setfattr -n user.x -v 1 probe && "
                "setfacl -m u:65534:r probe && rm probe") == "failed") {
        GTEST_SKIP() << "the mirror's file system refuses user attributes or ACLs";
    }
    runOnce();
    EXPECT_EQ(run.failedCount(), 0);
    EXPECT_NE(attributeDump(mainDir()), "failed");
    EXPECT_THAT(attributeDump(mainDir()), HasSubstr("user.tag"));
    EXPECT_EQ(attributeDump(mirrorDir()), attributeDump(mainDir()));
    EXPECT_THAT(runPlanLines(), IsEmpty());

    const struct {
        const char* name;
        const char* change;  // run in main
        const char* planned;
    } rows[] = {
        {"a changed value", "setfattr -n user.tag -v blue tagged", "[Update file]mirror/tagged"},
        {"a removed attribute", "setfattr -x user.rating tagged", "[Update file]mirror/tagged"},
        {"a new attribute", "setfattr -n user.origin -v web plain", "[Update file]mirror/plain"},
        {"a removed ACL", "setfacl -b acl", "[Update file]mirror/acl"},
        {"a new ACL", "setfacl -m g:65534:rw plain", "[Update file]mirror/plain"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(shellIn(mainDir(), row.change), "failed");
        const ino_t before = inodeOf(mirrorPath(row.planned + std::strlen("[Update file]mirror/")));
        EXPECT_THAT(runPlanLines(), ElementsAre(row.planned));
        runOnce();
        EXPECT_EQ(run.failedCount(), 0);
        EXPECT_EQ(attributeDump(mirrorDir()), attributeDump(mainDir()));
        // Carried in place: the same file, not a new copy.
        EXPECT_EQ(inodeOf(mirrorPath(row.planned + std::strlen("[Update file]mirror/"))), before);
        EXPECT_THAT(runPlanLines(), IsEmpty());
    }
}
