#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "config/NormalSetting.h"

class ModalLoops;
class PolicyManager;
class QDialog;
class QWidget;
class Task;
class TaskManager;
class XMLConfig;

namespace platform {
class Clock;
}

// Keeps the program's configuration for the main window: loads the copy
// policies, the tasks and the general settings at start, and runs the
// dialogs that edit them, saving each change the user confirms at once.
// Tasks confirmed and removed are announced, so that the scheduler and the
// task list follow.
class ConfigKeeper : public QObject {
    Q_OBJECT
public:
    // `window` is the parent of the dialogs; `loops` and `clock` must
    // outlive this.
    ConfigKeeper(ModalLoops& loops, QWidget* window, const platform::Clock& clock);
    ~ConfigKeeper() override;

    // Reads config.xml of `folder` (seeded from `defaultFile` when it is
    // missing) into the model. A file that cannot be used is told to the
    // user; false then.
    bool load(const std::string& folder, const std::string& defaultFile);
    // Nothing was loaded, or the file could not be read: it is never written.
    bool loadFailed() const;
    // Tells, in one box, what could not be used as stored.
    void tellLoadNotices();
    // Writes the model to the file; a failure is told to the user. Does
    // nothing (true) when loading had failed.
    bool save();

    // None before a successful load.
    TaskManager* tasks() const { return m_tasks.get(); }
    PolicyManager* policies() const { return m_policies.get(); }
    NormalSetting& setting() { return m_setting; }
    const NormalSetting& setting() const { return m_setting; }

    // The edits. Each opens its dialog modally and saves what it changed.
    void addTask();
    // Saved whatever the answer: some edits reach the task before OK.
    void editTask(Task& task);
    // Removes the tasks that still exist.
    void removeTasks(const std::vector<std::string>& ids);
    // The wizard always makes a new task.
    void runWizard();
    void editCopyPolicies();
    // OK saves the settings at once.
    void editSettings();
    // On the first start only, opens the wizard.
    void runWizardOnFirstStart();

Q_SIGNALS:
    // The user confirmed a new task: the scheduler watches it from now on.
    void taskConfirmed(Task* task);
    // The task is about to be removed.
    void taskLeaving(Task* task);
    // Tasks were added, removed or changed.
    void tasksChanged();

private:
    // A task made for a dialog, with the general settings' defaults.
    Task& addNewTask();
    int execTaskDefine(Task& task, bool newTask = false);
    // Drops a task made for a dialog that was cancelled.
    void dropTask(Task& task);

    ModalLoops& m_loops;
    QWidget* m_window;
    const platform::Clock& m_clock;
    std::unique_ptr<XMLConfig> m_config;
    std::unique_ptr<PolicyManager> m_policies;
    std::unique_ptr<TaskManager> m_tasks;
    NormalSetting m_setting;
};
