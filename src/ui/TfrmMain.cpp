#include "ui/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

#include "config/EDOMError.h"
#include "config/EFileNotFound.h"
#include "config/Support.h"
#include "config/XMLConfig.h"
#include "engine/AppLog.h"
#include "engine/FileItemList.h"
#include "engine/RunStarter.h"
#include "engine/TaskRun.h"
#include "engine/TimePrecisionMemory.h"
#include "history/RunHistory.h"
#include "model/CopyPolicy.h"
#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Assert.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "ui/RunStatusText.h"
#include "ui/TfrmGatherInfo.h"
#include "ui/TfrmProgress.h"
#include "ui/TfrmVersions.h"
#include "ui/Version.h"
#include "ui/dialogs/TfrmCopyPolicy.h"
#include "ui/dialogs/TfrmSettings.h"
#include "ui/dialogs/TfrmTaskDefine.h"
#include "ui/dialogs/TfrmTaskWizard.h"
#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"
#include "widgets/TGauge.h"
#include "widgets/TTrayIcon.h"

namespace {

constexpr int kButtonStatusMs = 100;
// How often an unattended close looks again whether the dialogs it
// cancelled have finished.
constexpr int kCloseRetryMs = 20;

const char* const kIdProperty = "taskId";

QString fromModel(const std::string& text) {
    return QString::fromUtf8(text);
}

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TfrmMain::TfrmMain(TfrmMainOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_options(std::move(options)),
      m_clock(m_options.clock != nullptr ? *m_options.clock : platform::Clock::system()),
      m_loops(this),
      m_config(std::make_unique<ConfigKeeper>(m_loops, this, m_clock)),
      m_scheduler(std::make_unique<ScheduleDriver>(m_clock, [this] {
          return !isBusy() && !m_loops.unattended() && !m_loops.shutDown() &&
                 m_config->tasks() != nullptr;
      })) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(tr("Twinfold !"));
    setWindowIcon(QIcon(QStringLiteral(":/twinfold/twinfold.png")));
    buildWindow();
    buildTrayMenu();

    connect(chkShowDetail, &QCheckBox::toggled, this,
            [this](bool checked) { m_config->setting().showDetail = checked; });
    connect(m_config.get(), &ConfigKeeper::taskConfirmed, m_scheduler.get(),
            [this](Task* task) { m_scheduler->watch(*task); });
    connect(m_config.get(), &ConfigKeeper::taskLeaving, m_scheduler.get(), &ScheduleDriver::forget);
    connect(m_config.get(), &ConfigKeeper::tasksChanged, this, &TfrmMain::refreshTaskList);
    connect(m_scheduler.get(), &ScheduleDriver::checked, this, &TfrmMain::checkOverdue);
    connect(m_scheduler.get(), &ScheduleDriver::runDue, this, [this](Task* task, bool simulate) {
        startTaskRun(task, simulate, RunOrigin::Schedule);
    });
}

TfrmMain::~TfrmMain() {
    // The run goes first: its worker may still call the bridge.
    m_taskRun.reset();
    TrayIcon1->setApplicationWindow(nullptr);
    m_scheduler.reset();
    m_config.reset();
}

void TfrmMain::buildWindow() {
    GroupBox1 = named(new QGroupBox(tr("&Task(s)"), this), "GroupBox1");
    lstTasks = named(new QListWidget(GroupBox1), "lstTasks");
    lstTasks->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTasks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstTasks->setMouseTracking(true);
    lstTasks->viewport()->setCursor(Qt::PointingHandCursor);
    lstTasks->viewport()->installEventFilter(this);
    lstTasks->setStyleSheet(
        QStringLiteral("QListWidget::item:hover { text-decoration: underline; }"));
    lstTasks->setMinimumSize(280, 190);
    auto* groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(lstTasks);
    connect(lstTasks, &QListWidget::itemClicked, this, &TfrmMain::lstTasksClick);
    connect(lstTasks, &QListWidget::itemSelectionChanged, this, &TfrmMain::lstTasksClick);
    connect(lstTasks, &QListWidget::itemDoubleClicked, this, &TfrmMain::lstTasksDblClick);

    const auto button = [this](const char* name, const QString& caption, bool enabled,
                               void (TfrmMain::*handler)()) {
        auto* b = named(new QPushButton(caption, this), name);
        b->setEnabled(enabled);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    btnAddTask = button("btnAddTask", tr("&Add task..."), true, &TfrmMain::btnAddTaskClick);
    btnRemoveTask =
        button("btnRemoveTask", tr("Re&move task"), false, &TfrmMain::btnRemoveTaskClick);
    btnEditTask = button("btnEditTask", tr("&Edit task..."), false, &TfrmMain::btnEditTaskClick);
    btnTaskWizard = button("btnTaskWizard", tr("&Wizard..."), true, &TfrmMain::btnTaskWizardClick);
    btnCopyPolicy =
        button("btnCopyPolicy", tr("&Copy policy"), true, &TfrmMain::btnCopyPolicyClick);
    btnVersions = button("btnVersions", tr("Vers&ions..."), false, &TfrmMain::btnVersionsClick);
    btnSettings = button("btnSettings", tr("Settin&gs..."), true, &TfrmMain::btnSettingsClick);
    btnAbout = button("btnAbout", tr("Ab&out"), true, &TfrmMain::btnAboutClick);

    prgTaskRun = named(new TGauge(this), "prgTaskRun");
    prgTaskRun->setForeColor(Qt::blue);
    prgTaskRun->setMaxValue(0);
    QSizePolicy keep = prgTaskRun->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    prgTaskRun->setSizePolicy(keep);
    prgTaskRun->hide();

    const auto toolButton = [this](const char* name, const QString& caption, const QString& hint,
                                   void (TfrmMain::*handler)()) {
        auto* b = named(new QToolButton(this), name);
        b->setText(caption);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this, handler);
        return b;
    };
    btnRunTask =
        toolButton("btnRunTask", tr("&Run"), tr("run this task"), &TfrmMain::btnRunTaskClick);
    btnSimulateRun = toolButton("btnSimulateRun", tr("Sim&ulate"), tr("simulate run, test task"),
                                &TfrmMain::btnSimulateRunClick);
    btnAbortTask = toolButton("btnAbortTask", tr("&Stop"), tr("abort task running"),
                              &TfrmMain::btnAbortTaskClick);
    btnPreview = toolButton("btnPreview", tr("Pre&view"),
                            tr("list what a run would do, then run exactly that"),
                            &TfrmMain::btnPreviewClick);
    btnHistory =
        toolButton("btnHistory", tr("Histor&y"), tr("the runs of this task and why they failed"),
                   &TfrmMain::btnHistoryClick);
    lstTasks->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstTasks, &QWidget::customContextMenuRequested, this, &TfrmMain::lstTasksContextMenu);
    // After a run, how it ended shows where its gauge was.
    lblLastRun = named(new QLabel(this), "lblLastRun");
    lblLastRun->hide();
    chkShowDetail = named(new QCheckBox(tr("Show &progress detail "), this), "chkShowDetail");

