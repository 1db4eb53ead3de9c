#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/XMLConfig.h"
#include "support/ScopedEnvironment.h"
#include "support/TempTree.h"

using testsupport::ScopedEnvironment;

TEST(ConfigLocation, PortableFileFirstThenXdgThenHome) {
    testsupport::TempDir dir;
    testsupport::makeTree(dir.path(), "portable/config.xml=<config/>\ninstalled/bin/\nhome/\n");
    ScopedEnvironment home("HOME", dir / "home");
    ScopedEnvironment xdg("XDG_CONFIG_HOME", dir / "xdg");

    EXPECT_EQ(XMLConfig::configFolderFor(dir / "portable/"), dir / "portable/");
    EXPECT_EQ(XMLConfig::configFolderFor(dir / "installed/bin/"), dir / "xdg/twinfold/");
    // A relative XDG_CONFIG_HOME is not to be used.
    xdg.set("relative/place");
    EXPECT_EQ(XMLConfig::configFolderFor(dir / "installed/bin/"), dir / "home/.config/twinfold/");
    xdg.set(std::nullopt);
    EXPECT_EQ(XMLConfig::configFolderFor(dir / "installed/bin/"), dir / "home/.config/twinfold/");
}

TEST(ConfigLocation, StateBesideAPortableFileElseXdgStateElseHome) {
    testsupport::TempDir dir;
    testsupport::makeTree(dir.path(), "portable/config.xml=<config/>\ninstalled/bin/\nhome/\n");
    ScopedEnvironment home("HOME", dir / "home");
    ScopedEnvironment xdg("XDG_STATE_HOME", dir / "state");

    EXPECT_EQ(XMLConfig::stateFolderFor(dir / "portable/"), dir / "portable/");
    EXPECT_EQ(XMLConfig::stateFolderFor(dir / "installed/bin/"), dir / "state/twinfold/");
    xdg.set(std::nullopt);
    EXPECT_EQ(XMLConfig::stateFolderFor(dir / "installed/bin/"),
              dir / "home/.local/state/twinfold/");
}

TEST(ConfigLocation, DefaultFileBesideTheProgramElseInTheDataFolder) {
    testsupport::TempDir dir;
    testsupport::makeTree(dir.path(),
                          "beside/bin/default.xml\n"
                          "beside/share/twinfold/default.xml\n"
                          "installed/bin/\n"
                          "installed/share/twinfold/default.xml\n"
                          "nowhere/bin/\n");
    EXPECT_EQ(XMLConfig::defaultFileFor(dir / "beside/bin/"), dir / "beside/bin/default.xml");
    EXPECT_EQ(XMLConfig::defaultFileFor(dir / "installed/bin/"),
              dir / "installed/share/twinfold/default.xml");
    EXPECT_EQ(XMLConfig::defaultFileFor(dir / "nowhere/bin/"), dir / "nowhere/bin/default.xml");
}
