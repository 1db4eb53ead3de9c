#pragma once

#include <QDialog>
#include <string>

#include "config/NormalSetting.h"

class QCheckBox;
class QPushButton;
class QSpinBox;

// The general settings: the mass-deletion guard, the overdue warning,
// starting with the desktop session and the default for missed fixed-time
// runs. OK writes or removes the session's autostart entry at once (the
// caller saves the configuration); when that fails the user is told why and
// the dialog stays open.
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    // `program` is what the autostart entry starts; `autostartFolder` where
    // the entry goes (the session's autostart folder unless a test says).
    explicit TfrmSettings(std::string program, std::string autostartFolder,
                          QWidget* parent = nullptr);

    void SetSetting(const NormalSetting& setting);
    // `setting` with the values shown; other members are kept.
    void GetSetting(NormalSetting& setting) const;

private:
    void btnOKClick();

    std::string m_program;
    std::string m_autostartFolder;
    QSpinBox* spnDeletePercent;
    QSpinBox* spnDeleteMinimum;
    QSpinBox* spnOverdueDays;
    QCheckBox* chkStartWithSession;
    QCheckBox* chkRunMissed;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