    Panel2 = named(new QWidget(this), "Panel2");
    Label1 = named(
        new QLabel(QStringLiteral("<a href=\"help\">&nbsp;%1&nbsp;</a>").arg(tr("Help")), Panel2),
        "Label1");
    Label1->setToolTip(tr("help of Twinfold !"));
    lblSuggestion = named(
        new QLabel(QStringLiteral("<a href=\"mail\">%1</a>").arg(tr("appreciate your suggestion")),
                   Panel2),
        "lblSuggestion");
    for (QLabel* link : {Label1, lblSuggestion}) {
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link->setCursor(Qt::PointingHandCursor);
    }
    connect(Label1, &QLabel::linkActivated, this, &TfrmMain::lblURLClick);
    connect(lblSuggestion, &QLabel::linkActivated, this, &TfrmMain::lblSuggestionClick);
    // Where the desktop has no notification area, a run's problems are told
    // here instead of in a tray message.
    lblRunNotice = named(new QLabel(Panel2), "lblRunNotice");
    lblRunNotice->setWordWrap(true);
    lblRunNotice->setCursor(Qt::PointingHandCursor);
    lblRunNotice->installEventFilter(this);
    lblRunNotice->hide();

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btnAddTask, btnRemoveTask, btnEditTask, btnTaskWizard, btnCopyPolicy,
                           btnVersions, btnSettings}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(btnAbout);

    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox1, 1);
    top->addLayout(buttons);

    auto* runRow = new QHBoxLayout;
    runRow->addWidget(btnRunTask);
    runRow->addWidget(btnSimulateRun);
    runRow->addWidget(btnPreview);
    runRow->addWidget(btnAbortTask);
    runRow->addWidget(btnHistory);
    runRow->addStretch(1);
    runRow->addWidget(chkShowDetail);

    auto* panelLayout = new QGridLayout(Panel2);
    panelLayout->setContentsMargins(4, 2, 4, 2);
    panelLayout->addWidget(Label1, 0, 0, Qt::AlignLeft);
    panelLayout->addWidget(lblSuggestion, 0, 1, Qt::AlignRight);
    panelLayout->addWidget(lblRunNotice, 1, 0, 1, 2);
    Panel2->setAutoFillBackground(true);
    Panel2->setBackgroundRole(QPalette::Button);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    auto* gaugeArea = new QGridLayout;
    gaugeArea->addWidget(prgTaskRun, 0, 0);
    gaugeArea->addWidget(lblLastRun, 0, 0);
    main->addLayout(gaugeArea);
    main->addLayout(runRow);
    main->addWidget(Panel2);
    // A fixed border that still follows the font and the scale factor.
    main->setSizeConstraint(QLayout::SetFixedSize);

    tmeButtonStatus = named(new QTimer(this), "tmeButtonStatus");
    tmeButtonStatus->setInterval(kButtonStatusMs);
    connect(tmeButtonStatus, &QTimer::timeout, this, &TfrmMain::tmeButtonStatusTimer);
}

