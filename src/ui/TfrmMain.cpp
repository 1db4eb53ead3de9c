#include "ui/TfrmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "config/XMLConfig.h"
#include "history/RunHistory.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Clock.h"
#include "ui/ConfigKeeper.h"
#include "ui/MainView.h"
#include "ui/RunController.h"
#include "ui/ScheduleDriver.h"
#include "ui/TaskHistory.h"
#include "ui/TfrmSuggestion.h"
#include "ui/TfrmVersions.h"
#include "ui/TrayController.h"
#include "ui/Version.h"
#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"

namespace {

constexpr int kButtonStatusMs = 100;
// How often an unattended close looks again whether the dialogs it
// cancelled have finished.
constexpr int kCloseRetryMs = 20;

}  // namespace

TfrmMain::TfrmMain(TfrmMainOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_options(std::move(options)),
      m_clock(m_options.clock != nullptr ? *m_options.clock : platform::Clock::system()),
      m_loops(this),
      m_config(std::make_unique<ConfigKeeper>(m_loops, this, m_clock)),
      m_runs(std::make_unique<RunController>(m_loops, this)),
      m_scheduler(std::make_unique<ScheduleDriver>(m_clock, [this] {
          return !isBusy() && !m_loops.unattended() && !m_loops.shutDown() &&
                 m_config->tasks() != nullptr;
      })) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(tr("Twinfold !"));
    setWindowIcon(QIcon(QStringLiteral(":/twinfold/twinfold.png")));
    m_view = new MainView(this);
    auto* frame = new QVBoxLayout(this);
    frame->addWidget(m_view);
    // A fixed border that still follows the font and the scale factor.
    frame->setSizeConstraint(QLayout::SetFixedSize);
    m_tray = std::make_unique<TrayController>(this);
    tmeButtonStatus = new QTimer(this);
    tmeButtonStatus->setObjectName(QStringLiteral("tmeButtonStatus"));
    tmeButtonStatus->setInterval(kButtonStatusMs);
    connect(tmeButtonStatus, &QTimer::timeout, this, &TfrmMain::tmeButtonStatusTimer);
    connectParts();
}

TfrmMain::~TfrmMain() {
    // The controls outlive the parts: nothing they say reaches this any more.
    m_view->disconnect(this);
    // The run goes first: its worker may still reach the tasks.
    m_runs.reset();
    m_tray.reset();
    m_scheduler.reset();
    m_history.reset();
    m_config.reset();
}

