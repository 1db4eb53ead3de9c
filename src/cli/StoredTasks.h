#pragma once

#include <string>

#include "config/NormalSetting.h"
#include "model/PolicyManager.h"
#include "model/TaskManager.h"

class Task;

// The stored tasks, read from the configuration file and never written.
class StoredTasks {
public:
    StoredTasks();

    // Loads the file (the user's own when `configFile` is empty); on failure
    // prints the reason, with the parser's position, and returns false. A
    // missing file counts as no task when `mayBeMissing`.
    bool load(const std::string& configFile, bool mayBeMissing = false);

    // A task by identifier or, failing that, the first of that name.
    Task* find(const std::string& key) const;

    // Loads the file and finds the task `key` in it. On failure prints why
    // and sets `status` to the exit status that tells it.
    Task* loadTask(const std::string& configFile, const std::string& key, int& status);

    const TaskManager& tasks() const { return m_tasks; }
    const NormalSetting& setting() const { return m_setting; }

private:
    NormalSetting m_setting;
    PolicyManager m_policies;
    TaskManager m_tasks;
};
