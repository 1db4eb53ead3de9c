#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

#include "ui/dialogs/ControlTip.h"

class PolicyManager;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;
class QTimer;
class QScrollArea;
class QTreeWidget;
class QTreeWidgetItem;
class LinkLabel;
class Task;
class TaskManager;
class VersionSettingsPage;

// Edits every setting of one live Task: name, copy policy, task log, folder
// pairs, included files, exclusions and schedule. The controls hold the
// working copy; OK writes it into the task. One edit reaches the task at
// once: removing an excluded file.
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
    void buildGeneralPage(QWidget* page);
    void buildIncludePage(QWidget* page);
    void buildExcludePage(QWidget* page);
    void buildFolderPage(QWidget* page);
    void buildSchedulePage(QWidget* page);
    void FormCreate();
    // Lets the pages scroll where the dialog would not fit the screen.
    void fitToScreen();

    void tvOptionClick();
    void tvOptionMouseMove(QPoint position);
    void nbOptionPageChanged();
    void tmTipsTimer();
    void tmeButtonStatusTimer();
    void edtTaskNameExit();
    void chkLogClick();
    // Follows the typed name with the proposed log file, until the user
    // chooses another file.
    void proposeLogFile();
    void btnLogClick();
    void stCopyPolicyClick();
    void btnAddMainFolderClick();
    void btnRemoveMainFolderClick();
    void lstMainFolders1MouseMove(QPoint position);
    void btnAddIncludeFilesClick();
    void btnDelIncludeFilesClick();
    void btnAddExcludeFilesClick();
    void btnDelExcludeFilesClick();
    void btnExcludeFileTypesClick();
    void edtExcludeFileTypesExit();
    void btnExcludeFileAttrsClick();
    void edtIntervalExit();
    void btnOKClick();
    void btnCancelClick();

    // Appends `path` to `list` unless a row shows exactly this text.
    static void addUniqueRow(QListWidget* list, const QString& path);
    // The include folder the first row's mirror and the stored name give.
    QString includeFolderForRows() const;

    TaskManager* Tasks = nullptr;
    PolicyManager* policyManager = nullptr;
    Task* FTaskDefined = nullptr;
    // The log file last proposed; the path field still showing it means the
    // user has not chosen another.
    QString m_proposedLog;
    QMap<QString, int> pageIndex;
    QMap<QString, QString> pageHint;
    ControlTip tips;

    QTreeWidget* tvOption;
    QStackedWidget* nbOption;
    QScrollArea* scrOption;
    QLabel* imgTip;
    QLabel* lblTip;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QTimer* tmeButtonStatus;
    QTimer* tmTips;

    QLineEdit* edtTaskName;
    QComboBox* cboCopyPolicy;
    LinkLabel* stCopyPolicy;
    QCheckBox* chkLog;
    QLineEdit* edtLogPath;
    QPushButton* btnLog;

    QListWidget* lvIncludeFiles;
    QPushButton* btnAddIncludeFiles;
    QPushButton* btnDelIncludeFiles;
    QLineEdit* edtIncludePath;
    QLabel* lblIncludeFiles;

    QListWidget* lvExcludeFiles;
    QPushButton* btnAddExcludeFiles;
    QPushButton* btnDelExcludeFiles;
    QLineEdit* edtExcludeFileTypes;
    QPushButton* btnExcludeFileTypes;
    QLineEdit* edtExcludeFileAttrs;
    QPushButton* btnExcludeFileAttrs;

    QListWidget* lstMainFolders;
    QPushButton* btnAddMainFolder;
    QPushButton* btnRemoveMainFolder;
    QLineEdit* edtMainFolderSummary;
    QLineEdit* edtMirrorFolderSummary;

    QCheckBox* chkInterval;
    QSpinBox* edtInterval;
    QLabel* stCurrentTime;
    QLabel* stLastRunTime;
    QLabel* stRunTimes;
    QCheckBox* chkFixup;
    QTimeEdit* dtFixup;
    QCheckBox* chkRunMissed;
    QRadioButton* rdSimulate;
    QRadioButton* rdRun;

    VersionSettingsPage* m_versionsPage;
};