void TfrmMain::connectParts() {
    MainView* view = m_view;
    connect(view, &MainView::addTaskClicked, this, &TfrmMain::btnAddTaskClick);
    connect(view, &MainView::removeTaskClicked, this, &TfrmMain::btnRemoveTaskClick);
    connect(view, &MainView::editTaskClicked, this, &TfrmMain::btnEditTaskClick);
    connect(view, &MainView::wizardClicked, this, &TfrmMain::btnTaskWizardClick);
    connect(view, &MainView::copyPolicyClicked, this, &TfrmMain::btnCopyPolicyClick);
    connect(view, &MainView::versionsClicked, this, &TfrmMain::btnVersionsClick);
    connect(view, &MainView::settingsClicked, this, &TfrmMain::btnSettingsClick);
    connect(view, &MainView::aboutClicked, this, &TfrmMain::btnAboutClick);
    connect(view, &MainView::runClicked, this, &TfrmMain::btnRunTaskClick);
    connect(view, &MainView::simulateClicked, this, &TfrmMain::btnSimulateRunClick);
    connect(view, &MainView::previewClicked, this, &TfrmMain::btnPreviewClick);
    connect(view, &MainView::stopClicked, this, &TfrmMain::btnAbortTaskClick);
    connect(view, &MainView::historyClicked, this, &TfrmMain::btnHistoryClick);
    connect(view, &MainView::helpClicked, this, &TfrmMain::lblURLClick);
    connect(view, &MainView::suggestionClicked, this, &TfrmMain::lblSuggestionClick);
    connect(view, &MainView::noticeClicked, this, &TfrmMain::noticeClicked);
    connect(view, &MainView::selectionChanged, this, &TfrmMain::lstTasksClick);
    connect(view, &MainView::showDetailToggled, this,
            [this](bool checked) { m_config->setting().showDetail = checked; });
    connect(view, &MainView::historyRequested, this, &TfrmMain::showHistory);
    connect(view, &MainView::previewRequested, this, [this](const std::string& id) {
        if (Task* task = findTask(id)) {
            previewTask(task);
        }
    });

    TrayController* tray = m_tray.get();
    connect(tray, &TrayController::aboutToShow, this, &TfrmMain::popMenuTrayPopup);
    connect(tray, &TrayController::aboutRequested, this, &TfrmMain::btnAboutClick);
    connect(tray, &TrayController::runRequested, this,
            [this](const std::string& id, bool simulate) {
                if (Task* task = findTask(id)) {
                    startTaskRun(task, simulate, RunOrigin::Tray);
                }
            });
    connect(tray, &TrayController::stopRequested, this, &TfrmMain::mnuTrayStopClick);
    connect(tray, &TrayController::showDetailToggled, view, &MainView::setShowDetail);
    connect(tray, &TrayController::settingsRequested, this, &TfrmMain::btnSettingsClick);
    connect(tray, &TrayController::quitRequested, this, &TfrmMain::mnuTrayQuitClick);
    connect(tray, &TrayController::noticeClicked, this, &TfrmMain::noticeClicked);

    ScheduleDriver* scheduler = m_scheduler.get();
    connect(m_config.get(), &ConfigKeeper::taskConfirmed, scheduler,
            [scheduler](Task* task) { scheduler->watch(*task); });
    connect(m_config.get(), &ConfigKeeper::taskLeaving, scheduler, &ScheduleDriver::forget);
    connect(m_config.get(), &ConfigKeeper::tasksChanged, view, &MainView::refreshTaskList);
    connect(scheduler, &ScheduleDriver::checked, this, &TfrmMain::checkOverdue);
    connect(scheduler, &ScheduleDriver::runDue, this, [this](Task* task, bool simulate) {
        startTaskRun(task, simulate, RunOrigin::Schedule);
    });

    RunController* runs = m_runs.get();
    connect(runs, &RunController::began, view, &MainView::runBegan);
    connect(runs, &RunController::progressed, view, &MainView::showProgress);
    connect(runs, &RunController::ended, view, &MainView::runEnded);
    connect(runs, &RunController::stopped, view, &MainView::runStopped);
    connect(runs, &RunController::recorded, view, [view](const QString& outcome) {
        view->showLastRun(outcome);
        view->refreshTaskList();
    });
    connect(runs, &RunController::noticeRaised, this, &TfrmMain::showNotice);
}

bool TfrmMain::loadFailed() const {
    return m_config->loadFailed();
}

void TfrmMain::FormCreate() {
    if (!m_config->load(
            m_options.configFolder.empty() ? XMLConfig::configFolder() : m_options.configFolder,
            m_options.defaultFile.empty() ? XMLConfig::defaultFile() : m_options.defaultFile)) {
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // The run history and what runs learn of mirrors live in the state
    // folder, or beside a history file chosen elsewhere.
    const std::string stateFolder =
        m_options.historyFile.empty()
            ? XMLConfig::stateFolder()
            : m_options.historyFile.substr(0, m_options.historyFile.rfind('/') + 1);
    m_history = std::make_unique<TaskHistory>(m_options.historyFile.empty()
                                                  ? stateFolder + std::string(RunHistory::kFileName)
                                                  : m_options.historyFile,
                                              this);
    connect(m_history.get(), &TaskHistory::noticeRaised, this, &TfrmMain::showNotice);
    connect(m_history.get(), &TaskHistory::statusesChanged, m_view, &MainView::refreshTaskList);
    m_runs->create({m_options.simulationDelay, m_options.log, stateFolder}, m_config->setting(),
                   &m_history->runs());
    m_view->setTasks(
        m_config->tasks(),
        [this](const Task& task) {
            return m_history->statusOf(task, m_config->setting().overdueDays);
        },
        [this](const Task& task) { return m_runs->canStartRun(task); });

    m_view->setShowDetail(m_config->setting().showDetail);
    m_view->refreshTaskList();
    m_config->tellLoadNotices();
    m_config->runWizardOnFirstStart();
    for (const auto& task : m_config->tasks()->taskList()) {
        m_scheduler->watch(*task);
    }
    m_scheduler->start();
    checkOverdue();
    m_tray->setHint(tr("Twinfold! (v%1)").arg(versionText()));
    tmeButtonStatus->start();
}

void TfrmMain::showLogLoadFailure(const std::string& message) {
    const QString text = QString::fromLocal8Bit(message);
    // Never a modal box: a scheduled run would wait on it until someone
    // clicks. Queued, so a window being made right now shows it too.
    QMetaObject::invokeMethod(
        qApp,
        [text] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* window = qobject_cast<TfrmMain*>(widget)) {
                    window->m_view->showNotice(text);
                }
            }
        },
        Qt::QueuedConnection);
}

