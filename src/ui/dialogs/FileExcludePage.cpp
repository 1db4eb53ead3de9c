#include "ui/dialogs/FileExcludePage.h"

#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <set>
#include <vector>

#include "model/Task.h"
#include "model/TextList.h"
#include "ui/dialogs/ControlTip.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TaskPageParts.h"
#include "ui/dialogs/TfrmSelectFileAttr.h"
#include "ui/dialogs/TfrmSelectFileType.h"
#include "ui/dialogs/TypeScan.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;

FileExcludePage::FileExcludePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FILE_EXCLUDE"));
    QGroupBox* group = taskpage::pageGroup(this, tr("File exclude"));
    lvExcludeFiles = taskpage::makeFileList("lvExcludeFiles", group);
    btnAddExcludeFiles = taskpage::makeSmallButton("btnAddExcludeFiles", tr("+"), group);
    btnDelExcludeFiles = taskpage::makeSmallButton("btnDelExcludeFiles", tr("-"), group);
    edtExcludeFileTypes = makeNamed<QLineEdit>("edtExcludeFileTypes", group);
    edtExcludeFileTypes->installEventFilter(this);
    btnExcludeFileTypes = taskpage::makeSmallButton("btnExcludeFileTypes", tr("..."), group);
    edtExcludeFileAttrs = makeNamed<QLineEdit>("edtExcludeFileAttrs", group);
    edtExcludeFileAttrs->setReadOnly(true);
    btnExcludeFileAttrs = taskpage::makeSmallButton("btnExcludeFileAttrs", tr("..."), group);

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
    layout->addWidget(taskpage::labelFor(tr("Exclude &file(s)"), lvExcludeFiles));
    layout->addLayout(listRow, 1);
    layout->addWidget(
        taskpage::labelFor(tr("Exclude file &type (separated by \";\")"), edtExcludeFileTypes));
    layout->addLayout(typeRow);
    layout->addWidget(taskpage::labelFor(tr("Exclude file &attributes"), edtExcludeFileAttrs));
    layout->addLayout(attrRow);

    connect(btnAddExcludeFiles, &QPushButton::clicked, this, [this] {
        const QString path =
            DialogService::instance().openFileName(window(), tr("Please select exclude file"));
        if (!path.isEmpty()) {
            taskpage::addUniqueFileRow(lvExcludeFiles, path);
        }
    });
    connect(btnDelExcludeFiles, &QPushButton::clicked, this,
            &FileExcludePage::btnDelExcludeFilesClick);
    connect(btnExcludeFileTypes, &QPushButton::clicked, this,
            &FileExcludePage::btnExcludeFileTypesClick);
    connect(btnExcludeFileAttrs, &QPushButton::clicked, this,
            &FileExcludePage::btnExcludeFileAttrsClick);
}

void FileExcludePage::load(const Task& task) {
    m_task = &task;
    for (const std::string& path : task.exclude.fileList()) {
        taskpage::addFileRow(lvExcludeFiles, path);
    }
    edtExcludeFileTypes->setText(toQString(task.exclude.getFileTypes()));
    edtExcludeFileAttrs->setText(toQString(task.exclude.getFileAttrs()));
}

void FileExcludePage::save(Task& task) const {
    task.exclude.clearFiles();
    for (int i = 0; i < lvExcludeFiles->count(); ++i) {
        task.exclude.addFile(taskpage::bytesOf(lvExcludeFiles->item(i), taskpage::kPathRole));
    }
    task.exclude.setFileTypes(
        dialogs::toModelKeeping(edtExcludeFileTypes->text(), task.exclude.getFileTypes()));
    task.exclude.setFileAttrs(toModel(edtExcludeFileAttrs->text()));
}

void FileExcludePage::addTips(ControlTip& tips) const {
    tips.AddTip(edtExcludeFileTypes,
                tr("please enter file type you want to exclude (For example: exe;bat;) Or press "
                   "right button to auto scan."));
    tips.AddTip(btnExcludeFileTypes, tr("click to get all file type(s) automatically"));
    tips.AddTip(edtExcludeFileAttrs,
                tr("click right button to select file attribute(s) you want to exclude"));
    tips.AddTip(btnExcludeFileAttrs, tr("click to select file attribute(s) you want to exclude"));
}

bool FileExcludePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtExcludeFileTypes && event->type() == QEvent::FocusOut) {
        // Leaving the field, not the window: switching to another window or
        // opening a menu is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            edtExcludeFileTypes->setText(
                toQString(normalizeList(toModel(edtExcludeFileTypes->text()))));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FileExcludePage::btnDelExcludeFilesClick() {
    const QList<QListWidgetItem*> selected = lvExcludeFiles->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QList<QListWidgetItem*> same = lvExcludeFiles->findItems(
        selected.front()->text(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    const std::string path = taskpage::bytesOf(same.front(), taskpage::kPathRole);
    delete same.front();
    Q_EMIT fileRemoved(path);
}

void FileExcludePage::btnExcludeFileTypesClick() {
    if (m_task == nullptr) {
        return;
    }
    DialogService& service = DialogService::instance();
    if (m_task->folderList.count() == 0) {
        service.message(window(), QMessageBox::Information, tr("Info"),
                        tr("Please select main folder first !"));
        return;
    }
    if (service.unattended()) {
        return;  // the program is ending: nobody is there to pick types
    }
    std::vector<std::string> roots;
    for (const TaskFolderItem& pair : m_task->folderList.items()) {
        roots.push_back(pair.main);
    }
    const std::optional<std::set<std::string>> found =
        dialogs::scanFileTypesWaiting(window(), roots);
    if (!found) {
        return;
    }
    QStringList types;
    for (const std::string& type : *found) {
        types << toQString(type);
    }
    QStringList chosen;
    for (const std::string& type : m_task->exclude.fileType()) {
        chosen << toQString(type);
    }
    TfrmSelectFileType picker(window());
    picker.AddTypes(types);
    picker.CheckTypes(chosen);
    if (picker.exec() == QDialog::Accepted) {
        edtExcludeFileTypes->setText(picker.GetSelectedTypes());
    }
}

void FileExcludePage::btnExcludeFileAttrsClick() {
    if (m_task == nullptr) {
        return;
    }
    TfrmSelectFileAttr picker(window());
    picker.SetAttributes(m_task->exclude.fileAttr());
    if (picker.exec() == QDialog::Accepted) {
        edtExcludeFileAttrs->setText(picker.GetAttributesText());
    }
}
