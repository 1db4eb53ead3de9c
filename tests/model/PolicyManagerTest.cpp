#include "model/PolicyManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Task.h"
#include "model/TaskManager.h"

namespace {

// The two managers linked as at start-up, with the default policy and two
// others.
class PolicyManagerTest : public ::testing::Test {
protected:
    PolicyManagerTest() {
        policies.setTaskManager(&tasks);
        tasks.setPolicys(&policies);
        named(std::string(DefaultPolicyName));
        named("Mirror");
        named("Backup");
    }

    CopyPolicy& named(const std::string& name) {
        CopyPolicy& policy = policies.addPolicy();
        policy.name = name;
        return policy;
    }

    Task& taskWith(CopyPolicy* policy) {
        Task& task = tasks.addTask();
        task.setPolicy(policy);
        return task;
    }

    PolicyManager policies;
    TaskManager tasks;
};

}  // namespace

TEST_F(PolicyManagerTest, FindsByExactNameOnly) {
    EXPECT_EQ(policies.findPolicy("Mirror"), policies.policyList()[1].get());
    EXPECT_EQ(policies.findPolicy("mirror"), nullptr);
    EXPECT_EQ(policies.findPolicy("< DEFAULT COPY POLICY >"), nullptr);
    EXPECT_EQ(policies.defaultPolicy(), policies.policyList()[0].get());
    EXPECT_TRUE(policies.isDefaultPolicy(policies.defaultPolicy()));
    EXPECT_FALSE(policies.isDefaultPolicy(policies.findPolicy("Mirror")));
}

