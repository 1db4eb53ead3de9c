#pragma once

#include <QDialog>
#include <string>

class CopyPolicy;
class PolicyManager;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Shows, changes, creates and deletes copy policies, one at a time, chosen by
// name. Works on the live PolicyManager: OK writes the policy bearing the
// typed name (creating it when none does), and Delete removes a policy at
// once, even when the dialog then ends with Cancel. The default policy is
// shown read-only.
class TfrmCopyPolicy : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCopyPolicy(QWidget* parent = nullptr);

    // Lists the manager's policies (not owned, must not be null) and shows the
    // first.
    void SetPolicyManager(PolicyManager* policyManager);
    // Shows the rules of `policy`; with none (a name no policy bears), keeps
    // the boxes as they are and makes them all editable for a new policy.
    void ShowPolicy(const CopyPolicy* policy);

    // Whether a policy was deleted while the dialog was open; the deletion
    // stands whatever the dialog's result.
    bool PolicyDeleted() const { return policyDeleted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cboPolicyNameSelect();
    void cboPolicyNameKeyUp();
    void chkCopyTimeClick();
    void chkDeleteFileClick();
    void btnDefaultPolicyClick();
    void btnDeleteClick();
    void btnOKClick();
    void btnCancelClick();
    // The name in the name box, as the model spells it.
    std::string currentName() const;
    // Sets the seven boxes from a policy's rules, in the order of the rules.
    void setBoxes(const CopyPolicy& policy);

    PolicyManager* policyManager = nullptr;
    bool policyDeleted = false;

    QComboBox* cboPolicyName;
    QGroupBox* grpOnlyMain;
    QGroupBox* grpAll;
    QGroupBox* grpOnlyMirror;
    QCheckBox* chkCopyFiles;
    QCheckBox* chkCopySize;
    QCheckBox* chkCopyTime;
    QCheckBox* chkCopyTimeNewer;
    QCheckBox* chkCopyAttr;
    QCheckBox* chkDeleteFile;
    QCheckBox* chkDeletePrompt;
    QLabel* lblDeletePrompt;
    QPushButton* btnDefaultPolicy;
    QPushButton* btnDelete;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
