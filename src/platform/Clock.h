#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Date-time values count days since 1899-12-30 00:00 local time; the fraction
// is the time of day (0.25 is 06:00).
using DateTime = double;

struct TimeParts {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int milliseconds = 0;
};

// The clock the scheduler and the task log read. Tests inject their own to set
// "now" instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    // The current local date and time.
    virtual DateTime now() const = 0;
    // The current time of day, in [0, 1).
    DateTime timeOfDay() const;

    // The real clock of the system.
    static const Clock& system();
};

// A clock that shows whatever it is set to.
class FixedClock : public Clock {
public:
    explicit FixedClock(DateTime value = 0) : m_value(value) {}
    DateTime now() const override { return m_value; }
    void set(DateTime value) { m_value = value; }
    void advanceSeconds(double seconds) { m_value += seconds / 86400.0; }

private:
    DateTime m_value;
};

// Builds a date-time value.
DateTime makeDateTime(int year, int month, int day, int hours = 0, int minutes = 0, int seconds = 0,
                      int milliseconds = 0);
DateTime makeTime(int hours, int minutes, int seconds = 0, int milliseconds = 0);

// Splits the time of day of a value (its date is dropped), to the millisecond.
TimeParts splitTime(DateTime value);

// The time of day in the locale's time format.
std::string timeText(DateTime value);
// The date and time in the locale's formats.
std::string dateTimeText(DateTime value);
// strftime-style formatting of a date-time value ("%m-%d %H:%M:%S").
std::string formatDateTime(DateTime value, const char* format);

// The time of day as the configuration file keeps it, whatever the locale:
// "HH:MM:SS", 24-hour, ASCII digits.
std::string storedTimeText(DateTime value);
// The date and time as the configuration file keeps them:
// "YYYY-MM-DD HH:MM:SS", ASCII digits.
std::string storedDateTimeText(DateTime value);
// Reads what storedDateTimeText writes; none for any other text.
std::optional<DateTime> readStoredDateTime(std::string_view text);

// Reads a time of day from text holding a time alone, or a date and a time;
// the date is ignored. The stored form ("HH:MM:SS") reads the same in every
// locale. Texts written in the locale's own time format (older configuration
// files) are read with that format, its AM/PM words included; "h:mm" or
// "h:mm:ss" with a Latin AM/PM marker is read in any locale. The last time in
// the text counts. None when the text holds no time.
std::optional<DateTime> readTimeOfDay(std::string_view text);

}  // namespace platform
