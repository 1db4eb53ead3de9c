#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "platform/FileOps.h"
#include "snapshot/DirectoryInfo.h"
#include "snapshot/DirectoryOp.h"
#include "support/MountNamespace.h"
#include "support/Unprivileged.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testsupport::makeTree;
using testsupport::setWriteTime;

namespace {

constexpr std::uint32_t kCopyNew = 0x1, kSize = 0x10, kTime = 0x100, kNewer = 0x1000,
                        kAttr = 0x10000, kDelete = 0x100000, kRecycle = 0x1000000;

// One row of the rule table: the state of a file on both sides, the policy,
// and the plan expected for it.
struct RuleCase {
    const char* name;
    const char* mainContent;    // nullptr: absent
    const char* mirrorContent;  // nullptr: absent
    int mainTime, mirrorTime;   // seconds
    bool mirrorReadOnly;
    std::uint32_t flags;
    const char* expected;  // empty: no item
};

// Names the row in test listings instead of dumping its bytes, which hold
// pointers and so change from build to build.
void PrintTo(const RuleCase& row, std::ostream* out) {
    *out << row.name;
}

class RuleTable : public EngineFixture, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(RuleTable, DecidesOneFile) {
    const RuleCase& c = GetParam();
    // The same file on both sides keeps the main folder from being empty.
    for (const std::string& side : {mainPath("same"), mirrorPath("same")}) {
        testsupport::writeFile(side, "s");
        setWriteTime(side, 1700000000);
    }
    if (c.mainContent) {
        testsupport::writeFile(mainPath("f"), c.mainContent);
        setWriteTime(mainPath("f"), 1700000000 + c.mainTime);
    }
    if (c.mirrorContent) {
        testsupport::writeFile(mirrorPath("f"), c.mirrorContent);
        if (c.mirrorReadOnly) {
            ::chmod(mirrorPath("f").c_str(), 0444);
        }
        setWriteTime(mirrorPath("f"), 1700000000 + c.mirrorTime);
    }
    policy.setFlags(c.flags);
    const auto lines = planLines();
    if (*c.expected == '\0') {
        EXPECT_THAT(lines, IsEmpty());
    } else {
        EXPECT_THAT(lines, ElementsAre(c.expected));
    }
}

const RuleCase kRules[] = {
    {"IdenticalNothing", "a", "a", 0, 0, false, 0x01111111, ""},
    {"NewCopied", "a", nullptr, 0, 0, false, kCopyNew, "[Create file]mirror/f"},
    {"NewIgnoredWithoutCopyNew", "a", nullptr, 0, 0, false, kSize, ""},
    {"SizeBeatsNewerRule", "ab", "a", 0, 5, false, kSize | kTime | kNewer, "[Update file]mirror/f"},
    {"TimeDiffers", "a", "b", 5, 0, false, kTime, "[Update file]mirror/f"},
    {"TimeDiffersMirrorNewer", "a", "b", 0, 5, false, kTime, "[Update file]mirror/f"},
    {"MirrorNewerNotCopiedAndAttributesIgnored", "a", "b", 0, 5, true, kTime | kNewer | kAttr, ""},
    {"ReadOnlyDiffers", "a", "b", 0, 0, true, kAttr, "[Update file]mirror/f"},
    // Bits alone are carried (in place) by any rule that copies changed files.
    {"ReadOnlyCarriedByAnyChangeRule", "a", "b", 0, 0, true, kSize | kTime,
     "[Update file]mirror/f"},
    {"ReadOnlyIgnoredWhenOnlyNewCopied", "a", "b", 0, 0, true, kCopyNew, ""},
    {"MirrorOnlyDeleted", nullptr, "a", 0, 0, false, kDelete, "[Delete file]mirror/f"},
    {"MirrorOnlyKeptWithoutRule", nullptr, "a", 0, 0, false, kCopyNew | kRecycle, ""},
};

INSTANTIATE_TEST_SUITE_P(Plan, RuleTable, ::testing::ValuesIn(kRules),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace

using PlanTest = EngineFixture;

TEST_F(PlanTest, NewFolderPlansItselfThenEachEntryAndMirrorOnlyTreesLast) {
    makeTree(mainDir(), "new/a\nkeep=1\n");
    makeTree(mirrorDir(), "keep=1\ngone/b\n");
    setWriteTime(mainPath("keep"), 1700000000);
    setWriteTime(mirrorPath("keep"), 1700000000);
    policy.setFlags(0x01101111);
    auto list = plan();
    EXPECT_THAT(linesOf(*list),
                ElementsAre("[Create directory]mirror/new", "[Create file]mirror/new/a",
                            "[Delete directory]mirror/gone", "[Delete file]mirror/gone/b"));
    EXPECT_EQ(list->directoryCount(), 2);
    EXPECT_EQ(list->fileCount(), 2);
}

TEST_F(PlanTest, ExclusionsHoldOnBothSidesByTypeButPathsOnlyWhereListed) {
    makeTree(mainDir(), "skip.tmp\nsub/x.TMP\nlisted\n");
    makeTree(mirrorDir(), "old.tmp\nlisted\n");
    task.exclude.setFileTypes("tmp");
    task.exclude.addFile(mainPath("LISTED"));  // stored lower-cased, matches "listed"
    policy.setFlags(0x01101111);
    EXPECT_THAT(planLines(),
                UnorderedElementsAre("[Exclude]main/skip.tmp", "[Create directory]mirror/sub",
                                     "[Exclude]main/sub/x.TMP", "[Exclude]main/listed",
                                     "[Exclude]mirror/old.tmp"));
}

TEST_F(PlanTest, MissingOrEmptyMainFolderNeverEmptiesTheMirror) {
    makeTree(mirrorDir(), "precious/a\nb\n");
    policy.setFlags(0x01101111);
    // Empty main folder (an unmounted drive leaves one behind).
    EXPECT_THAT(planLines(), ElementsAre("[Skip]main"));
    // Missing main folder.
    testsupport::removeTree(mainDir());
    auto list = plan();
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].operation(), opSkip);
    EXPECT_TRUE((*list)[0].isDirectory);
    EXPECT_FALSE((*list)[0].reason().empty());
    // An empty main folder over an empty mirror is simply in step.
    testsupport::makeDirs(mainDir());
    testsupport::removeTree(mirrorDir());
    testsupport::makeDirs(mirrorDir());
    EXPECT_THAT(planLines(), IsEmpty());
}

