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
