#include "schedule/Schedule.h"

#include <charconv>

#include "platform/Assert.h"

namespace {

constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 59;

// A decimal integer between blanks, clamped to the interval's range; anything
// else counts as the smallest interval.
int intervalFromText(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return kMinInterval;
    }
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (ptr != end) {
        return kMinInterval;
    }
    if (error == std::errc::result_out_of_range) {
        return text.starts_with('-') ? kMinInterval : kMaxInterval;
    }
    if (error != std::errc()) {
        return kMinInterval;
    }
    if (value < kMinInterval) {
        return kMinInterval;
    }
    return value > kMaxInterval ? kMaxInterval : static_cast<int>(value);
}

}  // namespace

Schedule::Schedule(Task* task, const platform::Clock& clock) : m_task(task), m_clock(clock) {
    TF_ASSERT(task != nullptr);
    setInterval(std::to_string(kMinInterval));
    setFixup({});
    restartCountdown();
}

void Schedule::setInterval(std::string_view text) {
    m_intervalMinutes = intervalFromText(text);
    m_interval = std::to_string(m_intervalMinutes);
}

void Schedule::setFixup(std::string_view text) {
    m_fixupTime = text.empty() ? std::optional(m_clock.timeOfDay()) : platform::readTimeOfDay(text);
    if (m_fixupTime.has_value()) {
        // Whole seconds: the stored text holds no more.
        const platform::TimeParts t = platform::splitTime(*m_fixupTime);
        m_fixupTime = platform::makeTime(t.hours, t.minutes, t.seconds);
        m_fixup = platform::storedTimeText(*m_fixupTime);
    } else {
        m_fixup = std::string(text);
    }
    m_fixupHandledUntil = m_clock.now();
}

std::string Schedule::lastRunText() const {
    // runTimes rather than a zero time tells "never": a start at exactly
    // midnight is a start too.
    return m_runTimes == 0 ? std::string("--:--:--") : platform::timeText(m_lastRunTime);
}

void Schedule::restartCountdown() {
    m_startTime = m_clock.timeOfDay();
}

void Schedule::countScheduledStart() {
    ++m_runTimes;
    m_lastRunTime = m_clock.timeOfDay();
}
