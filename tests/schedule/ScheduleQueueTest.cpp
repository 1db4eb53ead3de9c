#include "schedule/ScheduleQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Clock.h"
#include "schedule/Schedule.h"

using platform::makeTime;

namespace {

// A queue and its tasks reading one clock that the test moves.
class ScheduleQueueTest : public ::testing::Test {
protected:
    Task& watched(const char* name) {
        Task& task = tasks.addTask();
        task.name = name;
        queue.addSchedule(&task.schedule);
        return task;
    }

    Task& everyMinutes(const char* name, const char* minutes) {
        Task& task = watched(name);
        task.schedule.intervalEnabled = true;
        task.schedule.setInterval(minutes);
        return task;
    }

    Task& atTime(const char* name, const char* fixup) {
        Task& task = watched(name);
        task.schedule.fixupEnabled = true;
        task.schedule.setFixup(fixup);
        return task;
    }

    // Checks at the given time of day.
    void checkAt(int h, int m, int s, int ms = 0) {
        clock.set(makeTime(h, m, s, ms));
        queue.checkSchedules();
    }

    std::vector<std::string> drain() {
        std::vector<std::string> names;
        while (Task* task = queue.takeDueTask()) {
            names.push_back(task->name);
        }
        return names;
    }

    platform::FixedClock clock{makeTime(10, 0, 0)};
    TaskManager tasks{clock};
    ScheduleQueue queue{clock};
};

}  // namespace

TEST(ScheduleQueueTimes, ElapsedSinceStartCountsWholeSeconds) {
    const struct {
        platform::DateTime later, earlier;
        int hours, minutes, seconds;
    } rows[] = {
        {makeTime(10, 5, 0), makeTime(10, 0, 0), 0, 5, 300},
        {makeTime(10, 5, 0, 100), makeTime(10, 0, 0, 900), 0, 5, 300},  // ms dropped
        {makeTime(10, 4, 59, 999), makeTime(10, 0, 0), 0, 4, 299},
        {makeTime(11, 0, 0), makeTime(10, 59, 59), 1, 1, 1},
        {makeTime(0, 0, 1), makeTime(23, 50, 0), -23, -1430, -85799},
        {platform::makeDateTime(2026, 1, 2, 8, 0, 0), makeTime(7, 0, 0), 1, 60, 3600},
    };
    for (const auto& row : rows) {
        const ScheduleQueue::Elapsed e = ScheduleQueue::elapsedSinceStart(row.later, row.earlier);
        EXPECT_EQ(e.hours, row.hours) << row.seconds;
        EXPECT_EQ(e.minutes, row.minutes) << row.seconds;
        EXPECT_EQ(e.seconds, row.seconds);
    }
}

TEST(ScheduleQueueTimes, SameSecondIsTheFirstHalfSecondOfTheTarget) {
    const platform::DateTime target = makeTime(21, 29, 8);
    const struct {
        platform::DateTime now;
        bool same;
    } rows[] = {
        {makeTime(21, 29, 8, 0), true},
        {makeTime(21, 29, 8, 300), true},
        {makeTime(21, 29, 8, 499), true},
        {makeTime(21, 29, 8, 500), false},
        {makeTime(21, 29, 8, 600), false},
        {makeTime(21, 29, 7, 900), false},
        {makeTime(21, 29, 9, 0), false},
        {makeTime(22, 29, 8, 0), false},
        {platform::makeDateTime(2030, 5, 6, 21, 29, 8, 100), true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ScheduleQueue::sameSecond(row.now, target), row.same)
            << platform::timeText(row.now);
    }
    EXPECT_TRUE(ScheduleQueue::sameSecond(makeTime(1, 2, 3, 100), makeTime(1, 2, 3, 400)));
}

TEST_F(ScheduleQueueTest, IntervalFallsDueAtTheFirstCheckAfterItsPeriod) {
    Task& task = everyMinutes("Five", "5");
    checkAt(10, 4, 59, 800);
    EXPECT_FALSE(queue.isQueued(&task));
    checkAt(10, 5, 0, 100);
    EXPECT_TRUE(queue.isQueued(&task));
    EXPECT_DOUBLE_EQ(task.schedule.startTime(), makeTime(10, 5, 0, 100));
    // Waiting in the queue, it is not queued again.
    checkAt(10, 10, 0, 200);
    EXPECT_EQ(drain(), std::vector<std::string>{"Five"});
    EXPECT_DOUBLE_EQ(task.schedule.startTime(), makeTime(10, 5, 0, 100));
}