void TfrmMain::buildTrayMenu() {
    popMenuTray = named(new QMenu(this), "popMenuTray");
    const auto item = [this](const char* name, const QString& caption,
                             void (TfrmMain::*handler)()) {
        QAction* action = popMenuTray->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    mnuTrayAbout = item("mnuTrayAbout", tr("About"), &TfrmMain::mnuTrayAboutClick);
    popMenuTray->setDefaultAction(mnuTrayAbout);
    popMenuTray->addSeparator();
    auto* simulateMenu = named(new QMenu(tr("Simulate"), popMenuTray), "mnuSimulate");
    mnuTraySimulate = popMenuTray->addMenu(simulateMenu);
    mnuTraySimulate->setObjectName(QStringLiteral("mnuTraySimulate"));
    auto* runMenu = named(new QMenu(tr("Run"), popMenuTray), "mnuRun");
    mnuTrayRun = popMenuTray->addMenu(runMenu);
    mnuTrayRun->setObjectName(QStringLiteral("mnuTrayRun"));
    mnuTrayStop = item("mnuTrayStop", tr("Stop"), &TfrmMain::mnuTrayStopClick);
    mnuShowDetail =
        item("mnuShowDetail", tr("Show progress detail"), &TfrmMain::mnuShowDetailClick);
    mnuShowDetail->setCheckable(true);
    popMenuTray->addSeparator();
    mnuTraySettings = item("mnuTraySettings", tr("Settings..."), &TfrmMain::btnSettingsClick);
    mnuTrayShow = item("mnuTrayShow", tr("Show main window"), &TfrmMain::mnuTrayShowClick);
    mnuTrayQuit = item("mnuTrayQuit", tr("Quit"), &TfrmMain::mnuTrayQuitClick);
    connect(popMenuTray, &QMenu::aboutToShow, this, &TfrmMain::popMenuTrayPopup);

    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setIcon(windowIcon());
    TrayIcon1->setPopupMenu(popMenuTray);
    connect(TrayIcon1, &TTrayIcon::messageClicked, this, &TfrmMain::noticeClicked);
    TrayIcon1->setRestoreOn(TTrayIcon::imDoubleClick);
    TrayIcon1->setPopupMenuOn(TTrayIcon::imRightClickUp);
    TrayIcon1->setApplicationWindow(this);
    TrayIcon1->setVisible(true);
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
    m_taskRun = std::make_unique<TaskRun>();
    m_taskRun->setSimulationDelay(m_options.simulationDelay);
    if (m_options.log != nullptr) {
        m_taskRun->setLog(m_options.log);
    }
    m_starter = std::make_unique<RunStarter>(
        *m_taskRun, m_options.log != nullptr ? *m_options.log : AppLog::instance());
    m_history = std::make_unique<RunHistory>(m_options.historyFile.empty()
                                                 ? XMLConfig::stateFolder() +
                                                       std::string(RunHistory::kFileName)
                                                 : m_options.historyFile);
    {
        std::string stateFolder =
            m_options.historyFile.empty()
                ? XMLConfig::stateFolder()
                : m_options.historyFile.substr(0, m_options.historyFile.rfind('/') + 1);
        m_timePrecisions = std::make_unique<TimePrecisionMemory>(
            stateFolder + std::string(TimePrecisionMemory::kFileName));
    }
    m_history->setReporter([this](const std::string& problem) {
        showNotice(tr("The run history cannot be kept: %1").arg(QString::fromLocal8Bit(problem)),
                   {});
    });
    m_bridge = new TaskRunBridge(m_taskRun.get(), this);
    connect(m_bridge, &TaskRunBridge::began, this, &TfrmMain::runBegan);
    connect(m_bridge, &TaskRunBridge::updated, this, &TfrmMain::runUpdated);
    connect(m_bridge, &TaskRunBridge::ended, this, &TfrmMain::runEnded);
    connect(m_bridge, &TaskRunBridge::pauseChanged, this, &TfrmMain::runPauseChanged);

    chkShowDetail->setChecked(m_config->setting().showDetail);
    refreshTaskList();
    m_config->tellLoadNotices();
    m_config->runWizardOnFirstStart();
    for (const auto& task : m_config->tasks()->taskList()) {
        m_scheduler->watch(*task);
    }
    m_scheduler->start();
    checkOverdue();
    TrayIcon1->setHint(tr("Twinfold! (v%1)").arg(versionText()));
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
                    window->lblRunNotice->setText(text);
                    window->lblRunNotice->show();
                }
            }
        },
        Qt::QueuedConnection);
}

