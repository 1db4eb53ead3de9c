#pragma once

#include <string>
#include <string_view>

#include "model/CopyPolicy.h"
#include "model/FileExclude.h"
#include "model/FileInclude.h"
#include "model/TaskFolder.h"
#include "model/VersionSettings.h"
#include "platform/Clock.h"
#include "schedule/Schedule.h"

// One synchronization job as the user defines it. The fields below are read
// and written directly by the dialogs, the configuration store, the engine and
// the scheduler. A task never moves: its schedule points back at it.
class Task {
public:
    // A new identifier, no name, no policy, empty filters and folder list,
    // and a schedule reading `clock` (which must outlive the task).
    explicit Task(const platform::Clock& clock = platform::Clock::system());
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    std::string id;    // a UUID's text; replaced by the stored one on load
    std::string name;  // not required to be unique
    bool enableLog = false;
    std::string logFile;
    FileExclude exclude;
    FileInclude include;
    TaskFolder folderList;
    Schedule schedule;
    VersionSettings versions;

    // The policy is owned by the PolicyManager, or is the task's own stand-in
    // (see setMissingPolicy()). Every stored or run task has one; a task being
    // made in a dialog may not have one yet.
    CopyPolicy* getPolicy() const { return m_policy; }
    // Puts the task under a policy of the manager; a stand-in is dropped.
    void setPolicy(CopyPolicy* policy) { m_policy = policy; }
    // The name of the policy; the task must have one.
    const std::string& getPolicyName() const;

    // For a task whose stored policy name no policy bears: the task runs
    // under a stand-in named `storedName` with NonDeletingPolicyFlags, so
    // that it never deletes by a word nobody chose, and it is saved with the
    // name it was read with, so that the next start does not resolve it to
    // a deleting policy either. The stand-in lasts until setPolicy().
    void setMissingPolicy(std::string_view storedName);
    // Whether the task runs under its stand-in.
    bool hasMissingPolicy() const { return m_policy == &m_standIn; }

    // Where the included files go: "<mirror of the first pair>/<NAME_append>",
    // with every "/" of the name turned into "_" so that the folder stays one
    // level inside the mirror whatever the name holds. Empty when the task has
    // no folder pairs or the first pair has no mirror.
    std::string includeFolder() const;
    // The same folder for a first mirror folder and a task name.
    static std::string includeFolderFor(std::string_view mirror, std::string_view name);

    // Where this task keeps versions: the chosen folder, or
    // "<mirror of the first pair>/.twinfold-versions". Empty when versions are
    // off or there is no folder to use.
    std::string versionsFolder() const;
    // Why the versions folder cannot be used with these folder pairs (it is,
    // lies inside or holds a main folder, or is a mirror folder itself);
    // empty when it can or when versions are off. A plain text test, like
    // the one of the folder pairs.
    std::string versionsFolderProblem() const;
    // The same two for settings and folder pairs not (yet) in a task.
    static std::string versionsFolderFor(const VersionSettings& settings,
                                         const TaskFolder& folders);
    static std::string versionsFolderProblemFor(const VersionSettings& settings,
                                                const TaskFolder& folders);

private:
    CopyPolicy* m_policy = nullptr;
    CopyPolicy m_standIn;
};
