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
#include <QTreeWidgetItemIterator>
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

// The nodes of the option tree, which key the page maps. Each node keeps its
// own under kNodeRole: its text is translated.
enum Node {
    kGeneralNode,
    kFileIncludeNode,
    kFileExcludeNode,
    kTaskFolderNode,
    kScheduleNode,
    kVersionsNode,
    kAdvancedNode
};
constexpr int kNodeRole = Qt::UserRole;

enum Page { kGeneralPage, kIncludePage, kExcludePage, kFolderPage, kSchedulePage, kVersionsPage };

// A node of the option tree under `parent` (the tree, or a node).
template <class Parent>
QTreeWidgetItem* addNode(Parent* parent, const QString& text, Node node) {
    auto* item = new QTreeWidgetItem(parent, {text});
    item->setData(0, kNodeRole, node);
    return item;
}

int nodeOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kNodeRole).toInt() : -1;
}

QTreeWidgetItem* findNode(QTreeWidget* tree, Node node) {
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
        if (nodeOf(*it) == node) {
            return *it;
        }
    }
    return nullptr;
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
    QTreeWidgetItem* general = addNode(tvOption, tr("General"), kGeneralNode);
    addNode(tvOption, tr("Task folder"), kTaskFolderNode);
    QTreeWidgetItem* advanced = addNode(tvOption, tr("Advanced"), kAdvancedNode);
    addNode(advanced, tr("File include"), kFileIncludeNode);
    addNode(advanced, tr("File exclude"), kFileExcludeNode);
    addNode(advanced, tr("Schedule"), kScheduleNode);
    addNode(advanced, tr("Versions"), kVersionsNode);
    tvOption->expandAll();
    // Wide enough for the longest node as the catalogue words it, and never
    // narrower than 20 characters.
    const QFontMetrics treeMetrics(tvOption->font());
    int treeWidth = treeMetrics.averageCharWidth() * 20;
    for (QTreeWidgetItemIterator it(tvOption); *it != nullptr; ++it) {
        int depth = 1;
        for (const QTreeWidgetItem* above = (*it)->parent(); above != nullptr;
             above = above->parent()) {
            ++depth;
        }
        treeWidth =
            std::max(treeWidth, treeMetrics.horizontalAdvance((*it)->text(0)) +
                                    tvOption->indentation() * depth + 2 * tvOption->frameWidth() +
                                    2 * treeMetrics.averageCharWidth());
    }
    tvOption->setFixedWidth(treeWidth);

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
    pageIndex.insert(kGeneralNode, kGeneralPage);
    pageIndex.insert(kFileIncludeNode, kIncludePage);
    pageIndex.insert(kFileExcludeNode, kExcludePage);
    pageIndex.insert(kTaskFolderNode, kFolderPage);
    pageIndex.insert(kScheduleNode, kSchedulePage);
    pageIndex.insert(kVersionsNode, kVersionsPage);
    pageIndex.insert(kAdvancedNode, pageIndex.value(kFileIncludeNode));
    nbOption->setCurrentIndex(kGeneralPage);

    pageHint.insert(kGeneralNode, tr("Set task name and log, select Copy Policy"));
    pageHint.insert(kFileIncludeNode, tr("include some separate file(s)."));
    pageHint.insert(kFileExcludeNode,
                    tr("Exclude some files from task folder which you don't want to synchronize"));
    pageHint.insert(kTaskFolderNode, tr("set task folder"));
    pageHint.insert(kScheduleNode, tr("set task schedule"));
    pageHint.insert(kVersionsNode, tr("keep the files a run replaces or deletes"));
    pageHint.insert(kAdvancedNode, tr("set advanced options"));
    lblTip->setText(pageHint.value(kGeneralNode));

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
    nbOption->setCurrentIndex(pageIndex.value(nodeOf(node), kGeneralPage));
}

void TfrmTaskDefine::tvOptionMouseMove(QPoint position) {
    const QTreeWidgetItem* node = tvOption->itemAt(position);
    lblTip->setText(node != nullptr ? pageHint.value(nodeOf(node)) : QString());
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
        tvOption->setCurrentItem(findNode(tvOption, kVersionsNode));
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
