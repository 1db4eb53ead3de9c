#include "ui/dialogs/TfrmCopyPolicy.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "model/PolicyManager.h"
#include "model/Task.h"
#include "platform/Assert.h"
#include "ui/dialogs/DialogSupport.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;

namespace {

// A row holding `widget` indented to the text of the check box above it.
QHBoxLayout* indented(QWidget* widget, QWidget* second = nullptr) {
    auto* row = new QHBoxLayout;
    const QStyle* style = widget->style();
    row->addSpacing(style->pixelMetric(QStyle::PM_IndicatorWidth) +
                    style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    row->addWidget(widget);
    if (second != nullptr) {
        row->addWidget(second, 1);
    } else {
        row->addStretch();
    }
    return row;
}

}  // namespace

TfrmCopyPolicy::TfrmCopyPolicy(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCopyPolicy"));
    setWindowTitle(tr("Copy policy definition"));

    cboPolicyName = makeNamed<QComboBox>("cboPolicyName", this);
    cboPolicyName->setEditable(true);
    // The name typed is looked up as it stands: no completion, and Enter
    // never adds it to the list.
    cboPolicyName->setCompleter(nullptr);
    cboPolicyName->setInsertPolicy(QComboBox::NoInsert);
    cboPolicyName->setMinimumContentsLength(28);
    auto* lblPolicyName = new QLabel(tr("Copy &policy name"), this);
    lblPolicyName->setBuddy(cboPolicyName);

    grpOnlyMain = makeNamed<QGroupBox>("grpOnlyMain", tr("Exist only in &main "), this);
    chkCopyFiles = makeNamed<QCheckBox>("chkCopyFiles", tr("&Copy file"), grpOnlyMain);
    chkCopyFiles->setChecked(true);
    auto* onlyMain = new QVBoxLayout(grpOnlyMain);
    onlyMain->addWidget(chkCopyFiles);
    onlyMain->addStretch();

    grpAll = makeNamed<QGroupBox>("grpAll", tr("Exist in main and mirr&or "), this);
    chkCopySize = makeNamed<QCheckBox>("chkCopySize", tr("Copy if &size differ"), grpAll);
    chkCopySize->setChecked(true);
    chkCopyTime = makeNamed<QCheckBox>("chkCopyTime", tr("Copy if &time differ"), grpAll);
    chkCopyTime->setChecked(true);
    chkCopyTimeNewer = makeNamed<QCheckBox>("chkCopyTimeNewer", tr("Main is later"), grpAll);
    chkCopyTimeNewer->setChecked(true);
    chkCopyAttr = makeNamed<QCheckBox>("chkCopyAttr", tr("Copy if &attribute differ"), grpAll);
    auto* all = new QVBoxLayout(grpAll);
    all->addWidget(chkCopySize);
    all->addWidget(chkCopyTime);
    all->addLayout(indented(chkCopyTimeNewer));
    all->addWidget(chkCopyAttr);
    all->addStretch();

    grpOnlyMirror = makeNamed<QGroupBox>("grpOnlyMirror", tr("Exist o&nly in mirror"), this);
    chkDeleteFile = makeNamed<QCheckBox>("chkDeleteFile", tr("&Delete file"), grpOnlyMirror);
    chkDeletePrompt = makeNamed<QCheckBox>("chkDeletePrompt", grpOnlyMirror);
    chkDeletePrompt->setEnabled(false);
    lblDeletePrompt =
        makeNamed<QLabel>("lblDeletePrompt", tr("Put to Recycle bin "), grpOnlyMirror);
    lblDeletePrompt->setWordWrap(true);
    lblDeletePrompt->setBuddy(chkDeletePrompt);
    lblDeletePrompt->setEnabled(false);
    auto* onlyMirror = new QVBoxLayout(grpOnlyMirror);
    onlyMirror->addWidget(chkDeleteFile);
    onlyMirror->addLayout(indented(chkDeletePrompt, lblDeletePrompt));
    onlyMirror->addStretch();

    btnDefaultPolicy = makeNamed<QPushButton>("btnDefaultPolicy", tr("&Default"), this);
    btnDefaultPolicy->setAutoDefault(false);
    btnDelete = makeNamed<QPushButton>("btnDelete", tr("&Delete"), this);
    btnDelete->setAutoDefault(false);
    btnOK = makeNamed<QPushButton>("btnOK", tr("&OK"), this);
    btnOK->setDefault(true);
    btnCancel = makeNamed<QPushButton>("btnCancel", tr("&Cancel"), this);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(lblPolicyName);
    nameRow->addWidget(cboPolicyName, 1);
    auto* groups = new QGridLayout;
    groups->addWidget(grpOnlyMain, 0, 0);
    groups->addWidget(grpOnlyMirror, 1, 0);
    groups->addWidget(grpAll, 0, 1, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDefaultPolicy);
    buttons->addWidget(btnDelete);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cboPolicyName, &QComboBox::activated, this, &TfrmCopyPolicy::cboPolicyNameSelect);
    // Every key released in the name box shows the policy the text names; a
    // text changed with the mouse (pasted, undone) does the same.
    cboPolicyName->lineEdit()->installEventFilter(this);
    connect(cboPolicyName->lineEdit(), &QLineEdit::textEdited, this,
            &TfrmCopyPolicy::cboPolicyNameKeyUp);
    connect(chkCopyTime, &QCheckBox::toggled, this, &TfrmCopyPolicy::chkCopyTimeClick);
    connect(chkDeleteFile, &QCheckBox::toggled, this, &TfrmCopyPolicy::chkDeleteFileClick);
    connect(btnDefaultPolicy, &QPushButton::clicked, this, &TfrmCopyPolicy::btnDefaultPolicyClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmCopyPolicy::btnDeleteClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmCopyPolicy::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmCopyPolicy::btnCancelClick);
}

