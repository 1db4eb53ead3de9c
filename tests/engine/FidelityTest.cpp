#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "support/Unprivileged.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;

namespace {

constexpr std::uint32_t kDeleteForGood = 0x00101111;
constexpr std::uint32_t kDeleteToTrash = 0x01101111;
constexpr std::uint32_t kNoDelete = 0x00000111;

struct stat statOf(const std::string& path) {
    struct stat st = {};
    ::lstat(path.c_str(), &st);
    return st;
}

unsigned modeOf(const std::string& path) {
    return statOf(path).st_mode & 07777;
}

bool isRoot() {
    return ::geteuid() == 0;
}

// The desktop's trash of this test process, away from the real one; set
// before the first deletion to the trash reads (and caches) it.
const std::string& trashFiles() {
    static const struct Home {
        testsupport::TempDir dir;
        std::string files;
        Home() {
            ::setenv("HOME", dir.path().c_str(), 1);
            ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
            files = dir / "data/Trash/files";
        }
    } home;
    return home.files;
}

// Keeps what an update saw of the mirror while the run went on.
class Watcher : public TaskRunObserver {
public:
    std::function<void()> onEach;
    void onUpdate(const UpdateInfo*) override {
        if (onEach) {
            onEach();
        }
    }
    void onBegin() override {}
    void onEnd() override {}
    void onPause(bool) override {}
};

class FidelityTest : public EngineFixture {
protected:
    FidelityTest()
        : clock(platform::makeDateTime(2026, 2, 3, 9, 5, 7)),
          log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock) {
        trashFiles();
        run.setLog(&log);
        run.attach(&watcher);
        policy.setFlags(kDeleteForGood);
    }

    void runOnce() {
        run.setPlan(plan());
        run.start(false);
        run.wait();
    }

    std::vector<std::string> repairs() {
        std::vector<std::string> lines;
        const auto list = plan();
        for (const std::string& path : list->pairs.at(0).folderRepairs) {
            lines.push_back(path.substr(dir.path().size() + 1));
        }
        return lines;
    }

    // Runs `body` as nobody over a test folder nobody owns; as an ordinary
    // user, as that user. `body` returns an empty text or what went wrong.
    void asNobody(const std::function<std::string()>& body, bool chownAll = true) {
        ::chmod(dir.path().c_str(), 0755);
        const std::string own = "chown -R 65534:65534 '" + dir.path() + "'";
        if (isRoot() && chownAll) {
            ASSERT_EQ(std::system(own.c_str()), 0);
        }
        const int status = testsupport::runUnprivileged([&] {
            const std::string failed = body();
            std::fprintf(stderr, "%s\n", failed.c_str());
            return failed.empty() ? 0 : 1;
        });
        EXPECT_EQ(status, 0);
    }

    std::string failures() {
        std::string text;
        for (const RunProblem& each : run.problems()) {
            text += each.path + ": " + each.reason + "\n";
        }
        return text;
    }

    platform::FixedClock clock;
    AppLog log;
    Watcher watcher;
    TaskRun run;
};

// Privacy: a row builds main (and maybe a first mirror), runs, and checks.
struct PrivacyCase {
    const char* name;
    bool rootOnly;  // owners are carried only as root
    std::string (*scenario)(FidelityTest& test);
};

class Privacy : public FidelityTest,
                public ::testing::WithParamInterface<std::tuple<PrivacyCase, bool>> {
public:
    using FidelityTest::mainPath;
    using FidelityTest::mirrorPath;
    using FidelityTest::planLines;
    using FidelityTest::runOnce;
    using FidelityTest::task;
    Task& theTask() { return task; }
    TaskRun& theRun() { return run; }
};

std::string expectMode(const std::string& path, unsigned want) {
    const unsigned have = modeOf(path);
    if (have == want) {
        return {};
    }
    char text[128];
    std::snprintf(text, sizeof text, " is %04o, not %04o", have, want);
    return path + text;
}

