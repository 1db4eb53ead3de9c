#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "history/TaskStatus.h"
#include "ui/TaskRunBridge.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;
class Task;
class TaskManager;
class TGauge;

// The controls of the main window: the task list, the buttons beside and
// below it, the gauge of a run (or how the last one ended), the "show
// detail" box, the help and suggestion links and the notice line. It tells
// what the user asks for through its signals and shows what it is told;
// it starts and edits nothing itself.
class MainView : public QWidget {
    Q_OBJECT
public:
    explicit MainView(QWidget* parent = nullptr);

    // The tasks to list (not owned; none before loading). `statusOf` says
    // what the history says about a task; none: the rows show names only.
    // `mayRun` tells whether a task's preview can be offered now.
    void setTasks(const TaskManager* tasks, std::function<TaskStatus(const Task&)> statusOf,
                  std::function<bool(const Task&)> mayRun);
    // Rebuilds the rows from the task manager, keeping the selection.
    void refreshTaskList();
    // The task of the first selected row; none when no row is selected.
    Task* selectedTask() const;
    // The identifiers of the selected rows, top to bottom.
    std::vector<std::string> selectedIds() const;
    // The hover tip of a row: "copy policy : " and the policy's name.
    QString lstTasksInfoTip(const QListWidgetItem* item) const;
    // Enables the buttons that act on the selection.
    void followSelection();

    bool showDetail() const;
    void setShowDetail(bool show);

    // What the view shows of a run.
    void runBegan();
    void showProgress(const RunProgress& progress);
    void runEnded();
    // The user aborted the run; the buttons are back at once.
    void runStopped();
    // How the last run ended, where its gauge was.
    void showLastRun(const QString& outcome);
    // A notice in the window, where there is no tray icon to show it.
    void showNotice(const QString& text);

Q_SIGNALS:
    void addTaskClicked();
    void removeTaskClicked();
    // The edit button, or a double click on a row.
    void editTaskClicked();
    void wizardClicked();
    void copyPolicyClicked();
    void versionsClicked();
    void settingsClicked();
    void aboutClicked();
    void runClicked();
    void simulateClicked();
    void previewClicked();
    void stopClicked();
    void historyClicked();
    void helpClicked();
    void suggestionClicked();
    void noticeClicked();
    // The rows selected changed, or a row was clicked.
    void selectionChanged();
    void showDetailToggled(bool checked);
    // From a row's context menu. A preview is asked for once the menu has
    // closed, by the task's identifier.
    void historyRequested(Task* task);
    void previewRequested(const std::string& taskId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void lstTasksContextMenu(const QPoint& position);
    void setRunButtons(bool runEnabled);
    Task* taskOf(const QListWidgetItem* item) const;

    const TaskManager* m_tasks = nullptr;
    std::function<TaskStatus(const Task&)> m_statusOf;
    std::function<bool(const Task&)> m_mayRun;

    QGroupBox* GroupBox1;
    QListWidget* lstTasks;
    QPushButton* btnAddTask;
    QPushButton* btnRemoveTask;
    QPushButton* btnEditTask;
    QPushButton* btnTaskWizard;
    QPushButton* btnCopyPolicy;
    QPushButton* btnVersions;
    QPushButton* btnSettings;
    QPushButton* btnAbout;
    TGauge* prgTaskRun;
    QToolButton* btnRunTask;
    QToolButton* btnSimulateRun;
    QToolButton* btnAbortTask;
    QToolButton* btnPreview;
    QToolButton* btnHistory;
    QLabel* lblLastRun;
    QCheckBox* chkShowDetail;
    QWidget* Panel2;
    QLabel* Label1;
    QLabel* lblSuggestion;
    QLabel* lblRunNotice;
};
