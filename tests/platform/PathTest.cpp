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
