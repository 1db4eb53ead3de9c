#include "platform/Autostart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>

#include "support/ScopedEnvironment.h"
#include "support/TempTree.h"

using ::testing::HasSubstr;
using testsupport::pathExists;
using testsupport::readFile;

TEST(Autostart, ExecQuotesEveryCharacterTheDesktopEntryReserves) {
    struct Case {
        const char* program;
        const char* exec;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"/usr/bin/twinfold", R"("/usr/bin/twinfold")"},
             {"/opt/My Apps/twinfold", R"("/opt/My Apps/twinfold")"},
             {R"(/a"b/$x/`c`)", R"("/a\\"b/\\$x/\\`c\\`")"},
             {R"(/back\slash)", R"("/back\\\\slash")"},
             {"/100%/twinfold", R"("/100%%/twinfold")"},
         }) {
        EXPECT_EQ(platform::desktopExecValue(c.program), c.exec) << c.program;
    }
}

TEST(Autostart, OnWritesTheEntryAndOffRemovesIt) {
    testsupport::TempDir dir;
    const std::string folder = dir / "config/autostart/";
    const std::string entry = folder + platform::kAutostartEntryName;

    EXPECT_EQ(platform::setStartWithSession(false, "/usr/bin/twinfold", folder), "")
        << "removing an absent entry succeeds";
    EXPECT_FALSE(platform::startsWithSession(folder));

    ASSERT_EQ(platform::setStartWithSession(true, "/opt/tf dir/twinfold", folder), "");
    EXPECT_TRUE(platform::startsWithSession(folder));
    const std::string text = readFile(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_THAT(text, HasSubstr("\nType=Application\n"));
    EXPECT_THAT(text, HasSubstr("\nExec=\"/opt/tf dir/twinfold\"\n"));
    EXPECT_FALSE(pathExists(entry + ".new"));

    // Turning it on again replaces the entry (the program may have moved).
    ASSERT_EQ(platform::setStartWithSession(true, "/usr/bin/twinfold", folder), "");
    EXPECT_THAT(readFile(entry), HasSubstr("\nExec=\"/usr/bin/twinfold\"\n"));

    ASSERT_EQ(platform::setStartWithSession(false, "/usr/bin/twinfold", folder), "");
    EXPECT_FALSE(pathExists(entry));
    EXPECT_TRUE(pathExists(folder)) << "the folder is the session's, not ours";
}

TEST(Autostart, AFolderThatCannotBeMadeIsReported) {
    testsupport::TempDir dir;
    testsupport::makeTree(dir.path(), "blocked=a file where a folder should be\n");
    const std::string problem =
        platform::setStartWithSession(true, "/usr/bin/twinfold", dir / "blocked/autostart");
    EXPECT_THAT(problem, HasSubstr("can't make the folder"));
    EXPECT_THAT(problem, HasSubstr("Not a directory"));
    EXPECT_THAT(platform::setStartWithSession(true, "/usr/bin/twinfold", ""),
                HasSubstr("no autostart folder"));
}

TEST(Autostart, TheFolderFollowsXdgConfigHomeThenHome) {
    testsupport::ScopedEnvironment home("HOME", "/home/someone");
    testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(platform::autostartFolder(), "/xdg/config/autostart/");
    xdg.set("relative");
    EXPECT_EQ(platform::autostartFolder(), "/home/someone/.config/autostart/");
    xdg.set(std::nullopt);
    EXPECT_EQ(platform::autostartFolder(), "/home/someone/.config/autostart/");
}
