#include "ui/dialogs/TfrmTaskDefine.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <string>

#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "model/TextList.h"
#include "platform/Assert.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/LinkLabel.h"
#include "ui/dialogs/TfrmSelectFileAttr.h"
#include "ui/dialogs/TfrmSelectFileType.h"
#include "ui/dialogs/TypeScan.h"
#include "ui/dialogs/VersionSettingsPage.h"
#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;

namespace {

// The texts of the option tree's nodes, which also key the page maps.
QString nodeGeneral() {
    return QStringLiteral("General");
}
QString nodeFileInclude() {
    return QStringLiteral("File include");
}
QString nodeFileExclude() {
    return QStringLiteral("File exclude");
}
QString nodeTaskFolder() {
    return QStringLiteral("Task folder");
}
QString nodeSchedule() {
    return QStringLiteral("Schedule");
}
QString nodeVersions() {
    return QStringLiteral("Versions");
}
QString nodeAdvanced() {
    return QStringLiteral("Advanced");
}

enum Page { kGeneralPage, kIncludePage, kExcludePage, kFolderPage, kSchedulePage, kVersionsPage };

// What rows and entries carry besides their text: the model's bytes, which
// the text may show only approximately (a path need not be UTF-8).
constexpr int kMainRole = Qt::UserRole;  // a folder row's main folder
constexpr int kMirrorRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole;  // a file row's path
constexpr int kNameRole = Qt::UserRole;  // a policy entry's name

std::string bytesOf(const QListWidgetItem* row, int role) {
    return dialogs::fromBytes(row->data(role).toByteArray());
}

void addFolderRow(QListWidget* list, const std::string& main, const std::string& mirror) {
    auto* row = new QListWidgetItem(toQString(main), list);
    row->setData(kMainRole, dialogs::toBytes(main));
    row->setData(kMirrorRole, dialogs::toBytes(mirror));
}

void addFileRow(QListWidget* list, const std::string& path) {
    auto* row = new QListWidgetItem(toQString(path), list);
    row->setData(kPathRole, dialogs::toBytes(path));
}

constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 59;

QListWidget* makeFileList(const char* name, QWidget* parent) {
    auto* list = makeNamed<QListWidget>(name, parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

QPushButton* makeSmallButton(const char* name, const QString& text, QWidget* parent) {
    auto* button = makeNamed<QPushButton>(name, text, parent);
    button->setAutoDefault(false);
    const QFontMetrics metrics(button->font());
    button->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("...")) +
                          metrics.averageCharWidth() * 4);
    return button;
}

// A label for `buddy`, whose mnemonic moves the focus to it.
QLabel* labelFor(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

// The page's only child: a group box with the given caption filling it.
QGroupBox* pageGroup(QWidget* page, const QString& caption) {
    auto* group = new QGroupBox(caption, page);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    return group;
}

}  // namespace

TfrmTaskDefine::TfrmTaskDefine(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTaskDefine"));
    setWindowTitle(tr("Task definition"));

    tvOption = makeNamed<QTreeWidget>("tvOption", this);
    tvOption->setHeaderHidden(true);
    tvOption->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvOption->setMouseTracking(true);
    tvOption->viewport()->setMouseTracking(true);
    auto* general = new QTreeWidgetItem(tvOption, {nodeGeneral()});
    new QTreeWidgetItem(tvOption, {nodeTaskFolder()});
    auto* advanced = new QTreeWidgetItem(tvOption, {nodeAdvanced()});
    new QTreeWidgetItem(advanced, {nodeFileInclude()});
    new QTreeWidgetItem(advanced, {nodeFileExclude()});
    new QTreeWidgetItem(advanced, {nodeSchedule()});
    new QTreeWidgetItem(advanced, {nodeVersions()});
    tvOption->expandAll();
    tvOption->setFixedWidth(QFontMetrics(tvOption->font()).averageCharWidth() * 20);

    nbOption = makeNamed<QStackedWidget>("nbOption", this);
    const char* const pageNames[] = {"GENERAL", "FILE_INCLUDE", "FILE_EXCLUDE", "TASK_FOLDER",
                                     "SCHEDULE"};
    for (const char* name : pageNames) {
        nbOption->addWidget(makeNamed<QWidget>(name, nbOption));
    }
    buildGeneralPage(nbOption->widget(kGeneralPage));
    buildIncludePage(nbOption->widget(kIncludePage));
    buildExcludePage(nbOption->widget(kExcludePage));
    buildFolderPage(nbOption->widget(kFolderPage));
    buildSchedulePage(nbOption->widget(kSchedulePage));
    m_versionsPage = new VersionSettingsPage(nbOption);
    nbOption->addWidget(m_versionsPage);
    // As large as the largest page, whichever is shown: the pages' word-wrapped
    // labels would otherwise let the dialog change size from page to page.
    // The pages scroll when that is more than the screen holds (a large
    // scale on a small screen).
    scrOption = makeNamed<QScrollArea>("scrOption", this);
    scrOption->setFrameShape(QFrame::NoFrame);
    scrOption->setWidgetResizable(true);
    scrOption->setWidget(nbOption);
    scrOption->setMinimumSize(nbOption->sizeHint());

    imgTip = makeNamed<QLabel>("imgTip", this);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    imgTip->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(iconSize));
    lblTip = makeNamed<QLabel>("lblTip", this);
    lblTip->setWordWrap(true);
    const QFontMetrics metrics(font());
    lblTip->setMinimumHeight(metrics.lineSpacing() * 2);
    lblTip->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    btnOK = makeNamed<QPushButton>("btnOK", tr("&OK"), this);
    btnOK->setDefault(true);
    btnCancel = makeNamed<QPushButton>("btnCancel", tr("&Cancel"), this);
    btnCancel->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(tvOption);
    top->addWidget(scrOption, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(imgTip, 0, Qt::AlignTop);
    bottom->addWidget(lblTip, 1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    fitToScreen();

    connect(tvOption, &QTreeWidget::itemClicked, this, &TfrmTaskDefine::tvOptionClick);
    connect(tvOption, &QTreeWidget::currentItemChanged, this, &TfrmTaskDefine::tvOptionClick);
    tvOption->viewport()->installEventFilter(this);
    connect(nbOption, &QStackedWidget::currentChanged, this, &TfrmTaskDefine::nbOptionPageChanged);
    connect(btnOK, &QPushButton::clicked, this, &TfrmTaskDefine::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmTaskDefine::btnCancelClick);

    tmeButtonStatus = new QTimer(this);
    tmeButtonStatus->setInterval(100);
    connect(tmeButtonStatus, &QTimer::timeout, this, &TfrmTaskDefine::tmeButtonStatusTimer);
    tmTips = new QTimer(this);
    tmTips->setInterval(150);
    connect(tmTips, &QTimer::timeout, this, &TfrmTaskDefine::tmTipsTimer);

    FormCreate();
    tvOption->setCurrentItem(general);
    tmeButtonStatusTimer();
    tmeButtonStatus->start();
    tmTips->start();
}

void TfrmTaskDefine::buildGeneralPage(QWidget* page) {
    QGroupBox* group = pageGroup(page, tr("General setting"));
    edtTaskName = makeNamed<QLineEdit>("edtTaskName", group);
    edtTaskName->setMaxLength(64);
    edtTaskName->installEventFilter(this);
    cboCopyPolicy = makeNamed<QComboBox>("cboCopyPolicy", group);
    stCopyPolicy = makeNamed<LinkLabel>("stCopyPolicy", tr("(what's copy policy?)"), group);
    QPalette grey = stCopyPolicy->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    stCopyPolicy->setPalette(grey);
    chkLog = makeNamed<QCheckBox>("chkLog", tr("Enable l&og"), group);
    edtLogPath = makeNamed<QLineEdit>("edtLogPath", group);
    edtLogPath->setEnabled(false);
    btnLog = makeSmallButton("btnLog", tr("..."), group);

    auto* policyRow = new QHBoxLayout;
    policyRow->addWidget(cboCopyPolicy, 1);
    policyRow->addWidget(stCopyPolicy);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(edtLogPath, 1);
    logRow->addWidget(btnLog);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(labelFor(tr("&Task name"), edtTaskName));
    layout->addWidget(edtTaskName);
    layout->addWidget(labelFor(tr("Select a copy &policy"), cboCopyPolicy));
    layout->addLayout(policyRow);
    layout->addSpacing(QFontMetrics(font()).lineSpacing() / 2);
    layout->addWidget(chkLog);
    layout->addLayout(logRow);
    layout->addStretch();

    connect(chkLog, &QCheckBox::toggled, this, &TfrmTaskDefine::chkLogClick);
    connect(edtTaskName, &QLineEdit::textChanged, this, [this] {
        if (!m_proposedLog.isEmpty()) {
            proposeLogFile();
        }
    });
    connect(btnLog, &QPushButton::clicked, this, &TfrmTaskDefine::btnLogClick);
    connect(stCopyPolicy, &LinkLabel::clicked, this, &TfrmTaskDefine::stCopyPolicyClick);
}

void TfrmTaskDefine::buildIncludePage(QWidget* page) {
    QGroupBox* group = pageGroup(page, tr("File include"));
    lvIncludeFiles = makeFileList("lvIncludeFiles", group);
    btnAddIncludeFiles = makeSmallButton("btnAddIncludeFiles", tr("+"), group);
    btnDelIncludeFiles = makeSmallButton("btnDelIncludeFiles", tr("-"), group);
    edtIncludePath = makeNamed<QLineEdit>("edtIncludePath", group);
    edtIncludePath->setReadOnly(true);
    lblIncludeFiles = makeNamed<QLabel>(
        "lblIncludeFiles",
        tr("(*) To active this function, you must have one task folder at least."), group);
    lblIncludeFiles->setWordWrap(true);
    // The dialog keeps its size whether the note shows or not.
    QSizePolicy keepSpace = lblIncludeFiles->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    lblIncludeFiles->setSizePolicy(keepSpace);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnAddIncludeFiles);
    buttons->addWidget(btnDelIncludeFiles);
    buttons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lvIncludeFiles, 1);
    listRow->addLayout(buttons);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(labelFor(tr("Include these files:"), lvIncludeFiles));
    layout->addLayout(listRow, 1);
    layout->addWidget(labelFor(tr("Include file(s) will be saved at:"), edtIncludePath));
    layout->addWidget(edtIncludePath);
    layout->addWidget(lblIncludeFiles);

