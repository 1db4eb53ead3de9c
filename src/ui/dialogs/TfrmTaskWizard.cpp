#include "ui/dialogs/TfrmTaskWizard.h"

#include <algorithm>

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Assert.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/LinkLabel.h"
#include "ui/dialogs/TfrmCopyPolicy.h"
#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;

namespace {

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setWordWrap(true);
    return label;
}

QLabel* paragraph(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QLineEdit* summaryField(const char* name, QWidget* parent) {
    auto* field = makeNamed<QLineEdit>(name, parent);
    dialogs::makeSummaryField(field);
    return field;
}

QPushButton* browseButton(const char* name, QWidget* parent) {
    auto* button = makeNamed<QPushButton>(name, QStringLiteral("..."), parent);
    button->setAutoDefault(false);
    const QFontMetrics metrics(button->font());
    button->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("...")) +
                          metrics.averageCharWidth() * 4);
    return button;
}

}  // namespace

TfrmTaskWizard::TfrmTaskWizard(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTaskWizard"));
    const QFontMetrics metrics(font());

    imgWizard = makeNamed<QLabel>("imgWizard", this);
    imgWizard->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    imgWizard->setMinimumWidth(metrics.averageCharWidth() * 20);

    nbTaskWizard = makeNamed<QStackedWidget>("nbTaskWizard", this);
    nbTaskWizard->setFixedWidth(metrics.averageCharWidth() * 56);

    auto* welcome = makeNamed<QWidget>("S_WELCOME", nbTaskWizard);
    auto* welcomeLayout = new QVBoxLayout(welcome);
    welcomeLayout->addWidget(heading(tr("welcome to task definition wizard !"), welcome));
    welcomeLayout->addWidget(paragraph(
        tr("-Through this wizard, you can define a  Twinfold! task. Just 4 step!"), welcome));
    auto* steps = new QVBoxLayout;
    steps->setContentsMargins(metrics.averageCharWidth() * 3, 0, 0, 0);
    steps->addWidget(paragraph(tr("1. Give a task name"), welcome));
    steps->addWidget(paragraph(tr("2. Select main & mirror folder"), welcome));
    steps->addWidget(paragraph(tr("3.Select a copy policy"), welcome));
    steps->addWidget(paragraph(tr("4.Summary about task you just defined"), welcome));
    welcomeLayout->addLayout(steps);
    welcomeLayout->addStretch();
    welcomeLayout->addWidget(paragraph(tr("Click \"Next\" to continue"), welcome));

    auto* namePage = makeNamed<QWidget>("S_TASKNAME", nbTaskWizard);
    edtTaskName = makeNamed<QLineEdit>("edtTaskName", namePage);
    edtTaskName->setMaxLength(64);
    auto* nameLayout = new QVBoxLayout(namePage);
    nameLayout->addWidget(heading(tr("Give your task a human-reading name :"), namePage));
    nameLayout->addWidget(edtTaskName);
    nameLayout->addWidget(paragraph(
        tr("Please enter an easy task name for you to remember. For example, you can give a "
           "name like \"Sync My Document folder\". When you see this task next time, you will "
           "know what will happen immediately. You can change task name anytime."),
        namePage));
    nameLayout->addStretch();

    auto* folderPage = makeNamed<QWidget>("S_FOLDER", nbTaskWizard);
    edtMainFolder = makeNamed<QLineEdit>("edtMainFolder", folderPage);
    btnExcludeFileTypes = browseButton("btnExcludeFileTypes", folderPage);
    edtMirrorFolder = makeNamed<QLineEdit>("edtMirrorFolder", folderPage);
    Button2 = browseButton("Button2", folderPage);
    auto* mainLabel = new QLabel(tr("Main folder"), folderPage);
    mainLabel->setBuddy(edtMainFolder);
    auto* mirrorLabel = new QLabel(tr("Mirror folder"), folderPage);
    mirrorLabel->setBuddy(edtMirrorFolder);
    auto* folders = new QGridLayout;
    folders->addWidget(mainLabel, 0, 0);
    folders->addWidget(edtMainFolder, 0, 1);
    folders->addWidget(btnExcludeFileTypes, 0, 2);
    folders->addWidget(mirrorLabel, 1, 0);
    folders->addWidget(edtMirrorFolder, 1, 1);
    folders->addWidget(Button2, 1, 2);
    auto* folderLayout = new QVBoxLayout(folderPage);
    folderLayout->addWidget(heading(tr("Choose main and mirror folder"), folderPage));
    folderLayout->addWidget(
        paragraph(tr("File will be copied from main folder to mirror folder"), folderPage));
    folderLayout->addLayout(folders);
    folderLayout->addStretch();

    auto* policyPage = makeNamed<QWidget>("S_POLICY", nbTaskWizard);
    cboPolicys = makeNamed<QComboBox>("cboPolicys", policyPage);
    btnCopyPolicy = makeNamed<QPushButton>("btnCopyPolicy", tr("&Copy policy"), policyPage);
    btnCopyPolicy->setAutoDefault(false);
    lblCopyPolicy =
        makeNamed<LinkLabel>("lblCopyPolicy", tr("What's the copy policy?"), policyPage);
    QPalette link = lblCopyPolicy->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    lblCopyPolicy->setPalette(link);
    auto* policyRow = new QHBoxLayout;
    policyRow->addWidget(cboPolicys, 1);
    policyRow->addWidget(btnCopyPolicy);
    auto* policyLayout = new QVBoxLayout(policyPage);
    policyLayout->addWidget(heading(tr("Now, please Select a copy policy"), policyPage));
    policyLayout->addLayout(policyRow);
    policyLayout->addWidget(lblCopyPolicy, 0, Qt::AlignLeft);
    policyLayout->addWidget(paragraph(
        tr("You can customize your own copy policy or choose system default. NOTE: default copy "
           "policy will make  mirror folder same as main folder. That's means that files will "
           "be deleted if it exists in mirror folder only."),
        policyPage));
    policyLayout->addStretch();

    auto* summaryPage = makeNamed<QWidget>("S_SUMMARY", nbTaskWizard);
    lblTaskName = makeNamed<QLabel>("lblTaskName", summaryPage);
    lblPolicyName = makeNamed<QLabel>("lblPolicyName", summaryPage);
    edtMainFolderSummary = summaryField("edtMainFolderSummary", summaryPage);
    edtMirrorFolderSummary = summaryField("edtMirrorFolderSummary", summaryPage);
    auto* summary = new QGridLayout;
    summary->addWidget(new QLabel(tr("-Task name :"), summaryPage), 0, 0);
    summary->addWidget(lblTaskName, 0, 1);
    summary->addWidget(new QLabel(tr("-Copy policy : "), summaryPage), 1, 0);
    summary->addWidget(lblPolicyName, 1, 1);
    summary->addWidget(new QLabel(tr("-main folder :"), summaryPage), 2, 0);
    summary->addWidget(edtMainFolderSummary, 2, 1);
    summary->addWidget(new QLabel(tr("-mirror folder :"), summaryPage), 3, 0);
    summary->addWidget(edtMirrorFolderSummary, 3, 1);
    summary->setColumnStretch(1, 1);
    auto* summaryLayout = new QVBoxLayout(summaryPage);
    summaryLayout->addWidget(
        heading(tr("OK ! Already has engouth information to create a new task"), summaryPage));
    summaryLayout->addWidget(
        paragraph(tr("Here are summary of task which you just define. If no error be find, "
                     "please click \"Finish\" to create it."),
                  summaryPage));
    summaryLayout->addLayout(summary);
    summaryLayout->addStretch();

    for (QWidget* page : {welcome, namePage, folderPage, policyPage, summaryPage}) {
        nbTaskWizard->addWidget(page);
    }

    btnPriv = makeNamed<QPushButton>("btnPriv", tr("< &Priv"), this);
    btnPriv->setEnabled(false);
    btnNext = makeNamed<QPushButton>("btnNext", tr("&Next >"), this);
    btnFinish = makeNamed<QPushButton>("btnFinish", tr("&Finish"), this);
    btnFinish->hide();
    btnCancel = makeNamed<QPushButton>("btnCancel", tr("&Cancel"), this);
    btnCancel->setAutoDefault(false);
    btnPriv->setAutoDefault(false);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* top = new QHBoxLayout;
    top->addWidget(imgWizard);
    top->addWidget(nbTaskWizard, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnPriv);
    buttons->addWidget(btnNext);
    buttons->addWidget(btnFinish);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnNext, &QPushButton::clicked, this, &TfrmTaskWizard::btnNextClick);
    connect(btnPriv, &QPushButton::clicked, this, &TfrmTaskWizard::btnPrivClick);
    connect(btnFinish, &QPushButton::clicked, this, &TfrmTaskWizard::btnFinishClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmTaskWizard::btnCancelClick);
    connect(btnCopyPolicy, &QPushButton::clicked, this, &TfrmTaskWizard::btnCopyPolicyClick);
    connect(lblCopyPolicy, &LinkLabel::clicked, this, &TfrmTaskWizard::lblCopyPolicyClick);
    connect(btnExcludeFileTypes, &QPushButton::clicked, this,
            &TfrmTaskWizard::btnExcludeFileTypesClick);
    connect(Button2, &QPushButton::clicked, this, &TfrmTaskWizard::Button2Click);

    FormCreate();
}

