#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/Clock.h"

class Schedule;
class Task;

// Watches the schedules of all tasks and queues, first in first out, the tasks
// that have fallen due. Owns neither schedules nor tasks: a task must be
// passed to forgetTask() before it is destroyed. Not locked: the window's
// thread alone checks, queues and takes tasks.
class ScheduleQueue {
public:
    // Differences of two times of day, each in its own unit.
    struct Elapsed {
        std::int32_t hours = 0;
        std::int32_t minutes = 0;
        std::int32_t seconds = 0;
    };

    // `clock` gives "now" for every check and must outlive the queue.
    explicit ScheduleQueue(const platform::Clock& clock);

    // Watches the schedule (which must not be null); a schedule already
    // watched is not added again.
    void addSchedule(Schedule* schedule);
    // Stops watching the task's schedule and drops every queued entry of it.
    void forgetTask(const Task* task);

    // Queues, in the order the schedules were added, every task that is not
    // queued yet and is due by its interval or its fixed time. A task due by
    // its interval has its countdown restarted. A fixed time queues its task
    // at most once per occurrence: in its first half second, or at the first
    // check after it when the schedule runs missed runs.
    void checkSchedules();

    // Removes and returns the front of the queue, or nullptr when it is empty.
    Task* takeDueTask();
    // Appends the task unless an entry with its identifier is queued already.
    void queueTask(Task* task);
    // Whether an entry with the task's identifier text is queued.
    bool isQueued(const Task* task) const;

    std::size_t scheduleCount() const { return m_schedules.size(); }
    std::size_t dueCount() const { return m_due.size(); }

    // `later` minus `earlier`, both read as times of day to the whole second
    // (milliseconds and date dropped), in hours, in minutes and in seconds.
    static Elapsed elapsedSinceStart(platform::DateTime later, platform::DateTime earlier);
    // Whether `now` falls in the first half second after `target`'s second:
    // equal hours, minutes and seconds, and now's milliseconds less than 500
    // past the target's.
    static bool sameSecond(platform::DateTime now, platform::DateTime target);

private:
    void checkFixedTime(Schedule& schedule);

    const platform::Clock& m_clock;
    std::vector<Schedule*> m_schedules;
    std::deque<Task*> m_due;
};