    connect(btnAddIncludeFiles, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnAddIncludeFilesClick);
    connect(btnDelIncludeFiles, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnDelIncludeFilesClick);
}

void TfrmTaskDefine::buildExcludePage(QWidget* page) {
    QGroupBox* group = pageGroup(page, tr("File exclude"));
    lvExcludeFiles = makeFileList("lvExcludeFiles", group);
    btnAddExcludeFiles = makeSmallButton("btnAddExcludeFiles", tr("+"), group);
    btnDelExcludeFiles = makeSmallButton("btnDelExcludeFiles", tr("-"), group);
    edtExcludeFileTypes = makeNamed<QLineEdit>("edtExcludeFileTypes", group);
    edtExcludeFileTypes->installEventFilter(this);
    btnExcludeFileTypes = makeSmallButton("btnExcludeFileTypes", tr("..."), group);
    edtExcludeFileAttrs = makeNamed<QLineEdit>("edtExcludeFileAttrs", group);
    edtExcludeFileAttrs->setReadOnly(true);
    btnExcludeFileAttrs = makeSmallButton("btnExcludeFileAttrs", tr("..."), group);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnAddExcludeFiles);
    buttons->addWidget(btnDelExcludeFiles);
    buttons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lvExcludeFiles, 1);
    listRow->addLayout(buttons);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(edtExcludeFileTypes, 1);
    typeRow->addWidget(btnExcludeFileTypes);
    auto* attrRow = new QHBoxLayout;
    attrRow->addWidget(edtExcludeFileAttrs, 1);
    attrRow->addWidget(btnExcludeFileAttrs);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(labelFor(tr("Exclude &file(s)"), lvExcludeFiles));
    layout->addLayout(listRow, 1);
    layout->addWidget(labelFor(tr("Exclude file &type (separated by \";\")"), edtExcludeFileTypes));
    layout->addLayout(typeRow);
    layout->addWidget(labelFor(tr("Exclude file &attributes"), edtExcludeFileAttrs));
    layout->addLayout(attrRow);

    connect(btnAddExcludeFiles, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnAddExcludeFilesClick);
    connect(btnDelExcludeFiles, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnDelExcludeFilesClick);
    connect(btnExcludeFileTypes, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnExcludeFileTypesClick);
    connect(btnExcludeFileAttrs, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnExcludeFileAttrsClick);
}

