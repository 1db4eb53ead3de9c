#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"

class Task;

// When one task runs by itself: every N minutes (the interval), at a fixed
// time of day (the fixup), or both, and whether such runs are simulations.
// Only times of day count; a schedule fires on every day the program runs.
class Schedule {
public:
    // `task` is the owning task and must not be null; `clock` must outlive
    // the schedule. The countdown starts now, the interval is 5 minutes and
    // the fixed time is the current time of day.
    Schedule(Task* task, const platform::Clock& clock);
    Schedule(const Schedule&) = delete;
    Schedule& operator=(const Schedule&) = delete;

    bool intervalEnabled = false;
    bool fixupEnabled = false;
    bool simulate = true;
    // A fixed-time run missed while the program was not running, the machine
    // slept or the program was too busy to check runs once, at the first
    // check after it.
    bool runMissed = false;

    Task* task() const { return m_task; }
    // The clock the schedule reads; windows showing "now" beside it read it too.
    const platform::Clock& clock() const { return m_clock; }

    // The interval in whole minutes as decimal text, always 5 to 59: a smaller
    // value, an empty text or one that is not a number gives 5, a larger one 59.
    void setInterval(std::string_view text);
    const std::string& interval() const { return m_interval; }
    int intervalMinutes() const { return m_intervalMinutes; }

    // The fixed time as a time or date-and-time text; only its time of day
    // counts. An empty text stands for the current time of day. A text that
    // holds a time is kept in the stored form ("HH:MM:SS", the same in every
    // locale); one that holds none is kept as it is. Occurrences of the fixed
    // time up to now count as handled.
    void setFixup(std::string_view text);
    const std::string& fixup() const { return m_fixup; }
    // The time of day the fixup text holds; none when it holds no readable
    // time, and then the fixed-time schedule never fires.
    std::optional<platform::DateTime> fixupTime() const { return m_fixupTime; }

    // Times of day.
    platform::DateTime startTime() const { return m_startTime; }
    platform::DateTime lastRunTime() const { return m_lastRunTime; }
    // Starts made by the scheduler since the program started.
    std::int32_t runTimes() const { return m_runTimes; }
    // The time of the last scheduled start, or "--:--:--" before the first.
    std::string lastRunText() const;

    // The date and time up to which occurrences of the fixed time have been
    // queued or passed over; the scheduler queues a task once per occurrence.
    // Kept in the configuration file, so that a run missed while the program
    // was not running can be made up for.
    platform::DateTime fixupHandledUntil() const { return m_fixupHandledUntil; }
    void setFixupHandledUntil(platform::DateTime value) { m_fixupHandledUntil = value; }

    // The interval counts from now.
    void restartCountdown();
    // Records a start made by the scheduler (manual runs are not counted).
    void countScheduledStart();

private:
    Task* m_task;
    const platform::Clock& m_clock;
    std::string m_interval;
    int m_intervalMinutes = 5;
    std::string m_fixup;
    std::optional<platform::DateTime> m_fixupTime;
    platform::DateTime m_fixupHandledUntil = 0;
    platform::DateTime m_startTime = 0;
    platform::DateTime m_lastRunTime = 0;
    std::int32_t m_runTimes = 0;
};
