#include "schedule/Schedule.h"

#include <gtest/gtest.h>

#include "model/Task.h"
#include "platform/Clock.h"
#include "support/ScopedLocale.h"

using platform::makeTime;

namespace {

class ScheduleTest : public ::testing::Test {
protected:
    platform::FixedClock clock{platform::makeDateTime(2026, 12, 10, 9, 15, 30, 250)};
    Task task{clock};
    Schedule& schedule = task.schedule;
};

}  // namespace

TEST_F(ScheduleTest, NewScheduleDefaults) {
    EXPECT_EQ(schedule.task(), &task);
    EXPECT_FALSE(schedule.intervalEnabled);
    EXPECT_FALSE(schedule.fixupEnabled);
    EXPECT_TRUE(schedule.simulate);
    EXPECT_EQ(schedule.interval(), "5");
    EXPECT_EQ(schedule.fixup(), "09:15:30");
    EXPECT_DOUBLE_EQ(*schedule.fixupTime(), makeTime(9, 15, 30));
    EXPECT_DOUBLE_EQ(schedule.startTime(), makeTime(9, 15, 30, 250));
    EXPECT_EQ(schedule.runTimes(), 0);
    EXPECT_EQ(schedule.lastRunText(), "--:--:--");
}

TEST_F(ScheduleTest, IntervalIsKeptBetween5And59) {
    const struct {
        const char* text;
        const char* stored;
    } rows[] = {
        {"", "5"},
        {"3", "5"},
        {"60", "59"},
        {"120", "59"},
        {"5", "5"},
        {"59", "59"},
        {"17", "17"},
        {" 17 ", "17"},
        {"+17", "17"},
        {"017", "17"},
        {"-20", "5"},
        {"abc", "5"},
        {"17x", "5"},
        {"1.5e1", "5"},
        {"99999999999999999999", "59"},
        {"-99999999999999999999", "5"},
    };
    for (const auto& row : rows) {
        schedule.setInterval(row.text);
        EXPECT_EQ(schedule.interval(), row.stored) << '"' << row.text << '"';
        EXPECT_EQ(std::to_string(schedule.intervalMinutes()), row.stored) << row.text;
    }
}

TEST_F(ScheduleTest, FixupIsStoredAsItsTimeOfDayAndAnUnreadableTextIsKept) {
    schedule.setFixup("12/10/26 21:29:08");
    EXPECT_EQ(schedule.fixup(), "21:29:08");
    EXPECT_DOUBLE_EQ(*schedule.fixupTime(), makeTime(21, 29, 8));

    clock.set(makeTime(18, 0, 5, 700));
    schedule.setFixup("");
    EXPECT_EQ(schedule.fixup(), "18:00:05");
    EXPECT_DOUBLE_EQ(*schedule.fixupTime(), makeTime(18, 0, 5));
    EXPECT_DOUBLE_EQ(schedule.fixupHandledUntil(), makeTime(18, 0, 5, 700));

    schedule.setFixup("tea time");
    EXPECT_EQ(schedule.fixup(), "tea time");
    EXPECT_FALSE(schedule.fixupTime().has_value());
}

class ScheduleInLocale : public ::testing::TestWithParam<const char*> {};

// A fixed time set under one locale is kept in a form every locale reads.
TEST_P(ScheduleInLocale, FixupSetInTheLocaleIsStoredTheSameWay) {
    const testsupport::ScopedLocale locale(GetParam());
    if (!locale.active()) {
        GTEST_SKIP() << GetParam() << " is not installed (.ci/run generates it)";
    }
    platform::FixedClock clock(platform::makeDateTime(2026, 12, 10, 21, 29, 8, 400));
    Task task{clock};
    EXPECT_EQ(task.schedule.fixup(), "21:29:08");
    // An older file's value, written in this locale's own format.
    task.schedule.setFixup(platform::dateTimeText(platform::makeDateTime(2026, 12, 10, 9, 1, 2)));
    EXPECT_EQ(task.schedule.fixup(), "09:01:02");
}

INSTANTIATE_TEST_SUITE_P(Locales, ScheduleInLocale, ::testing::ValuesIn(testsupport::kTimeLocales),
                         testsupport::localeRowName);

TEST_F(ScheduleTest, ScheduledStartsAreCountedAndShown) {
    clock.set(makeTime(11, 0, 0));
    schedule.restartCountdown();
    EXPECT_DOUBLE_EQ(schedule.startTime(), makeTime(11, 0, 0));
    EXPECT_EQ(schedule.runTimes(), 0);  // a countdown restart is no scheduled start

    clock.set(platform::makeDateTime(2026, 12, 11, 0, 0, 0));  // exactly midnight
    schedule.countScheduledStart();
    EXPECT_EQ(schedule.runTimes(), 1);
    EXPECT_DOUBLE_EQ(schedule.lastRunTime(), 0.0);
    EXPECT_EQ(schedule.lastRunText(), platform::timeText(0.0));

    clock.set(makeTime(13, 45, 7));
    schedule.countScheduledStart();
    EXPECT_EQ(schedule.runTimes(), 2);
    EXPECT_EQ(schedule.lastRunText(), platform::timeText(makeTime(13, 45, 7)));
    EXPECT_DOUBLE_EQ(schedule.startTime(), makeTime(11, 0, 0));  // untouched
}

TEST(ScheduleDeathTest, NeedsATask) {
    EXPECT_DEATH(Schedule(nullptr, platform::Clock::system()), "task != nullptr");
}
