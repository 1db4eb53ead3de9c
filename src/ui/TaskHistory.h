#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "history/TaskStatus.h"

class QWidget;
class RunHistory;
class Task;
class TaskManager;
class TfrmHistory;

// The run history as the main window uses it: what it says about each task
// (the task list's status lines, the overdue warning once a day) and the
// History window of a task.
class TaskHistory : public QObject {
    Q_OBJECT
public:
    // Opens the history in `file`; `window` parents the History windows.
    TaskHistory(const std::string& file, QWidget* window);
    ~TaskHistory() override;

    // The history every run is recorded in.
    RunHistory& runs() { return *m_history; }

    // What the history says about a task now; a scheduled task without a
    // successful real run for more than `overdueDays` is overdue.
    TaskStatus statusOf(const Task& task, int overdueDays);
    // Opens the History window of a task (not modal) and returns it.
    TfrmHistory* show(const Task& task);
    // Tells, once a day, of the tasks whose real runs are overdue; returns
    // how many are.
    int checkOverdue(const TaskManager& tasks, int overdueDays);

Q_SIGNALS:
    // Something the user should know, with the task it is about (empty for
    // none).
    void noticeRaised(const QString& text, const QString& taskId);
    // The tasks' statuses may have changed with the day.
    void statusesChanged();

private:
    std::unique_ptr<RunHistory> m_history;
    QWidget* m_window;
    // The day the overdue tasks were last told of.
    int m_overdueToldDay = -1;
};