void TfrmTaskDefine::buildFolderPage(QWidget* page) {
    QGroupBox* group = pageGroup(page, tr("Task folder"));
    lstMainFolders = makeFileList("lstMainFolders", group);
    lstMainFolders->setMouseTracking(true);
    lstMainFolders->viewport()->setMouseTracking(true);
    lstMainFolders->viewport()->setCursor(Qt::PointingHandCursor);
    lstMainFolders->viewport()->installEventFilter(this);
    btnAddMainFolder = makeSmallButton("btnAddMainFolder", tr("+"), group);
    btnAddMainFolder->setToolTip(tr("add task folder"));
    btnRemoveMainFolder = makeSmallButton("btnRemoveMainFolder", tr("-"), group);
    btnRemoveMainFolder->setToolTip(tr("delete selected task folder"));
    QFont bold = font();
    bold.setBold(true);
    edtMainFolderSummary = makeNamed<QLineEdit>("edtMainFolderSummary", group);
    edtMirrorFolderSummary = makeNamed<QLineEdit>("edtMirrorFolderSummary", group);
    for (QLineEdit* summary : {edtMainFolderSummary, edtMirrorFolderSummary}) {
        dialogs::makeSummaryField(summary);
        summary->setFont(bold);
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnAddMainFolder);
    buttons->addWidget(btnRemoveMainFolder);
    buttons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lstMainFolders, 1);
    listRow->addLayout(buttons);
    auto* summaries = new QGridLayout;
    summaries->addWidget(labelFor(tr("Main folder"), edtMainFolderSummary), 0, 0);
    summaries->addWidget(edtMainFolderSummary, 0, 1);
    summaries->addWidget(labelFor(tr("Mirror folder"), edtMirrorFolderSummary), 1, 0);
    summaries->addWidget(edtMirrorFolderSummary, 1, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(labelFor(tr("Task folder list"), lstMainFolders));
    layout->addLayout(listRow, 1);
    layout->addLayout(summaries);

    connect(btnAddMainFolder, &QPushButton::clicked, this, &TfrmTaskDefine::btnAddMainFolderClick);
    connect(btnRemoveMainFolder, &QPushButton::clicked, this,
            &TfrmTaskDefine::btnRemoveMainFolderClick);
}