void TfrmTaskWizard::FormCreate() {
    // A missing or unreadable picture leaves the place empty.
    const QString picture = dialogs::findDataFile(QStringLiteral("wizard.png"));
    if (!picture.isEmpty()) {
        imgWizard->setPixmap(QPixmap(picture));
    }
    UpdateButtons();
    nbTaskWizard->setCurrentIndex(0);
    SetCaption();
}

void TfrmTaskWizard::UpdateButtons() {
    const int page = nbTaskWizard->currentIndex();
    const bool last = page == nbTaskWizard->count() - 1;
    btnPriv->setEnabled(page > 0);
    btnNext->setVisible(!last);
    btnFinish->setVisible(last);
    // Enter presses whichever of the two is shown.
    (last ? btnFinish : btnNext)->setDefault(true);
}

void TfrmTaskWizard::SetCaption() {
    setWindowTitle(tr("Task definition wizard - %1 of %2")
                       .arg(nbTaskWizard->currentIndex() + 1)
                       .arg(nbTaskWizard->count()));
}

void TfrmTaskWizard::focusFirstField() {
    // Typing goes on where the page asks for it, not into the Next button
    // that brought the user here.
    if (isPage("S_TASKNAME")) {
        edtTaskName->setFocus();
        edtTaskName->selectAll();
    } else if (isPage("S_FOLDER")) {
        edtMainFolder->setFocus();
    } else if (isPage("S_POLICY")) {
        cboPolicys->setFocus();
    } else if (btnFinish->isEnabled()) {
        btnFinish->setFocus();
    } else {
        btnNext->setFocus();
    }
}

