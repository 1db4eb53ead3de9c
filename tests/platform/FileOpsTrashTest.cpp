#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FileOpsTestTools.h"
#include "platform/FileOps.h"
#include "support/MountNamespace.h"
#include "support/TempTree.h"

namespace {

using fileopstest::listNames;
using fileopstest::lstatOf;
using platform::MirrorTree;
using platform::OpResult;
using testsupport::pathExists;
using testsupport::readFile;

// The desktop's trash of this test process: a home and data folder of its
// own, set before the first trash call reads (and caches) them. Files trashed
// into the home trash must lie on the same file system as the home, so both
// live beside the tests' temporary folders.
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

class FileOpsTrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_trash = trashFiles();
        testsupport::makeDirs(m_mirror);
        OpResult result;
        m_tree = MirrorTree::open(m_mirror, 0, result);
        ASSERT_TRUE(result.ok()) << result.message;
        const std::string home = std::getenv("HOME");
        ASSERT_EQ(lstatOf(home).st_dev, lstatOf(m_mirror).st_dev)
            << "the trash home and the test folder must share a file system";
    }

    std::string mirror(const std::string& name) const { return m_mirror + "/" + name; }

    testsupport::TempDir m_tmp;
    std::string m_mirror = m_tmp / "mirror";
    std::string m_trash;
    MirrorTree m_tree;
};

TEST_F(FileOpsTrashTest, EntryGoesToTheTrash) {
    testsupport::makeTree(m_mirror, "doc-1.txt=words\n");
    const OpResult result = m_tree.remove(mirror("doc-1.txt"), true);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_FALSE(pathExists(mirror("doc-1.txt")));
    EXPECT_EQ(readFile(m_trash + "/doc-1.txt"), "words");

    EXPECT_TRUE(m_tree.remove(mirror("doc-1.txt"), true).ok());  // gone already
}

TEST_F(FileOpsTrashTest, KeptEntriesStayAndTheRestIsTrashedInTheLargestPieces) {
    testsupport::makeTree(m_mirror,
                          "d2/keep.me=1\n"
                          "d2/loose-a=2\n"
                          "d2/whole-s/b=3\n"
                          "d2/part-s/keep.me=4\n"
                          "d2/part-s/loose-c=5\n");
    const auto keep = [](const std::string& path, const platform::FindRecord&) {
        return path.ends_with("/keep.me");
    };
    const OpResult result = m_tree.remove(mirror("d2"), true, keep);
    ASSERT_TRUE(result.ok()) << result.message;

    EXPECT_EQ(listNames(mirror("d2")), (std::vector<std::string>{"keep.me", "part-s"}));
    EXPECT_EQ(listNames(mirror("d2/part-s")), std::vector<std::string>{"keep.me"});
    EXPECT_EQ(readFile(m_trash + "/loose-a"), "2");
    EXPECT_EQ(readFile(m_trash + "/whole-s/b"), "3");
    EXPECT_EQ(readFile(m_trash + "/loose-c"), "5");
}

TEST_F(FileOpsTrashTest, WithoutTrashTheEntryStays) {
    // GIO keeps no trash on a tmpfs that is not the home's file system.
    const std::string volatileRoot = m_tmp / "volatile";
    const auto run = testsupport::runWithTmpfs(volatileRoot, 1024, [&] {
        OpResult opened;
        MirrorTree tree = MirrorTree::open(volatileRoot + "/", 0, opened);
        ASSERT_TRUE(opened.ok()) << opened.message;
        testsupport::makeTree(volatileRoot, "f=data\nd/g=more\n");

        const auto keepNothing = [](const std::string&, const platform::FindRecord&) {
            return false;
        };
        for (const char* name : {"f", "d"}) {
            const OpResult result = tree.remove(volatileRoot + "/" + name, true, keepNothing);
            EXPECT_FALSE(result.ok()) << name;
            EXPECT_FALSE(result.message.empty());
        }
        EXPECT_EQ(readFile(volatileRoot + "/f"), "data");
        EXPECT_EQ(readFile(volatileRoot + "/d/g"), "more");
    });
    if (!run.ran) {
        GTEST_SKIP() << run.reason;
    }
    EXPECT_TRUE(run.passed) << run.reason;
}

}  // namespace
