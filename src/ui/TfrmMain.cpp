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
#include "engine/MirrorMemory.h"
#include "engine/RunStarter.h"
#include "engine/TaskRun.h"
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
constexpr int kCheckMs = 200;
constexpr int kGetMs = 800;
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

// Counts a nested event loop for as long as it runs.
class LoopGuard {
public:
    explicit LoopGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~LoopGuard() { --m_depth; }
    LoopGuard(const LoopGuard&) = delete;
    LoopGuard& operator=(const LoopGuard&) = delete;

private:
    int& m_depth;
};

}  // namespace

TfrmMain::TfrmMain(TfrmMainOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_options(std::move(options)),
      m_clock(m_options.clock != nullptr ? *m_options.clock : platform::Clock::system()),
      m_queue(m_clock) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Twinfold !"));
    setWindowIcon(QIcon(QStringLiteral(":/twinfold/twinfold.png")));
    buildWindow();
    buildTrayMenu();
}

TfrmMain::~TfrmMain() {
    // The run goes first: its worker may still call the bridge.
    m_taskRun.reset();
    TrayIcon1->setApplicationWindow(nullptr);
    m_tasks.reset();
    m_policies.reset();
    m_config.reset();
}

void TfrmMain::buildWindow() {
    GroupBox1 = named(new QGroupBox(QStringLiteral("&Task(s)"), this), "GroupBox1");
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

    const auto button = [this](const char* name, const char* caption, bool enabled,
                               void (TfrmMain::*handler)()) {
        auto* b = named(new QPushButton(QString::fromLatin1(caption), this), name);
        b->setEnabled(enabled);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    btnAddTask = button("btnAddTask", "&Add task...", true, &TfrmMain::btnAddTaskClick);
    btnRemoveTask = button("btnRemoveTask", "Re&move task", false, &TfrmMain::btnRemoveTaskClick);
    btnEditTask = button("btnEditTask", "&Edit task...", false, &TfrmMain::btnEditTaskClick);
    btnTaskWizard = button("btnTaskWizard", "&Wizard...", true, &TfrmMain::btnTaskWizardClick);
    btnCopyPolicy = button("btnCopyPolicy", "&Copy policy", true, &TfrmMain::btnCopyPolicyClick);
    btnVersions = button("btnVersions", "&Versions...", false, &TfrmMain::btnVersionsClick);
    btnSettings = button("btnSettings", "", true, &TfrmMain::btnSettingsClick);
    btnSettings->setText(tr("Settin&gs..."));
    btnAbout = button("btnAbout", "Ab&out", true, &TfrmMain::btnAboutClick);

    prgTaskRun = named(new TGauge(this), "prgTaskRun");
    prgTaskRun->setForeColor(Qt::blue);
    prgTaskRun->setMaxValue(0);
    QSizePolicy keep = prgTaskRun->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    prgTaskRun->setSizePolicy(keep);
    prgTaskRun->hide();

    const auto toolButton = [this](const char* name, const char* caption, const char* hint,
                                   void (TfrmMain::*handler)()) {
        auto* b = named(new QToolButton(this), name);
        b->setText(QString::fromLatin1(caption));
        b->setToolTip(QString::fromLatin1(hint));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this, handler);
        return b;
    };
    btnRunTask = toolButton("btnRunTask", "&Run", "run this task", &TfrmMain::btnRunTaskClick);
    btnSimulateRun = toolButton("btnSimulateRun", "Sim&ulate", "simulate run, test task",
                                &TfrmMain::btnSimulateRunClick);
    btnAbortTask =
        toolButton("btnAbortTask", "&Stop", "abort task running", &TfrmMain::btnAbortTaskClick);
    btnPreview = toolButton("btnPreview", "", "", &TfrmMain::btnPreviewClick);
    btnPreview->setText(tr("Pre&view"));
    btnPreview->setToolTip(tr("list what a run would do, then run exactly that"));
    btnHistory = toolButton("btnHistory", "", "", &TfrmMain::btnHistoryClick);
    btnHistory->setText(tr("Histor&y"));
    btnHistory->setToolTip(tr("the runs of this task and why they failed"));
    lstTasks->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstTasks, &QWidget::customContextMenuRequested, this, &TfrmMain::lstTasksContextMenu);
    // After a run, how it ended shows where its gauge was.
    lblLastRun = named(new QLabel(this), "lblLastRun");
    lblLastRun->hide();
    chkShowDetail =
        named(new QCheckBox(QStringLiteral("Show &progress detail "), this), "chkShowDetail");

    Panel2 = named(new QWidget(this), "Panel2");
    Label1 = named(new QLabel(QStringLiteral("<a href=\"help\">&nbsp;Help&nbsp;</a>"), Panel2),
                   "Label1");
    Label1->setToolTip(QStringLiteral("help of Twinfold !"));
    lblSuggestion =
        named(new QLabel(QStringLiteral("<a href=\"mail\">appreciate your suggestion</a>"), Panel2),
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
    tmeCheck = named(new QTimer(this), "tmeCheck");
    tmeCheck->setInterval(kCheckMs);
    connect(tmeCheck, &QTimer::timeout, this, &TfrmMain::tmeCheckTimer);
    tmeGet = named(new QTimer(this), "tmeGet");
    tmeGet->setInterval(kGetMs);
    connect(tmeGet, &QTimer::timeout, this, &TfrmMain::tmeGetTimer);
}

