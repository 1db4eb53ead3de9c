#include "schedule/ScheduleQueue.h"

#include <algorithm>
#include <cmath>

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
        if (schedule->fixupEnabled) {
            checkFixedTime(*schedule);
        }
    }
}

void ScheduleQueue::checkFixedTime(Schedule& schedule) {
    const auto target = schedule.fixupTime();
    if (!target.has_value()) {
        return;
    }
    // In whole milliseconds, so that equal times compare equal.
    constexpr long long kDayMs = 86400000LL;
    const auto toMs = [](platform::DateTime value) {
        return static_cast<long long>(std::llround(value * kDayMs));
    };
    const platform::DateTime now = m_clock.now();
    // The latest occurrence of the fixed time that is not in the future.
    long long occurrence = toMs(std::floor(now)) + toMs(*target);
    if (occurrence > toMs(now)) {
        occurrence -= kDayMs;
    }
    if (occurrence <= toMs(schedule.fixupHandledUntil())) {
        return;  // queued or passed over already: once per occurrence
    }
    if (sameSecond(m_clock.timeOfDay(), *target) || schedule.runMissed) {
        // queueTask leaves a task already queued by its interval alone.
        queueTask(schedule.task());
    }
    schedule.setFixupHandledUntil(static_cast<platform::DateTime>(occurrence) / kDayMs);
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