void TfrmTaskDefine::buildSchedulePage(QWidget* page) {
    QGroupBox* group = pageGroup(page, tr("Task schedule"));
    chkInterval = makeNamed<QCheckBox>("chkInterval", tr("Run this task &every"), group);
    // The edit and its up-down arrows are one control here.
    edtInterval = makeNamed<QSpinBox>("edtInterval", group);
    edtInterval->setRange(1, kMaxInterval);
    edtInterval->setValue(30);
    stCurrentTime = makeNamed<QLabel>("stCurrentTime", group);
    stLastRunTime = makeNamed<QLabel>("stLastRunTime", group);
    stRunTimes = makeNamed<QLabel>("stRunTimes", group);
    chkFixup = makeNamed<QCheckBox>("chkFixup", tr("Run this task &at"), group);
    dtFixup = makeNamed<QTimeEdit>("dtFixup", group);
    dtFixup->setDisplayFormat(dialogs::userTimeFormat());
    chkRunMissed = makeNamed<QCheckBox>("chkRunMissed", tr("Run &missed fixed-time runs"), group);
    auto* action = new QGroupBox(tr("Action"), group);
    rdSimulate = makeNamed<QRadioButton>("rdSimulate", tr("&Simulate run the task"), action);
    rdSimulate->setChecked(true);
    rdRun = makeNamed<QRadioButton>("rdRun", tr("&Run the task"), action);
    auto* actions = new QVBoxLayout(action);
    actions->addWidget(rdSimulate);
    actions->addWidget(rdRun);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(chkInterval);
    intervalRow->addWidget(edtInterval);
    intervalRow->addWidget(new QLabel(tr("minutes"), group));
    intervalRow->addStretch();
    auto* status = new QGridLayout;
    status->setContentsMargins(QFontMetrics(font()).averageCharWidth() * 4, 0, 0, 0);
    status->addWidget(new QLabel(tr("Current time :"), group), 0, 0);
    status->addWidget(stCurrentTime, 0, 1);
    status->addWidget(new QLabel(tr("Last run time :"), group), 1, 0);
    status->addWidget(stLastRunTime, 1, 1);
    status->addWidget(new QLabel(tr("Run times :"), group), 2, 0);
    status->addWidget(stRunTimes, 2, 1);
    status->setColumnStretch(1, 1);
    auto* fixupRow = new QHBoxLayout;
    fixupRow->addWidget(chkFixup);
    fixupRow->addWidget(dtFixup);
    fixupRow->addStretch();
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(intervalRow);
    layout->addLayout(status);
    layout->addLayout(fixupRow);
    auto* missedRow = new QHBoxLayout;
    missedRow->setContentsMargins(QFontMetrics(font()).averageCharWidth() * 4, 0, 0, 0);
    missedRow->addWidget(chkRunMissed);
    layout->addLayout(missedRow);
    layout->addWidget(action);
    layout->addStretch();

    connect(edtInterval, &QSpinBox::editingFinished, this, &TfrmTaskDefine::edtIntervalExit);
}

void TfrmTaskDefine::fitToScreen() {
    const QScreen* shown = screen();
    if (shown == nullptr) {
        return;
    }
    // Room for the window's frame and title, which are not known before the
    // window shows.
    const int frame = style()->pixelMetric(QStyle::PM_TitleBarHeight) * 2;
    const QSize room = shown->availableGeometry().size() - QSize(frame, frame);
    const QSize wanted = layout()->sizeHint();
    const int wide = std::max(0, wanted.width() - room.width());
    const int high = std::max(0, wanted.height() - room.height());
    if (wide > 0 || high > 0) {
        // Too large: the dialog takes the room there is, and may be resized.
        const QSize pages = nbOption->sizeHint();
        scrOption->setMinimumSize(std::min(pages.width(), room.width() / 2),
                                  std::min(pages.height(), room.height() / 2));
        layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
        resize(wanted.boundedTo(room));
    }
}