Task* TfrmMain::findTask(const std::string& id) const {
    return m_config->tasks() != nullptr ? m_config->tasks()->findTaskById(id) : nullptr;
}

Task* TfrmMain::selectedTask() const {
    return m_view->selectedTask();
}

bool TfrmMain::startTaskRun(Task* task, bool simulate, RunOrigin origin) {
    return m_runs->startTaskRun(task, simulate, origin);
}

bool TfrmMain::previewTask(Task* task) {
    return m_runs->previewTask(task);
}

const RunResult& TfrmMain::lastResult() const {
    return m_runs->lastResult();
}

bool TfrmMain::isBusy() const {
    return m_runs->isBusy();
}

bool TfrmMain::isRunActive() const {
    return m_runs->isRunActive();
}

bool TfrmMain::runPaused() const {
    return m_runs->runPaused();
}

TaskManager* TfrmMain::taskManager() const {
    return m_config->tasks();
}

TaskRun* TfrmMain::taskRun() const {
    return m_runs->taskRun();
}

ScheduleQueue& TfrmMain::scheduleQueue() {
    return m_scheduler->queue();
}

const NormalSetting& TfrmMain::normalSetting() const {
    return m_config->setting();
}

TTrayIcon* TfrmMain::trayIcon() const {
    return m_tray->icon();
}

QMenu* TfrmMain::trayMenu() const {
    return m_tray->menu();
}

TfrmProgress* TfrmMain::progressWindow() const {
    return m_runs->progressWindow();
}

void TfrmMain::btnAddTaskClick() {
    if (m_config->tasks() != nullptr && !isBusy()) {
        m_config->addTask();
    }
}

void TfrmMain::btnEditTaskClick() {
    if (Task* task = selectedTask(); task != nullptr && !isBusy()) {
        m_config->editTask(*task);
    }
}

void TfrmMain::btnRemoveTaskClick() {
    if (m_config->tasks() == nullptr || isBusy() || m_view->selectedIds().empty()) {
        return;
    }
    if (!m_loops.askConfirm(tr("Are you sure you want to delete task(s) you selected ?"),
                            QMessageBox::No)) {
        return;
    }
    // The rows may have changed while the question was open.
    m_config->removeTasks(m_view->selectedIds());
}

void TfrmMain::btnTaskWizardClick() {
    if (m_config->tasks() != nullptr && !isBusy()) {
        m_config->runWizard();
    }
}

void TfrmMain::btnCopyPolicyClick() {
    if (m_config->policies() != nullptr && !isBusy()) {
        m_config->editCopyPolicies();
    }
}

void TfrmMain::btnVersionsClick() {
    Task* task = selectedTask();
    // Not while a run may be writing the versions folder.
    if (task == nullptr || isBusy()) {
        return;
    }
    TfrmVersions window(*task, this);
    m_loops.exec(window);
}

void TfrmMain::btnSettingsClick() {
    if (m_config->tasks() != nullptr) {
        m_config->editSettings();
    }
}

void TfrmMain::btnRunTaskClick() {
    if (Task* task = selectedTask()) {
        startTaskRun(task, false);
    }
}

void TfrmMain::btnSimulateRunClick() {
    if (Task* task = selectedTask()) {
        startTaskRun(task, true);
    }
}

void TfrmMain::btnPreviewClick() {
    if (Task* task = selectedTask()) {
        previewTask(task);
    }
}

void TfrmMain::btnAbortTaskClick() {
    m_runs->requestStop();
}

void TfrmMain::btnHistoryClick() {
    showHistory(selectedTask());
}

void TfrmMain::btnAboutClick() {
    const ModalLoops::Scope scope = m_loops.enter();
    DialogService::instance().about(
        this, tr("About Twinfold"),
        tr("<b>Twinfold !</b><br>Version %1<br><br>Keeps folders in step one way and makes "
           "backup copies.")
            .arg(versionText()));
}

void TfrmMain::lstTasksClick() {
    if (!isBusy()) {
        m_view->followSelection();
    }
}

void TfrmMain::lblURLClick() {
    const ModalLoops::Scope scope = m_loops.enter();
    showHelp(this, HelpTopic::Overview);
}

void TfrmMain::lblSuggestionClick() {
    TfrmSuggestion box(this);
    m_loops.exec(box);
}