bool TfrmTaskWizard::isPage(const char* name) const {
    return nbTaskWizard->currentWidget()->objectName() == QLatin1String(name);
}

void TfrmTaskWizard::FillPolicies(PolicyManager* manager) {
    TF_ASSERT(manager != nullptr);
    policyManager = manager;
    cboPolicys->clear();
    for (const auto& policy : manager->policyList()) {
        cboPolicys->addItem(toQString(policy->name), dialogs::toBytes(policy->name));
    }
    cboPolicys->setCurrentIndex(0);
}

void TfrmTaskWizard::SetTask(Task* bound) {
    if (bound == nullptr) {
        return;
    }
    task = bound;
    folderItem = nullptr;
    edtTaskName->setText(toQString(task->name));
    const TaskFolderItem* pair = GetFolderItem();
    edtMainFolder->setText(toQString(pair->main));
    edtMirrorFolder->setText(toQString(pair->mirror));
    if (task->hasMissingPolicy()) {
        // Shown and kept as it is until the user picks a policy.
        cboPolicys->addItem(toQString(task->getPolicyName()) + tr(" (missing: deletion off)"),
                            dialogs::toBytes(task->getPolicyName()));
        cboPolicys->setCurrentIndex(cboPolicys->count() - 1);
    } else if (task->getPolicy() != nullptr) {
        // Entries carry the names' bytes: an exact match.
        const int row = cboPolicys->findData(dialogs::toBytes(task->getPolicyName()));
        if (row >= 0) {
            cboPolicys->setCurrentIndex(row);
        }
    }
}

Task* TfrmTaskWizard::GetTask() {
    if (task == nullptr) {
        TF_ASSERT(taskManager != nullptr);
        task = &taskManager->addTask();
    }
    return task;
}

TaskFolderItem* TfrmTaskWizard::GetFolderItem() {
    if (folderItem == nullptr) {
        // The wizard edits the task's first pair in place.
        TaskFolder& folders = GetTask()->folderList;
        folderItem = folders.count() == 0 ? &folders.addItem() : &folders.item(0);
    }
    return folderItem;
}

