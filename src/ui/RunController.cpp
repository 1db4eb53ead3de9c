#include "ui/RunController.h"

#include <QEventLoop>
#include <QFile>
#include <QScopedValueRollback>
#include <thread>

#include "config/NormalSetting.h"
#include "engine/AppLog.h"
#include "engine/FileItemList.h"
#include "engine/MirrorMemory.h"
#include "engine/PlanCheck.h"
#include "engine/TaskRun.h"
#include "history/RunHistory.h"
#include "model/Task.h"
#include "platform/Assert.h"
#include "ui/ModalLoops.h"
#include "ui/RunStatusText.h"
#include "ui/TfrmGatherInfo.h"
#include "ui/TfrmPreview.h"
#include "ui/TfrmProgress.h"

namespace {

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

RunController::RunController(ModalLoops& loops, QWidget* window)
    : m_loops(loops), m_window(window) {}

RunController::~RunController() {
    // The run goes first: its worker may still call the bridge.
    m_taskRun.reset();
}

void RunController::create(const Setup& setup, const NormalSetting& setting, RunHistory* history) {
    m_setting = &setting;
    m_history = history;
    m_taskRun = std::make_unique<TaskRun>();
    m_taskRun->setSimulationDelay(setup.simulationDelay);
    if (setup.log != nullptr) {
        m_taskRun->setLog(setup.log);
    }
    m_starter = std::make_unique<RunStarter>(
        *m_taskRun, setup.log != nullptr ? *setup.log : AppLog::instance());
    m_mirrorMemory =
        std::make_unique<MirrorMemory>(setup.stateFolder + std::string(MirrorMemory::kFileName));
    m_bridge = new TaskRunBridge(m_taskRun.get(), this);
    connect(m_bridge, &TaskRunBridge::began, this, &RunController::runBegan);
    connect(m_bridge, &TaskRunBridge::updated, this, &RunController::progressed);
    connect(m_bridge, &TaskRunBridge::ended, this, &RunController::runEnded);
    connect(m_bridge, &TaskRunBridge::pauseChanged, this, &RunController::runPauseChanged);
}

bool RunController::canStartRun(const Task& task) const {
    return !isBusy() && !m_loops.unattended() && !m_loops.quitting() && !m_loops.shutDown() &&
           m_taskRun != nullptr && task.getPolicy() != nullptr;
}

bool RunController::startTaskRun(Task* task, bool simulate, RunOrigin origin) {
    TF_ASSERT(task != nullptr);
    return startRun(
        *task, simulate, origin, tr("Gather file information,please wait..."),
        [this, task, simulate] {
            return buildPlan(*task, platform::kMirrorLockWaitMs, {!simulate, m_mirrorMemory.get()});
        });
}

bool RunController::previewTask(Task* task) {
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
            outcome = buildPlan(*task, platform::kMirrorLockWaitMs, {false, m_mirrorMemory.get()});
            if (outcome.plan) {
                seen = takePlanSnapshot(*outcome.plan);
            }
        });
        if (m_loops.unattended() || m_loops.shutDown()) {
            return false;
        }
        const QString taskName = QString::fromUtf8(task->name);
        if (!outcome.plan) {
            m_loops.showInfo(tr("No plan could be made for \"%1\": %2")
                                 .arg(taskName, QString::fromLocal8Bit(outcome.failure)));
            return false;
        }
        TfrmPreview window(taskName, *outcome.plan, m_window);
        runIt = m_loops.exec(window) == QDialog::Accepted;
    }
    if (!runIt) {
        return false;
    }
    return runPlan(task, std::move(outcome.plan), seen);
}

bool RunController::runPlan(Task* task, std::unique_ptr<FileItemList> plan,
                            const PlanSnapshot& seen, RunOrigin origin) {
    TF_ASSERT(task != nullptr && plan != nullptr && plan->task() == task);
    return startRun(*task, false, origin, tr("Checking the plan, please wait..."), [&plan, &seen] {
        recheckPlan(*plan, seen);
        return PlanOutcome{std::move(plan), {}};
    });
}