TEST_F(PlanTest, UnreadableMainFolderProtectsItsMirrorCounterpart) {
    makeTree(mainDir(), "ok=1\nlocked/inner=2\nnosearch/c=3\n");
    makeTree(mirrorDir(), "ok=1\nlocked/inner=2\nlocked/more=3\nnosearch/c=3\nnosearch/d=4\n");
    for (const char* rel : {"ok", "locked/inner", "nosearch/c"}) {
        setWriteTime(mainPath(rel), 1700000000);
        setWriteTime(mirrorPath(rel), 1700000000);
    }
    ::chmod(dir.path().c_str(), 0755);
    const std::string root = dir.path();
    const std::string cmd = "chown -R 65534:65534 '" + root + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ::chmod(mainPath("locked").c_str(), 0);
    ::chmod(mainPath("nosearch").c_str(), 0600);  // listable by its owner, not searchable
    policy.setFlags(0x01101111);
    const int status = testsupport::runUnprivileged([&] {
        const auto lines = planLines();
        // Nothing beneath the unreadable folders is deleted; each gets a skip.
        for (const auto& line : lines) {
            if (line.starts_with("[Delete")) {
                return 10;
            }
        }
        const bool lockedSkipped =
            std::find(lines.begin(), lines.end(), "[Skip]main/locked") != lines.end();
        const bool cSkipped =
            std::find(lines.begin(), lines.end(), "[Skip]main/nosearch/c") != lines.end();
        return lockedSkipped && cSkipped ? 0 : 11;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(PlanTest, OverlappingPairsAreRefused) {
    struct Case {
        const char* main;
        const char* mirror;
    } cases[] = {
        {"main", "main"},         {"main/deep", "main"}, {"main", "main/inside"},
        {"main/a/b/c", "main/a"}, {"relative", "x"},
    };
    for (const auto& c : cases) {
        task.folderList.clearItems();
        TaskFolderItem& pair = task.folderList.addItem();
        pair.main = std::string(c.main) == "relative" ? "relative/path" : dir / c.main;
        pair.mirror = std::string(c.main) == "relative" ? "x" : dir / c.mirror;
        testsupport::makeDirs(dir / c.main);
        auto list = plan();
        ASSERT_EQ(list->size(), 1u) << c.main << " " << c.mirror;
        EXPECT_EQ((*list)[0].operation(), opSkip);
        EXPECT_FALSE((*list)[0].reason().empty());
    }
    // A second pair writing into the first pair's mirror is refused as well.
    task.folderList.clearItems();
    makeTree(dir.path(), "m1/f\nm2/g\n");
    for (const char* m : {"m1", "m2"}) {
        TaskFolderItem& pair = task.folderList.addItem();
        pair.main = dir / m;
        pair.mirror = std::string(m) == "m1" ? mirrorDir() : mirrorPath("sub");
    }
    EXPECT_THAT(planLines(), ElementsAre("[Create file]mirror/f", "[Skip]m2"));
}

TEST_F(PlanTest, NeverPlansTheIncludeFolderTemporaryFilesOrALockedMirror) {
    makeTree(mainDir(), "a=1\n.twinfold-partial-00112233aabbccdd=junk\n");
    makeTree(dir.path(), "outside/inc.txt=i\n");
    makeTree(mirrorDir(), "<T_append>/inc.txt=i\nsub/.twinfold-partial-0123456789abcdef=half\n");
    testsupport::makeDirs(mainPath("sub"));
    task.include.addFile(dir / "outside/inc.txt");
    setWriteTime(dir / "outside/inc.txt", 1700000000);
    setWriteTime(mirrorPath("<T_append>/inc.txt"), 1700000000);
    policy.setFlags(0x01101111);
    EXPECT_THAT(planLines(), ElementsAre("[Create file]mirror/a"));

    // While another run holds the mirror, the pair is skipped.
    platform::OpResult result;
    platform::MirrorTree other = platform::MirrorTree::open(mirrorDir(), 0, result);
    ASSERT_TRUE(result.ok());
    auto list = plan();
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].operation(), opSkip);
}

TEST_F(PlanTest, IncludedFilesGoToTheIncludeFolderWhateverTheTaskName) {
    makeTree(dir.path(), "one/same.txt=1\ntwo/same.txt=22\nmain/x=1\n");
    task.name = "../../evil/name";
    task.include.addFile(dir / "one/same.txt");
    task.include.addFile(dir / "two/same.txt");
    policy.setFlags(0x01101111);
    const std::string folder = "mirror/<.._.._evil_name_append>/same.txt";
    EXPECT_THAT(planLines(), ElementsAre("[Create file]mirror/x", "[Create file]" + folder,
                                         "[Create file]" + folder));
    // Without a folder pair, included files are not planned.
    task.folderList.clearItems();
    EXPECT_THAT(planLines(), IsEmpty());
}

TEST_F(PlanTest, MirrorLinksAreEntriesNotFolders) {
    testsupport::TempDir outside;
    makeTree(outside.path(), "precious=1\n");
    makeTree(mainDir(), "keep=1\n");
    ASSERT_EQ(::symlink(outside.path().c_str(), mirrorPath("link").c_str()), 0);
    policy.setFlags(0x01101111);
    EXPECT_THAT(planLines(), ElementsAre("[Create file]mirror/keep", "[Delete file]mirror/link"));
}

TEST_F(PlanTest, TrashOfAMountedMirrorIsNeverPlanned) {
    makeTree(mainDir(), "a=1\n");
    policy.setFlags(0x01101111);
    const std::vector<std::string> expected{"[Create file]mirror/a", "[Delete file]mirror/stale"};
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        if (::mount("tmpfs", mirrorDir().c_str(), "tmpfs", 0, "size=1m") != 0) {
            return std::string("mount: ") + std::strerror(errno);
        }
        makeTree(mirrorDir(), ".Trash-0/files/old=1\n.Trash/x\nstale=1\n");
        const auto lines = planLines();
        std::string planned;
        for (const std::string& line : lines) {
            planned += line + "\n";
        }
        return lines == expected ? std::string() : "planned:\n" + planned;
    });
}
