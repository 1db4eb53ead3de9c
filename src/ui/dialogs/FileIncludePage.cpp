#include "ui/dialogs/FileIncludePage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/Task.h"
#include "ui/dialogs/ControlTip.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TaskPageParts.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;

FileIncludePage::FileIncludePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FILE_INCLUDE"));
    QGroupBox* group = taskpage::pageGroup(this, tr("File include"));
    lvIncludeFiles = taskpage::makeFileList("lvIncludeFiles", group);
    btnAddIncludeFiles = taskpage::makeSmallButton("btnAddIncludeFiles", tr("+"), group);
    btnDelIncludeFiles = taskpage::makeSmallButton("btnDelIncludeFiles", tr("-"), group);
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
    layout->addWidget(taskpage::labelFor(tr("Include these files:"), lvIncludeFiles));
    layout->addLayout(listRow, 1);
    layout->addWidget(taskpage::labelFor(tr("Include file(s) will be saved at:"), edtIncludePath));
    layout->addWidget(edtIncludePath);
    layout->addWidget(lblIncludeFiles);

    connect(btnAddIncludeFiles, &QPushButton::clicked, this, [this] {
        const QString path =
            DialogService::instance().openFileName(window(), tr("Please select include file"));
        if (!path.isEmpty()) {
            taskpage::addUniqueFileRow(lvIncludeFiles, path);
        }
    });
    connect(btnDelIncludeFiles, &QPushButton::clicked, this,
            [this] { taskpage::removeSelectedRow(lvIncludeFiles); });
}

void FileIncludePage::load(const Task& task) {
    m_task = &task;
    for (const std::string& path : task.include.fileList()) {
        taskpage::addFileRow(lvIncludeFiles, path);
    }
}

void FileIncludePage::save(Task& task) const {
    task.include.clearFiles();
    for (int i = 0; i < lvIncludeFiles->count(); ++i) {
        task.include.addFile(taskpage::bytesOf(lvIncludeFiles->item(i), taskpage::kPathRole));
    }
}

void FileIncludePage::addTips(ControlTip& tips) const {
    tips.AddTip(lvIncludeFiles, tr("select include file(s)"));
    tips.AddTip(edtIncludePath, tr("include file(s) will be save at this directory. One task "
                                   "folder required at least."));
}

void FileIncludePage::showIncludeFolder(const std::optional<std::string>& firstMirror) {
    if (!firstMirror) {
        lblIncludeFiles->show();
        return;
    }
    // The folder as it will be once OK stores the rows: under the first
    // mirror, named after the stored name.
    const std::string name = m_task != nullptr ? m_task->name : std::string();
    edtIncludePath->setText(dialogs::toQString(Task::includeFolderFor(*firstMirror, name)));
    lblIncludeFiles->hide();
}
