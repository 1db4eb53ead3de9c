#include "ui/TaskHistory.h"

#include <QDate>
#include <QFile>
#include <QStringList>
#include <chrono>

#include "history/RunHistory.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "ui/TfrmHistory.h"

namespace {

// How many runs the History window shows.
constexpr std::size_t kHistoryRows = 1000;

}  // namespace

TaskHistory::TaskHistory(const std::string& file, QWidget* window)
    : m_history(std::make_unique<RunHistory>(file)), m_window(window) {
    m_history->setReporter([this](const std::string& problem) {
        Q_EMIT noticeRaised(
            tr("The run history cannot be kept: %1").arg(QString::fromLocal8Bit(problem)), {});
    });
}

TaskHistory::~TaskHistory() = default;

TaskStatus TaskHistory::statusOf(const Task& task, int overdueDays) {
    const Schedule& schedule = task.schedule;
    const OverdueRule rule{
        .scheduledReal = (schedule.intervalEnabled || schedule.fixupEnabled) && !schedule.simulate,
        .overdueDays = overdueDays};
    return taskStatus(*m_history, task.id, rule, std::chrono::system_clock::now());
}

TfrmHistory* TaskHistory::show(const Task& task) {
    auto* window = new TfrmHistory(QString::fromUtf8(task.name), m_window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setRuns(
        m_history->runs(task.id, kHistoryRows),
        task.enableLog ? QFile::decodeName(QByteArray::fromStdString(task.logFile)) : QString());
    window->show();
    window->raise();
    return window;
}

int TaskHistory::checkOverdue(const TaskManager& tasks, int overdueDays) {
    const int today = static_cast<int>(QDate::currentDate().toJulianDay());
    if (today == m_overdueToldDay) {
        return 0;
    }
    m_overdueToldDay = today;
    Q_EMIT statusesChanged();  // a task may have become overdue since the last look
    QStringList names;
    QString firstId;
    for (const auto& task : tasks.taskList()) {
        if (statusOf(*task, overdueDays).overdue) {
            names.push_back(QString::fromUtf8(task->name));
            firstId = firstId.isEmpty() ? QString::fromStdString(task->id) : firstId;
        }
    }
    if (!names.isEmpty()) {
        Q_EMIT noticeRaised(
            tr("No successful run for more than %n day(s): %1", nullptr, overdueDays)
                .arg(names.join(QStringLiteral(", "))),
            firstId);
    }
    return static_cast<int>(names.size());
}
