#include "ui/ScheduleDriver.h"

#include <QTimer>

#include "model/Task.h"

namespace {

constexpr int kCheckMs = 200;
constexpr int kGetMs = 800;

}  // namespace

ScheduleDriver::ScheduleDriver(const platform::Clock& clock, std::function<bool()> mayStart)
    : m_queue(clock), m_mayStart(std::move(mayStart)) {
    tmeCheck = new QTimer(this);
    tmeCheck->setObjectName(QStringLiteral("tmeCheck"));
    tmeCheck->setInterval(kCheckMs);
    connect(tmeCheck, &QTimer::timeout, this, &ScheduleDriver::tmeCheckTimer);
    tmeGet = new QTimer(this);
    tmeGet->setObjectName(QStringLiteral("tmeGet"));
    tmeGet->setInterval(kGetMs);
    connect(tmeGet, &QTimer::timeout, this, &ScheduleDriver::tmeGetTimer);
}

void ScheduleDriver::watch(Task& task) {
    task.schedule.restartCountdown();
    m_queue.addSchedule(&task.schedule);
}

void ScheduleDriver::forget(const Task* task) {
    m_queue.forgetTask(task);
}

void ScheduleDriver::start() {
    tmeGet->start();
    tmeCheck->start();
}

void ScheduleDriver::stop() {
    m_stopped = true;
    tmeCheck->stop();
    tmeGet->stop();
}

void ScheduleDriver::tmeCheckTimer() {
    tmeCheck->stop();
    m_queue.checkSchedules();
    Q_EMIT checked();
    if (!m_stopped) {
        tmeCheck->start();
    }
}

void ScheduleDriver::tmeGetTimer() {
    if (!m_mayStart()) {
        return;
    }
    Task* task = m_queue.takeDueTask();
    if (task == nullptr) {
        return;
    }
    task->schedule.countScheduledStart();
    Q_EMIT runDue(task, task->schedule.simulate);
}