const PrivacyCase kPrivacy[] = {
    {"MirrorRootTakesMainsBits", false,
     [](FidelityTest& t) {
         auto& test = static_cast<Privacy&>(t);
         makeTree(test.mainPath(""), "f=1\n");
         ::chmod(test.mainPath("").c_str(), 0700);
         testsupport::removeTree(test.mirrorPath(""));
         test.runOnce();
         return expectMode(test.mirrorPath(""), 0700);
     }},
    {"FolderMadeForAnExcludedFoldersContentTakesMainsBits", false,
     [](FidelityTest& t) {
         auto& test = static_cast<Privacy&>(t);
         makeTree(test.mainPath(""), ".ssh/id_rsa=key\n");
         ::chmod(test.mainPath(".ssh/id_rsa").c_str(), 0600);
         ::chmod(test.mainPath(".ssh").c_str(), 0750);
         test.theTask().exclude.setFileAttrs("HIDDEN");
         test.runOnce();
         if (readFile(test.mirrorPath(".ssh/id_rsa")) != "key") {
             return std::string("the excluded folder's content was not copied");
         }
         return expectMode(test.mirrorPath(".ssh"), 0750) +
                expectMode(test.mirrorPath(".ssh/id_rsa"), 0600);
     }},
    {"ModeChangesAloneAreCarriedInPlace", false,
     [](FidelityTest& t) {
         auto& test = static_cast<Privacy&>(t);
         makeTree(test.mainPath(""), "secret=s\nrun.sh=r\n");
         ::chmod(test.mainPath("secret").c_str(), 0644);
         ::chmod(test.mainPath("run.sh").c_str(), 0644);
         test.runOnce();
         const ino_t inode = statOf(test.mirrorPath("secret")).st_ino;
         ::chmod(test.mainPath("secret").c_str(), 0600);
         ::chmod(test.mainPath("run.sh").c_str(), 0755);
         if (testing::Matches(UnorderedElementsAre(
                 "[Update file]mirror/secret", "[Update file]mirror/run.sh"))(test.planLines()) ==
             false) {
             return std::string("the plan does not show two updates");
         }
         test.runOnce();
         std::string failed = expectMode(test.mirrorPath("secret"), 0600) +
                              expectMode(test.mirrorPath("run.sh"), 0755);
         if (statOf(test.mirrorPath("secret")).st_ino != inode) {
             failed += " the file was replaced, not changed in place";
         }
         return failed;
     }},
    {"SetgidFolderKeepsItsBits", false,
     [](FidelityTest& t) {
         auto& test = static_cast<Privacy&>(t);
         makeTree(test.mainPath(""), "shared/f=1\n");
         ::chmod(test.mainPath("shared").c_str(), 02750);
         test.runOnce();
         return expectMode(test.mirrorPath("shared"), 02750);
     }},
    {"OwnerChangesAloneAreCarried", true,
     [](FidelityTest& t) {
         auto& test = static_cast<Privacy&>(t);
         makeTree(test.mainPath(""), "f=1\nd/\n");
         test.runOnce();
         const ino_t inode = statOf(test.mirrorPath("f")).st_ino;
         EXPECT_EQ(::lchown(test.mainPath("f").c_str(), 65534, 65534), 0);
         EXPECT_EQ(::lchown(test.mainPath("d").c_str(), 65534, 65534), 0);
         test.runOnce();
         const struct stat file = statOf(test.mirrorPath("f"));
         const struct stat folder = statOf(test.mirrorPath("d"));
         return file.st_uid == 65534 && file.st_gid == 65534 && file.st_ino == inode &&
                        folder.st_uid == 65534 && folder.st_gid == 65534
                    ? std::string()
                    : std::string("owners were not carried in place");
     }},
};