void TfrmTaskDefine::FormCreate() {
    FTaskDefined = nullptr;
    pageIndex.insert(nodeGeneral(), kGeneralPage);
    pageIndex.insert(nodeFileInclude(), kIncludePage);
    pageIndex.insert(nodeFileExclude(), kExcludePage);
    pageIndex.insert(nodeTaskFolder(), kFolderPage);
    pageIndex.insert(nodeSchedule(), kSchedulePage);
    pageIndex.insert(nodeVersions(), kVersionsPage);
    pageIndex.insert(nodeAdvanced(), pageIndex.value(nodeFileInclude()));
    nbOption->setCurrentIndex(kGeneralPage);

    pageHint.insert(nodeGeneral(), tr("Set task name and log, select Copy Policy"));
    pageHint.insert(nodeFileInclude(), tr("include some separate file(s)."));
    pageHint.insert(nodeFileExclude(),
                    tr("Exclude some files from task folder which you don't want to synchronize"));
    pageHint.insert(nodeTaskFolder(), tr("set task folder"));
    pageHint.insert(nodeSchedule(), tr("set task schedule"));
    pageHint.insert(nodeVersions(), tr("keep the files a run replaces or deletes"));
    pageHint.insert(nodeAdvanced(), tr("set advanced options"));
    lblTip->setText(pageHint.value(nodeGeneral()));

    tips.SetHandle(this);
    tips.AddTip(btnAddMainFolder, tr("click to add task folder"));
    tips.AddTip(btnRemoveMainFolder, tr("click to delete task folder"));
    tips.AddTip(edtMainFolderSummary, tr("main task folder"));
    tips.AddTip(edtMirrorFolderSummary, tr("mirror task folder"));
    tips.AddTip(lstMainFolders,
                tr("main and mirror folder list, click \"+\" to add, click \"-\" to delete"));
    tips.AddTip(btnOK, tr("save and close task definition window"));
    tips.AddTip(btnCancel, tr("discard all changes"));
    tips.AddTip(stCopyPolicy, tr("click to see what is copy policy"));
    tips.AddTip(edtTaskName, tr("give a easy name to help you to remember"));
    tips.AddTip(cboCopyPolicy, tr("select copy policy which you want to use"));
    tips.AddTip(edtExcludeFileTypes,
                tr("please enter file type you want to exclude (For example: exe;bat;) Or press "
                   "right button to auto scan."));
    tips.AddTip(btnExcludeFileTypes, tr("click to get all file type(s) automatically"));
    tips.AddTip(edtExcludeFileAttrs,
                tr("click right button to select file attribute(s) you want to exclude"));
    tips.AddTip(btnExcludeFileAttrs, tr("click to select file attribute(s) you want to exclude"));
    tips.AddTip(lvIncludeFiles, tr("select include file(s)"));
    tips.AddTip(edtIncludePath, tr("include file(s) will be save at this directory. One task "
                                   "folder required at least."));
    tips.AddTip(chkInterval, tr("enable or disable interval schedule."));
    tips.AddTip(chkFixup, tr("enable or disable fixed schedule."));
    tips.AddTip(edtInterval, tr("setup interval time. ( >= 5 and <= 59 )"));
    tips.AddTip(dtFixup, tr("setup fixed time."));
    tips.AddTip(chkRunMissed, tr("run once at start-up or wake-up when the fixed time passed "
                                 "while the program was not running."));
}

