#pragma once

#include <QObject>
#include <functional>

#include "schedule/ScheduleQueue.h"

class QTimer;
class Task;

// Drives the schedules of the tasks from the window's event loop: one timer
// checks them and queues the tasks that have fallen due (missed fixed-time
// runs included), another hands the queue's front to a run whenever a run
// may start. Tasks wait in the queue, in order, while another run goes on.
class ScheduleDriver : public QObject {
    Q_OBJECT
public:
    // `clock` gives "now" for every check and must outlive this. A due task
    // is taken from the queue only while `mayStart` answers true.
    ScheduleDriver(const platform::Clock& clock, std::function<bool()> mayStart);

    ScheduleQueue& queue() { return m_queue; }

    // A task the user has confirmed is watched, its countdown starting now.
    void watch(Task& task);
    // Stops watching the task and drops it from the queue.
    void forget(const Task* task);

    // Starts and stops both timers.
    void start();
    void stop();

    // Checks the schedules now (the check timer's tick).
    void tmeCheckTimer();
    // Starts the front of the queue if a run may start (the start timer's
    // tick).
    void tmeGetTimer();

Q_SIGNALS:
    // After each check of the schedules.
    void checked();
    // A due task is to run now; its scheduled start has been counted.
    void runDue(Task* task, bool simulate);

private:
    ScheduleQueue m_queue;
    std::function<bool()> m_mayStart;
    bool m_stopped = false;
    QTimer* tmeCheck;
    QTimer* tmeGet;
};
