#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/ProgramFolder.h"
#include "platform/Uuid.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

using namespace platform;
using testsupport::TempDir;

TEST(FileSystem, RecordCarriesWindowsStyleAttributesAndTicks) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "plain=12345\n.hidden\nsub/\nlink->plain\n");
    ::chmod((dir / "plain").c_str(), 0444);
    testsupport::setWriteTime(dir / "plain", 1700000000, 123456789);

    const Lookup plain = lookupEntry(dir / "plain");
    ASSERT_EQ(plain.status, LookupStatus::Found);
    EXPECT_EQ(plain.record.attributes, kAttrReadOnly);
    EXPECT_EQ(plain.record.size, 5u);
    EXPECT_EQ(plain.record.lastWriteTime, ticksFromUnix(1700000000, 123456789));
    EXPECT_EQ(plain.record.lastWriteTime, 133444736001234567ULL);

    EXPECT_EQ(lookupEntry(dir / ".hidden").record.attributes, kAttrHidden);
    EXPECT_EQ(lookupEntry(dir / "sub").record.attributes, kAttrDirectory);
    const Lookup link = lookupEntry(dir / "link");
    EXPECT_EQ(link.record.attributes, kAttrSymlink);  // the link itself, not its target
    EXPECT_EQ(link.record.size, 5u);                  // length of the link text
    const Lookup normal = lookupEntry(dir / "sub");
    EXPECT_NE(normal.inode, 0u);
}

TEST(FileSystem, OnlyNoSuchEntryMeansAbsent) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "file=x\nlocked/inner=y\n");
    EXPECT_EQ(lookupEntry(dir / "missing").status, LookupStatus::Absent);
    EXPECT_EQ(lookupEntry(dir / "file/below").status, LookupStatus::Absent);  // ENOTDIR

    ::chmod(dir.path().c_str(), 0755);        // the child runs as nobody
    ::chmod((dir / "locked").c_str(), 0644);  // listable by owner only, not searchable
    const std::string inner = dir / "locked/inner";
    const int status = testsupport::runUnprivileged([&] {
        const Lookup l = lookupEntry(inner);
        return l.status == LookupStatus::Unknown && l.error == EACCES ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST(FileSystem, ListingGivesEveryEntryButDotsWithItsRecord) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "a=1\nb/\n-dash=22\n");
    testsupport::writeFile(dir / "new\nline", "333");
    const std::string odd = dir / "bad\xff\xfe";
    testsupport::writeFile(odd, "4444");

    const DirectoryHandle handle = DirectoryHandle::open(dir.path());
    ASSERT_TRUE(handle.valid());
    std::map<std::string, std::uint64_t> seen;
    EXPECT_EQ(handle.forEach([&](const DirectoryHandle::Entry& e) {
        seen[std::string(e.name)] = e.lookup.record.size;
    }),
              0);
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen["a"], 1u);
    EXPECT_EQ(seen["-dash"], 2u);
    EXPECT_EQ(seen["new\nline"], 3u);
    EXPECT_EQ(seen["bad\xff\xfe"], 4u);
    EXPECT_TRUE(seen.count("b"));
}

TEST(FileSystem, ChildFoldersAreNeverOpenedThroughLinks) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "real/\nlinked->real\n");
    const DirectoryHandle root = DirectoryHandle::open(dir.path());
    EXPECT_TRUE(root.openChild("real").valid());
    const DirectoryHandle viaLink = root.openChild("linked");
    EXPECT_FALSE(viaLink.valid());
    EXPECT_TRUE(viaLink.error() == ELOOP || viaLink.error() == ENOTDIR);
    // A root given as a link to a folder is followed.
    EXPECT_TRUE(DirectoryHandle::open(dir / "linked").valid());
    EXPECT_EQ(DirectoryHandle::open(dir / "missing").error(), ENOENT);
}

TEST(FileSystem, IdentifiersAndProgramFolder) {
    const std::string a = newUuid();
    const std::string b = newUuid();
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 36u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(a[i], '-');
        } else {
            EXPECT_TRUE((a[i] >= '0' && a[i] <= '9') || (a[i] >= 'a' && a[i] <= 'f')) << a;
        }
    }
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(::access((folder + "platform_tests").c_str(), X_OK), 0);
}

// Folders the program makes hold its private state: owner-only whatever the
// umask, while a folder that is there already keeps its bits.
TEST(FileSystem, MadeFoldersAreOwnerOnlyAndExistingOnesStayAsTheyAre) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "shared/\nfile=x\n");
    ::chmod((dir / "shared").c_str(), 0755);
    const mode_t oldMask = ::umask(0);
    const OpResult made = makeFolders(dir / "shared/a/b");
    ::umask(oldMask);
    ASSERT_TRUE(made.ok()) << made.message;
    const auto bits = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    EXPECT_EQ(bits(dir / "shared/a"), 0700u);
    EXPECT_EQ(bits(dir / "shared/a/b"), 0700u);
    EXPECT_EQ(bits(dir / "shared"), 0755u);
    EXPECT_TRUE(makeFolders(dir / "shared/a/b").ok()) << "an existing folder is no failure";
    EXPECT_EQ(makeFolders(dir / "file").error, ENOTDIR);
    EXPECT_EQ(makeFolders(dir / "file/below").error, ENOTDIR);
}

// The rule by which both the task dialog and the run decide that a log file
// can be made.
TEST(FileSystem, TheFolderOfAFileExistsOnlyWhenItIsAFolder) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "logs/\nfile=x\nto-logs->logs\ndangling->gone\n");
    const struct {
        std::string file;
        bool exists;
    } rows[] = {
        {dir / "logs/task.log", true},
        {dir / "to-logs/task.log", true},  // a link to a folder counts
        {"/task.log", true},               // directly beneath the root
        {dir / "gone/task.log", false},
        {dir / "dangling/task.log", false},
        {dir / "file/task.log", false},
        {"task.log", false},  // no folder named at all
        {"", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(folderOfFileExists(row.file), row.exists) << row.file;
    }
    EXPECT_TRUE(exists(dir / "to-logs"));
    EXPECT_FALSE(exists(dir / "dangling")) << "a link is followed";
    EXPECT_FALSE(folderExists(dir / "file"));
}