bool TfrmTaskDefine::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving the field, not the window: switching to another window or
        // opening a menu is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == edtTaskName) {
                edtTaskNameExit();
            } else if (watched == edtExcludeFileTypes) {
                edtExcludeFileTypesExit();
            }
        }
    } else if (event->type() == QEvent::MouseMove) {
        const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (watched == tvOption->viewport()) {
            tvOptionMouseMove(position);
        } else if (watched == lstMainFolders->viewport()) {
            lstMainFolders1MouseMove(position);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmTaskDefine::SetTasks(TaskManager* taskManager) {
    TF_ASSERT(taskManager != nullptr);
    Tasks = taskManager;
    policyManager = taskManager->policys();
    TF_ASSERT(policyManager != nullptr);
    cboCopyPolicy->clear();
    for (const auto& policy : policyManager->policyList()) {
        cboCopyPolicy->addItem(toQString(policy->name), dialogs::toBytes(policy->name));
    }
    cboCopyPolicy->setCurrentIndex(0);
}

void TfrmTaskDefine::SetTaskDefined(Task* task, bool newTask) {
    TF_ASSERT(Tasks != nullptr);
    TF_ASSERT(task != nullptr);
    TF_ASSERT(FTaskDefined == nullptr);
    FTaskDefined = task;

    edtTaskName->setText(toQString(task->name));
    if (task->hasMissingPolicy()) {
        // Shown and kept as it is until the user picks a policy.
        cboCopyPolicy->addItem(toQString(task->getPolicyName()) + tr(" (missing: deletion off)"),
                               dialogs::toBytes(task->getPolicyName()));
        cboCopyPolicy->setCurrentIndex(cboCopyPolicy->count() - 1);
    } else if (task->getPolicy() != nullptr) {
        const int row = cboCopyPolicy->findData(dialogs::toBytes(task->getPolicyName()), kNameRole);
        if (row >= 0) {
            cboCopyPolicy->setCurrentIndex(row);
        }
    }
    for (const TaskFolderItem& pair : task->folderList.items()) {
        addFolderRow(lstMainFolders, pair.main, pair.mirror);
    }
    chkLog->setChecked(task->enableLog);
    btnLog->setEnabled(task->enableLog);
    edtLogPath->setText(toQString(task->logFile));
    if (newTask) {
        chkLog->setChecked(true);
        proposeLogFile();
    }
    for (const std::string& path : task->include.fileList()) {
        addFileRow(lvIncludeFiles, path);
    }
    for (const std::string& path : task->exclude.fileList()) {
        addFileRow(lvExcludeFiles, path);
    }
    edtExcludeFileTypes->setText(toQString(task->exclude.getFileTypes()));
    edtExcludeFileAttrs->setText(toQString(task->exclude.getFileAttrs()));

    const Schedule& schedule = task->schedule;
    chkInterval->setChecked(schedule.intervalEnabled);
    edtInterval->setValue(schedule.intervalMinutes());
    chkFixup->setChecked(schedule.fixupEnabled);
    // A text that holds no time (edited by hand) shows the current time.
    const platform::TimeParts parts =
        platform::splitTime(schedule.fixupTime().value_or(schedule.clock().timeOfDay()));
    dtFixup->setTime(QTime(parts.hours, parts.minutes, parts.seconds));
    chkRunMissed->setChecked(schedule.runMissed);
    tmeButtonStatusTimer();
    rdSimulate->setChecked(schedule.simulate);
    rdRun->setChecked(!schedule.simulate);
    m_versionsPage->load(task->versions);
    if (task->folderList.count() > 0) {
        m_versionsPage->setFirstMirror(task->folderList.items().front().mirror);
    }
}

void TfrmTaskDefine::tvOptionClick() {
    const QTreeWidgetItem* node = tvOption->currentItem();
    if (node == nullptr) {
        return;
    }
    nbOption->setCurrentIndex(pageIndex.value(node->text(0), kGeneralPage));
}

void TfrmTaskDefine::tvOptionMouseMove(QPoint position) {
    const QTreeWidgetItem* node = tvOption->itemAt(position);
    lblTip->setText(node != nullptr ? pageHint.value(node->text(0)) : QString());
}

void TfrmTaskDefine::nbOptionPageChanged() {
    m_versionsPage->setFirstMirror(lstMainFolders->count() > 0
                                       ? bytesOf(lstMainFolders->item(0), kMirrorRole)
                                       : std::string());
    if (nbOption->currentIndex() != kIncludePage) {
        return;
    }
    if (lstMainFolders->count() == 0) {
        lblIncludeFiles->show();
        return;
    }
    edtIncludePath->setText(includeFolderForRows());
    lblIncludeFiles->hide();
}

QString TfrmTaskDefine::includeFolderForRows() const {
    // What the folder will be once OK stores the rows: the first row's mirror
    // and the stored name.
    const std::string name = FTaskDefined != nullptr ? FTaskDefined->name : std::string();
    return toQString(Task::includeFolderFor(bytesOf(lstMainFolders->item(0), kMirrorRole), name));
}

void TfrmTaskDefine::tmTipsTimer() {
    QString text;
    if (tips.GetTip(QCursor::pos(), text)) {
        lblTip->setText(text);
    }
}

void TfrmTaskDefine::tmeButtonStatusTimer() {
    if (FTaskDefined != nullptr) {
        const platform::TimeParts now = platform::splitTime(FTaskDefined->schedule.clock().now());
        stCurrentTime->setText(QLocale().toString(QTime(now.hours, now.minutes, now.seconds),
                                                  dialogs::userTimeFormat()));
        stLastRunTime->setText(toQString(FTaskDefined->schedule.lastRunText()));
        stRunTimes->setText(QString::number(FTaskDefined->schedule.runTimes()));
    }
}

void TfrmTaskDefine::edtTaskNameExit() {
    if (FTaskDefined != nullptr && dialogs::trimBlanks(edtTaskName->text()).isEmpty()) {
        edtTaskName->setText(toQString(FTaskDefined->name));
        lblTip->setText(tr("task name is required"));
    }
}

void TfrmTaskDefine::chkLogClick() {
    const bool enabled = chkLog->isChecked();
    btnLog->setEnabled(enabled);
    edtLogPath->setEnabled(enabled);
    if (enabled && edtLogPath->text().isEmpty()) {
        proposeLogFile();
    }
}

void TfrmTaskDefine::proposeLogFile() {
    if (FTaskDefined == nullptr ||
        (!edtLogPath->text().isEmpty() && edtLogPath->text() != m_proposedLog)) {
        return;
    }
    m_proposedLog = dialogs::proposedLogFile(edtTaskName->text(), Tasks, FTaskDefined);
    edtLogPath->setText(m_proposedLog);
}

void TfrmTaskDefine::btnLogClick() {
    const QString start = (FTaskDefined != nullptr ? toQString(FTaskDefined->name) : QString()) +
                          QStringLiteral(".log");
    const QString path = DialogService::instance().saveFileName(
        this, tr("Please select LOG file path"), start, tr("Twinfold task log (*.log)"));
    if (!path.isEmpty()) {
        edtLogPath->setText(path);
    }
}

void TfrmTaskDefine::stCopyPolicyClick() {
    showHelp(this, HelpTopic::CopyPolicies);
}

void TfrmTaskDefine::btnAddMainFolderClick() {
    DialogService& service = DialogService::instance();
    const QString main = service.existingDirectory(this, tr("Please select the main folder:"));
    if (main.isEmpty()) {
        return;
    }
    const QString mirror = service.existingDirectory(this, tr("Please select the mirror folder:"));
    if (mirror.isEmpty()) {
        return;
    }
    const TaskFolder::PairProblem problem = TaskFolder::pairProblem(toModel(main), toModel(mirror));
    if (problem != TaskFolder::PairProblem::None) {
        service.message(this, QMessageBox::Information, tr("Info"),
                        dialogs::pairProblemText(problem));
        return;
    }
    addFolderRow(lstMainFolders, toModel(main), toModel(mirror));
}

void TfrmTaskDefine::btnRemoveMainFolderClick() {
    const QList<QListWidgetItem*> selected = lstMainFolders->selectedItems();
    if (!selected.isEmpty()) {
        delete selected.front();
    }
}

void TfrmTaskDefine::lstMainFolders1MouseMove(QPoint position) {
    const QListWidgetItem* row = lstMainFolders->itemAt(position);
    edtMainFolderSummary->setText(row != nullptr ? toQString(bytesOf(row, kMainRole)) : QString());
    edtMirrorFolderSummary->setText(row != nullptr ? toQString(bytesOf(row, kMirrorRole))
                                                   : QString());
}

void TfrmTaskDefine::addUniqueRow(QListWidget* list, const QString& path) {
    if (list->findItems(path, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        addFileRow(list, toModel(path));
    }
}

void TfrmTaskDefine::btnAddIncludeFilesClick() {
    const QString path =
        DialogService::instance().openFileName(this, tr("Please select include file"));
    if (!path.isEmpty()) {
        addUniqueRow(lvIncludeFiles, path);
    }
}

void TfrmTaskDefine::btnDelIncludeFilesClick() {
    const QList<QListWidgetItem*> selected = lvIncludeFiles->selectedItems();
    if (!selected.isEmpty()) {
        delete selected.front();
    }
}

void TfrmTaskDefine::btnAddExcludeFilesClick() {
    const QString path =
        DialogService::instance().openFileName(this, tr("Please select exclude file"));
    if (!path.isEmpty()) {
        addUniqueRow(lvExcludeFiles, path);
    }
}

void TfrmTaskDefine::btnDelExcludeFilesClick() {
    const QList<QListWidgetItem*> selected = lvExcludeFiles->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QList<QListWidgetItem*> same = lvExcludeFiles->findItems(
        selected.front()->text(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    const std::string path = bytesOf(same.front(), kPathRole);
    delete same.front();
    // Reaches the task at once; Cancel does not bring the file back.
    if (FTaskDefined != nullptr) {
        FTaskDefined->exclude.removeFile(path);
    }
}

void TfrmTaskDefine::btnExcludeFileTypesClick() {
    if (FTaskDefined == nullptr) {
        return;
    }
    DialogService& service = DialogService::instance();
    if (FTaskDefined->folderList.count() == 0) {
        service.message(this, QMessageBox::Information, tr("Info"),
                        tr("Please select main folder first !"));
        return;
    }
    if (service.unattended()) {
        return;  // the program is ending: nobody is there to pick types
    }
    std::vector<std::string> roots;
    for (const TaskFolderItem& pair : FTaskDefined->folderList.items()) {
        roots.push_back(pair.main);
    }
    const std::optional<std::set<std::string>> found = dialogs::scanFileTypesWaiting(this, roots);
    if (!found) {
        return;
    }
    QStringList types;
    for (const std::string& type : *found) {
        types << toQString(type);
    }
    QStringList chosen;
    for (const std::string& type : FTaskDefined->exclude.fileType()) {
        chosen << toQString(type);
    }
    TfrmSelectFileType picker(this);
    picker.AddTypes(types);
    picker.CheckTypes(chosen);
    if (picker.exec() == QDialog::Accepted) {
        edtExcludeFileTypes->setText(picker.GetSelectedTypes());
    }
}

void TfrmTaskDefine::edtExcludeFileTypesExit() {
    edtExcludeFileTypes->setText(toQString(normalizeList(toModel(edtExcludeFileTypes->text()))));
}

void TfrmTaskDefine::btnExcludeFileAttrsClick() {
    if (FTaskDefined == nullptr) {
        return;
    }
    TfrmSelectFileAttr picker(this);
    picker.SetAttributes(FTaskDefined->exclude.fileAttr());
    if (picker.exec() == QDialog::Accepted) {
        edtExcludeFileAttrs->setText(picker.GetAttributesText());
    }
}

void TfrmTaskDefine::edtIntervalExit() {
    if (edtInterval->value() < kMinInterval) {
        edtInterval->setValue(kMinInterval);
    } else if (edtInterval->value() > kMaxInterval) {
        edtInterval->setValue(kMaxInterval);
    }
}

void TfrmTaskDefine::btnOKClick() {
    TF_ASSERT(FTaskDefined != nullptr);
    DialogService& service = DialogService::instance();
    const QString name = dialogs::trimBlanks(edtTaskName->text());
    edtTaskName->setText(name);
    if (name.isEmpty()) {
        service.message(this, QMessageBox::Information, tr("Information"),
                        tr("Please specify a task name !"));
        edtTaskName->setFocus();
        return;
    }
    // Checked before anything reaches the task: a refused folder keeps the
    // dialog open with the task as it was.
    TaskFolder folders;
    for (int i = 0; i < lstMainFolders->count(); ++i) {
        TaskFolderItem& pair = folders.addItem();
        pair.main = bytesOf(lstMainFolders->item(i), kMainRole);
        pair.mirror = bytesOf(lstMainFolders->item(i), kMirrorRole);
    }
    const VersionSettings versions = m_versionsPage->settings();
    if (const std::string problem = Task::versionsFolderProblemFor(versions, folders);
        !problem.empty()) {
        service.message(this, QMessageBox::Information, tr("Information"),
                        tr("The versions folder can not be used: %1").arg(toQString(problem)));
        tvOption->setCurrentItem(tvOption->findItems(nodeVersions(), Qt::MatchRecursive).value(0));
        return;
    }
    std::vector<std::string> mains;
    for (int i = 0; i < lstMainFolders->count(); ++i) {
        mains.push_back(bytesOf(lstMainFolders->item(i), kMainRole));
    }
    if (!dialogs::confirmTaskThatCannotRun(this, mains)) {
        return;
    }
    Task& task = *FTaskDefined;
    task.name = dialogs::toModelKeeping(name, task.name);
    task.versions = versions;

    task.folderList.clearItems();
    for (int i = 0; i < lstMainFolders->count(); ++i) {
        const QListWidgetItem* row = lstMainFolders->item(i);
        task.folderList.addItem(bytesOf(row, kMainRole), bytesOf(row, kMirrorRole));
    }
    task.include.clearFiles();
    for (int i = 0; i < lvIncludeFiles->count(); ++i) {
        task.include.addFile(bytesOf(lvIncludeFiles->item(i), kPathRole));
    }
    task.exclude.clearFiles();
    for (int i = 0; i < lvExcludeFiles->count(); ++i) {
        task.exclude.addFile(bytesOf(lvExcludeFiles->item(i), kPathRole));
    }
    // The chosen policy may have been deleted meanwhile (the list is filled
    // once); the task then runs with deletion off under the name it chose.
    const std::string policyName = dialogs::fromBytes(cboCopyPolicy->currentData().toByteArray());
    policyManager->assignPolicy(task, policyName);
    task.exclude.setFileTypes(
        dialogs::toModelKeeping(edtExcludeFileTypes->text(), task.exclude.getFileTypes()));
    task.exclude.setFileAttrs(toModel(edtExcludeFileAttrs->text()));

    task.enableLog = chkLog->isChecked();
    task.logFile = dialogs::toModelKeeping(edtLogPath->text(), task.logFile);
    if (task.enableLog) {
        dialogs::makeProposedLogFolder(task.logFile);
    }
    if (task.enableLog && !platform::folderOfFileExists(task.logFile)) {
        service.message(this, QMessageBox::Information, tr("Information"),
                        tr("Log path is invalid, task log is disabled"));
    }

    task.schedule.intervalEnabled = chkInterval->isChecked();
    task.schedule.setInterval(toModel(edtInterval->cleanText()));
    task.schedule.fixupEnabled = chkFixup->isChecked();
    const QTime fixup = dtFixup->time();
    const bool fixupChanged = !task.schedule.fixupTime().has_value() ||
                              platform::storedTimeText(*task.schedule.fixupTime()) !=
                                  platform::storedTimeText(platform::makeTime(
                                      fixup.hour(), fixup.minute(), fixup.second()));
    const bool runMissedTurnedOn = chkRunMissed->isChecked() && !task.schedule.runMissed;
    // A new or changed time, or missed runs just asked for, count from now:
    // earlier occurrences were not missed.
    if (fixupChanged || runMissedTurnedOn) {
        task.schedule.setFixup(platform::storedTimeText(
            platform::makeTime(fixup.hour(), fixup.minute(), fixup.second())));
    }
    task.schedule.runMissed = chkRunMissed->isChecked();
    task.schedule.simulate = rdSimulate->isChecked();
    accept();
}

void TfrmTaskDefine::btnCancelClick() {
    reject();
}