bool TfrmCopyPolicy::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cboPolicyName->lineEdit() && event->type() == QEvent::KeyRelease) {
        cboPolicyNameKeyUp();
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmCopyPolicy::SetPolicyManager(PolicyManager* manager) {
    TF_ASSERT(manager != nullptr);
    policyManager = manager;
    for (const auto& policy : manager->policyList()) {
        cboPolicyName->addItem(dialogs::toQString(policy->name), dialogs::toBytes(policy->name));
    }
    cboPolicyName->setCurrentIndex(0);
    ShowPolicy(manager->findPolicy(currentName()));
}

std::string TfrmCopyPolicy::currentName() const {
    // The entries carry the names' bytes, which the text may show only
    // approximately; a name typed anew is taken as typed.
    const QString text = cboPolicyName->currentText();
    const int entry = cboPolicyName->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return entry >= 0 ? dialogs::fromBytes(cboPolicyName->itemData(entry).toByteArray())
                      : dialogs::toModel(text);
}

void TfrmCopyPolicy::setBoxes(const CopyPolicy& policy) {
    chkCopyFiles->setChecked(policy.isCopyNewFiles());
    chkCopySize->setChecked(policy.isCopyIfSizeDiffers());
    chkCopyTime->setChecked(policy.isCopyIfTimeDiffers());
    chkCopyTimeNewer->setChecked(policy.isCopyOnlyIfMainNewer());
    chkCopyAttr->setChecked(policy.isCopyIfAttributesDiffer());
    chkDeleteFile->setChecked(policy.isDeleteMirrorOnly());
    chkDeletePrompt->setChecked(policy.isDeleteToRecycleBin());
}

void TfrmCopyPolicy::ShowPolicy(const CopyPolicy* policy) {
    if (policy == nullptr) {
        for (QCheckBox* box : {chkCopyFiles, chkCopySize, chkCopyTime, chkCopyTimeNewer,
                               chkCopyAttr, chkDeleteFile, chkDeletePrompt}) {
            box->setEnabled(true);
        }
        lblDeletePrompt->setEnabled(true);
        btnDelete->setEnabled(false);
        btnOK->setEnabled(true);
        btnDefaultPolicy->setEnabled(true);
        return;
    }
    TF_ASSERT(policyManager != nullptr);
    setBoxes(*policy);
    // These states stand whatever the dependency handlers did above.
    const bool editable = !policyManager->isDefaultPolicy(policy);
    for (QCheckBox* box :
         {chkCopyFiles, chkCopySize, chkCopyTime, chkCopyTimeNewer, chkCopyAttr, chkDeleteFile}) {
        box->setEnabled(editable);
    }
    chkDeletePrompt->setEnabled(editable && policy->isDeleteMirrorOnly());
    lblDeletePrompt->setEnabled(chkDeletePrompt->isEnabled());
    btnDelete->setEnabled(editable);
    btnOK->setEnabled(editable);
    btnDefaultPolicy->setEnabled(editable);
}

void TfrmCopyPolicy::cboPolicyNameSelect() {
    cboPolicyNameKeyUp();
}

void TfrmCopyPolicy::cboPolicyNameKeyUp() {
    if (policyManager != nullptr) {
        ShowPolicy(policyManager->findPolicy(currentName()));
    }
}

void TfrmCopyPolicy::chkCopyTimeClick() {
    chkCopyTimeNewer->setEnabled(chkCopyTime->isChecked());
    if (!chkCopyTimeNewer->isEnabled()) {
        chkCopyTimeNewer->setChecked(false);
    }
}

void TfrmCopyPolicy::chkDeleteFileClick() {
    chkDeletePrompt->setEnabled(chkDeleteFile->isChecked());
    if (!chkDeletePrompt->isEnabled()) {
        chkDeletePrompt->setChecked(false);
    }
    lblDeletePrompt->setEnabled(chkDeletePrompt->isEnabled());
}

void TfrmCopyPolicy::btnDefaultPolicyClick() {
    if (const CopyPolicy* defaults = policyManager->defaultPolicy()) {
        setBoxes(*defaults);
    }
}

void TfrmCopyPolicy::btnDeleteClick() {
    QString text =
        tr("If you delete this copy policy, all tasks which use it will set to default. ");
    // Tasks that never deleted would start deleting under the default: say so.
    const CopyPolicy* victim = policyManager->findPolicy(currentName());
    const CopyPolicy* fallback = policyManager->defaultPolicy();
    const std::vector<Task*> users = policyManager->tasksUsing(currentName());
    if (victim != nullptr && fallback != nullptr && !users.empty() &&
        !victim->isDeleteMirrorOnly() && fallback->isDeleteMirrorOnly()) {
        QStringList names;
        for (const Task* task : users) {
            names << dialogs::toQString(task->name);
        }
        text += tr("\n\nThis policy never deletes anything from a mirror, but the default policy "
                   "removes files and folders that exist only in the mirror. The %n task(s) "
                   "using it (%1) will start removing such files from their mirrors.",
                   nullptr, static_cast<int>(users.size()))
                    .arg(names.join(QStringLiteral(", ")));
    }
    text += tr("\n\nContinue?");
    const QMessageBox::StandardButton answer = DialogService::instance().message(
        this, QMessageBox::Question, tr("Confirm"), text, QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        return;
    }
    const QString name = cboPolicyName->currentText();
    const std::size_t before = policyManager->policyList().size();
    if (policyManager->deletePolicy(currentName()) < before) {
        policyDeleted = true;
        // The entry of the deleted policy: the first one bearing its name, as
        // the manager removes the first policy of that name.
        const int entry = cboPolicyName->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (entry >= 0) {
            cboPolicyName->removeItem(entry);
        }
    }
    cboPolicyName->setCurrentIndex(0);
    ShowPolicy(policyManager->findPolicy(currentName()));
}

void TfrmCopyPolicy::btnOKClick() {
    const std::string name = currentName();
    CopyPolicy* policy = policyManager->findPolicy(name);
    if (policy != nullptr && policyManager->isDefaultPolicy(policy)) {
        return;  // the default policy is read-only
    }
    if (policy == nullptr) {
        policy = &policyManager->addPolicy();
    }
    policy->name = name;
    // In the order of the rules, so that the couplings of the setters apply
    // as for any other writer of the rules.
    policy->setCopyNewFiles(chkCopyFiles->isChecked());
    policy->setCopyIfSizeDiffers(chkCopySize->isChecked());
    policy->setCopyIfTimeDiffers(chkCopyTime->isChecked());
    policy->setCopyOnlyIfMainNewer(chkCopyTimeNewer->isChecked());
    policy->setCopyIfAttributesDiffer(chkCopyAttr->isChecked());
    policy->setDeleteMirrorOnly(chkDeleteFile->isChecked());
    policy->setDeleteToRecycleBin(chkDeletePrompt->isChecked());
    accept();
}

void TfrmCopyPolicy::btnCancelClick() {
    reject();
}
