#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FileOpsTestTools.h"
#include "platform/FileOps.h"
#include "platform/Path.h"
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
    const OpResult result = m_tree.remove(mirror("doc-1.txt"), platform::EntryKind::File, true);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_FALSE(pathExists(mirror("doc-1.txt")));
    EXPECT_EQ(readFile(m_trash + "/doc-1.txt"), "words");

    EXPECT_TRUE(
        m_tree.remove(mirror("doc-1.txt"), platform::EntryKind::File, true).ok());  // gone already
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
    const OpResult result = m_tree.remove(mirror("d2"), platform::EntryKind::Folder, true, keep);
    ASSERT_TRUE(result.ok()) << result.message;

    EXPECT_EQ(listNames(mirror("d2")), (std::vector<std::string>{"keep.me", "part-s"}));
    EXPECT_EQ(listNames(mirror("d2/part-s")), std::vector<std::string>{"keep.me"});
    EXPECT_EQ(readFile(m_trash + "/loose-a"), "2");
    EXPECT_EQ(readFile(m_trash + "/whole-s/b"), "3");
    EXPECT_EQ(readFile(m_trash + "/loose-c"), "5");
}

// The trash of a file system other than the home's: its top folder's
// shared trash when an administrator made it a sticky folder, else a trash
// folder of this user's own. Each row prepares the top folder of a fresh
// tmpfs; the entry either reaches the trash folder named or stays where it is.
struct TopTrashCase {
    const char* name;     // the loss it catches
    const char* setup;    // "sticky", "plain", "link", "taken" or ""
    const char* trashed;  // where the entry lands, relative to the top; empty: stays
};

class TopTrashTest : public FileOpsTrashTest, public ::testing::WithParamInterface<TopTrashCase> {};

TEST_P(TopTrashTest, EntryGoesToItsOwnFileSystemsTrashOrStays) {
    const TopTrashCase& row = GetParam();
    const std::string top = m_tmp / "volume";
    const std::string outside = m_tmp / "outside";
    testsupport::makeDirs(top);
    testsupport::makeDirs(outside);
    m_tree = MirrorTree();
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        testsupport::Failures failures;
        if (::mount("tmpfs", top.c_str(), "tmpfs", 0, "size=1m") != 0) {
            return std::string("mount: ") + std::strerror(errno);
        }
        const std::string uid = std::to_string(::geteuid());
        const std::string own = top + "/.Trash-" + uid;
        const std::string setup = row.setup;
        if (setup == "sticky" || setup == "plain") {
            testsupport::makeDirs(top + "/.Trash");
            ::chmod((top + "/.Trash").c_str(), setup == "sticky" ? 01777 : 0777);
        } else if (setup == "link") {
            failures.check(::symlink(outside.c_str(), own.c_str()) == 0, "symlink failed");
        } else if (setup == "taken") {
            testsupport::makeTree(own, "files/doc=older\n");
        }
        testsupport::makeTree(top, "doc=words\n");
        OpResult opened;
        MirrorTree tree = MirrorTree::open(top + "/", 0, opened);
        failures.check(opened.ok(), "open: " + opened.message);

        const OpResult result = tree.remove(top + "/doc", platform::EntryKind::File, true);
        std::string trashed = row.trashed;
        for (auto pos = trashed.find("UID"); pos != std::string::npos; pos = trashed.find("UID")) {
            trashed.replace(pos, 3, uid);
        }
        if (trashed.empty()) {
            failures.check(!result.ok() && !result.message.empty(), "the move did not fail");
            failures.check(readFile(top + "/doc") == "words", "the entry did not stay");
        } else {
            failures.check(result.ok(), "the move failed: " + result.message);
            failures.check(!pathExists(top + "/doc"), "the entry stayed");
            failures.check(readFile(top + "/" + trashed) == "words", "not in " + trashed);
            const std::string info =
                readFile(top + "/" + trashed.substr(0, trashed.find("/files/")) + "/info/" +
                         std::string(platform::fileNameOf(trashed)) + ".trashinfo");
            failures.check(info.starts_with("[Trash Info]\nPath=" + top + "/doc\nDeletionDate="),
                           "trashinfo: " + info);
        }
        if (setup == "taken") {
            failures.check(readFile(own + "/files/doc") == "older",
                           "an entry in the trash was replaced");
        }
        failures.check(listNames(outside).empty(), "a linked trash folder was followed");
        return failures.text();
    });
}

const TopTrashCase kTopTrashCases[] = {
    {"OwnTrashFolderIsMadeAtTheTop", "", ".Trash-UID/files/doc"},
    {"StickySharedTrashHoldsAFolderPerUser", "sticky", ".Trash/UID/files/doc"},
    {"SharedTrashThatIsNotStickyIsPassedOver", "plain", ".Trash-UID/files/doc"},
    {"NameTakenInTheTrashIsNeverReplaced", "taken", ".Trash-UID/files/doc.2"},
    {"TrashFolderThatIsALinkIsNeverFollowedAndTheEntryStays", "link", ""},
};

INSTANTIATE_TEST_SUITE_P(Trash, TopTrashTest, ::testing::ValuesIn(kTopTrashCases),
                         [](const ::testing::TestParamInfo<TopTrashCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