TEST_P(Privacy, MirrorIsNeverWiderThanMain) {
    const auto& [row, nobody] = GetParam();
    if (row.rootOnly && (!isRoot() || nobody)) {
        GTEST_SKIP() << "owners are carried only when running as root";
    }
    const auto body = [&] {
        std::string failed = row.scenario(*this);
        if (run.failedCount() != 0) {
            failed += " failed items: " + failures();
        }
        for (const std::string& line : planLines()) {
            if (!line.starts_with("[Exclude]")) {
                failed += " a second run still plans " + line;
            }
        }
        return failed;
    };
    if (nobody) {
        asNobody(body);
    } else {
        EXPECT_EQ(body(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Fidelity, Privacy,
                         ::testing::Combine(::testing::ValuesIn(kPrivacy), ::testing::Bool()),
                         [](const auto& row) {
                             return std::string(std::get<0>(row.param).name) +
                                    (std::get<1>(row.param) ? "AsNobody" : "");
                         });

TEST_F(FidelityTest, FoldersAreOwnerOnlyUntilTheirContentIsDone) {
    makeTree(mainDir(), "d/e/f=1\n");
    ::chmod(mainDir().c_str(), 0755);
    ::chmod(mainPath("d").c_str(), 0755);
    ::chmod(mainPath("d/e").c_str(), 0755);
    testsupport::removeTree(mirrorDir());
    std::mutex seenMutex;
    std::vector<std::string> wide;
    watcher.onEach = [&] {
        for (const char* each : {"", "d", "d/e"}) {
            const std::string path = mirrorPath(each);
            if (pathExists(path) && (modeOf(path) & 077) != 0) {
                std::lock_guard<std::mutex> lock(seenMutex);
                wide.push_back(path);
            }
        }
    };
    runOnce();
    EXPECT_EQ(run.failedCount(), 0) << failures();
    EXPECT_THAT(wide, IsEmpty());
    EXPECT_EQ(modeOf(mirrorDir()), 0755u);
    EXPECT_EQ(modeOf(mirrorPath("d/e")), 0755u);
}

// Folders a killed run left wrong (made by hand here) are found by the next
// plan without an item of their own, and repaired by the run.
struct RepairCase {
    const char* name;
    bool rootOnly;
    const char* folder;  // beneath main and mirror
    void (*breakIt)(const std::string& mirrorFolder);
};

const RepairCase kRepairs[] = {
    {"LeftOwnerOnly", false, "a", [](const std::string& p) { ::chmod(p.c_str(), 0700); }},
    {"LeftWithTheRunsDate", false, "a/b",
     [](const std::string& p) { ::utimensat(AT_FDCWD, p.c_str(), nullptr, 0); }},
    {"ReadOnlyFolderLeftWritable", false, "ro",
     [](const std::string& p) { ::chmod(p.c_str(), 0755); }},
    {"LeftOwnedByRoot", true, "a",
     [](const std::string& p) { EXPECT_EQ(::lchown(p.c_str(), 0, 0), 0); }},
};

class FolderRepair : public FidelityTest, public ::testing::WithParamInterface<RepairCase> {};

TEST_P(FolderRepair, NextRunRepairsWhatAKilledRunLeft) {
    const RepairCase& row = GetParam();
    if (row.rootOnly && !isRoot()) {
        GTEST_SKIP() << "owners are compared only when running as root";
    }
    makeTree(mainDir(), "a/b/f=1\nro/g=2\n");
    ::chmod(mainPath("ro").c_str(), 0555);
    ::chmod(mainPath("a").c_str(), 0750);
    if (isRoot()) {
        ASSERT_EQ(::lchown(mainPath("a").c_str(), 65534, 65534), 0);
    }
    for (const char* folder : {"a/b", "a", "ro"}) {
        testsupport::setWriteTime(mainPath(folder), 1600000000, 123456789);
    }
    runOnce();
    ASSERT_EQ(run.failedCount(), 0) << failures();
    ASSERT_THAT(repairs(), IsEmpty());

    row.breakIt(mirrorPath(row.folder));
    EXPECT_THAT(planLines(), IsEmpty());
    EXPECT_THAT(repairs(), ElementsAre(std::string("mirror/") + row.folder));
    runOnce();
    EXPECT_EQ(run.failedCount(), 0) << failures();
    const struct stat want = statOf(mainPath(row.folder));
    const struct stat have = statOf(mirrorPath(row.folder));
    EXPECT_EQ(have.st_mode, want.st_mode);
    EXPECT_EQ(have.st_uid, want.st_uid);
    EXPECT_EQ(have.st_mtim.tv_sec, want.st_mtim.tv_sec);
    EXPECT_EQ(have.st_mtim.tv_nsec, want.st_mtim.tv_nsec);
    EXPECT_THAT(repairs(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Fidelity, FolderRepair, ::testing::ValuesIn(kRepairs),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(FidelityTest, AFolderThatCannotBeRepairedIsAFailure) {
    if (!isRoot()) {
        GTEST_SKIP() << "needs a mirror folder owned by another user";
    }
    makeTree(mainDir(), "d/f=1\n");
    makeTree(mirrorDir(), "d/f=1\n");
    ::chmod(mainPath("d").c_str(), 0750);
    testsupport::setWriteTime(mainPath("d/f"), 1600000000);
    testsupport::setWriteTime(mirrorPath("d/f"), 1600000000);
    const std::string own = "chown -R 65534:65534 '" + dir.path() + "' && chown 0:0 '" +
                            mirrorPath("d") + "' && chmod 0755 '" + mirrorPath("d") + "'";
    ASSERT_EQ(std::system(own.c_str()), 0);
    asNobody(
        [&] {
            runOnce();
            const auto problems = run.problems();
            return run.failedCount() == 1 && problems.size() == 1 &&
                           problems[0].path == mirrorPath("d")
                       ? std::string()
                       : "expected one failure for mirror/d: " + failures();
        },
        false);
}

// Type changes: an entry facing one of the other kind is replaced under the
// policy's delete rule, or skipped with the reason.
struct TypeCase {
    const char* name;
    const char* main;
    const char* mirror;  // links relative to the mirror folder
    std::uint32_t flags;
    std::vector<std::string> plan;
    const char* file;     // a mirror file to read afterwards, relative
    const char* content;  // what it must hold
};

const TypeCase kTypes[] = {
    {"FolderFacingFile",
     "x/a=new\n",
     "x=old\n",
     kDeleteForGood,
     {"[Delete file]mirror/x", "[Create directory]mirror/x", "[Create file]mirror/x/a"},
     "x/a",
     "new"},
    {"FolderFacingFileToTrash",
     "x/a=new\n",
     "x=old\n",
     kDeleteToTrash,
     {"[Delete file]mirror/x", "[Create directory]mirror/x", "[Create file]mirror/x/a"},
     "x/a",
     "new"},
    {"FileFacingFolder",
     "y=new\n",
     "y/b=old\ny/c/d=old\n",
     kDeleteForGood,
     {"[Delete directory]mirror/y", "[Create file]mirror/y"},
     "y",
     "new"},
    {"FolderFacingLinkToAnIdenticalFolderOutside",
     "d/f=same\n",
     "d->../outside\n",
     kDeleteForGood,
     {"[Delete file]mirror/d", "[Create directory]mirror/d", "[Create file]mirror/d/f"},
     "d/f",
     "same"},
    {"NoDeleteRuleSkipsWithTheReason",
     "x/a=new\n",
     "x=old\n",
     kNoDelete,
     {"[Skip]main/x"},
     "x",
     "old"},
};

class TypeChange : public FidelityTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TypeChange, Converges) {
    const TypeCase& row = GetParam();
    makeTree(dir.path(), "outside/f=same\n");
    testsupport::setWriteTime(dir / "outside/f", 1600000000);
    makeTree(mainDir(), row.main);
    if (pathExists(mainPath("d/f"))) {
        testsupport::setWriteTime(mainPath("d/f"), 1600000000);
    }
    makeTree(mirrorDir(), row.mirror);
    policy.setFlags(row.flags);
    EXPECT_EQ(planLines(), row.plan);
    runOnce();
    EXPECT_EQ(run.failedCount(), 0) << failures();
    EXPECT_EQ(readFile(mirrorPath(row.file)), row.content);
    EXPECT_EQ(readFile(dir / "outside/f"), "same");
    if (row.flags == kNoDelete) {
        EXPECT_EQ(run.skippedCount(), 1);
        EXPECT_THAT(run.problems().at(0).reason, ::testing::HasSubstr("does not delete"));
        EXPECT_EQ(planLines(), row.plan);
    } else {
        EXPECT_THAT(planLines(), IsEmpty());
    }
    if (row.flags == kDeleteToTrash) {
        EXPECT_EQ(readFile(trashFiles() + "/x"), "old");
    }
}

INSTANTIATE_TEST_SUITE_P(Fidelity, TypeChange, ::testing::ValuesIn(kTypes),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