void TfrmMain::buildTrayMenu() {
    popMenuTray = named(new QMenu(this), "popMenuTray");
    const auto item = [this](const char* name, const char* caption, void (TfrmMain::*handler)()) {
        QAction* action = popMenuTray->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    mnuTrayAbout = item("mnuTrayAbout", "About", &TfrmMain::mnuTrayAboutClick);
    popMenuTray->setDefaultAction(mnuTrayAbout);
    popMenuTray->addSeparator();
    auto* simulateMenu = named(new QMenu(QStringLiteral("Simulate"), popMenuTray), "mnuSimulate");
    mnuTraySimulate = popMenuTray->addMenu(simulateMenu);
    mnuTraySimulate->setObjectName(QStringLiteral("mnuTraySimulate"));
    auto* runMenu = named(new QMenu(QStringLiteral("Run"), popMenuTray), "mnuRun");
    mnuTrayRun = popMenuTray->addMenu(runMenu);
    mnuTrayRun->setObjectName(QStringLiteral("mnuTrayRun"));
    mnuTrayStop = item("mnuTrayStop", "Stop", &TfrmMain::mnuTrayStopClick);
    mnuShowDetail = item("mnuShowDetail", "Show progress detail", &TfrmMain::mnuShowDetailClick);
    mnuShowDetail->setCheckable(true);
    popMenuTray->addSeparator();
    mnuTraySettings = item("mnuTraySettings", "", &TfrmMain::btnSettingsClick);
    mnuTraySettings->setText(tr("Settings..."));
    mnuTrayShow = item("mnuTrayShow", "Show main window", &TfrmMain::mnuTrayShowClick);
    mnuTrayQuit = item("mnuTrayQuit", "Quit", &TfrmMain::mnuTrayQuitClick);
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
    return m_config == nullptr || m_config->hasError();
}

void TfrmMain::FormCreate() {
    try {
        m_config = std::make_unique<XMLConfig>(
            m_options.configFolder.empty() ? XMLConfig::configFolder() : m_options.configFolder,
            m_options.defaultFile.empty() ? XMLConfig::defaultFile() : m_options.defaultFile);
        m_config->load();
        m_policies = std::make_unique<PolicyManager>();
        m_tasks = std::make_unique<TaskManager>(m_clock);
        m_policies->setTaskManager(m_tasks.get());
        m_tasks->setPolicys(m_policies.get());
        m_config->readNormalSetting(m_setting);
        m_config->readTasks(*m_tasks);

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
            m_mirrorMemory =
                std::make_unique<MirrorMemory>(stateFolder + std::string(MirrorMemory::kFileName));
        }
        m_history->setReporter([this](const std::string& problem) {
            showNotice(
                tr("The run history cannot be kept: %1").arg(QString::fromLocal8Bit(problem)), {});
        });

        chkShowDetail->setChecked(m_setting.showDetail);
        refreshTaskList();
        if (!m_config->notices().empty()) {
            QString text = QStringLiteral(
                "Some copy policies or tasks could not be used as stored. Until you pick or save "
                "a policy for them, these run with deletion off:\n");
            for (const std::string& notice : m_config->notices()) {
                text += QStringLiteral("\n") + fromModel(notice);
            }
            showInfo(text);
        }

        if (m_setting.showWizard) {
            btnTaskWizardClick();
            m_setting.showWizard = false;
            // So that the wizard opens by itself on the first start only,
            // whatever happens to this run of the program.
            saveConfiguration();
        }
        for (const auto& task : m_tasks->taskList()) {
            watchTask(*task);
        }
        tmeGet->start();
        tmeCheck->start();
        checkOverdue();
        TrayIcon1->setHint(QStringLiteral("Twinfold! (v") + versionText() + QLatin1Char(')'));
        tmeButtonStatus->start();

        m_bridge = new TaskRunBridge(m_taskRun.get(), this);
        connect(m_bridge, &TaskRunBridge::began, this, &TfrmMain::runBegan);
        connect(m_bridge, &TaskRunBridge::updated, this, &TfrmMain::runUpdated);
        connect(m_bridge, &TaskRunBridge::ended, this, &TfrmMain::runEnded);
        connect(m_bridge, &TaskRunBridge::pauseChanged, this, &TfrmMain::runPauseChanged);
    } catch (const EFileNotFound&) {
        DialogService::instance().message(this, QMessageBox::Information,
                                          QStringLiteral("System error"),
                                          latin1(config::kDefaultFileMissingMessage));
        QTimer::singleShot(0, this, &QWidget::close);
    } catch (const EDOMError&) {
        DialogService::instance().message(this, QMessageBox::Information,
                                          QStringLiteral("System info"),
                                          latin1(config::kCannotParseMessage));
        QTimer::singleShot(0, this, &QWidget::close);
    }
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

void TfrmMain::watchTask(Task& task) {
    task.schedule.restartCountdown();
    m_queue.addSchedule(&task.schedule);
}

Task* TfrmMain::selectedTask() const {
    if (m_tasks == nullptr) {
        return nullptr;
    }
    for (int row = 0; row < lstTasks->count(); ++row) {
        const QListWidgetItem* item = lstTasks->item(row);
        if (item->isSelected()) {
            return m_tasks->findTaskById(item->data(Qt::UserRole).toByteArray().toStdString());
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
    if (m_tasks == nullptr) {
        return;
    }
    for (const auto& task : m_tasks->taskList()) {
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
    if (item == nullptr || m_tasks == nullptr) {
        return {};
    }
    const Task* task = m_tasks->findTaskById(item->data(Qt::UserRole).toByteArray().toStdString());
    if (task == nullptr || task->getPolicy() == nullptr) {
        return {};
    }
    return QStringLiteral("copy policy : ") + fromModel(task->getPolicyName());
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
    const LoopGuard guard(m_loopDepth);
    const QString text =
        QStringLiteral(
            "Task \"%1\" would delete %2 of the %3 entries in the mirror folder\n%4\n"
            "(main folder %5).\n\nDelete them? With No, nothing is deleted from this "
            "mirror folder and the rest of the run goes ahead.")
            .arg(taskName)
            .arg(hit.deletions)
            .arg(hit.mirrorEntries)
            .arg(fromPath(hit.mirrorRoot), fromPath(hit.mainRoot));
    return DialogService::instance().message(this, QMessageBox::Warning, QStringLiteral("Confirm"),
                                             text, QMessageBox::Yes | QMessageBox::No,
                                             QMessageBox::No) == QMessageBox::Yes;
}

bool TfrmMain::askConfirm(const QString& text, QMessageBox::StandardButton defaultButton) {
    const LoopGuard guard(m_loopDepth);
    return DialogService::instance().message(this, QMessageBox::Question, QStringLiteral("Confirm"),
                                             text, QMessageBox::Yes | QMessageBox::No,
                                             defaultButton) == QMessageBox::Yes;
}

void TfrmMain::showInfo(const QString& text) {
    const LoopGuard guard(m_loopDepth);
    DialogService::instance().message(this, QMessageBox::Information, QStringLiteral("Info"), text);
}

Task& TfrmMain::addNewTask() {
    Task& task = m_tasks->addTask();
    task.schedule.runMissed = m_setting.runMissedDefault;
    return task;
}

int TfrmMain::execDialog(QDialog& dialog) {
    if (m_unattended || m_quitting) {
        return QDialog::Rejected;
    }
    const LoopGuard guard(m_loopDepth);
    return dialog.exec();
}

int TfrmMain::execTaskDefine(Task& task, bool newTask) {
    TfrmTaskDefine dialog(this);
    dialog.SetTasks(m_tasks.get());
    dialog.SetTaskDefined(&task, newTask);
    return execDialog(dialog);
}

int TfrmMain::execTaskWizard(Task* task, bool& policiesChanged) {
    TfrmTaskWizard wizard(this);
    wizard.FillPolicies(m_policies.get());
    wizard.SetTaskManager(m_tasks.get());
    wizard.SetTask(task);
    const int result = execDialog(wizard);
    // Policies saved or deleted from the wizard stand even on Cancel.
    policiesChanged = wizard.PoliciesChanged();
    return result;
}

void TfrmMain::execCopyPolicy() {
    TfrmCopyPolicy dialog(this);
    dialog.SetPolicyManager(m_policies.get());
    const int result = execDialog(dialog);
    if (result == QDialog::Accepted || dialog.PolicyDeleted()) {
        saveConfiguration();
    }
}

bool TfrmMain::saveConfiguration() {
    if (loadFailed() || m_tasks == nullptr) {
        return true;
    }
    m_setting.showDetail = chkShowDetail->isChecked();
    const XMLConfig::SaveResult result = m_config->saveAll(*m_tasks, m_setting);
    if (result.ok()) {
        return true;
    }
    const LoopGuard guard(m_loopDepth);
    DialogService::instance().message(
        this, QMessageBox::Warning, QStringLiteral("Info"),
        QStringLiteral("Twinfold can't save its configuration, the previous file is kept:\n") +
            QString::fromLocal8Bit(result.message));
    return false;
}

void TfrmMain::btnAddTaskClick() {
    if (m_tasks == nullptr || isBusy()) {
        return;
    }
    Task& task = addNewTask();
    const std::string id = task.id;
    if (execTaskDefine(task, true) == QDialog::Accepted) {
        watchTask(task);
        refreshTaskList();
        saveConfiguration();
    } else {
        m_queue.forgetTask(&task);
        m_tasks->removeTask(id);
        refreshTaskList();
    }
}

void TfrmMain::btnEditTaskClick() {
    Task* task = selectedTask();
    if (task == nullptr || isBusy()) {
        return;
    }
    execTaskDefine(*task);
    refreshTaskList();
    // Some edits reach the task before OK (a removed exclusion), so the
    // model is saved whatever the result.
    saveConfiguration();
}

void TfrmMain::btnVersionsClick() {
    Task* task = selectedTask();
    // Not while a run may be writing the versions folder.
    if (task == nullptr || isBusy()) {
        return;
    }
    TfrmVersions window(*task, this);
    execDialog(window);
}

void TfrmMain::btnRemoveTaskClick() {
    if (m_tasks == nullptr || isBusy() || lstTasks->selectedItems().isEmpty()) {
        return;
    }
    if (!askConfirm(QStringLiteral("Are you sure you want to delete task(s) you selected ?"),
                    QMessageBox::No)) {
        return;
    }
    // The rows may have changed while the question was open.
    std::vector<std::string> ids;
    for (const QListWidgetItem* item : lstTasks->selectedItems()) {
        ids.push_back(item->data(Qt::UserRole).toByteArray().toStdString());
    }
    for (const std::string& id : ids) {
        if (Task* task = m_tasks->findTaskById(id)) {
            m_queue.forgetTask(task);
            m_tasks->removeTask(id);
        }
    }
    refreshTaskList();
    saveConfiguration();
}

void TfrmMain::btnTaskWizardClick() {
    if (m_tasks == nullptr || isBusy()) {
        return;
    }
    // The wizard always makes a new task, whatever row is selected.
    bool policiesChanged = false;
    Task& task = addNewTask();
    const std::string id = task.id;
    const bool confirmed = execTaskWizard(&task, policiesChanged) == QDialog::Accepted;
    if (confirmed) {
        watchTask(task);
    } else {
        m_queue.forgetTask(&task);
        m_tasks->removeTask(id);
    }
    refreshTaskList();
    // Saved once the task made for the wizard is gone again when cancelled,
    // so a half-made task never reaches the file.
    if (confirmed || policiesChanged) {
        saveConfiguration();
    }
}

void TfrmMain::btnCopyPolicyClick() {
    if (m_policies == nullptr || isBusy()) {
        return;
    }
    execCopyPolicy();
}

void TfrmMain::btnSettingsClick() {
    if (m_tasks == nullptr) {
        return;
    }
    TfrmSettings dialog(platform::programFolder() + "twinfold", platform::autostartFolder(), this);
    dialog.SetSetting(m_setting);
    if (execDialog(dialog) == QDialog::Accepted) {
        dialog.GetSetting(m_setting);
        saveConfiguration();
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
    return !isBusy() && !m_unattended && !m_quitting && !m_shutDown && m_taskRun != nullptr &&
           task.getPolicy() != nullptr;
}

void TfrmMain::waitAside(const QString& text, const std::function<void()>& work) {
    // The work runs on a helper thread while the "please wait" window stays
    // painted. It is modal, so nothing can edit or remove the task
    // meanwhile; the timers go on but start nothing while the window is busy.
    const LoopGuard guard(m_loopDepth);
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
        *task, simulate, origin, QStringLiteral("Gather file information,please wait..."),
        [this, task, simulate] {
            return buildPlan(*task, kMirrorLockWaitMs, {!simulate, m_mirrorMemory.get()});
        });
}

bool TfrmMain::startRun(Task& task, bool simulate, RunOrigin origin, const QString& waitText,
                        const std::function<PlanOutcome()>& makePlan) {
    if (!canStartRun(task)) {
        return false;
    }
    const LoopGuard guard(m_loopDepth);
    m_gathering = true;
    task.schedule.restartCountdown();

    m_starter->begin(task, origin, simulate);
    const QString logFile = fromPath(m_starter->logFile());
    const QString taskName = fromModel(task.name);

    PlanOutcome outcome;
    waitAside(waitText, [&outcome, &makePlan] { outcome = makePlan(); });

    if (m_unattended || m_quitting || m_shutDown) {
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
        limit.percent = m_setting.maxDeletePercent;
        limit.minimum = m_setting.maxDeleteMinimum;
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
    QString text = QStringLiteral("Task \"%1\": %2 operation(s) failed")
                       .arg(m_runTaskName)
                       .arg(outcome.failed);
    if (outcome.skipped > 0) {
        text += QStringLiteral(", %1 skipped").arg(outcome.skipped);
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
        text += QStringLiteral(
                    "\n%1 deletion(s) were held back: the run would have deleted "
                    "most of a mirror folder.")
                    .arg(m_lastResult.heldDeletions);
    }
    if (!m_runLogFile.isEmpty()) {
        text += QStringLiteral("\nSee the task log: ") + m_runLogFile;
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
    if (askConfirm(QStringLiteral("Task is running,are you sure to abort it ?"))) {
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
    const LoopGuard guard(m_loopDepth);
    DialogService::instance().about(
        this, QStringLiteral("About Twinfold"),
        QStringLiteral("<b>Twinfold !</b><br>Version ") + versionText() +
            QStringLiteral("<br><br>Keeps folders in step one way and makes backup copies."));
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
    const LoopGuard guard(m_loopDepth);
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
        query.addQueryItem(QStringLiteral("subject"), QStringLiteral("I have a good idea"));
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
    execDialog(box);
}

void TfrmMain::clearTraySubmenus() {
    for (QAction* parent : {mnuTrayRun, mnuTraySimulate}) {
        parent->menu()->clear();
    }
}

void TfrmMain::popMenuTrayPopup() {
    clearTraySubmenus();
    if (m_tasks != nullptr) {
        for (QAction* parent : {mnuTrayRun, mnuTraySimulate}) {
            QMenu* submenu = parent->menu();
            for (const auto& task : m_tasks->taskList()) {
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
        if (m_tasks == nullptr) {
            return;
        }
        if (Task* task = m_tasks->findTaskById(id)) {
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
    if (m_runPaused || m_quitting || m_shutDown) {
        return;
    }
    if (m_loopDepth == 0 && !m_inCloseQuery) {
        close();
        return;
    }
    // A dialog is open: it goes as if cancelled, and the program quits once
    // its handler has finished. A run is only stopped if the user agrees.
    if (m_runActive) {
        m_askingStop = true;
        m_taskRun->setPaused(true);
        const bool quit =
            askConfirm(QStringLiteral("Task is running,are you sure stop it and quit Twinfold?"));
        m_taskRun->setPaused(false);
        m_askingStop = false;
        if (!quit) {
            return;
        }
        m_taskRun->abort();
    }
    m_quitting = true;
    continueQuit();
}

void TfrmMain::continueQuit() {
    if (m_shutDown) {
        return;
    }
    if (closeOpenDialogs()) {
        QTimer::singleShot(kCloseRetryMs, this, &TfrmMain::continueQuit);
        return;
    }
    close();
}

bool TfrmMain::closeOpenDialogs() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    DialogService::instance().closeOpenDialogs();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog->isVisible() && dialog->isModal()) {
            dialog->reject();
        }
    }
    return m_loopDepth > 0 || m_inCloseQuery;
}

void TfrmMain::tmeButtonStatusTimer() {
    if (m_shutDown) {
        return;
    }
    lstTasksClick();
}

void TfrmMain::tmeCheckTimer() {
    tmeCheck->stop();
    m_queue.checkSchedules();
    checkOverdue();
    if (!m_shutDown) {
        tmeCheck->start();
    }
}

void TfrmMain::tmeGetTimer() {
    if (isBusy() || m_unattended || m_shutDown || m_tasks == nullptr) {
        return;
    }
    Task* task = m_queue.takeDueTask();
    if (task == nullptr) {
        return;
    }
    task->schedule.countScheduledStart();
    startTaskRun(task, task->schedule.simulate, RunOrigin::Schedule);
}

bool TfrmMain::FormCloseQuery() {
    if (loadFailed() || !m_runActive) {
        return true;
    }
    if (m_unattended || m_quitting) {
        // Nobody to ask, or the user agreed already.
        m_taskRun->abort();
        return true;
    }
    m_askingStop = true;
    m_taskRun->setPaused(true);
    const bool quit =
        askConfirm(QStringLiteral("Task is running,are you sure stop it and quit Twinfold?"));
    if (quit) {
        m_taskRun->abort();
    }
    m_taskRun->setPaused(false);
    m_askingStop = false;
    return quit;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (m_shutDown) {
        event->accept();
        return;
    }
    // Not while a dialog or a question of this window is open, or a plan is
    // being built: their handlers still need the model. An unattended close
    // waits for them to finish.
    if (m_inCloseQuery || m_loopDepth > 0) {
        event->ignore();
        return;
    }
    m_inCloseQuery = true;
    const bool canClose = FormCloseQuery();
    m_inCloseQuery = false;
    if (!canClose) {
        event->ignore();
        return;
    }
    FormDestroy();
    event->accept();
    Q_EMIT closed();
}

void TfrmMain::FormDestroy() {
    m_shutDown = true;
    tmeButtonStatus->stop();
    tmeCheck->stop();
    tmeGet->stop();
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
    if (m_shutDown) {
        return;
    }
    m_unattended = true;
    DialogService::instance().setUnattended(true);
    QTimer::singleShot(0, this, &TfrmMain::continueUnattendedClose);
}

void TfrmMain::continueUnattendedClose() {
    if (m_shutDown) {
        return;
    }
    if (closeOpenDialogs()) {
        QTimer::singleShot(kCloseRetryMs, this, &TfrmMain::continueUnattendedClose);
        return;
    }
    close();
}
