#include "ui/dialogs/TfrmSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <utility>

#include "platform/Autostart.h"
#include "ui/dialogs/DialogSupport.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;

namespace {

// Large enough for any mirror; the guard compares counts, so there is no
// reason for a smaller cap.
constexpr int kMaxEntries = 1000000000;
constexpr int kMaxOverdueDays = 3650;

}  // namespace

TfrmSettings::TfrmSettings(std::string program, std::string autostartFolder, QWidget* parent)
    : QDialog(parent),
      m_program(std::move(program)),
      m_autostartFolder(std::move(autostartFolder)) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(tr("Settings"));

    auto* grpGuard = makeNamed<QGroupBox>("grpGuard", tr("Mass deletion"), this);
    auto* guardText = new QLabel(
        tr("A run started by you asks first, and a scheduled run holds the deletions back, "
           "when it would delete more than this share of a mirror folder's entries and "
           "more than this many entries. 100% turns the guard off."),
        grpGuard);
    guardText->setWordWrap(true);
    spnDeletePercent = makeNamed<QSpinBox>("spnDeletePercent", grpGuard);
    spnDeletePercent->setRange(0, 100);
    spnDeletePercent->setSuffix(QStringLiteral(" %"));
    spnDeleteMinimum = makeNamed<QSpinBox>("spnDeleteMinimum", grpGuard);
    spnDeleteMinimum->setRange(0, kMaxEntries);
    auto* guardForm = new QFormLayout;
    guardForm->addRow(tr("More than a &share of"), spnDeletePercent);
    guardForm->addRow(tr("and more &entries than"), spnDeleteMinimum);
    auto* guardLayout = new QVBoxLayout(grpGuard);
    guardLayout->addWidget(guardText);
    guardLayout->addLayout(guardForm);

    spnOverdueDays = makeNamed<QSpinBox>("spnOverdueDays", this);
    spnOverdueDays->setRange(0, kMaxOverdueDays);
    spnOverdueDays->setSpecialValueText(tr("never"));
    spnOverdueDays->setSuffix(tr(" day(s)"));
    spnOverdueDays->setToolTip(
        tr("Warn when a scheduled task has had no successful real run for this long"));
    chkStartWithSession =
        makeNamed<QCheckBox>("chkStartWithSession", tr("Start with the desktop &session"), this);
    chkRunMissed =
        makeNamed<QCheckBox>("chkRunMissed", tr("New tasks &run missed fixed-time runs"), this);
    auto* form = new QFormLayout;
    form->addRow(tr("&Overdue warning after"), spnOverdueDays);

    auto* buttons = new QDialogButtonBox(this);
    btnOK = makeNamed<QPushButton>("btnOK", tr("OK"), this);
    btnOK->setDefault(true);
    btnCancel = makeNamed<QPushButton>("btnCancel", tr("Cancel"), this);
    buttons->addButton(btnOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(btnCancel, QDialogButtonBox::RejectRole);
    connect(btnOK, &QPushButton::clicked, this, &TfrmSettings::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* main = new QVBoxLayout(this);
    main->addWidget(grpGuard);
    main->addLayout(form);
    main->addWidget(chkStartWithSession);
    main->addWidget(chkRunMissed);
    main->addStretch();
    main->addWidget(buttons);
    spnDeletePercent->setFocus();
}

void TfrmSettings::SetSetting(const NormalSetting& setting) {
    spnDeletePercent->setValue(setting.maxDeletePercent);
    spnDeleteMinimum->setValue(setting.maxDeleteMinimum);
    spnOverdueDays->setValue(setting.overdueDays);
    chkStartWithSession->setChecked(setting.startWithSession);
    chkRunMissed->setChecked(setting.runMissedDefault);
}

void TfrmSettings::GetSetting(NormalSetting& setting) const {
    setting.maxDeletePercent = spnDeletePercent->value();
    setting.maxDeleteMinimum = spnDeleteMinimum->value();
    setting.overdueDays = spnOverdueDays->value();
    setting.startWithSession = chkStartWithSession->isChecked();
    setting.runMissedDefault = chkRunMissed->isChecked();
}

void TfrmSettings::btnOKClick() {
    // Written each time the box is ticked, so an entry left from an older
    // place of the program starts this one.
    const std::string problem = platform::setStartWithSession(chkStartWithSession->isChecked(),
                                                              m_program, m_autostartFolder);
    if (!problem.empty()) {
        DialogService::instance().message(
            this, QMessageBox::Warning, tr("Settings"),
            tr("The desktop session's autostart entry cannot be changed:\n%1")
                .arg(QString::fromLocal8Bit(problem)));
        return;
    }
    accept();
}
