#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/Task.h"
#include "platform/Clock.h"

class PolicyManager;

// Owns the tasks in the user's order: as read from the configuration, new
// tasks at the end.
class TaskManager {
public:
    // The clock is handed to every task made here (for their schedules) and
    // must outlive the manager.
    explicit TaskManager(const platform::Clock& clock = platform::Clock::system());

    // The policy manager the tasks find their policies in; not owned. Set
    // once at start-up, before the configuration store reads tasks.
    void setPolicys(PolicyManager* policys) { m_policys = policys; }
    PolicyManager* policys() const { return m_policys; }

    const std::vector<std::unique_ptr<Task>>& taskList() const { return m_taskList; }

    // Makes a task named uniqueTaskName() and appends it.
    Task& addTask();
    // "New Task N" for the smallest N >= 1 that no task bears as its name.
    std::string uniqueTaskName() const;
    // The first task with exactly this identifier or name, or nullptr.
    Task* findTaskById(std::string_view id) const;
    Task* findTaskByName(std::string_view name) const;
    // Destroys the first task with this identifier; returns the number of
    // tasks left.
    std::size_t removeTask(std::string_view id);

private:
    const platform::Clock& m_clock;
    PolicyManager* m_policys = nullptr;
    std::vector<std::unique_ptr<Task>> m_taskList;
};
