// The main window's part in the run history: recording each run, the task
// list's status lines, the History window, notices and overdue warnings.
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include "history/RunHistory.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "ui/RunStatusText.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmProgress.h"
#include "widgets/TTrayIcon.h"

namespace {

// How many runs the History window shows.
constexpr std::size_t kHistoryRows = 1000;

}  // namespace

TaskStatus TfrmMain::statusOf(const Task& task) {
    if (m_history == nullptr) {
        return {};
    }
    const Schedule& schedule = task.schedule;
    const OverdueRule rule{
        .scheduledReal = (schedule.intervalEnabled || schedule.fixupEnabled) && !schedule.simulate,
        .overdueDays = m_config->setting().overdueDays};
    return taskStatus(*m_history, task.id, rule, std::chrono::system_clock::now());
}

void TfrmMain::recordRun() {
    if (m_history != nullptr) {
        m_history->record(m_lastResult);
    }
    const QString outcome =
        tr("Last run of \"%1\": %2").arg(m_runTaskName, runstatus::countsText(m_lastResult)) +
        (m_lastResult.aborted ? QStringLiteral(", ") + tr("aborted") : QString());
    lblLastRun->setText(outcome);
    lblLastRun->show();
    if (m_progress != nullptr) {
        m_progress->setOutcome(outcome);
    }
    refreshTaskList();
}

void TfrmMain::showNotice(const QString& text, const QString& taskId) {
    m_noticeTaskId = taskId;
    // Never modal: scheduled runs must not stack up boxes nobody answers.
    if (!TrayIcon1->showMessage(tr("Twinfold!"), text, QSystemTrayIcon::Warning)) {
        lblRunNotice->setText(text);
        lblRunNotice->show();
    }
}

void TfrmMain::noticeClicked() {
    if (m_config->tasks() == nullptr || m_noticeTaskId.isEmpty()) {
        return;
    }
    if (Task* task = m_config->tasks()->findTaskById(m_noticeTaskId.toStdString())) {
        showHistory(task);
    }
}

TfrmHistory* TfrmMain::showHistory(Task* task) {
    if (task == nullptr || m_history == nullptr) {
        return nullptr;
    }
    auto* window = new TfrmHistory(QString::fromUtf8(task->name), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setRuns(
        m_history->runs(task->id, kHistoryRows),
        task->enableLog ? QFile::decodeName(QByteArray::fromStdString(task->logFile)) : QString());
    window->show();
    window->raise();
    return window;
}

void TfrmMain::btnHistoryClick() {
    showHistory(selectedTask());
}

void TfrmMain::lstTasksContextMenu(const QPoint& position) {
    QListWidgetItem* item = lstTasks->itemAt(position);
    if (item == nullptr || m_config->tasks() == nullptr) {
        return;
    }
    lstTasks->setCurrentItem(item);
    Task* task =
        m_config->tasks()->findTaskById(item->data(Qt::UserRole).toByteArray().toStdString());
    QMenu menu(this);
    menu.addAction(tr("&History..."), this, [this, task] { showHistory(task); });
    QAction* preview = menu.addAction(tr("Pre&view..."));
    preview->setEnabled(task != nullptr && canStartRun(*task));
    // Started from the event loop, once the menu's own loop has ended.
    const std::string id = task != nullptr ? task->id : std::string();
    connect(preview, &QAction::triggered, this, [this, id] {
        QTimer::singleShot(0, this, [this, id] {
            if (Task* found =
                    m_config->tasks() != nullptr ? m_config->tasks()->findTaskById(id) : nullptr) {
                previewTask(found);
            }
        });
    });
    menu.exec(lstTasks->viewport()->mapToGlobal(position));
}

int TfrmMain::checkOverdue() {
    const int today = static_cast<int>(QDate::currentDate().toJulianDay());
    if (m_config->tasks() == nullptr || m_history == nullptr || today == m_overdueToldDay) {
        return 0;
    }
    m_overdueToldDay = today;
    refreshTaskList();  // a task may have become overdue since the last refresh
    QStringList names;
    QString firstId;
    for (const auto& task : m_config->tasks()->taskList()) {
        if (statusOf(*task).overdue) {
            names.push_back(QString::fromUtf8(task->name));
            firstId = firstId.isEmpty() ? QString::fromStdString(task->id) : firstId;
        }
    }
    if (!names.isEmpty()) {
        showNotice(tr("No successful run for more than %n day(s): %1", nullptr,
                      m_config->setting().overdueDays)
                       .arg(names.join(QStringLiteral(", "))),
                   firstId);
    }
    return static_cast<int>(names.size());
}
