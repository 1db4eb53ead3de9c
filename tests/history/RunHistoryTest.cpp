#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "history/RunHistory.h"
#include "history/TaskStatus.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

using namespace std::chrono_literals;
using testsupport::TempDir;

namespace {

using Clock = std::chrono::system_clock;
const Clock::time_point kNoon = Clock::time_point(std::chrono::hours(24 * 20000 + 12));

RunResult makeRun(const std::string& task, int failed = 0, bool simulate = false,
                  Clock::time_point end = kNoon) {
    RunResult run;
    run.taskId = task;
    run.taskName = "Task " + task;
    run.origin = RunOrigin::Schedule;
    run.simulate = simulate;
    run.start = end - 90s;
    run.end = end;
    run.done = 5;
    run.failed = failed;
    return run;
}

std::vector<int> doneCounts(const std::vector<RunResult>& runs) {
    std::vector<int> counts;
    for (const RunResult& run : runs) {
        counts.push_back(run.done);
    }
    return counts;
}

}  // namespace

TEST(RunHistory, KeepsEveryFieldAndReturnsNewestFirst) {
    TempDir dir;
    RunResult run = makeRun("a", 1);
    run.origin = RunOrigin::CommandLine;
    run.skipped = 3;
    run.aborted = true;
    run.heldDeletions = 2;
    run.logFile = dir / "a.log";
    run.problems = {{true, "/m/\xff name", "permission denied"}, {false, "/m/b", "in use"}};
    {
        // The folder is made on first use.
        RunHistory history(dir / "state/twinfold/history.db");
        ASSERT_TRUE(history.record(run)) << history.problem();
        RunResult second = makeRun("a");
        second.done = 9;
        ASSERT_TRUE(history.record(second));
        ASSERT_TRUE(history.record(makeRun("b")));
    }
    RunHistory history(dir / "state/twinfold/history.db");
    const std::vector<RunResult> runs = history.runs("a");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].done, 9);
    const RunResult& kept = runs[1];
    EXPECT_EQ(kept.taskName, "Task a");
    EXPECT_EQ(kept.origin, RunOrigin::CommandLine);
    EXPECT_FALSE(kept.simulate);
    EXPECT_EQ(kept.start, run.start);
    EXPECT_EQ(kept.end, run.end);
    EXPECT_EQ(kept.failed, 1);
    EXPECT_EQ(kept.skipped, 3);
    EXPECT_TRUE(kept.aborted);
    EXPECT_EQ(kept.heldDeletions, 2);
    EXPECT_EQ(kept.logFile, run.logFile);
    ASSERT_EQ(kept.problems.size(), 2u);
    EXPECT_TRUE(kept.problems[0].failed);
    EXPECT_EQ(kept.problems[0].path, "/m/\xff name");
    EXPECT_EQ(kept.problems[1].reason, "in use");

    EXPECT_EQ(history.runs("", 2).size(), 2u);
    EXPECT_EQ(history.runs("a", 0, true).size(), 2u);
    const std::vector<RunResult> latest = history.latestRuns();
    ASSERT_EQ(latest.size(), 2u);
    EXPECT_EQ(latest[0].taskId, "b");
    EXPECT_EQ(latest[1].done, 9);
}

TEST(RunHistory, PrunesOldestRunsPerTaskAndInAll) {
    TempDir dir;
    RunHistory history(dir / "history.db", {.runsPerTask = 3, .runsInAll = 5});
    for (int i = 1; i <= 6; ++i) {
        RunResult run = makeRun("a");
        run.done = i;
        run.problems = {{true, "/p", "r"}};
        ASSERT_TRUE(history.record(run));
    }
    EXPECT_EQ(doneCounts(history.runs("a")), (std::vector{6, 5, 4}));
    for (int i = 1; i <= 4; ++i) {
        RunResult run = makeRun("b");
        run.done = 10 + i;
        ASSERT_TRUE(history.record(run));
    }
    // Five in all: b's three newest and a's two newest... a lost its oldest.
    EXPECT_EQ(doneCounts(history.runs("b")), (std::vector{14, 13, 12}));
    EXPECT_EQ(doneCounts(history.runs("a")), (std::vector{6, 5}));
    EXPECT_EQ(history.runs("").size(), 5u);
    // Problems of pruned runs go with them.
    RunHistory check(dir / "history.db");
    std::size_t problems = 0;
    for (const RunResult& run : check.runs("")) {
        problems += run.problems.size();
    }
    EXPECT_EQ(problems, 2u);
}

