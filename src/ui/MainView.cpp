#include "ui/MainView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "model/Task.h"
#include "model/TaskManager.h"
#include "ui/RunStatusText.h"
#include "widgets/TGauge.h"

namespace {

template <class Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QByteArray idOf(const QListWidgetItem* item) {
    return item->data(Qt::UserRole).toByteArray();
}

}  // namespace

MainView::MainView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MainView"));
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
    connect(lstTasks, &QListWidget::itemClicked, this, &MainView::selectionChanged);
    connect(lstTasks, &QListWidget::itemSelectionChanged, this, &MainView::selectionChanged);
    connect(lstTasks, &QListWidget::itemDoubleClicked, this, &MainView::editTaskClicked);

    const auto button = [this](const char* name, const QString& caption, bool enabled,
                               void (MainView::*clicked)()) {
        auto* b = named(new QPushButton(caption, this), name);
        b->setEnabled(enabled);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, clicked);
        return b;
    };
    btnAddTask = button("btnAddTask", tr("&Add task..."), true, &MainView::addTaskClicked);
    btnRemoveTask =
        button("btnRemoveTask", tr("Re&move task"), false, &MainView::removeTaskClicked);
    btnEditTask = button("btnEditTask", tr("&Edit task..."), false, &MainView::editTaskClicked);
    btnTaskWizard = button("btnTaskWizard", tr("&Wizard..."), true, &MainView::wizardClicked);
    btnCopyPolicy = button("btnCopyPolicy", tr("&Copy policy"), true, &MainView::copyPolicyClicked);
    btnVersions = button("btnVersions", tr("Vers&ions..."), false, &MainView::versionsClicked);
    btnSettings = button("btnSettings", tr("Settin&gs..."), true, &MainView::settingsClicked);
    btnAbout = button("btnAbout", tr("Ab&out"), true, &MainView::aboutClicked);

    prgTaskRun = named(new TGauge(this), "prgTaskRun");
    prgTaskRun->setForeColor(Qt::blue);
    prgTaskRun->setMaxValue(0);
    QSizePolicy keep = prgTaskRun->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    prgTaskRun->setSizePolicy(keep);
    prgTaskRun->hide();

    const auto toolButton = [this](const char* name, const QString& caption, const QString& hint,
                                   void (MainView::*clicked)()) {
        auto* b = named(new QToolButton(this), name);
        b->setText(caption);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this, clicked);
        return b;
    };
    btnRunTask = toolButton("btnRunTask", tr("&Run"), tr("run this task"), &MainView::runClicked);
    btnSimulateRun = toolButton("btnSimulateRun", tr("Sim&ulate"), tr("simulate run, test task"),
                                &MainView::simulateClicked);
    btnAbortTask =
        toolButton("btnAbortTask", tr("&Stop"), tr("abort task running"), &MainView::stopClicked);
    btnPreview = toolButton("btnPreview", tr("Pre&view"),
                            tr("list what a run would do, then run exactly that"),
                            &MainView::previewClicked);
    btnHistory =
        toolButton("btnHistory", tr("Histor&y"), tr("the runs of this task and why they failed"),
                   &MainView::historyClicked);
    lstTasks->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstTasks, &QWidget::customContextMenuRequested, this, &MainView::lstTasksContextMenu);
    // After a run, how it ended shows where its gauge was.
    lblLastRun = named(new QLabel(this), "lblLastRun");
    lblLastRun->hide();
    chkShowDetail = named(new QCheckBox(tr("Show &progress detail "), this), "chkShowDetail");
    connect(chkShowDetail, &QCheckBox::toggled, this, &MainView::showDetailToggled);

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
    connect(Label1, &QLabel::linkActivated, this, &MainView::helpClicked);
    connect(lblSuggestion, &QLabel::linkActivated, this, &MainView::suggestionClicked);
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

    // The window around the view keeps the border.
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->addLayout(top);
    auto* gaugeArea = new QGridLayout;
    gaugeArea->addWidget(prgTaskRun, 0, 0);
    gaugeArea->addWidget(lblLastRun, 0, 0);
    main->addLayout(gaugeArea);
    main->addLayout(runRow);
    main->addWidget(Panel2);
}

void MainView::setTasks(const TaskManager* tasks, std::function<TaskStatus(const Task&)> statusOf,
                        std::function<bool(const Task&)> mayRun) {
    m_tasks = tasks;
    m_statusOf = std::move(statusOf);
    m_mayRun = std::move(mayRun);
}

Task* MainView::taskOf(const QListWidgetItem* item) const {
    if (item == nullptr || m_tasks == nullptr) {
        return nullptr;
    }
    return m_tasks->findTaskById(idOf(item).toStdString());
}

