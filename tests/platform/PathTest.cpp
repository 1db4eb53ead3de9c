#include "platform/Path.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Path, ComponentsSplitOnlyAtTheSeparator) {
    EXPECT_EQ(withTrailingSeparator("/a/b"), "/a/b/");
    EXPECT_EQ(withTrailingSeparator("/a/b/"), "/a/b/");
    EXPECT_EQ(fileNameOf("/data/c:x.txt"), "c:x.txt");  // ':' is an ordinary character
    EXPECT_EQ(folderOf("/data/c:x.txt"), "/data");
    EXPECT_EQ(folderOf("name"), "");
    EXPECT_EQ(extensionOf("archive.tar.gz"), ".gz");
    EXPECT_EQ(extensionOf("README"), "");
    EXPECT_EQ(extensionOf(".profile"), ".profile");
}

TEST(Path, SameOrInsideComparesWholeComponents) {
    EXPECT_TRUE(isSameOrInside("/data", "/data"));
    EXPECT_TRUE(isSameOrInside("/data/x", "/data/"));
    EXPECT_TRUE(isSameOrInside("/data/x/y", "/"));
    EXPECT_FALSE(isSameOrInside("/database", "/data"));
    EXPECT_FALSE(isSameOrInside("/dat", "/data"));
}

TEST(Path, AbsolutePathJoinsRelativePathsAndDropsDotComponents) {
    struct Case {
        const char* path;
        const char* expected;
    };
    for (const Case& c : std::initializer_list<Case>{{"docs", "/home/u/docs"},
                                                     {"./docs/", "/home/u/docs"},
                                                     {".", "/home/u"},
                                                     {"a//b/./c", "/home/u/a/b/c"},
                                                     {"../x", "/home/u/../x"},
                                                     {"/abs/./p/", "/abs/p"},
                                                     {"/", "/"},
                                                     {"-dash", "/home/u/-dash"}}) {
        EXPECT_EQ(platform::absolutePath(c.path, "/home/u/"), c.expected) << c.path;
    }
}

// Each row is a spelling people type for a folder or file; the normal form
// must be the one the same place is stored under, and never a different place.
TEST(Path, LexicallyNormalTable) {
    const struct {
        const char* name;
        const char* path;
        const char* normal;
    } rows[] = {
        {"already normal", "/data/main", "/data/main"},
        {"trailing separator", "/data/main/", "/data/main"},
        {"doubled separators", "//data//main//", "/data/main"},
        {"dot components", "/./data/./main/.", "/data/main"},
        {"root", "/", "/"},
        {"root spelled long", "//./", "/"},
        {"parent of the root is the root", "/../data", "/data"},
        {"parent kept: a link may lead elsewhere", "/data/link/../main", "/data/link/../main"},
        {"trailing parent kept", "/data/main/..", "/data/main/.."},
        {"relative stays relative", "./data//main/", "data/main"},
        {"relative parent kept", "../main", "../main"},
        {"current folder", "./", "."},
        {"empty", "", ""},
        {"any bytes pass", "/d\xffta/\n/", "/d\xffta/\n"},
        {"dots inside names stay", "/data/..x/x./...", "/data/..x/x./..."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(lexicallyNormal(row.path), row.normal) << row.name;
    }
}
