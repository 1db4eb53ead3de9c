#include "platform/Clock.h"

#include <gtest/gtest.h>

#include "support/ScopedLocale.h"

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

// The fixed time of a schedule used to be written in the locale's time format
// and read back as ASCII "h:mm[:ss] AM/PM": under fi_FI it could not be read,
// under hi_IN the evening came back as the morning.
class ClockInLocale : public ::testing::TestWithParam<const char*> {};

TEST_P(ClockInLocale, StoredTimeIsTheSameTextInEveryLocale) {
    const testsupport::ScopedLocale locale(GetParam());
    if (!locale.active()) {
        GTEST_SKIP() << GetParam() << " is not installed (.ci/run generates it)";
    }
    EXPECT_EQ(storedTimeText(makeTime(21, 29, 8, 700)), "21:29:08");
    EXPECT_EQ(storedTimeText(makeTime(9, 5, 0)), "09:05:00");
    EXPECT_EQ(storedDateTimeText(makeDateTime(2026, 2, 3, 21, 29, 8)), "2026-02-03 21:29:08");
    EXPECT_DOUBLE_EQ(*readTimeOfDay("21:29:08"), makeTime(21, 29, 8));
    EXPECT_DOUBLE_EQ(*readStoredDateTime("2026-02-03 21:29:08"),
                     makeDateTime(2026, 2, 3, 21, 29, 8));
    EXPECT_FALSE(readStoredDateTime("2026-02-03").has_value());
    EXPECT_FALSE(readStoredDateTime("2026-13-03 21:29:08").has_value());
}

TEST_P(ClockInLocale, TextsWrittenTheOldWayReadBackInTheirLocale) {
    const testsupport::ScopedLocale locale(GetParam());
    if (!locale.active()) {
        GTEST_SKIP() << GetParam() << " is not installed (.ci/run generates it)";
    }
    for (const int hours : {21, 9, 0, 12}) {
        const DateTime value = makeDateTime(2026, 12, 10, hours, 29, 8);
        const auto timeOnly = readTimeOfDay(timeText(value));
        const auto withDate = readTimeOfDay(dateTimeText(value));
        ASSERT_TRUE(timeOnly.has_value()) << timeText(value);
        ASSERT_TRUE(withDate.has_value()) << dateTimeText(value);
        EXPECT_DOUBLE_EQ(*timeOnly, makeTime(hours, 29, 8)) << timeText(value);
        EXPECT_DOUBLE_EQ(*withDate, makeTime(hours, 29, 8)) << dateTimeText(value);
    }
    // A Latin marker reads in every locale.
    EXPECT_DOUBLE_EQ(*readTimeOfDay("09:29:08 PM"), makeTime(21, 29, 8));
}

INSTANTIATE_TEST_SUITE_P(Locales, ClockInLocale, ::testing::ValuesIn(testsupport::kTimeLocales),
                         testsupport::localeRowName);