void TfrmTaskWizard::btnNextClick() {
    DialogService& service = DialogService::instance();
    edtTaskName->setText(dialogs::trimBlanks(edtTaskName->text()));
    if (isPage("S_TASKNAME") && edtTaskName->text().isEmpty()) {
        service.message(this, QMessageBox::Information, tr("Info"), tr("Please input a task name"));
        edtTaskName->setFocus();
        return;
    }
    if (isPage("S_FOLDER")) {
        edtMainFolder->setText(dialogs::trimBlanks(edtMainFolder->text()));
        edtMirrorFolder->setText(dialogs::trimBlanks(edtMirrorFolder->text()));
        if (edtMainFolder->text().isEmpty()) {
            service.message(this, QMessageBox::Information, tr("Info"),
                            tr("Please specify a main folder"));
            edtMainFolder->setFocus();
            return;
        }
        if (edtMirrorFolder->text().isEmpty()) {
            service.message(this, QMessageBox::Information, tr("Info"),
                            tr("Please specify a mirror folder"));
            edtMirrorFolder->setFocus();
            return;
        }
        const TaskFolder::PairProblem problem = TaskFolder::pairProblem(
            dialogs::toModel(edtMainFolder->text()), dialogs::toModel(edtMirrorFolder->text()));
        if (problem != TaskFolder::PairProblem::None) {
            service.message(this, QMessageBox::Information, tr("Info"),
                            dialogs::pairProblemText(problem));
            edtMirrorFolder->setFocus();
            return;
        }
    }
    nbTaskWizard->setCurrentIndex(nbTaskWizard->currentIndex() + 1);
    UpdateButtons();
    focusFirstField();
    if (nbTaskWizard->currentIndex() == nbTaskWizard->count() - 1) {
        lblTaskName->setText(edtTaskName->text());
        lblPolicyName->setText(cboPolicys->currentText());
        edtMainFolderSummary->setText(edtMainFolder->text());
        edtMirrorFolderSummary->setText(edtMirrorFolder->text());
    }
    SetCaption();
}

void TfrmTaskWizard::btnPrivClick() {
    nbTaskWizard->setCurrentIndex(nbTaskWizard->currentIndex() - 1);
    UpdateButtons();
    focusFirstField();
    SetCaption();
}

void TfrmTaskWizard::btnFinishClick() {
    if (!dialogs::confirmTaskThatCannotRun(this, {dialogs::toModel(edtMainFolder->text())})) {
        return;
    }
    Task* defined = GetTask();
    // Texts shown unchanged keep their bytes, UTF-8 or not.
    defined->name = dialogs::toModelKeeping(edtTaskName->text(), defined->name);
    // The chosen policy may have been deleted from here after the list was
    // last filled; the task then runs with deletion off under the name it
    // chose.
    if (policyManager != nullptr) {
        const std::string name = dialogs::fromBytes(cboPolicys->currentData().toByteArray());
        policyManager->assignPolicy(*defined, name);
    }
    TaskFolderItem* pair = GetFolderItem();
    pair->set(dialogs::toModelKeeping(edtMainFolder->text(), pair->main),
              dialogs::toModelKeeping(edtMirrorFolder->text(), pair->mirror));
    // Every new task logs, to a file of its own named after it; the task
    // dialog can turn that off or choose another file. A bound task that
    // has a log file keeps it.
    if (defined->logFile.empty()) {
        defined->enableLog = true;
        defined->logFile =
            dialogs::toModel(dialogs::proposedLogFile(edtTaskName->text(), taskManager, defined));
        dialogs::makeProposedLogFolder(defined->logFile);
    }
    accept();
}

void TfrmTaskWizard::btnCancelClick() {
    reject();
}

void TfrmTaskWizard::btnCopyPolicyClick() {
    TF_ASSERT(policyManager != nullptr);
    TfrmCopyPolicy dialog(this);
    dialog.SetPolicyManager(policyManager);
    const bool saved = dialog.exec() == QDialog::Accepted;
    policiesChanged = policiesChanged || saved || dialog.PolicyDeleted();
    if (saved) {
        // The refilled list keeps the choice, a missing policy's entry included.
        const QString shown = cboPolicys->currentText();
        const QVariant chosen = cboPolicys->currentData();
        FillPolicies(policyManager);
        int row = cboPolicys->findData(chosen);
        if (row < 0 && task != nullptr && task->hasMissingPolicy()) {
            cboPolicys->addItem(shown, chosen);
            row = cboPolicys->count() - 1;
        }
        cboPolicys->setCurrentIndex(std::max(row, 0));
    }
}

void TfrmTaskWizard::lblCopyPolicyClick() {
    showHelp(this, HelpTopic::CopyPolicies);
}

void TfrmTaskWizard::btnExcludeFileTypesClick() {
    edtMainFolder->setText(
        DialogService::instance().existingDirectory(this, tr("Please select the main folder:")));
}

void TfrmTaskWizard::Button2Click() {
    edtMirrorFolder->setText(
        DialogService::instance().existingDirectory(this, tr("Please select the mirror folder:")));
}
