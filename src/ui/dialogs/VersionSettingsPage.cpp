#include "ui/dialogs/VersionSettingsPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "model/Task.h"
#include "platform/Path.h"
#include "platform/VersionFiles.h"
#include "ui/dialogs/DialogSupport.h"
#include "widgets/DialogService.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;

VersionSettingsPage::VersionSettingsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("VERSIONS"));
    auto* group = new QGroupBox(tr("Versions"), this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);

    chkVersions = makeNamed<QCheckBox>(
        "chkVersions", tr("&Keep the mirror files a run replaces or deletes"), group);
    edtVersionsFolder = makeNamed<QLineEdit>("edtVersionsFolder", group);
    btnVersionsFolder = makeNamed<QPushButton>("btnVersionsFolder", tr("..."), group);
    btnVersionsFolder->setAutoDefault(false);
    chkKeepDays = makeNamed<QCheckBox>("chkKeepDays", tr("At most this many &days:"), group);
    edtKeepDays = makeNamed<QSpinBox>("edtKeepDays", group);
    edtKeepDays->setRange(1, VersionSettings::kMaxDays);
    edtKeepDays->setValue(30);
    chkKeepVersions = makeNamed<QCheckBox>("chkKeepVersions",
                                           tr("At most this many versions of each &file:"), group);
    edtKeepVersions = makeNamed<QSpinBox>("edtKeepVersions", group);
    edtKeepVersions->setRange(1, VersionSettings::kMaxVersions);
    edtKeepVersions->setValue(10);
    lblVersionsNote = makeNamed<QLabel>("lblVersionsNote", group);
    lblVersionsNote->setWordWrap(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edtVersionsFolder, 1);
    folderRow->addWidget(btnVersionsFolder);
    auto* grid = new QGridLayout(group);
    grid->addWidget(chkVersions, 0, 0, 1, 2);
    auto* folderLabel = new QLabel(tr("Versions f&older:"), group);
    folderLabel->setBuddy(edtVersionsFolder);
    grid->addWidget(folderLabel, 1, 0, 1, 2);
    grid->addLayout(folderRow, 2, 0, 1, 2);
    grid->addWidget(chkKeepDays, 3, 0);
    grid->addWidget(edtKeepDays, 3, 1);
    grid->addWidget(chkKeepVersions, 4, 0);
    grid->addWidget(edtKeepVersions, 4, 1);
    grid->addWidget(lblVersionsNote, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);

    connect(chkVersions, &QCheckBox::toggled, this, &VersionSettingsPage::updateControls);
    connect(chkKeepDays, &QCheckBox::toggled, this, &VersionSettingsPage::updateControls);
    connect(chkKeepVersions, &QCheckBox::toggled, this, &VersionSettingsPage::updateControls);
    connect(edtVersionsFolder, &QLineEdit::textChanged, this, &VersionSettingsPage::updateControls);
    connect(btnVersionsFolder, &QPushButton::clicked, this, &VersionSettingsPage::browse);
    updateControls();
}

void VersionSettingsPage::load(const VersionSettings& settings) {
    chkVersions->setChecked(settings.enabled);
    edtVersionsFolder->setText(toQString(settings.folder));
    chkKeepDays->setChecked(settings.keepDays > 0);
    if (settings.keepDays > 0) {
        edtKeepDays->setValue(settings.keepDays);
    }
    chkKeepVersions->setChecked(settings.keepVersions > 0);
    if (settings.keepVersions > 0) {
        edtKeepVersions->setValue(settings.keepVersions);
    }
    updateControls();
}

VersionSettings VersionSettingsPage::settings() const {
    VersionSettings settings;
    settings.enabled = chkVersions->isChecked();
    settings.folder = toModel(edtVersionsFolder->text().trimmed());
    settings.keepDays = chkKeepDays->isChecked() ? edtKeepDays->value() : 0;
    settings.keepVersions = chkKeepVersions->isChecked() ? edtKeepVersions->value() : 0;
    return settings;
}

void VersionSettingsPage::setFirstMirror(const std::string& mirror) {
    m_firstMirror = mirror;
    updateControls();
}

QString VersionSettingsPage::fileSystemNote() const {
    return lblVersionsNote->text();
}

void VersionSettingsPage::updateControls() {
    const bool on = chkVersions->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{edtVersionsFolder, btnVersionsFolder,
                                                            chkKeepDays, chkKeepVersions}) {
        control->setEnabled(on);
    }
    edtKeepDays->setEnabled(on && chkKeepDays->isChecked());
    edtKeepVersions->setEnabled(on && chkKeepVersions->isChecked());
    const std::string defaultFolder = m_firstMirror.empty()
                                          ? std::string()
                                          : platform::withTrailingSeparator(m_firstMirror) +
                                                std::string(VersionSettings::kDefaultFolderName);
    edtVersionsFolder->setPlaceholderText(defaultFolder.empty() ? tr("in the first mirror folder")
                                                                : toQString(defaultFolder));

    QString note;
    const std::string folder = toModel(edtVersionsFolder->text().trimmed());
    if (on && !folder.empty() && !m_firstMirror.empty()) {
        if (platform::sameFileSystem(folder, m_firstMirror) == std::optional<bool>(false)) {
            note =
                tr("This folder is on another file system than the mirror: every file kept "
                   "is copied there, then removed from the mirror, which takes longer than "
                   "moving it.");
        }
    }
    lblVersionsNote->setText(note);
}

void VersionSettingsPage::browse() {
    const QString chosen = DialogService::instance().existingDirectory(this, tr("Versions folder"),
                                                                       edtVersionsFolder->text());
    if (!chosen.isEmpty()) {
        edtVersionsFolder->setText(chosen);
    }
}