Task* MainView::selectedTask() const {
    for (int row = 0; row < lstTasks->count(); ++row) {
        const QListWidgetItem* item = lstTasks->item(row);
        if (item->isSelected()) {
            return taskOf(item);
        }
    }
    return nullptr;
}

std::vector<std::string> MainView::selectedIds() const {
    std::vector<std::string> ids;
    for (const QListWidgetItem* item : lstTasks->selectedItems()) {
        ids.push_back(idOf(item).toStdString());
    }
    return ids;
}

void MainView::refreshTaskList() {
    std::vector<QByteArray> selected;
    for (const QListWidgetItem* item : lstTasks->selectedItems()) {
        selected.push_back(idOf(item));
    }
    const QSignalBlocker quiet(lstTasks);
    lstTasks->clear();
    if (m_tasks == nullptr) {
        return;
    }
    for (const auto& task : m_tasks->taskList()) {
        const QString name = QString::fromUtf8(task->name);
        auto* item = new QListWidgetItem(name, lstTasks);
        if (m_statusOf) {
            runstatus::decorateTaskItem(*item, name, m_statusOf(*task));
        }
        const QByteArray id = QByteArray::fromStdString(task->id);
        item->setData(Qt::UserRole, id);
        if (std::find(selected.begin(), selected.end(), id) != selected.end()) {
            item->setSelected(true);
        }
    }
}

QString MainView::lstTasksInfoTip(const QListWidgetItem* item) const {
    const Task* task = taskOf(item);
    if (task == nullptr || task->getPolicy() == nullptr) {
        return {};
    }
    return tr("copy policy : %1").arg(QString::fromUtf8(task->getPolicyName()));
}

void MainView::followSelection() {
    const qsizetype selected = lstTasks->selectedItems().size();
    btnRemoveTask->setEnabled(selected >= 1);
    btnEditTask->setEnabled(selected == 1);
    btnVersions->setEnabled(selected == 1);
    setRunButtons(selected >= 1);
    btnHistory->setEnabled(selected == 1);
}

bool MainView::showDetail() const {
    return chkShowDetail->isChecked();
}

void MainView::setShowDetail(bool show) {
    chkShowDetail->setChecked(show);
}

void MainView::setRunButtons(bool runEnabled) {
    btnRunTask->setEnabled(runEnabled);
    btnSimulateRun->setEnabled(btnRunTask->isEnabled());
    btnPreview->setEnabled(btnRunTask->isEnabled());
}

void MainView::runBegan() {
    for (QPushButton* b : {btnAddTask, btnRemoveTask, btnEditTask, btnCopyPolicy, btnTaskWizard}) {
        b->setEnabled(false);
    }
    lblLastRun->hide();
    prgTaskRun->show();
    btnAbortTask->setEnabled(true);
    setRunButtons(false);
}

void MainView::showProgress(const RunProgress& progress) {
    prgTaskRun->setMaxValue(progress.totalCount());
    prgTaskRun->setProgress(progress.doneCount());
}

void MainView::runEnded() {
    for (QPushButton* b : {btnAddTask, btnRemoveTask, btnEditTask, btnCopyPolicy, btnTaskWizard}) {
        b->setEnabled(true);
    }
    prgTaskRun->hide();
    btnAbortTask->setEnabled(false);
    setRunButtons(true);
}

void MainView::runStopped() {
    prgTaskRun->hide();
    btnAbortTask->setEnabled(false);
    setRunButtons(true);
    prgTaskRun->setProgress(0);
}

void MainView::showLastRun(const QString& outcome) {
    lblLastRun->setText(outcome);
    lblLastRun->show();
}

void MainView::showNotice(const QString& text) {
    lblRunNotice->setText(text);
    lblRunNotice->show();
}

bool MainView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblRunNotice && event->type() == QEvent::MouseButtonRelease) {
        Q_EMIT noticeClicked();
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

void MainView::lstTasksContextMenu(const QPoint& position) {
    QListWidgetItem* item = lstTasks->itemAt(position);
    if (item == nullptr || m_tasks == nullptr) {
        return;
    }
    lstTasks->setCurrentItem(item);
    Task* task = taskOf(item);
    QMenu menu(this);
    menu.addAction(tr("&History..."), this, [this, task] { Q_EMIT historyRequested(task); });
    QAction* preview = menu.addAction(tr("Pre&view..."));
    preview->setEnabled(task != nullptr && m_mayRun && m_mayRun(*task));
    // Asked for from the event loop, once the menu's own loop has ended.
    const std::string id = task != nullptr ? task->id : std::string();
    connect(preview, &QAction::triggered, this, [this, id] {
        QTimer::singleShot(0, this, [this, id] { Q_EMIT previewRequested(id); });
    });
    menu.exec(lstTasks->viewport()->mapToGlobal(position));
}
