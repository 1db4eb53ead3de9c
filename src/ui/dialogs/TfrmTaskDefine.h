#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

#include "ui/dialogs/ControlTip.h"

class FileExcludePage;
class FileIncludePage;
class GeneralPage;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QTimer;
class QTreeWidget;
class SchedulePage;
class Task;
class TaskFolderPage;
class TaskManager;
class VersionSettingsPage;

// Edits every setting of one live Task, one page per group of settings:
// name, copy policy and task log; folder pairs; included files;
// exclusions; schedule; versions. The pages hold the working copy; OK
// checks what spans pages and writes every page into the task. One edit
// reaches the task at once: removing an excluded file.
//
// Bind with SetTasks, then SetTaskDefined, then show modally.
class TfrmTaskDefine : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTaskDefine(QWidget* parent = nullptr);

    // The task manager (not owned, must not be null); lists its policies.
    void SetTasks(TaskManager* taskManager);
    // Binds the task to edit (not owned, must not be null) and loads it. A
    // dialog is bound once, after SetTasks. A new task (`newTask`) starts with
    // its log on, in a file proposed after the name as it is typed.
    void SetTaskDefined(Task* task, bool newTask = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // Lets the pages scroll where the dialog would not fit the screen.
    void fitToScreen();

    void tvOptionClick();
    void tvOptionMouseMove(QPoint position);
    void nbOptionPageChanged();
    void tmTipsTimer();
    void btnOKClick();

    TaskManager* Tasks = nullptr;
    Task* FTaskDefined = nullptr;
    // The page and the hint of each node of the option tree.
    QMap<int, int> pageIndex;
    QMap<int, QString> pageHint;
    ControlTip tips;

    QTreeWidget* tvOption;
    QStackedWidget* nbOption;
    QScrollArea* scrOption;
    QLabel* imgTip;
    QLabel* lblTip;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QTimer* tmTips;

    GeneralPage* m_generalPage;
    FileIncludePage* m_includePage;
    FileExcludePage* m_excludePage;
    TaskFolderPage* m_folderPage;
    SchedulePage* m_schedulePage;
    VersionSettingsPage* m_versionsPage;
};
