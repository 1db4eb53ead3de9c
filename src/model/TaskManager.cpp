#include "model/TaskManager.h"

#include <algorithm>

TaskManager::TaskManager(const platform::Clock& clock) : m_clock(clock) {}

Task& TaskManager::addTask() {
    auto task = std::make_unique<Task>(m_clock);
    task->name = uniqueTaskName();
    return *m_taskList.emplace_back(std::move(task));
}

std::string TaskManager::uniqueTaskName() const {
    // At most size() names are taken, so one of the first size() + 1 is free.
    for (std::size_t n = 1;; ++n) {
        std::string candidate = "New Task " + std::to_string(n);
        if (findTaskByName(candidate) == nullptr) {
            return candidate;
        }
    }
}

Task* TaskManager::findTaskById(std::string_view id) const {
    for (const auto& task : m_taskList) {
        if (task->id == id) {
            return task.get();
        }
    }
    return nullptr;
}

Task* TaskManager::findTaskByName(std::string_view name) const {
    for (const auto& task : m_taskList) {
        if (task->name == name) {
            return task.get();
        }
    }
    return nullptr;
}

std::size_t TaskManager::removeTask(std::string_view id) {
    const auto found = std::find_if(m_taskList.begin(), m_taskList.end(),
                                    [id](const auto& task) { return task->id == id; });
    if (found != m_taskList.end()) {
        m_taskList.erase(found);
    }
    return m_taskList.size();
}
