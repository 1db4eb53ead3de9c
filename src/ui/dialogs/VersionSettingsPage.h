#pragma once

#include <QWidget>
#include <string>

#include "model/VersionSettings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The task dialog's page for versions: whether the task keeps the mirror
// files its runs replace or delete, where, and for how long. It says when
// the chosen folder is on another file system than the first mirror, where
// keeping a file costs a copy instead of a rename.
class VersionSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit VersionSettingsPage(QWidget* parent = nullptr);

    void load(const VersionSettings& settings);
    VersionSettings settings() const;
    // The first mirror folder as the dialog's rows show it now: the default
    // folder lies in it.
    void setFirstMirror(const std::string& mirror);

    // The note on the file system, for tests.
    QString fileSystemNote() const;

private:
    void updateControls();
    void browse();

    std::string m_firstMirror;
    QCheckBox* chkVersions;
    QLineEdit* edtVersionsFolder;
    QPushButton* btnVersionsFolder;
    QCheckBox* chkKeepDays;
    QSpinBox* edtKeepDays;
    QCheckBox* chkKeepVersions;
    QSpinBox* edtKeepVersions;
    QLabel* lblVersionsNote;
};