void RunController::waitAside(const QString& text, const std::function<void()>& work) {
    // The work runs on a helper thread while the "please wait" window stays
    // painted. It is modal, so nothing can edit or remove the task
    // meanwhile; the timers go on but start nothing while this is busy.
    const ModalLoops::Scope scope = m_loops.enter();
    TfrmGatherInfo gather(m_window);
    gather.setText(text);
    gather.show();
    QEventLoop loop;
    std::thread helper([&work, &loop] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    helper.join();
    gather.hide();
}

bool RunController::askDeleteMany(const QString& taskName, const GuardHit& hit) {
    const QString text =
        tr("Task \"%1\" would delete %2 of the %3 entries in the mirror folder\n%4\n"
           "(main folder %5).\n\nDelete them? With No, nothing is deleted from this "
           "mirror folder and the rest of the run goes ahead.")
            .arg(taskName)
            .arg(hit.deletions)
            .arg(hit.mirrorEntries)
            .arg(fromPath(hit.mirrorRoot), fromPath(hit.mainRoot));
    return m_loops.message(QMessageBox::Warning, tr("Confirm"), text,
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool RunController::startRun(Task& task, bool simulate, RunOrigin origin, const QString& waitText,
                             const std::function<PlanOutcome()>& makePlan) {
    if (!canStartRun(task)) {
        return false;
    }
    const ModalLoops::Scope scope = m_loops.enter();
    m_gathering = true;
    task.schedule.restartCountdown();

    m_starter->begin(task, origin, simulate);
    const QString logFile = fromPath(m_starter->logFile());
    const QString taskName = QString::fromUtf8(task.name);

    PlanOutcome outcome;
    waitAside(waitText, [&outcome, &makePlan] { outcome = makePlan(); });

    if (m_loops.unattended() || m_loops.quitting() || m_loops.shutDown()) {
        m_gathering = false;
        return false;
    }
    m_runTaskName = taskName;
    m_runLogFile = logFile;
    if (!outcome.plan) {
        m_gathering = false;
        m_lastResult = m_starter->fail(outcome.failure);
        recordRun();
        reportRunProblems(RunOutcome{0, 1, 0});
        return false;
    }
    if (!simulate) {
        DeleteLimit limit;
        limit.percent = m_setting->maxDeletePercent;
        limit.minimum = m_setting->maxDeleteMinimum;
        const bool person = origin == RunOrigin::Button || origin == RunOrigin::Tray;
        m_starter->guard(*outcome.plan, limit, [this, person, &taskName](const GuardHit& hit) {
            return person && askDeleteMany(taskName, hit);
        });
    }

    if (m_setting->showDetail) {
        showProgressWindow(taskName);
    } else {
        hideProgress();
    }
    if (!m_bridgeAttached) {
        m_taskRun->attach(m_bridge);
        m_bridgeAttached = true;
    }
    m_runActive = true;
    m_gathering = false;
    m_starter->start(std::move(outcome.plan));
    return true;
}

void RunController::showProgressWindow(const QString& taskName) {
    if (m_progress == nullptr) {
        m_progress = new TfrmProgress(m_window);
        m_progress->observe(m_bridge);
        connect(m_progress, &TfrmProgress::stopRequested, this, &RunController::stopRequest);
    }
    m_progress->setTaskName(taskName);
    m_progress->show();
    m_progress->raise();
}

void RunController::hideProgress() {
    if (m_progress != nullptr && m_progress->isVisible()) {
        m_progress->hide();
    }
}

void RunController::runBegan() {
    m_canStop = true;
    Q_EMIT began();
    m_runPaused = false;
}

void RunController::runEnded(const RunOutcome& outcome) {
    m_canStop = false;
    Q_EMIT ended();
    m_runPaused = false;
    m_runActive = false;
    m_lastResult = m_starter->finish();
    recordRun();
    reportRunProblems(outcome);
}

void RunController::runPauseChanged(bool paused) {
    m_runPaused = paused;
}

void RunController::recordRun() {
    if (m_history != nullptr) {
        m_history->record(m_lastResult);
    }
    const QString outcome =
        tr("Last run of \"%1\": %2").arg(m_runTaskName, runstatus::countsText(m_lastResult)) +
        (m_lastResult.aborted ? QStringLiteral(", ") + tr("aborted") : QString());
    if (m_progress != nullptr) {
        m_progress->setOutcome(outcome);
    }
    Q_EMIT recorded(outcome);
}

void RunController::reportRunProblems(const RunOutcome& outcome) {
    if (outcome.failed == 0 && outcome.skipped == 0) {
        return;
    }
    QString text =
        tr("Task \"%1\": %n operation(s) failed", nullptr, outcome.failed).arg(m_runTaskName);
    if (outcome.skipped > 0) {
        text += tr(", %n skipped", nullptr, outcome.skipped);
    }
    text += QLatin1Char('.');
    if (!m_lastResult.problems.empty()) {
        const RunProblem& first = m_lastResult.problems.front();
        text += QLatin1Char('\n');
        if (!first.path.empty()) {
            text += fromPath(first.path) + QStringLiteral(": ");
        }
        text += QString::fromUtf8(first.reason);
    }
    if (m_lastResult.heldDeletions > 0) {
        text += QLatin1Char('\n') +
                tr("%n deletion(s) were held back: the run would have deleted most of a "
                   "mirror folder.",
                   nullptr, static_cast<int>(m_lastResult.heldDeletions));
    }
    if (!m_runLogFile.isEmpty()) {
        text += QLatin1Char('\n') + tr("See the task log: %1").arg(m_runLogFile);
    }
    text += QLatin1Char('\n') + tr("Click here for the task's history.");
    Q_EMIT noticeRaised(text, QString::fromStdString(m_lastResult.taskId));
}

bool RunController::askWhilePaused(const QString& question, const std::function<void()>& onYes) {
    m_askingStop = true;
    m_taskRun->setPaused(true);
    const bool yes = m_loops.askConfirm(question);
    if (yes && onYes) {
        onYes();
    }
    m_taskRun->setPaused(false);
    m_askingStop = false;
    return yes;
}

void RunController::requestStop() {
    if (!m_runActive || m_askingStop) {
        return;
    }
    askWhilePaused(tr("Task is running,are you sure to abort it ?"), [this] {
        m_taskRun->abort();
        m_canStop = false;
        Q_EMIT stopped();
        if (m_progress != nullptr) {
            m_progress->hide();
        }
    });
}

void RunController::stopRequest() {
    if (m_canStop) {
        requestStop();
    }
}

void RunController::abort() {
    if (m_taskRun != nullptr) {
        m_taskRun->abort();
    }
}
