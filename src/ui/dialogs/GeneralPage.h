#pragma once

#include <QString>
#include <QWidget>

class ControlTip;
class LinkLabel;
class PolicyManager;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class Task;
class TaskManager;

// The task dialog's "General" page: the task's name, its copy policy and
// its task log. A new task's log is proposed after the name as it is typed,
// until the user chooses another file.
class GeneralPage : public QWidget {
    Q_OBJECT
public:
    explicit GeneralPage(QWidget* parent = nullptr);

    // Lists the policies of the task manager, which must outlive the page
    // (the proposed log file differs from those of its other tasks).
    void setTaskManager(TaskManager* tasks);
    // Shows the task, which must outlive the page: a policy it names that
    // does not exist is listed, marked missing, until another is picked.
    void load(const Task& task);
    // A new task logs by default, to a file of its own.
    void startNewLog();
    // A task needs a name: trims the typed one, and tells the user when
    // nothing is left.
    bool validate();
    // Writes name, policy and log. The proposed log folder is made; a log
    // whose folder does not exist is told to the user, and stays set.
    void save(Task& task);
    void addTips(ControlTip& tips) const;

Q_SIGNALS:
    // A hint for the dialog's tip line.
    void tipChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void edtTaskNameExit();
    void chkLogClick();
    // Follows the typed name with the proposed log file, until the user
    // chooses another file.
    void proposeLogFile();
    void btnLogClick();

    TaskManager* m_tasks = nullptr;
    PolicyManager* m_policies = nullptr;
    const Task* m_task = nullptr;
    // The log file last proposed; the path field still showing it means the
    // user has not chosen another.
    QString m_proposedLog;

    QLineEdit* edtTaskName;
    QComboBox* cboCopyPolicy;
    LinkLabel* stCopyPolicy;
    QCheckBox* chkLog;
    QLineEdit* edtLogPath;
    QPushButton* btnLog;
};
