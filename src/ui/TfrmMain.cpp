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
      m_runs(std::make_unique<RunController>(m_loops, this)),
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
    connect(m_runs.get(), &RunController::began, this, &TfrmMain::runBegan);
    connect(m_runs.get(), &RunController::progressed, this, &TfrmMain::runUpdated);
    connect(m_runs.get(), &RunController::ended, this, &TfrmMain::runEnded);
    connect(m_runs.get(), &RunController::stopped, this, &TfrmMain::runStopped);
    connect(m_runs.get(), &RunController::recorded, this, &TfrmMain::runRecorded);
    connect(m_runs.get(), &RunController::noticeRaised, this, &TfrmMain::showNotice);
}

TfrmMain::~TfrmMain() {
    // The run goes first: its worker may still reach the tasks.
    m_runs.reset();
    TrayIcon1->setApplicationWindow(nullptr);
    m_scheduler.reset();
    m_history.reset();
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
    connect(m_history.get(), &TaskHistory::statusesChanged, this, &TfrmMain::refreshTaskList);
    m_runs->create({m_options.simulationDelay, m_options.log, stateFolder}, m_config->setting(),
                   &m_history->runs());

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

bool TfrmMain::startTaskRun(Task* task, bool simulate, RunOrigin origin) {
    return m_runs->startTaskRun(task, simulate, origin);
}

bool TfrmMain::previewTask(Task* task) {
    return m_runs->previewTask(task);
}

void TfrmMain::btnPreviewClick() {
    if (Task* task = selectedTask()) {
        previewTask(task);
    }
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
}

void TfrmMain::runUpdated(const RunProgress& progress) {
    prgTaskRun->setMaxValue(progress.totalCount());
    prgTaskRun->setProgress(progress.doneCount());
}

void TfrmMain::runEnded() {
    for (QPushButton* b : {btnAddTask, btnRemoveTask, btnEditTask, btnCopyPolicy, btnTaskWizard}) {
        b->setEnabled(true);
    }
    prgTaskRun->hide();
    btnAbortTask->setEnabled(false);
    setRunButtons(true);
}

void TfrmMain::runStopped() {
    prgTaskRun->hide();
    btnAbortTask->setEnabled(false);
    setRunButtons(!btnAbortTask->isEnabled());
    prgTaskRun->setProgress(0);
}

void TfrmMain::runRecorded(const QString& outcome) {
    lblLastRun->setText(outcome);
    lblLastRun->show();
    refreshTaskList();
}

void TfrmMain::btnAbortTaskClick() {
    m_runs->requestStop();
}

void TfrmMain::stopRequest() {
    m_runs->stopRequest();
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
    mnuTrayStop->setEnabled(m_runs->isRunActive());
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
    if (!m_runs->runPaused()) {
        m_runs->stopRequest();
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
    if (m_runs->runPaused() || m_loops.quitting() || m_loops.shutDown()) {
        return;
    }
    if (!m_loops.anyOpen()) {
        close();
        return;
    }
    // A dialog is open: it goes as if cancelled, and the program quits once
    // its handler has finished. A run is only stopped if the user agrees.
    if (m_runs->isRunActive()) {
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
    if (loadFailed() || !m_runs->isRunActive()) {
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
        saveConfiguration();
    }
    clearTraySubmenus();
    TrayIcon1->setVisible(false);
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
    return m_history->show(*task);
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
    preview->setEnabled(task != nullptr && m_runs->canStartRun(*task));
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
    if (m_config->tasks() == nullptr || m_history == nullptr) {
        return 0;
    }
    return m_history->checkOverdue(*m_config->tasks(), m_config->setting().overdueDays);
}

TaskStatus TfrmMain::statusOf(const Task& task) {
    if (m_history == nullptr) {
        return {};
    }
    return m_history->statusOf(task, m_config->setting().overdueDays);
}