Task* TfrmMain::selectedTask() const {
    if (m_config->tasks() == nullptr) {
        return nullptr;
    }
    for (int row = 0; row < lstTasks->count(); ++row) {
        const QListWidgetItem* item = lstTasks->item(row);
        if (item->isSelected()) {
            return m_config->tasks()->findTaskById(
                item->data(Qt::UserRole).toByteArray().toStdString());
        }
    }
    return nullptr;
}

void TfrmMain::refreshTaskList() {
    std::vector<QByteArray> selected;
    for (const QListWidgetItem* item : lstTasks->selectedItems()) {
        selected.push_back(item->data(Qt::UserRole).toByteArray());
    }
    const QSignalBlocker quiet(lstTasks);
    lstTasks->clear();
    if (m_config->tasks() == nullptr) {
        return;
    }
    for (const auto& task : m_config->tasks()->taskList()) {
        auto* item = new QListWidgetItem(fromModel(task->name), lstTasks);
        if (m_history != nullptr) {
            runstatus::decorateTaskItem(*item, fromModel(task->name), statusOf(*task));
        }
        const QByteArray id = QByteArray::fromStdString(task->id);
        item->setData(Qt::UserRole, id);
        if (std::find(selected.begin(), selected.end(), id) != selected.end()) {
            item->setSelected(true);
        }
    }
}

