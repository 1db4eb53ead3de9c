#include "platform/Clock.h"

#include <langinfo.h>
#include <sys/time.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace platform {

namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long daysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

const long kDaysTo1970 = -daysFromCivil(1899, 12, 30);

class SystemClock : public Clock {
public:
    DateTime now() const override {
        struct timeval tv;
        gettimeofday(&tv, nullptr);
        struct tm local;
        localtime_r(&tv.tv_sec, &local);
        return makeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                            local.tm_min, local.tm_sec, static_cast<int>(tv.tv_usec / 1000));
    }
};

struct tm toTm(DateTime value) {
    long days = static_cast<long>(std::floor(value));
    const TimeParts t = splitTime(value);
    struct tm out = {};
    int y = 0, m = 0, d = 0;
    civilFromDays(days - kDaysTo1970, y, m, d);
    out.tm_year = y - 1900;
    out.tm_mon = m - 1;
    out.tm_mday = d;
    out.tm_hour = t.hours;
    out.tm_min = t.minutes;
    out.tm_sec = t.seconds;
    out.tm_isdst = -1;
    // Weekday and day of the year, for formats that show them.
    out.tm_wday = static_cast<int>(((days - kDaysTo1970) % 7 + 11) % 7);
    out.tm_yday = static_cast<int>(daysFromCivil(y, m, d) - daysFromCivil(y, 1, 1));
    return out;
}

}  // namespace

DateTime Clock::timeOfDay() const {
    const DateTime value = now();
    const TimeParts t = splitTime(value);
    return makeTime(t.hours, t.minutes, t.seconds, t.milliseconds);
}

const Clock& Clock::system() {
    static const SystemClock clock;
    return clock;
}

DateTime makeDateTime(int year, int month, int day, int hours, int minutes, int seconds,
                      int milliseconds) {
    const double days = static_cast<double>(daysFromCivil(year, month, day) + kDaysTo1970);
    return days + makeTime(hours, minutes, seconds, milliseconds);
}

DateTime makeTime(int hours, int minutes, int seconds, int milliseconds) {
    return (((hours * 60.0 + minutes) * 60.0 + seconds) * 1000.0 + milliseconds) / 86400000.0;
}

TimeParts splitTime(DateTime value) {
    const double fraction = value - std::floor(value);
    auto ms = static_cast<long long>(std::llround(fraction * 86400000.0));
    if (ms >= 86400000LL) {
        ms = 86400000LL - 1;
    }
    TimeParts t;
    t.milliseconds = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.seconds = static_cast<int>(ms % 60);
    ms /= 60;
    t.minutes = static_cast<int>(ms % 60);
    t.hours = static_cast<int>(ms / 60);
    return t;
}

std::string formatDateTime(DateTime value, const char* format) {
    const struct tm tmValue = toTm(value);
    char buffer[128];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const auto n = std::strftime(buffer, sizeof buffer, format, &tmValue);
#pragma GCC diagnostic pop
    return std::string(buffer, n);
}

std::string timeText(DateTime value) {
    return formatDateTime(value, "%X");
}

std::string dateTimeText(DateTime value) {
    return formatDateTime(value, "%x %X");
}

std::string storedTimeText(DateTime value) {
    const TimeParts t = splitTime(value);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hours, t.minutes, t.seconds);
    return buffer;
}

std::string storedDateTimeText(DateTime value) {
    const struct tm parts = toTm(value);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buffer;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal number of exactly `digits` ASCII digits at `text[at]`.
std::optional<int> fixedNumber(std::string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "HH:MM:SS" and nothing else.
std::optional<DateTime> readStoredTime(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const auto h = fixedNumber(text, 0, 2);
    const auto m = fixedNumber(text, 3, 2);
    const auto s = fixedNumber(text, 6, 2);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) {
        return std::nullopt;
    }
    return makeTime(*h, *m, *s);
}

// A time in the locale's time format starting at `at`; glibc's strptime reads
// the locale's AM/PM words for %p.
std::optional<DateTime> readLocaleTime(const std::string& text, std::size_t at,
                                       const char* format) {
    if (format == nullptr || *format == '\0') {
        return std::nullopt;
    }
    struct tm parts = {};
    parts.tm_hour = -1;
    if (strptime(text.c_str() + at, format, &parts) == nullptr || parts.tm_hour < 0 ||
        parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 59) {
        return std::nullopt;
    }
    return makeTime(parts.tm_hour, parts.tm_min, parts.tm_sec);
}

// "h:mm" or "h:mm:ss" at `at`, with an optional Latin AM/PM marker after
// blanks.
std::optional<DateTime> readColonTime(std::string_view text, std::size_t at) {
    std::size_t i = at;
    const auto number = [&](std::size_t maxDigits, int& out) {
        std::size_t n = 0;
        out = 0;
        while (i < text.size() && isDigit(text[i]) && n < maxDigits) {
            out = out * 10 + (text[i] - '0');
            ++i, ++n;
        }
        return n;
    };
    int h = 0, m = 0, s = 0;
    if (number(2, h) == 0 || i >= text.size() || text[i] != ':') {
        return std::nullopt;
    }
    ++i;
    if (number(2, m) != 2) {
        return std::nullopt;
    }
    if (i < text.size() && text[i] == ':') {
        ++i;
        if (number(2, s) != 2) {
            return std::nullopt;
        }
    }
    std::size_t j = i;
    while (j < text.size() && text[j] == ' ') {
        ++j;
    }
    if (j + 1 < text.size() && (text[j + 1] == 'M' || text[j + 1] == 'm')) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[j])));
        if (c == 'P' && h < 12) {
            h += 12;
        } else if (c == 'A' && h == 12) {
            h = 0;
        }
    }
    if (h > 23 || m > 59 || s > 59) {
        return std::nullopt;
    }
    return makeTime(h, m, s);
}

}  // namespace

std::optional<DateTime> readStoredDateTime(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ') {
        return std::nullopt;
    }
    const auto year = fixedNumber(text, 0, 4);
    const auto month = fixedNumber(text, 5, 2);
    const auto day = fixedNumber(text, 8, 2);
    const auto time = readStoredTime(text.substr(11));
    if (!year || !month || !day || !time || *month < 1 || *month > 12 || *day < 1 || *day > 31) {
        return std::nullopt;
    }
    return makeDateTime(*year, *month, *day) + *time;
}

std::optional<DateTime> readTimeOfDay(std::string_view text) {
    if (const auto stored = readStoredTime(text)) {
        return stored;
    }
    const std::string copy(text);
    // The 12-hour format only where the locale names its AM/PM words, so
    // that a bare %p cannot match nothing.
    const bool hasAmPm = *nl_langinfo(AM_STR) != '\0' && *nl_langinfo(PM_STR) != '\0';
    const char* twelveHour = hasAmPm ? nl_langinfo(T_FMT_AMPM) : nullptr;
    const char* localFormat = nl_langinfo(T_FMT);
    // From the end, so that the last time in the text counts; a number
    // starts where no digit or separator of a number comes before it.
    for (std::size_t start = text.size(); start-- > 0;) {
        if (!isDigit(text[start])) {
            continue;
        }
        if (start > 0) {
            const char before = text[start - 1];
            if (isDigit(before) || before == ':' || before == '.') {
                continue;
            }
        }
        // A 12-hour time with its marker first: the 24-hour format would read
        // "09:29:08 PM" as the morning.
        if (auto value = readLocaleTime(copy, start, twelveHour)) {
            return value;
        }
        if (auto value = readLocaleTime(copy, start, localFormat)) {
            return value;
        }
        if (auto value = readColonTime(text, start)) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace platform
