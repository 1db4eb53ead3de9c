#include "platform/AtomicFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>

#include "platform/FileSystem.h"
#include "support/TempTree.h"

using testsupport::readFile;
using testsupport::TempDir;

namespace {

unsigned bitsOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The names in a folder: a write must leave no temporary file behind.
std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    platform::DirectoryHandle::open(folder).forEach(
        [&names](const platform::DirectoryHandle::Entry& entry) { names.emplace(entry.name); });
    return names;
}

}  // namespace

TEST(AtomicFile, ANewFileGetsItsModeAReplacedOneKeepsItsBits) {
    TempDir dir;
    const mode_t oldMask = ::umask(0);
    ASSERT_TRUE(platform::replaceFile(dir / "private", "one").ok());
    ASSERT_TRUE(platform::replaceFile(dir / "shared", "one", 0644).ok());
    ::umask(oldMask);
    EXPECT_EQ(bitsOf(dir / "private"), 0600u) << "the program's files are its owner's";
    EXPECT_EQ(bitsOf(dir / "shared"), 0644u);

    ASSERT_EQ(::chmod((dir / "private").c_str(), 0640), 0);
    ASSERT_TRUE(platform::replaceFile(dir / "private", "two").ok());
    EXPECT_EQ(readFile(dir / "private"), "two");
    EXPECT_EQ(bitsOf(dir / "private"), 0640u) << "a replaced file keeps the bits it was given";
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"private", "shared"}));
}

TEST(AtomicFile, ACopyNeverOverwritesAndReadingTellsWhatIsMissing) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "source=new\ntarget=old\nfolder/\n");
    const platform::OpResult refused = platform::copyFileNoReplace(dir / "source", dir / "target");
    EXPECT_EQ(refused.error, EEXIST);
    EXPECT_EQ(readFile(dir / "target"), "old");

    ASSERT_TRUE(platform::copyFileNoReplace(dir / "source", dir / "copy").ok());
    EXPECT_EQ(readFile(dir / "copy"), "new");
    EXPECT_EQ(bitsOf(dir / "copy"), 0600u);
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"copy", "folder", "source", "target"}));

    std::string content = "stale";
    EXPECT_EQ(platform::readWholeFile(dir / "missing", content).error, ENOENT);
    EXPECT_EQ(content, "");
    EXPECT_EQ(platform::readWholeFile(dir / "folder", content).error, EISDIR);
}
