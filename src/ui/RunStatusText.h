#pragma once

#include <QString>

#include "engine/RunResult.h"
#include "history/TaskStatus.h"

class QListWidgetItem;

// How the windows word a run and a task's status.
namespace runstatus {

// "done", "failed N", "skipped N" or "aborted".
QString outcomeText(const RunResult& run);
// "5 done, 1 failed, 0 skipped", and "(simulation)" for a simulated run.
QString countsText(const RunResult& run);
// Who started the run ("button", "tray", "schedule", "command line"), as
// the windows word it.
QString originText(RunOrigin origin);
// "path: reason" of a run's first problem; empty when it had none.
QString firstProblemText(const RunResult& run);
// The run's start in the user's locale.
QString startText(const RunResult& run);

// The task list's second line: "last run <when>: <outcome>", "never run",
// and "overdue" when so.
QString statusLine(const TaskStatus& status);

// Shows a task's name and status line in a row of the task list; a task that
// needs attention gets a warning icon and its status as the row's tip.
void decorateTaskItem(QListWidgetItem& item, const QString& taskName, const TaskStatus& status);

// Whether the row shows a task that needs attention.
bool itemNeedsAttention(const QListWidgetItem& item);

}  // namespace runstatus
