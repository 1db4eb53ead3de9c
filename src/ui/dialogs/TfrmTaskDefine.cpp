#include "ui/dialogs/TfrmTaskDefine.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "model/Task.h"
#include "platform/Assert.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/FileExcludePage.h"
#include "ui/dialogs/FileIncludePage.h"
#include "ui/dialogs/GeneralPage.h"
#include "ui/dialogs/SchedulePage.h"
#include "ui/dialogs/TaskFolderPage.h"
#include "ui/dialogs/VersionSettingsPage.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;
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

    // In the order of Page.
    nbOption = makeNamed<QStackedWidget>("nbOption", this);
    m_generalPage = new GeneralPage(nbOption);
    m_includePage = new FileIncludePage(nbOption);
    m_excludePage = new FileExcludePage(nbOption);
    m_folderPage = new TaskFolderPage(nbOption);
    m_schedulePage = new SchedulePage(nbOption);
    m_versionsPage = new VersionSettingsPage(nbOption);
    for (QWidget* page :
         std::initializer_list<QWidget*>{m_generalPage, m_includePage, m_excludePage, m_folderPage,
                                         m_schedulePage, m_versionsPage}) {
        nbOption->addWidget(page);
    }
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
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_generalPage, &GeneralPage::tipChanged, lblTip, &QLabel::setText);
    connect(m_excludePage, &FileExcludePage::fileRemoved, this, [this](const std::string& path) {
        // Reaches the task at once; Cancel does not bring the file back.
        if (FTaskDefined != nullptr) {
            FTaskDefined->exclude.removeFile(path);
        }
    });

    tmTips = new QTimer(this);
    tmTips->setInterval(150);
    connect(tmTips, &QTimer::timeout, this, &TfrmTaskDefine::tmTipsTimer);

    FormCreate();
    tvOption->setCurrentItem(general);
    tmTips->start();
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
    tips.AddTip(btnOK, tr("save and close task definition window"));
    tips.AddTip(btnCancel, tr("discard all changes"));
    m_generalPage->addTips(tips);
    m_folderPage->addTips(tips);
    m_includePage->addTips(tips);
    m_excludePage->addTips(tips);
    m_schedulePage->addTips(tips);
}

bool TfrmTaskDefine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tvOption->viewport() && event->type() == QEvent::MouseMove) {
        tvOptionMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmTaskDefine::SetTasks(TaskManager* taskManager) {
    TF_ASSERT(taskManager != nullptr);
    Tasks = taskManager;
    m_generalPage->setTaskManager(taskManager);
}

void TfrmTaskDefine::SetTaskDefined(Task* task, bool newTask) {
    TF_ASSERT(Tasks != nullptr);
    TF_ASSERT(task != nullptr);
    TF_ASSERT(FTaskDefined == nullptr);
    FTaskDefined = task;
    m_generalPage->load(*task);
    m_folderPage->load(*task);
    if (newTask) {
        m_generalPage->startNewLog();
    }
    m_includePage->load(*task);
    m_excludePage->load(*task);
    m_schedulePage->load(*task);
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
    const std::optional<std::string> firstMirror = m_folderPage->firstMirror();
    m_versionsPage->setFirstMirror(firstMirror.value_or(std::string()));
    if (nbOption->currentIndex() == kIncludePage) {
        m_includePage->showIncludeFolder(firstMirror);
    }
}

void TfrmTaskDefine::tmTipsTimer() {
    QString text;
    if (tips.GetTip(QCursor::pos(), text)) {
        lblTip->setText(text);
    }
}

void TfrmTaskDefine::btnOKClick() {
    TF_ASSERT(FTaskDefined != nullptr);
    if (!m_generalPage->validate()) {
        return;
    }
    // Checked before anything reaches the task: a refused folder keeps the
    // dialog open with the task as it was.
    const VersionSettings versions = m_versionsPage->settings();
    if (const std::string problem = Task::versionsFolderProblemFor(versions, m_folderPage->pairs());
        !problem.empty()) {
        DialogService::instance().message(
            this, QMessageBox::Information, tr("Information"),
            tr("The versions folder can not be used: %1").arg(toQString(problem)));
        tvOption->setCurrentItem(tvOption->findItems(nodeVersions(), Qt::MatchRecursive).value(0));
        return;
    }
    if (!dialogs::confirmTaskThatCannotRun(this, m_folderPage->mainFolders())) {
        return;
    }
    Task& task = *FTaskDefined;
    task.versions = versions;
    m_folderPage->save(task);
    m_includePage->save(task);
    m_excludePage->save(task);
    m_schedulePage->save(task);
    // Last, as it may tell of a log folder that is missing: the task is
    // complete by then.
    m_generalPage->save(task);
    accept();
}