TEST(RunHistory, TwoProcessesWritingAtOnceLoseNoRow) {
    TempDir dir;
    const std::string path = dir / "history.db";
    constexpr int kRuns = 150;
    std::vector<pid_t> children;
    for (const char* task : {"windows", "cron"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RunHistory history(path);
            int failures = 0;
            for (int i = 0; i < kRuns; ++i) {
                failures += history.record(makeRun(task)) ? 0 : 1;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RunHistory history(path);
    EXPECT_EQ(history.runs("windows").size(), std::size_t{kRuns});
    EXPECT_EQ(history.runs("cron").size(), std::size_t{kRuns});
}

TEST(RunHistory, DamagedFileIsKeptAsideAndANewHistoryStarts) {
    TempDir dir;
    testsupport::writeFile(dir / "history.db", std::string(8192, 'x'));
    RunHistory history(dir / "history.db");
    std::vector<std::string> told;
    history.setReporter([&told](const std::string& problem) { told.push_back(problem); });
    EXPECT_TRUE(history.record(makeRun("a")));
    EXPECT_TRUE(history.record(makeRun("a")));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_THAT(told[0], ::testing::HasSubstr("damaged"));
    EXPECT_EQ(testsupport::readFile(dir / "history.db.damaged"), std::string(8192, 'x'));
    EXPECT_EQ(history.runs("a").size(), 2u);
}

TEST(RunHistory, UnwritableFolderFailsQuietlyAndTellsOnce) {
    TempDir dir;
    testsupport::makeDirs(dir / "locked");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0555), 0);
    const std::string path = dir / "locked/history.db";
    const int outcome = testsupport::runUnprivileged([&path]() {
        RunHistory history(path);
        int told = 0;
        history.setReporter([&told](const std::string&) { ++told; });
        const bool recorded = history.record(makeRun("a")) || history.record(makeRun("a"));
        const bool read = !history.runs("a").empty() || history.latestRuns().size() != 0;
        if (recorded || read) {
            return 1;
        }
        return told == 1 && !history.problem().empty() ? 0 : 2;
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_FALSE(testsupport::pathExists(path));
}

TEST(TaskStatus, FailedAndOverdueFollowRealRunsOnly) {
    TempDir dir;
    RunHistory history(dir / "history.db");
    const OverdueRule scheduled{.scheduledReal = true, .overdueDays = 7};
    const auto now = kNoon;

    EXPECT_FALSE(taskStatus(history, "a", scheduled, now).last);  // never run: no alarm

    ASSERT_TRUE(history.record(makeRun("a", 0, false, now - 10 * 24h)));
    TaskStatus status = taskStatus(history, "a", scheduled, now);
    EXPECT_TRUE(status.overdue);
    EXPECT_FALSE(status.lastRealFailed);
    EXPECT_FALSE(taskStatus(history, "a", {.scheduledReal = false, .overdueDays = 7}, now).overdue);
    EXPECT_FALSE(taskStatus(history, "a", {.scheduledReal = true, .overdueDays = 0}, now).overdue);

    // A failed real run neither clears the period nor hides behind a later
    // simulation.
    ASSERT_TRUE(history.record(makeRun("a", 2, false, now - 1h)));
    ASSERT_TRUE(history.record(makeRun("a", 0, true, now - 1min)));
    status = taskStatus(history, "a", scheduled, now);
    EXPECT_TRUE(status.last->simulate);
    EXPECT_TRUE(status.lastRealFailed);
    EXPECT_TRUE(status.overdue);

    ASSERT_TRUE(history.record(makeRun("a", 0, false, now)));
    status = taskStatus(history, "a", scheduled, now);
    EXPECT_FALSE(status.needsAttention());

    // Failing from its first run on: overdue counts from that run.
    ASSERT_TRUE(history.record(makeRun("b", 1, false, now - 8 * 24h)));
    EXPECT_TRUE(taskStatus(history, "b", scheduled, now).overdue);
}

TEST(RunHistory, MirrorKeyIsTheSameForTheSameFoldersHoweverWritten) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "m/\nc/\n");
    const std::string key = mirrorTaskKey(dir / "m", dir / "c");
    EXPECT_TRUE(key.starts_with(kMirrorKeyPrefix));
    EXPECT_EQ(mirrorTaskKey(dir / "m/", dir / "./c"), key);
    EXPECT_NE(mirrorTaskKey(dir / "c", dir / "m"), key);
}
