#include "platform/InstallLayout.h"

#include <gtest/gtest.h>

#include "support/TempTree.h"

using platform::Shipped;

// A program in <prefix>/bin/ finds its files beside itself first, then in the
// installed folders reached from bin/, whatever the prefix is.
TEST(InstallLayout, BesideTheProgramFirstThenTheInstalledFolders) {
    testsupport::TempDir dir;
    const std::string bin = dir / "prefix/bin/";
    const auto library = platform::shippedFileCandidates(bin, Shipped::Library, "libLogDll.so");
    const auto data = platform::shippedFileCandidates(bin, Shipped::Data, "help/index.html");
    ASSERT_EQ(library.size(), 2u);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(library[0], bin + "libLogDll.so");
    EXPECT_EQ(data[0], bin + "help/index.html");
    // Both installed places lie under the prefix, in a folder of our own.
    EXPECT_EQ(library[1].rfind(dir / "prefix/lib", 0), 0u) << library[1];
    EXPECT_TRUE(library[1].ends_with("/twinfold/libLogDll.so")) << library[1];
    EXPECT_EQ(data[1], dir / "prefix/share/twinfold/help/index.html");
    EXPECT_TRUE(platform::shippedFileCandidates("", Shipped::Data, "x").empty());

    // Nothing there: the place beside the program, for the message.
    EXPECT_EQ(platform::locateShippedFile(bin, Shipped::Library, "libLogDll.so"), library[0]);
    testsupport::makeTree(dir.path(), "prefix/bin/\nprefix/share/twinfold/help/index.html=x\n");
    testsupport::makeTree(dir.path(), library[1].substr(dir.path().size() + 1) + "=x\n");
    EXPECT_EQ(platform::locateShippedFile(bin, Shipped::Library, "libLogDll.so"), library[1]);
    EXPECT_EQ(platform::locateShippedFile(bin, Shipped::Data, "help/index.html"), data[1]);
    testsupport::makeTree(dir.path(), "prefix/bin/libLogDll.so=portable\n");
    EXPECT_EQ(platform::locateShippedFile(bin, Shipped::Library, "libLogDll.so"), library[0]);
}
