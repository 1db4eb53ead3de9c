#include <gtest/gtest.h>

#include <chrono>

#include "EngineFixture.h"
#include "engine/AppLog.h"
#include "engine/RunStarter.h"
#include "engine/TaskRun.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"

using testsupport::makeTree;
using testsupport::pathExists;

TEST(DeleteLimit, ParsesCountsAndSharesAndDecidesFromBothSides) {
    const struct {
        const char* name;
        const char* text;
        bool valid;
        std::int64_t deletions;
        std::int64_t entries;
        bool exceeded;
    } rows[] = {
        // Each row names the loss (or the needless refusal) it would catch.
        {"a count allows exactly that many", "5", true, 5, 6, false},
        {"one over a count is held", "5", true, 6, 1000, true},
        {"a share is a share of the mirror, not a count", "10%", true, 11, 100, true},
        {"a share allows up to its edge", "10%", true, 10, 100, false},
        {"100% allows everything", "100%", true, 1000, 1000, false},
        {"0% holds any deletion", "0%", true, 1, 1000, true},
        {"0 holds any deletion", "0", true, 1, 1000, true},
        {"negative counts are refused", "-1", false, 0, 0, false},
        {"shares over 100 are refused", "101%", false, 0, 0, false},
        {"words are refused", "all", false, 0, 0, false},
        {"an empty text is refused", "", false, 0, 0, false},
        {"a bare percent sign is refused", "%", false, 0, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto limit = DeleteLimit::parse(row.text);
        ASSERT_EQ(limit.has_value(), row.valid);
        if (limit) {
            EXPECT_EQ(limit->exceeded(row.deletions, row.entries), row.exceeded);
        }
    }

    // The general setting: more than half of the mirror and more than ten.
    const DeleteLimit standard;
    EXPECT_FALSE(standard.exceeded(10, 10)) << "a small mirror emptied by design";
    EXPECT_TRUE(standard.exceeded(11, 20)) << "most of a mirror";
    EXPECT_FALSE(standard.exceeded(50, 100)) << "exactly half is allowed";
    EXPECT_TRUE(standard.exceeded(51, 100));
}

class RunStarterTest : public EngineFixture {
protected:
    RunStarterTest() : log(platform::programFolder() + AppLog::kLibraryName, nullptr, clock) {
        policy.setDeleteToRecycleBin(false);
    }

    // A mirror of `kept` files main still has and `gone` files it has lost.
    void makeMirror(int kept, int gone) {
        std::string tree;
        for (int i = 0; i < kept; ++i) {
            tree += "main/k" + std::to_string(i) + "=x\nmirror/k" + std::to_string(i) + "=x\n";
        }
        for (int i = 0; i < gone; ++i) {
            tree += "mirror/g" + std::to_string(i) + "=x\n";
        }
        makeTree(dir.path(), tree);
    }

    RunResult runWith(const DeleteLimit& limit, bool allow) {
        RunStarter starter(run, log);
        starter.begin(task, RunOrigin::Schedule, false);
        PlanOutcome outcome = buildPlan(task, 100);
        EXPECT_TRUE(outcome.plan != nullptr) << outcome.failure;
        starter.guard(*outcome.plan, limit, [allow](const GuardHit&) { return allow; });
        starter.start(std::move(outcome.plan));
        run.wait();
        return starter.finish();
    }

    platform::FixedClock clock;
    AppLog log;
    TaskRun run;
};

TEST_F(RunStarterTest, HeldDeletionsKeepEveryMirrorEntryAndAreReportedAsSkipped) {
    makeMirror(4, 12);  // 12 of 16 entries would go
    const RunResult result = runWith(DeleteLimit(), false);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(pathExists(mirrorPath("g" + std::to_string(i))));
    }
    EXPECT_EQ(result.heldDeletions, 12);
    EXPECT_EQ(result.skipped, 12);
    EXPECT_EQ(result.failed, 0);
    EXPECT_FALSE(result.succeeded());
    ASSERT_FALSE(result.problems.empty());
    EXPECT_NE(result.problems.front().reason.find("12 of the mirror's 16"), std::string::npos)
        << result.problems.front().reason;
    EXPECT_EQ(result.origin, RunOrigin::Schedule);
}

TEST_F(RunStarterTest, AllowedOrSmallDeletionsGoAhead) {
    makeMirror(4, 12);
    const RunResult allowed = runWith(DeleteLimit(), true);
    EXPECT_EQ(allowed.heldDeletions, 0);
    EXPECT_EQ(allowed.done, 12);
    EXPECT_FALSE(pathExists(mirrorPath("g0")));

    // Under the limit nobody is asked: a few files deleted from a large mirror.
    makeMirror(30, 3);
    const RunResult small = runWith(DeleteLimit(), false);
    EXPECT_EQ(small.heldDeletions, 0);
    EXPECT_FALSE(pathExists(mirrorPath("g2")));
    EXPECT_TRUE(small.succeeded());
}

TEST_F(RunStarterTest, AFolderDeletionCountsEveryEntryBeneathIt) {
    // One vanished folder with many files is most of the mirror, though it
    // is a single entry at the top.
    std::string tree = "main/a=1\nmirror/a=1\n";
    for (int i = 0; i < 20; ++i) {
        tree += "mirror/share/f" + std::to_string(i) + "=x\n";
    }
    makeTree(dir.path(), tree);
    const RunResult result = runWith(DeleteLimit(), false);
    EXPECT_TRUE(pathExists(mirrorPath("share/f19")));
    EXPECT_EQ(result.heldDeletions, 21);
}