TEST_F(ScheduleQueueTest, CountdownPassingMidnightStartsAfresh) {
    clock.set(makeTime(23, 50, 0));
    Task& task = everyMinutes("Half hour", "30");
    task.schedule.restartCountdown();
    checkAt(0, 0, 0, 200);
    EXPECT_FALSE(queue.isQueued(&task));
    EXPECT_DOUBLE_EQ(task.schedule.startTime(), makeTime(0, 0, 0, 200));
    checkAt(0, 20, 0, 0);
    EXPECT_FALSE(queue.isQueued(&task));
    checkAt(0, 30, 0, 0);
    EXPECT_TRUE(queue.isQueued(&task));
}

TEST_F(ScheduleQueueTest, FixedTimeFiresInTheFirstHalfSecondOnly) {
    Task& task = atTime("Evening", "12/10/26 21:29:08");
    Task& otherDate = atTime("Other date", "2031-01-01 21:29:08");
    checkAt(21, 29, 7, 900);
    EXPECT_EQ(queue.dueCount(), 0u);
    checkAt(21, 29, 8, 300);
    EXPECT_EQ(drain(), (std::vector<std::string>{"Evening", "Other date"}));
    checkAt(21, 29, 8, 600);
    EXPECT_EQ(queue.dueCount(), 0u);
    // A fixed-time match leaves the countdown alone.
    EXPECT_DOUBLE_EQ(task.schedule.startTime(), makeTime(10, 0, 0));
    EXPECT_DOUBLE_EQ(otherDate.schedule.startTime(), makeTime(10, 0, 0));
}

// The start timer can take a task off the queue inside the half-second
// window; the next check must not queue it again for the same occurrence.
TEST_F(ScheduleQueueTest, FixedTimeQueuesOncePerOccurrence) {
    Task& task = atTime("Evening", "21:29:08");
    checkAt(21, 29, 8, 100);
    ASSERT_EQ(queue.takeDueTask(), &task);
    checkAt(21, 29, 8, 300);
    checkAt(21, 29, 8, 499);
    EXPECT_EQ(queue.dueCount(), 0u);
    // The next day's occurrence fires again.
    clock.set(platform::makeDateTime(1899, 12, 31, 21, 29, 8, 200));
    queue.checkSchedules();
    EXPECT_EQ(drain(), std::vector<std::string>{"Evening"});
}

// Checks that skip the half-second window: the program was not running, the
// machine slept, or a long task kept the window's thread busy.
TEST_F(ScheduleQueueTest, MissedFixedTimeRunsOnceWhenTheTaskAsksForIt) {
    Task& makeUp = atTime("Make up", "21:29:08");
    makeUp.schedule.runMissed = true;
    Task& skip = atTime("Skip", "21:29:08");
    checkAt(21, 29, 7, 900);
    EXPECT_EQ(queue.dueCount(), 0u);
    checkAt(23, 0, 0);
    EXPECT_EQ(drain(), std::vector<std::string>{"Make up"});
    checkAt(23, 0, 0, 200);
    EXPECT_EQ(queue.dueCount(), 0u);

    // Handled up to a time stored before the program ended: the first check
    // after the start makes up for the occurrence in between, once.
    skip.schedule.runMissed = true;
    makeUp.schedule.setFixupHandledUntil(platform::makeDateTime(1899, 12, 31, 8, 0, 0));
    skip.schedule.setFixupHandledUntil(platform::makeDateTime(1899, 12, 31, 22, 0, 0));
    clock.set(platform::makeDateTime(1900, 1, 2, 9, 0, 0));
    queue.checkSchedules();
    queue.checkSchedules();
    EXPECT_EQ(drain(), (std::vector<std::string>{"Make up", "Skip"}));
    EXPECT_DOUBLE_EQ(skip.schedule.fixupHandledUntil(),
                     platform::makeDateTime(1900, 1, 1, 21, 29, 8));
}