void TfrmMain::showHistory(Task* task) {
    if (task != nullptr && m_history != nullptr) {
        m_history->show(*task);
    }
}

int TfrmMain::checkOverdue() {
    if (m_config->tasks() == nullptr || m_history == nullptr) {
        return 0;
    }
    return m_history->checkOverdue(*m_config->tasks(), m_config->setting().overdueDays);
}

void TfrmMain::showNotice(const QString& text, const QString& taskId) {
    m_noticeTaskId = taskId;
    // Never modal: scheduled runs must not stack up boxes nobody answers.
    if (!m_tray->showNotice(text)) {
        m_view->showNotice(text);
    }
}

void TfrmMain::noticeClicked() {
    if (m_noticeTaskId.isEmpty()) {
        return;
    }
    if (Task* task = findTask(m_noticeTaskId.toStdString())) {
        showHistory(task);
    }
}

void TfrmMain::popMenuTrayPopup() {
    m_tray->popMenuTrayPopup(m_config->tasks(), isRunActive(), isBusy(),
                             m_config->setting().showDetail);
}

void TfrmMain::mnuTrayStopClick() {
    if (!runPaused()) {
        m_runs->stopRequest();
    }
}

void TfrmMain::mnuTrayShowClick() {
    m_tray->restoreWindow();
}

void TfrmMain::mnuTrayQuitClick() {
    if (runPaused() || m_loops.quitting() || m_loops.shutDown()) {
        return;
    }
    if (!m_loops.anyOpen()) {
        close();
        return;
    }
    // A dialog is open: it goes as if cancelled, and the program quits once
    // its handler has finished. A run is only stopped if the user agrees.
    if (isRunActive()) {
        if (!askQuitDuringRun({})) {
            return;
        }
        m_runs->abort();
    }
    m_loops.setQuitting();
    continueQuit();
}

bool TfrmMain::askQuitDuringRun(const std::function<void()>& onYes) {
    return m_runs->askWhilePaused(tr("Task is running,are you sure stop it and quit Twinfold?"),
                                  onYes);
}

void TfrmMain::continueQuit() {
    if (m_loops.shutDown()) {
        return;
    }
    if (m_loops.closeOpenDialogs()) {
        QTimer::singleShot(kCloseRetryMs, this, &TfrmMain::continueQuit);
        return;
    }
    close();
}

void TfrmMain::tmeButtonStatusTimer() {
    if (!m_loops.shutDown()) {
        lstTasksClick();
    }
}

void TfrmMain::tmeCheckTimer() {
    m_scheduler->tmeCheckTimer();
}

void TfrmMain::tmeGetTimer() {
    m_scheduler->tmeGetTimer();
}

bool TfrmMain::FormCloseQuery() {
    if (loadFailed() || !isRunActive()) {
        return true;
    }
    if (m_loops.unattended() || m_loops.quitting()) {
        // Nobody to ask, or the user agreed already.
        m_runs->abort();
        return true;
    }
    return askQuitDuringRun([this] { m_runs->abort(); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (m_loops.shutDown()) {
        event->accept();
        return;
    }
    // Not while a dialog or a question of this window is open, or a plan is
    // being built: their handlers still need the model. An unattended close
    // waits for them to finish.
    if (m_loops.anyOpen()) {
        event->ignore();
        return;
    }
    m_loops.setInCloseQuery(true);
    const bool canClose = FormCloseQuery();
    m_loops.setInCloseQuery(false);
    if (!canClose) {
        event->ignore();
        return;
    }
    FormDestroy();
    event->accept();
    Q_EMIT closed();
}

void TfrmMain::FormDestroy() {
    m_loops.setShutDown();
    tmeButtonStatus->stop();
    m_scheduler->stop();
    m_runs->abort();
    if (!loadFailed()) {
        m_config->save();
    }
    m_tray->remove();
    m_runs->hideProgress();
}

void TfrmMain::requestUnattendedClose() {
    if (m_loops.shutDown()) {
        return;
    }
    m_loops.setUnattended();
    DialogService::instance().setUnattended(true);
    QTimer::singleShot(0, this, &TfrmMain::continueUnattendedClose);
}

void TfrmMain::continueUnattendedClose() {
    if (m_loops.shutDown()) {
        return;
    }
    if (m_loops.closeOpenDialogs()) {
        QTimer::singleShot(kCloseRetryMs, this, &TfrmMain::continueUnattendedClose);
        return;
    }
    close();
}
