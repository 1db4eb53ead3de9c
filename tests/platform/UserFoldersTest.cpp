#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/ScopedEnvironment.h"

using platform::UserFolder;
using testsupport::ScopedEnvironment;

TEST(UserFolders, EachKindFollowsItsVariableWhenAbsoluteElseTheHomeFolder) {
    const struct {
        UserFolder kind;
        const char* variable;
        const char* inHome;
    } kinds[] = {
        {UserFolder::Config, "XDG_CONFIG_HOME", "/home/someone/.config/"},
        {UserFolder::State, "XDG_STATE_HOME", "/home/someone/.local/state/"},
        {UserFolder::Data, "XDG_DATA_HOME", "/home/someone/.local/share/"},
    };
    ScopedEnvironment home("HOME", "/home/someone/");
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.variable);
        ScopedEnvironment variable(kind.variable, "/xdg/base");
        EXPECT_EQ(platform::userFolder(kind.kind), "/xdg/base/");
        variable.set("relative/base");
        EXPECT_EQ(platform::userFolder(kind.kind), kind.inHome);
        variable.set(std::nullopt);
        EXPECT_EQ(platform::userFolder(kind.kind), kind.inHome);
    }
    EXPECT_EQ(platform::homeFolder(), "/home/someone/");
    // A relative HOME is passed over for the user database's entry.
    home.set("relative");
    const std::string fromDatabase = platform::homeFolder();
    EXPECT_TRUE(fromDatabase.empty() || fromDatabase.front() == '/') << fromDatabase;
}
