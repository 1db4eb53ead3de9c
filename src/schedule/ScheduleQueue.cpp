#include "schedule/ScheduleQueue.h"

#include <algorithm>

#include "model/Task.h"
#include "platform/Assert.h"
#include "schedule/Schedule.h"

ScheduleQueue::ScheduleQueue(const platform::Clock& clock) : m_clock(clock) {}

void ScheduleQueue::addSchedule(Schedule* schedule) {
    TF_ASSERT(schedule != nullptr);
    if (std::find(m_schedules.begin(), m_schedules.end(), schedule) == m_schedules.end()) {
        m_schedules.push_back(schedule);
    }
}

void ScheduleQueue::forgetTask(const Task* task) {
    TF_ASSERT(task != nullptr);
    std::erase_if(m_schedules, [task](const Schedule* s) { return s->task() == task; });
    std::erase(m_due, task);
}

void ScheduleQueue::checkSchedules() {
    for (Schedule* schedule : m_schedules) {
        Task* task = schedule->task();
        if (schedule->intervalEnabled && !isQueued(task)) {
            const Elapsed elapsed = elapsedSinceStart(m_clock.timeOfDay(), schedule->startTime());
            // Past midnight, or the clock was set back: count afresh from now.
            if (elapsed.seconds < 0) {
                schedule->restartCountdown();
            }
            if (schedule->intervalMinutes() * 60 <= elapsed.seconds) {
                schedule->restartCountdown();
                queueTask(task);
            }
        }
        // Tested again so that a task just queued by its interval is not
        // queued twice.
        if (schedule->fixupEnabled && !isQueued(task)) {
            const auto target = schedule->fixupTime();
            if (target.has_value() && sameSecond(m_clock.timeOfDay(), *target)) {
                queueTask(task);
            }
        }
    }
}

Task* ScheduleQueue::takeDueTask() {
    if (m_due.empty()) {
        return nullptr;
    }
    Task* task = m_due.front();
    m_due.pop_front();
    return task;
}

void ScheduleQueue::queueTask(Task* task) {
    if (!isQueued(task)) {
        m_due.push_back(task);
    }
}

bool ScheduleQueue::isQueued(const Task* task) const {
    TF_ASSERT(task != nullptr);
    return std::any_of(m_due.begin(), m_due.end(),
                       [task](const Task* queued) { return queued->id == task->id; });
}

ScheduleQueue::Elapsed ScheduleQueue::elapsedSinceStart(platform::DateTime later,
                                                        platform::DateTime earlier) {
    const platform::TimeParts l = platform::splitTime(later);
    const platform::TimeParts e = platform::splitTime(earlier);
    Elapsed result;
    result.hours = l.hours - e.hours;
    result.minutes = (60 * l.hours + l.minutes) - (60 * e.hours + e.minutes);
    result.seconds = (3600 * l.hours + 60 * l.minutes + l.seconds) -
                     (3600 * e.hours + 60 * e.minutes + e.seconds);
    return result;
}

bool ScheduleQueue::sameSecond(platform::DateTime now, platform::DateTime target) {
    const platform::TimeParts n = platform::splitTime(now);
    const platform::TimeParts t = platform::splitTime(target);
    return n.hours == t.hours && n.minutes == t.minutes && n.seconds == t.seconds &&
           n.milliseconds - t.milliseconds < 500;
}