// A name that no policy bears must never give a task the default policy's
// deleting word: it gets a non-deleting stand-in that keeps the name, until a
// policy of the manager is set.
TEST_F(PolicyManagerTest, AssignPolicyGivesAMissingNameANonDeletingStandIn) {
    policies.defaultPolicy()->setFlags(DefaultPolicyFlags);
    const struct {
        const char* name;
        const char* policy;
        bool found;
    } rows[] = {
        {"a policy of the list", "Backup", true},
        {"an unknown name", "Gone", false},
        {"another letter case", "backup", false},
        {"no name at all", "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Task& task = tasks.addTask();
        policies.assignPolicy(task, row.policy);
        ASSERT_NE(task.getPolicy(), nullptr);
        EXPECT_EQ(task.getPolicyName(), row.policy);
        EXPECT_EQ(task.hasMissingPolicy(), !row.found);
        if (row.found) {
            EXPECT_EQ(task.getPolicy(), policies.findPolicy(row.policy));
        } else {
            EXPECT_EQ(task.getPolicy()->getFlags(), NonDeletingPolicyFlags);
            EXPECT_FALSE(task.getPolicy()->isDeleteMirrorOnly());
            EXPECT_EQ(policies.policyList().size(), 3u) << "the stand-in is not listed";
        }
    }

    Task& picked = tasks.addTask();
    policies.assignPolicy(picked, "Gone");
    picked.setPolicy(policies.findPolicy("Mirror"));
    EXPECT_FALSE(picked.hasMissingPolicy());
    EXPECT_EQ(picked.getPolicyName(), "Mirror");
}

TEST_F(PolicyManagerTest, AddPolicyAppendsAnUnnamedDefaultPolicy) {
    CopyPolicy& added = policies.addPolicy();
    ASSERT_EQ(policies.policyList().size(), 4u);
    EXPECT_EQ(policies.policyList().back().get(), &added);
    EXPECT_TRUE(added.name.empty());
    EXPECT_EQ(added.getFlags(), DefaultPolicyFlags);
}

TEST_F(PolicyManagerTest, DeletePolicyRepointsItsTasksToTheDefault) {
    CopyPolicy* mirror = policies.findPolicy("Mirror");
    CopyPolicy* backup = policies.findPolicy("Backup");
    Task& first = taskWith(mirror);
    Task& other = taskWith(backup);
    Task& second = taskWith(mirror);
    Task& unset = taskWith(nullptr);  // being made in a dialog

    EXPECT_EQ(policies.deletePolicy("Mirror"), 2u);
    EXPECT_EQ(policies.findPolicy("Mirror"), nullptr);
    EXPECT_EQ(first.getPolicy(), policies.defaultPolicy());
    EXPECT_EQ(second.getPolicy(), policies.defaultPolicy());
    EXPECT_EQ(other.getPolicy(), backup);
    EXPECT_EQ(unset.getPolicy(), nullptr);
    EXPECT_EQ(first.getPolicyName(), DefaultPolicyName);
}

// A task on a stand-in keeps it when a policy of the same name, made later,
// is deleted: it never used that policy, and the default would delete.
TEST_F(PolicyManagerTest, DeletePolicyPassesOverStandInsOfTheSameName) {
    Task& missing = tasks.addTask();
    policies.assignPolicy(missing, "Later");
    named("Later");
    Task& user = taskWith(policies.findPolicy("Later"));
    EXPECT_EQ(policies.tasksUsing("Later"), std::vector<Task*>{&user});

    EXPECT_EQ(policies.deletePolicy("Later"), 3u);
    EXPECT_EQ(user.getPolicy(), policies.defaultPolicy());
    EXPECT_TRUE(missing.hasMissingPolicy());
    EXPECT_EQ(missing.getPolicyName(), "Later");
    EXPECT_TRUE(policies.tasksUsing("Later").empty());
}

TEST_F(PolicyManagerTest, DeleteOfAnUnknownNameChangesNothing) {
    Task& task = taskWith(policies.findPolicy("Backup"));
    EXPECT_EQ(policies.deletePolicy("backup"), 3u);
    EXPECT_EQ(task.getPolicyName(), "Backup");
}

TEST_F(PolicyManagerTest, SameNamedPoliciesDeleteOneButRepointBoth) {
    CopyPolicy& twin = named("Mirror");
    CopyPolicy* first = policies.findPolicy("Mirror");
    ASSERT_NE(first, &twin);
    Task& onFirst = taskWith(first);
    Task& onTwin = taskWith(&twin);

    EXPECT_EQ(policies.deletePolicy("Mirror"), 3u);
    EXPECT_EQ(policies.findPolicy("Mirror"), &twin);
    EXPECT_EQ(onFirst.getPolicy(), policies.defaultPolicy());
    EXPECT_EQ(onTwin.getPolicy(), policies.defaultPolicy());
}

// Deleting the default, or deleting a used policy when there is no default,
// would leave tasks pointing at a destroyed policy or at none.
TEST_F(PolicyManagerTest, DeleteNeverLeavesATaskWithoutAPolicy) {
    CopyPolicy* fallback = policies.defaultPolicy();
    Task& onDefault = taskWith(fallback);
    EXPECT_EQ(policies.deletePolicy(DefaultPolicyName), 3u);
    EXPECT_EQ(policies.defaultPolicy(), fallback);
    EXPECT_EQ(onDefault.getPolicy(), fallback);

    PolicyManager noDefault;
    TaskManager noDefaultTasks;
    noDefault.setTaskManager(&noDefaultTasks);
    CopyPolicy& used = noDefault.addPolicy();
    used.name = "Used";
    noDefault.addPolicy().name = "Unused";
    Task& task = noDefaultTasks.addTask();
    task.setPolicy(&used);
    EXPECT_EQ(noDefault.deletePolicy("Used"), 2u);
    EXPECT_EQ(task.getPolicy(), &used);
    EXPECT_EQ(noDefault.deletePolicy("Unused"), 1u);
}

TEST(PolicyManagerDeathTest, IsDefaultPolicyNeedsAPolicy) {
    const PolicyManager policies;
    EXPECT_DEATH(policies.isDefaultPolicy(nullptr), "policy != nullptr");
}
