#pragma once

#include <QDialog>

class LinkLabel;
class PolicyManager;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class Task;
class TaskFolderItem;
class TaskManager;

// The short way to define a task, in five pages: welcome, name, main and
// mirror folder, copy policy, summary. Sets only the task's name, its policy
// and its first folder pair, on the live Task, and only on Finish.
//
// Bind with FillPolicies, SetTaskManager, SetTask (or let GetTask make the
// task), then show modally.
class TfrmTaskWizard : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTaskWizard(QWidget* parent = nullptr);

    // Lists the manager's policies (not owned, must not be null) and selects
    // the first.
    void FillPolicies(PolicyManager* policyManager);
    // The manager that GetTask adds a task to when none is bound; not owned.
    void SetTaskManager(TaskManager* manager) { taskManager = manager; }
    // Binds the task (not owned) and loads its name, policy and first pair;
    // a task without pairs gets an empty one at once. Nothing for nullptr.
    void SetTask(Task* task);
    // The bound task; binds a new one from the task manager when there is none.
    Task* GetTask();
    // The task's first folder pair, made when the task has none.
    TaskFolderItem* GetFolderItem();

    // Whether the copy policy dialog opened from here deleted or saved a
    // policy; those changes stand whatever the wizard's result.
    bool PoliciesChanged() const { return policiesChanged; }

private:
    void FormCreate();
    void UpdateButtons();
    void SetCaption();
    // Puts the focus on the current page's first field.
    void focusFirstField();
    bool isPage(const char* name) const;
    void btnNextClick();
    void btnPrivClick();
    void btnFinishClick();
    void btnCancelClick();
    void btnCopyPolicyClick();
    void lblCopyPolicyClick();
    void btnExcludeFileTypesClick();
    void Button2Click();

    PolicyManager* policyManager = nullptr;
    TaskManager* taskManager = nullptr;
    Task* task = nullptr;
    TaskFolderItem* folderItem = nullptr;
    bool policiesChanged = false;

    QLabel* imgWizard;
    QStackedWidget* nbTaskWizard;
    QPushButton* btnPriv;
    QPushButton* btnNext;
    QPushButton* btnFinish;
    QPushButton* btnCancel;

    QLineEdit* edtTaskName;
    QLineEdit* edtMainFolder;
    QPushButton* btnExcludeFileTypes;
    QLineEdit* edtMirrorFolder;
    QPushButton* Button2;
    QComboBox* cboPolicys;
    QPushButton* btnCopyPolicy;
    LinkLabel* lblCopyPolicy;
    QLabel* lblTaskName;
    QLabel* lblPolicyName;
    QLineEdit* edtMainFolderSummary;
    QLineEdit* edtMirrorFolderSummary;
};
