#include "platform/Clock.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Clock, DateTimeValuesCountDaysSince1899) {
    EXPECT_DOUBLE_EQ(makeDateTime(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(makeDateTime(1900, 1, 1, 6), 2.25);
    const TimeParts t = splitTime(makeDateTime(2026, 12, 10, 21, 29, 8, 300));
    EXPECT_EQ(t.hours, 21);
    EXPECT_EQ(t.minutes, 29);
    EXPECT_EQ(t.seconds, 8);
    EXPECT_EQ(t.milliseconds, 300);
}

TEST(Clock, FixedClockGivesTheTimeOfDayOnly) {
    FixedClock clock(makeDateTime(2026, 2, 3, 23, 59, 59, 900));
    EXPECT_DOUBLE_EQ(clock.timeOfDay(), makeTime(23, 59, 59, 900));
    clock.advanceSeconds(0.2);
    EXPECT_NEAR(clock.timeOfDay(), makeTime(0, 0, 0, 100), 1e-12);
}

TEST(Clock, ReadsTheTimeOfATextAndIgnoresItsDate) {
    struct Case {
        const char* text;
        int h, m, s;
    } cases[] = {
        {"21:29:08", 21, 29, 8},       {"12/10/26 21:29:08", 21, 29, 8},
        {"2026-12-10 07:05", 7, 5, 0}, {"10.12.2026 9:05:07", 9, 5, 7},
        {"09:05:07 PM", 21, 5, 7},     {"12:00:00 AM", 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto value = readTimeOfDay(c.text);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_DOUBLE_EQ(*value, makeTime(c.h, c.m, c.s)) << c.text;
    }
    EXPECT_FALSE(readTimeOfDay("").has_value());
    EXPECT_FALSE(readTimeOfDay("no time here").has_value());
    EXPECT_FALSE(readTimeOfDay("25:00:00").has_value());
}

TEST(Clock, TimeTextRoundTripsThroughTheReader) {
    const DateTime value = makeDateTime(2026, 12, 10, 21, 29, 8);
    EXPECT_DOUBLE_EQ(*readTimeOfDay(timeText(value)), makeTime(21, 29, 8));
    EXPECT_DOUBLE_EQ(*readTimeOfDay(dateTimeText(value)), makeTime(21, 29, 8));
    EXPECT_EQ(formatDateTime(makeDateTime(2026, 2, 3, 9, 5, 7), "%m-%d %H:%M:%S"),
              "02-03 09:05:07");
}
