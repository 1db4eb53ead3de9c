#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "EngineFixture.h"
#include "engine/PlanCheck.h"
#include "engine/TaskRun.h"

using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::writeFile;

class PlanCheck : public EngineFixture {
protected:
    // The reason of each skip, by the path the plan shows (a skip shows its
    // source).
    static std::map<std::string, std::string> skips(const FileItemList& list) {
        std::map<std::string, std::string> reasons;
        for (const FileItem& item : list) {
            if (item.operation() == opSkip) {
                reasons[item.logPath()] = item.reason();
            }
        }
        return reasons;
    }
};

// What changed between the preview and "Run this plan" is skipped with a
// reason; everything else is carried out exactly as previewed.
TEST_F(PlanCheck, ChangedItemsAreSkippedAndTheRestRuns) {
    makeTree(dir.path(),
             "main/same=1\nmain/edited=1\nmain/vanishes=1\n"
             "mirror/old=x\nmirror/back=x\nmirror/olddir/a=1\nmirror/grows/a=1\n"
             "mirror/keepdir/a=1\n");
    testsupport::setWriteTime(mainPath("edited"), 1000000000);
    std::unique_ptr<FileItemList> list = plan();
    const PlanSnapshot seen = takePlanSnapshot(*list);

    writeFile(mainPath("edited"), "22");                      // modified since
    ASSERT_EQ(std::remove(mainPath("vanishes").c_str()), 0);  // gone since
    writeFile(mainPath("back"), "x");                         // came back: its copy stays
    writeFile(mirrorPath("grows/new"), "n");                  // added beneath a deleted folder
    writeFile(mainPath("later"), "n");                        // not in the plan: left alone

    EXPECT_EQ(recheckPlan(*list, seen), 4u);
    const auto reasons = skips(*list);
    EXPECT_THAT(reasons.at(mainPath("edited")),
                ::testing::HasSubstr("was modified since the preview"));
    EXPECT_THAT(reasons.at(mainPath("vanishes")),
                ::testing::HasSubstr("has gone since the preview"));
    EXPECT_THAT(reasons.at(mirrorPath("back")),
                ::testing::HasSubstr("has appeared since the preview"));
    EXPECT_THAT(reasons.at(mirrorPath("grows")),
                ::testing::HasSubstr("holds entries the preview did not list"));

    TaskRun run;
    run.setPlan(std::move(list));
    run.start(false);
    run.wait();
    EXPECT_EQ(testsupport::readFile(mirrorPath("same")), "1");
    EXPECT_FALSE(pathExists(mirrorPath("edited")));
    EXPECT_FALSE(pathExists(mirrorPath("later")));
    EXPECT_FALSE(pathExists(mirrorPath("old")));
    EXPECT_FALSE(pathExists(mirrorPath("olddir")));
    EXPECT_TRUE(pathExists(mirrorPath("back")));
    // The folder keeps what was added; what the preview listed beneath it goes.
    EXPECT_TRUE(pathExists(mirrorPath("grows/new")));
    EXPECT_FALSE(pathExists(mirrorPath("grows/a")));
}

TEST_F(PlanCheck, AnUnchangedPlanIsLeftAsItIs) {
    makeTree(dir.path(), "main/a=1\nmain/d/b=2\nmirror/gone/c=3\n");
    std::unique_ptr<FileItemList> list = plan();
    const std::vector<std::string> before = linesOf(*list);
    EXPECT_EQ(recheckPlan(*list, takePlanSnapshot(*list)), 0u);
    EXPECT_EQ(linesOf(*list), before);
}
