#include "model/PolicyManager.h"

#include <algorithm>

#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Assert.h"

CopyPolicy* PolicyManager::findPolicy(std::string_view name) const {
    for (const auto& policy : m_policyList) {
        if (policy->name == name) {
            return policy.get();
        }
    }
    return nullptr;
}

void PolicyManager::assignPolicy(Task& task, std::string_view name) const {
    if (CopyPolicy* policy = findPolicy(name)) {
        task.setPolicy(policy);
    } else {
        task.setMissingPolicy(name);
    }
}

CopyPolicy* PolicyManager::defaultPolicy() const {
    return findPolicy(DefaultPolicyName);
}

bool PolicyManager::isDefaultPolicy(const CopyPolicy* policy) const {
    TF_ASSERT(policy != nullptr);
    return policy->name == DefaultPolicyName;
}

CopyPolicy& PolicyManager::addPolicy() {
    return *m_policyList.emplace_back(std::make_unique<CopyPolicy>());
}

std::vector<Task*> PolicyManager::tasksUsing(std::string_view name) const {
    std::vector<Task*> users;
    if (m_taskManager == nullptr) {
        return users;
    }
    for (const auto& task : m_taskManager->taskList()) {
        if (task->getPolicy() != nullptr && !task->hasMissingPolicy() &&
            task->getPolicy()->name == name) {
            users.push_back(task.get());
        }
    }
    return users;
}

std::size_t PolicyManager::deletePolicy(std::string_view name) {
    TF_ASSERT(m_taskManager != nullptr);
    const auto victim = std::find_if(m_policyList.begin(), m_policyList.end(),
                                     [name](const auto& policy) { return policy->name == name; });
    if (victim == m_policyList.end() || name == DefaultPolicyName) {
        return m_policyList.size();
    }
    // Tasks still being made in a dialog have no policy yet; they are passed over.
    const std::vector<Task*> users = tasksUsing(name);
    CopyPolicy* fallback = defaultPolicy();
    if (fallback == nullptr && !users.empty()) {
        return m_policyList.size();
    }
    for (Task* task : users) {
        task->setPolicy(fallback);
    }
    m_policyList.erase(victim);
    return m_policyList.size();
}