TEST_F(ScheduleQueueTest, SettingTheFixedTimeDoesNotCountEarlierOccurrencesAsMissed) {
    clock.set(makeTime(21, 40, 0));
    Task& task = atTime("Just set", "21:29:08");
    task.schedule.runMissed = true;
    queue.checkSchedules();
    EXPECT_EQ(queue.dueCount(), 0u);
}

TEST_F(ScheduleQueueTest, FixedTimeWithoutAReadableTimeNeverFires) {
    atTime("Broken", "tea time");
    for (int s = 0; s < 60; ++s) {
        checkAt(0, 0, s);
    }
    EXPECT_EQ(queue.dueCount(), 0u);
}

TEST_F(ScheduleQueueTest, DisabledSchedulesNeverQueue) {
    Task& task = atTime("Off", "10:05:00");
    task.schedule.fixupEnabled = false;
    task.schedule.setInterval("5");
    checkAt(10, 5, 0);
    checkAt(23, 0, 0);
    EXPECT_EQ(queue.dueCount(), 0u);
}

TEST_F(ScheduleQueueTest, IntervalAndFixedTimeDueTogetherQueueOnce) {
    Task& task = everyMinutes("Both", "5");
    task.schedule.fixupEnabled = true;
    task.schedule.setFixup("10:05:00");
    checkAt(10, 5, 0, 100);
    checkAt(10, 5, 0, 300);
    EXPECT_EQ(drain(), std::vector<std::string>{"Both"});
}

TEST_F(ScheduleQueueTest, TasksDueTogetherAreTakenInListOrderOneAtATime) {
    everyMinutes("First", "5");
    atTime("Second", "10:05:00");
    everyMinutes("Third", "5");
    checkAt(10, 5, 0, 100);
    ASSERT_EQ(queue.dueCount(), 3u);
    // A run takes one task; the others wait through further checks.
    EXPECT_EQ(queue.takeDueTask()->name, "First");
    checkAt(10, 5, 0, 300);
    checkAt(10, 6, 0, 0);
    EXPECT_EQ(drain(), (std::vector<std::string>{"Second", "Third"}));
}

TEST_F(ScheduleQueueTest, TaskRunningCanFallDueAgain) {
    Task& task = everyMinutes("Long", "5");
    checkAt(10, 5, 0);
    ASSERT_EQ(queue.takeDueTask(), &task);
    task.schedule.countScheduledStart();
    task.schedule.restartCountdown();  // as every run start does
    checkAt(10, 10, 0);
    EXPECT_TRUE(queue.isQueued(&task));
    EXPECT_EQ(task.schedule.runTimes(), 1);
}

TEST_F(ScheduleQueueTest, QueuedIsDecidedByIdentifier) {
    Task& task = watched("Original");
    Task twin(clock);
    twin.id = task.id;
    queue.queueTask(&task);
    EXPECT_TRUE(queue.isQueued(&twin));
    queue.queueTask(&twin);
    queue.queueTask(&task);
    EXPECT_EQ(queue.dueCount(), 1u);
    EXPECT_FALSE(queue.isQueued(&tasks.addTask()));
}

TEST_F(ScheduleQueueTest, SchedulesAreWatchedOnce) {
    Task& task = everyMinutes("Once", "5");
    queue.addSchedule(&task.schedule);
    EXPECT_EQ(queue.scheduleCount(), 1u);
}

TEST_F(ScheduleQueueTest, ForgottenTaskIsNeverStarted) {
    Task& gone = everyMinutes("Gone", "5");
    everyMinutes("Stays", "5");
    checkAt(10, 5, 0);
    ASSERT_EQ(queue.dueCount(), 2u);
    queue.forgetTask(&gone);
    tasks.removeTask(gone.id);
    EXPECT_EQ(queue.scheduleCount(), 1u);
    checkAt(10, 10, 0);
    EXPECT_EQ(drain(), std::vector<std::string>{"Stays"});
    checkAt(10, 20, 0);
    EXPECT_EQ(drain(), std::vector<std::string>{"Stays"});
}

TEST_F(ScheduleQueueTest, EmptyQueueGivesNothing) {
    EXPECT_EQ(queue.takeDueTask(), nullptr);
}