QString TfrmMain::lstTasksInfoTip(const QListWidgetItem* item) const {
    if (item == nullptr || m_config->tasks() == nullptr) {
        return {};
    }
    const Task* task =
        m_config->tasks()->findTaskById(item->data(Qt::UserRole).toByteArray().toStdString());
    if (task == nullptr || task->getPolicy() == nullptr) {
        return {};
    }
    return tr("copy policy : %1").arg(fromModel(task->getPolicyName()));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblRunNotice && event->type() == QEvent::MouseButtonRelease) {
        noticeClicked();
        return true;
    }
    if (event->type() == QEvent::ToolTip && watched == lstTasks->viewport()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = lstTasksInfoTip(lstTasks->itemAt(help->pos()));
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, lstTasks->viewport());
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmMain::askDeleteMany(const QString& taskName, const GuardHit& hit) {
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

bool TfrmMain::saveConfiguration() {
    return m_config->save();
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

void TfrmMain::btnVersionsClick() {
    Task* task = selectedTask();
    // Not while a run may be writing the versions folder.
    if (task == nullptr || isBusy()) {
        return;
    }
    TfrmVersions window(*task, this);
    m_loops.exec(window);
}

void TfrmMain::btnRemoveTaskClick() {
    if (m_config->tasks() == nullptr || isBusy() || lstTasks->selectedItems().isEmpty()) {
        return;
    }
    if (!m_loops.askConfirm(tr("Are you sure you want to delete task(s) you selected ?"),
                            QMessageBox::No)) {
        return;
    }
    // The rows may have changed while the question was open.
    std::vector<std::string> ids;
    for (const QListWidgetItem* item : lstTasks->selectedItems()) {
        ids.push_back(item->data(Qt::UserRole).toByteArray().toStdString());
    }
    m_config->removeTasks(ids);
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

bool TfrmMain::canStartRun(const Task& task) const {
    // A task without a policy is still being made in a dialog.
    return !isBusy() && !m_loops.unattended() && !m_loops.quitting() && !m_loops.shutDown() &&
           m_taskRun != nullptr && task.getPolicy() != nullptr;
}

void TfrmMain::waitAside(const QString& text, const std::function<void()>& work) {
    // The work runs on a helper thread while the "please wait" window stays
    // painted. It is modal, so nothing can edit or remove the task
    // meanwhile; the timers go on but start nothing while the window is busy.
    const ModalLoops::Scope scope = m_loops.enter();
    TfrmGatherInfo gather(this);
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

bool TfrmMain::startTaskRun(Task* task, bool simulate, RunOrigin origin) {
    TF_ASSERT(task != nullptr);
    return startRun(
        *task, simulate, origin, tr("Gather file information,please wait..."),
        [this, task, simulate] {
            return buildPlan(*task, kMirrorLockWaitMs, {!simulate, m_timePrecisions.get()});
        });
}

bool TfrmMain::startRun(Task& task, bool simulate, RunOrigin origin, const QString& waitText,
                        const std::function<PlanOutcome()>& makePlan) {
    if (!canStartRun(task)) {
        return false;
    }
    const ModalLoops::Scope scope = m_loops.enter();
    m_gathering = true;
    task.schedule.restartCountdown();

    m_starter->begin(task, origin, simulate);
    const QString logFile = fromPath(m_starter->logFile());
    const QString taskName = fromModel(task.name);

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
        limit.percent = m_config->setting().maxDeletePercent;
        limit.minimum = m_config->setting().maxDeleteMinimum;
        const bool person = origin == RunOrigin::Button || origin == RunOrigin::Tray;
        m_starter->guard(*outcome.plan, limit, [this, person, &taskName](const GuardHit& hit) {
            return person && askDeleteMany(taskName, hit);
        });
    }

    if (chkShowDetail->isChecked()) {
        if (m_progress == nullptr) {
            m_progress = new TfrmProgress(this);
            m_progress->observe(m_bridge);
            connect(m_progress, &TfrmProgress::stopRequested, this, &TfrmMain::stopRequest);
        }
        m_progress->setTaskName(taskName);
        m_progress->show();
        m_progress->raise();
    } else if (m_progress != nullptr && m_progress->isVisible()) {
        m_progress->hide();
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

void TfrmMain::setRunButtons(bool runEnabled) {
    btnRunTask->setEnabled(runEnabled);
    btnSimulateRun->setEnabled(btnRunTask->isEnabled());
    btnPreview->setEnabled(btnRunTask->isEnabled());
}

void TfrmMain::runBegan() {
    for (QPushButton* b : {btnAddTask, btnRemoveTask, btnEditTask, btnCopyPolicy, btnTaskWizard}) {
        b->setEnabled(false);
    }
    lblLastRun->hide();
    prgTaskRun->show();
    btnAbortTask->setEnabled(true);
    setRunButtons(false);
    m_runPaused = false;
}

void TfrmMain::runUpdated(const RunProgress& progress) {
    prgTaskRun->setMaxValue(progress.totalCount());
    prgTaskRun->setProgress(progress.doneCount());
}

void TfrmMain::runEnded(const RunOutcome& outcome) {
    for (QPushButton* b : {btnAddTask, btnRemoveTask, btnEditTask, btnCopyPolicy, btnTaskWizard}) {
        b->setEnabled(true);
    }
    prgTaskRun->hide();
    btnAbortTask->setEnabled(false);
    setRunButtons(true);
    m_runPaused = false;
    m_runActive = false;
    m_lastResult = m_starter->finish();
    recordRun();
    reportRunProblems(outcome);
}

void TfrmMain::runPauseChanged(bool paused) {
    m_runPaused = paused;
}

void TfrmMain::reportRunProblems(const RunOutcome& outcome) {
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
        text += fromModel(first.reason);
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
    showNotice(text, QString::fromStdString(m_lastResult.taskId));
}

void TfrmMain::btnAbortTaskClick() {
    if (!m_runActive || m_askingStop) {
        return;
    }
    m_askingStop = true;
    m_taskRun->setPaused(true);
    if (m_loops.askConfirm(tr("Task is running,are you sure to abort it ?"))) {
        m_taskRun->abort();
        prgTaskRun->hide();
        btnAbortTask->setEnabled(false);
        setRunButtons(!btnAbortTask->isEnabled());
        prgTaskRun->setProgress(0);
        if (m_progress != nullptr) {
            m_progress->hide();
        }
    }
    m_taskRun->setPaused(false);
    m_askingStop = false;
}

void TfrmMain::stopRequest() {
    if (btnAbortTask->isEnabled()) {
        btnAbortTaskClick();
    }
}

void TfrmMain::btnAboutClick() {
    const ModalLoops::Scope scope = m_loops.enter();
    DialogService::instance().about(
        this, tr("About Twinfold"),
        tr("<b>Twinfold !</b><br>Version %1<br><br>Keeps folders in step one way and makes "
           "backup copies.")
            .arg(versionText()));
}

void TfrmMain::mnuTrayAboutClick() {
    btnAboutClick();
}

void TfrmMain::lstTasksClick() {
    if (isBusy()) {
        return;
    }
    const qsizetype selected = lstTasks->selectedItems().size();
    btnRemoveTask->setEnabled(selected >= 1);
    btnEditTask->setEnabled(selected == 1);
    btnVersions->setEnabled(selected == 1);
    setRunButtons(selected >= 1);
    btnHistory->setEnabled(selected == 1);
}

void TfrmMain::lstTasksDblClick() {
    if (selectedTask() != nullptr && !isBusy()) {
        btnEditTaskClick();
    }
}

void TfrmMain::lblURLClick() {
    const ModalLoops::Scope scope = m_loops.enter();
    showHelp(this, HelpTopic::Overview);
}

void TfrmMain::lblSuggestionClick() {
    // The address is shown in a field the user can copy from: whether a
    // mail program opened cannot be told.
    const QString address = latin1(config::kSupportAddress);
    QDialog box(this);
    box.setObjectName(QStringLiteral("frmSuggestion"));
    box.setWindowTitle(tr("Your suggestion"));
    auto* text = new QLabel(tr("Please write your suggestion to this address:"), &box);
    auto* field = named(new QLineEdit(address, &box), "edtMailAddress");
    field->setReadOnly(true);
    field->selectAll();
    auto* write = named(new QPushButton(tr("&Write mail..."), &box), "btnWriteMail");
    auto* copy = named(new QPushButton(tr("&Copy"), &box), "btnCopyAddress");
    auto* close = named(new QPushButton(tr("Close"), &box), "btnClose");
    close->setDefault(true);
    connect(write, &QPushButton::clicked, &box, [address] {
        QUrl mail(QStringLiteral("mailto:") + address);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"), tr("I have a good idea"));
        mail.setQuery(query);
        DialogService::instance().openUrl(mail);
    });
    connect(copy, &QPushButton::clicked, &box,
            [address] { QGuiApplication::clipboard()->setText(address); });
    connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(write);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(text);
    layout->addWidget(field);
    layout->addLayout(buttons);
    m_loops.exec(box);
}

void TfrmMain::clearTraySubmenus() {
    for (QAction* parent : {mnuTrayRun, mnuTraySimulate}) {
        parent->menu()->clear();
    }
}

void TfrmMain::popMenuTrayPopup() {
    clearTraySubmenus();
    if (m_config->tasks() != nullptr) {
        for (QAction* parent : {mnuTrayRun, mnuTraySimulate}) {
            QMenu* submenu = parent->menu();
            for (const auto& task : m_config->tasks()->taskList()) {
                // A task still being made in a dialog cannot run yet.
                if (task->getPolicy() == nullptr) {
                    continue;
                }
                QAction* entry = submenu->addAction(fromModel(task->name));
                entry->setProperty(kIdProperty, QByteArray::fromStdString(task->id));
                connect(entry, &QAction::triggered, this,
                        [this, entry] { runFromTrayMenu(entry); });
            }
        }
    }
    mnuTrayStop->setEnabled(m_runActive);
    mnuShowDetail->setChecked(chkShowDetail->isChecked());
    mnuTraySimulate->setEnabled(!mnuTrayStop->isEnabled() && !isBusy());
    mnuTrayRun->setEnabled(mnuTraySimulate->isEnabled());
}

void TfrmMain::runFromTrayMenu(QAction* item) {
    TF_ASSERT(item != nullptr);
    bool simulate = false;
    if (item->parent() == mnuTrayRun->menu()) {
        simulate = false;
    } else if (item->parent() == mnuTraySimulate->menu()) {
        simulate = true;
    } else {
        TF_ASSERT(!"tray item belongs to the Run or the Simulate submenu");
    }
    // Started from the event loop, not from inside the item's own signal:
    // the menu is rebuilt (and the item deleted) the next time it opens,
    // which may happen while the plan is being built.
    const std::string id = item->property(kIdProperty).toByteArray().toStdString();
    QTimer::singleShot(0, this, [this, id, simulate] {
        if (m_config->tasks() == nullptr) {
            return;
        }
        if (Task* task = m_config->tasks()->findTaskById(id)) {
            startTaskRun(task, simulate, RunOrigin::Tray);
        }
    });
}

void TfrmMain::mnuTrayStopClick() {
    if (m_runPaused) {
        return;
    }
    if (btnAbortTask->isEnabled()) {
        btnAbortTaskClick();
    }
}

void TfrmMain::mnuShowDetailClick() {
    // The checkable item has flipped its mark already.
    chkShowDetail->setChecked(mnuShowDetail->isChecked());
}

void TfrmMain::mnuTrayShowClick() {
    TrayIcon1->restoreApplication();
}

void TfrmMain::mnuTrayQuitClick() {
    if (m_runPaused || m_loops.quitting() || m_loops.shutDown()) {
        return;
    }
    if (!m_loops.anyOpen()) {
        close();
        return;
    }
    // A dialog is open: it goes as if cancelled, and the program quits once
    // its handler has finished. A run is only stopped if the user agrees.
    if (m_runActive) {
        m_askingStop = true;
        m_taskRun->setPaused(true);
        const bool quit =
            m_loops.askConfirm(tr("Task is running,are you sure stop it and quit Twinfold?"));
        m_taskRun->setPaused(false);
        m_askingStop = false;
        if (!quit) {
            return;
        }
        m_taskRun->abort();
    }
    m_loops.setQuitting();
    continueQuit();
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
    if (m_loops.shutDown()) {
        return;
    }
    lstTasksClick();
}

void TfrmMain::tmeCheckTimer() {
    m_scheduler->tmeCheckTimer();
}

void TfrmMain::tmeGetTimer() {
    m_scheduler->tmeGetTimer();
}

bool TfrmMain::FormCloseQuery() {
    if (loadFailed() || !m_runActive) {
        return true;
    }
    if (m_loops.unattended() || m_loops.quitting()) {
        // Nobody to ask, or the user agreed already.
        m_taskRun->abort();
        return true;
    }
    m_askingStop = true;
    m_taskRun->setPaused(true);
    const bool quit =
        m_loops.askConfirm(tr("Task is running,are you sure stop it and quit Twinfold?"));
    if (quit) {
        m_taskRun->abort();
    }
    m_taskRun->setPaused(false);
    m_askingStop = false;
    return quit;
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
    if (m_taskRun != nullptr) {
        m_taskRun->abort();
    }
    if (!loadFailed()) {
        saveConfiguration();
    }
    clearTraySubmenus();
    TrayIcon1->setVisible(false);
    if (m_progress != nullptr) {
        m_progress->hide();
    }
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
