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

CopyPolicy* PolicyManager::findPolicyOrDefault(std::string_view name) const {
    CopyPolicy* policy = findPolicy(name);
    return policy != nullptr ? policy : defaultPolicy();
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

std::size_t PolicyManager::deletePolicy(std::string_view name) {
    TF_ASSERT(m_taskManager != nullptr);
    const auto victim = std::find_if(m_policyList.begin(), m_policyList.end(),
                                     [name](const auto& policy) { return policy->name == name; });
    if (victim == m_policyList.end() || name == DefaultPolicyName) {
        return m_policyList.size();
    }
    // Tasks still being made in a dialog have no policy yet; they are passed over.
    const auto usesName = [name](const auto& task) {
        return task->getPolicy() != nullptr && task->getPolicy()->name == name;
    };
    const auto& tasks = m_taskManager->taskList();
    CopyPolicy* fallback = defaultPolicy();
    if (fallback == nullptr && std::any_of(tasks.begin(), tasks.end(), usesName)) {
        return m_policyList.size();
    }
    for (const auto& task : tasks) {
        if (usesName(task)) {
            task->setPolicy(fallback);
        }
    }
    m_policyList.erase(victim);
    return m_policyList.size();
}
