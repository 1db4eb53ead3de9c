#include "ui/dialogs/TaskFolderPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/Task.h"
#include "ui/dialogs/ControlTip.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TaskPageParts.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;
using taskpage::bytesOf;
using taskpage::kMainRole;
using taskpage::kMirrorRole;

TaskFolderPage::TaskFolderPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TASK_FOLDER"));
    QGroupBox* group = taskpage::pageGroup(this, tr("Task folder"));
    lstMainFolders = taskpage::makeFileList("lstMainFolders", group);
    lstMainFolders->setMouseTracking(true);
    lstMainFolders->viewport()->setMouseTracking(true);
    lstMainFolders->viewport()->setCursor(Qt::PointingHandCursor);
    lstMainFolders->viewport()->installEventFilter(this);
    btnAddMainFolder = taskpage::makeSmallButton("btnAddMainFolder", tr("+"), group);
    btnAddMainFolder->setToolTip(tr("add task folder"));
    btnRemoveMainFolder = taskpage::makeSmallButton("btnRemoveMainFolder", tr("-"), group);
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
    summaries->addWidget(taskpage::labelFor(tr("Main folder"), edtMainFolderSummary), 0, 0);
    summaries->addWidget(edtMainFolderSummary, 0, 1);
    summaries->addWidget(taskpage::labelFor(tr("Mirror folder"), edtMirrorFolderSummary), 1, 0);
    summaries->addWidget(edtMirrorFolderSummary, 1, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(taskpage::labelFor(tr("Task folder list"), lstMainFolders));
    layout->addLayout(listRow, 1);
    layout->addLayout(summaries);

    connect(btnAddMainFolder, &QPushButton::clicked, this, &TaskFolderPage::btnAddMainFolderClick);
    connect(btnRemoveMainFolder, &QPushButton::clicked, this,
            [this] { taskpage::removeSelectedRow(lstMainFolders); });
}

void TaskFolderPage::load(const Task& task) {
    for (const TaskFolderItem& pair : task.folderList.items()) {
        taskpage::addFolderRow(lstMainFolders, pair.main, pair.mirror);
    }
}

void TaskFolderPage::save(Task& task) const {
    task.folderList.clearItems();
    for (int i = 0; i < lstMainFolders->count(); ++i) {
        const QListWidgetItem* row = lstMainFolders->item(i);
        task.folderList.addItem(bytesOf(row, kMainRole), bytesOf(row, kMirrorRole));
    }
}

void TaskFolderPage::addTips(ControlTip& tips) const {
    tips.AddTip(btnAddMainFolder, tr("click to add task folder"));
    tips.AddTip(btnRemoveMainFolder, tr("click to delete task folder"));
    tips.AddTip(edtMainFolderSummary, tr("main task folder"));
    tips.AddTip(edtMirrorFolderSummary, tr("mirror task folder"));
    tips.AddTip(lstMainFolders,
                tr("main and mirror folder list, click \"+\" to add, click \"-\" to delete"));
}

TaskFolder TaskFolderPage::pairs() const {
    TaskFolder folders;
    for (int i = 0; i < lstMainFolders->count(); ++i) {
        TaskFolderItem& pair = folders.addItem();
        pair.main = bytesOf(lstMainFolders->item(i), kMainRole);
        pair.mirror = bytesOf(lstMainFolders->item(i), kMirrorRole);
    }
    return folders;
}

std::vector<std::string> TaskFolderPage::mainFolders() const {
    std::vector<std::string> mains;
    for (int i = 0; i < lstMainFolders->count(); ++i) {
        mains.push_back(bytesOf(lstMainFolders->item(i), kMainRole));
    }
    return mains;
}

std::optional<std::string> TaskFolderPage::firstMirror() const {
    if (lstMainFolders->count() == 0) {
        return std::nullopt;
    }
    return bytesOf(lstMainFolders->item(0), kMirrorRole);
}

bool TaskFolderPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstMainFolders->viewport() && event->type() == QEvent::MouseMove) {
        lstMainFolders1MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}

void TaskFolderPage::btnAddMainFolderClick() {
    DialogService& service = DialogService::instance();
    const QString main = service.existingDirectory(window(), tr("Please select the main folder:"));
    if (main.isEmpty()) {
        return;
    }
    const QString mirror =
        service.existingDirectory(window(), tr("Please select the mirror folder:"));
    if (mirror.isEmpty()) {
        return;
    }
    const TaskFolder::PairProblem problem = TaskFolder::pairProblem(toModel(main), toModel(mirror));
    if (problem != TaskFolder::PairProblem::None) {
        service.message(window(), QMessageBox::Information, tr("Info"),
                        dialogs::pairProblemText(problem));
        return;
    }
    taskpage::addFolderRow(lstMainFolders, toModel(main), toModel(mirror));
}

void TaskFolderPage::lstMainFolders1MouseMove(QPoint position) {
    const QListWidgetItem* row = lstMainFolders->itemAt(position);
    edtMainFolderSummary->setText(row != nullptr ? toQString(bytesOf(row, kMainRole)) : QString());
    edtMirrorFolderSummary->setText(row != nullptr ? toQString(bytesOf(row, kMirrorRole))
                                                   : QString());
}
