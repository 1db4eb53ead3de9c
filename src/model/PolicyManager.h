#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "model/CopyPolicy.h"

class Task;
class TaskManager;

// Owns the copy policies in the user's order. The default policy is an
// ordinary entry named DefaultPolicyName, which the configuration provides.
class PolicyManager {
public:
    // The task manager whose tasks deletePolicy() re-points; not owned. Set
    // once at start-up.
    void setTaskManager(TaskManager* taskManager) { m_taskManager = taskManager; }
    TaskManager* taskManager() const { return m_taskManager; }

    const std::vector<std::unique_ptr<CopyPolicy>>& policyList() const { return m_policyList; }

    // The first policy of exactly this name (case-sensitive), or nullptr.
    CopyPolicy* findPolicy(std::string_view name) const;
    // Puts the task under findPolicy(name). When no policy bears the name the
    // task gets a non-deleting stand-in keeping that name
    // (Task::setMissingPolicy()), never the default policy: a name that
    // cannot be found must not turn into the default's deleting word.
    void assignPolicy(Task& task, std::string_view name) const;
    // findPolicy(DefaultPolicyName).
    CopyPolicy* defaultPolicy() const;
    // Whether the policy (which must not be null) is named DefaultPolicyName.
    bool isDefaultPolicy(const CopyPolicy* policy) const;

    // Appends an unnamed policy with DefaultPolicyFlags; the caller names it.
    CopyPolicy& addPolicy();

    // The tasks of the task manager under a policy named `name`, in task
    // order; tasks on a stand-in and tasks without a policy are not among them.
    std::vector<Task*> tasksUsing(std::string_view name) const;

    // Points every task whose policy bears `name` at the default policy, then
    // destroys the first policy of that name. Returns the number of policies
    // left. Nothing is deleted when `name` is the default policy's name or
    // when tasks use the policy and there is no default to give them, since
    // those tasks would be left pointing at a destroyed policy or at none.
    // Tasks on a stand-in of the same name keep their stand-in.
    std::size_t deletePolicy(std::string_view name);

private:
    std::vector<std::unique_ptr<CopyPolicy>> m_policyList;
    TaskManager* m_taskManager = nullptr;
};
