// The main window's preview: the plan of a task shown before it runs, and
// the run of exactly that plan.
#include <QScopedValueRollback>

#include "engine/FileItemList.h"
#include "engine/PlanCheck.h"
#include "engine/RunStarter.h"
#include "model/Task.h"
#include "platform/Assert.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmPreview.h"

void TfrmMain::btnPreviewClick() {
    if (Task* task = selectedTask()) {
        previewTask(task);
    }
}

bool TfrmMain::previewTask(Task* task) {
    TF_ASSERT(task != nullptr);
    if (!canStartRun(*task)) {
        return false;
    }
    PlanOutcome outcome;
    PlanSnapshot seen;
    bool runIt = false;
    {
        // Busy from here until the plan is either handed to the run or
        // dropped, which lets go of its mirror folders.
        const QScopedValueRollback busy(m_previewing, true);
        // A preview writes nothing; the run of the previewed plan learns
        // what its mirrors keep for the previews to come.
        waitAside(tr("Gather file information, please wait..."), [this, &outcome, &seen, task] {
            outcome = buildPlan(*task, kMirrorLockWaitMs, {false, m_mirrorMemory.get()});
            if (outcome.plan) {
                seen = takePlanSnapshot(*outcome.plan);
            }
        });
        if (m_unattended || m_shutDown) {
            return false;
        }
        const QString taskName = QString::fromUtf8(task->name);
        if (!outcome.plan) {
            showInfo(tr("No plan could be made for \"%1\": %2")
                         .arg(taskName, QString::fromLocal8Bit(outcome.failure)));
            return false;
        }
        TfrmPreview window(taskName, *outcome.plan, this);
        runIt = execDialog(window) == QDialog::Accepted;
    }
    if (!runIt) {
        return false;
    }
    return runPlan(task, std::move(outcome.plan), seen);
}

bool TfrmMain::runPlan(Task* task, std::unique_ptr<FileItemList> plan, const PlanSnapshot& seen,
                       RunOrigin origin) {
    TF_ASSERT(task != nullptr && plan != nullptr && plan->task() == task);
    return startRun(*task, false, origin, tr("Checking the plan, please wait..."), [&plan, &seen] {
        recheckPlan(*plan, seen);
        return PlanOutcome{std::move(plan), {}};
    });
}
