#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "model/CopyPolicy.h"
#include "model/Task.h"
#include "model/TaskFolder.h"
#include "model/TaskManager.h"
#include "platform/Clock.h"
#include "support/TempTree.h"

TEST(Task, NewTaskHasAnIdentifierAndItsDefaults) {
    const platform::FixedClock clock(platform::makeDateTime(2026, 3, 4, 10, 0, 0));
    const Task task(clock);
    const Task other(clock);
    EXPECT_TRUE(std::regex_match(
        task.id, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")))
        << task.id;
    EXPECT_NE(task.id, other.id);
    EXPECT_TRUE(task.name.empty());
    EXPECT_EQ(task.getPolicy(), nullptr);
    EXPECT_FALSE(task.enableLog);
    EXPECT_TRUE(task.logFile.empty());
    EXPECT_EQ(task.folderList.count(), 0u);
    EXPECT_EQ(task.schedule.task(), &task);
    EXPECT_DOUBLE_EQ(task.schedule.startTime(), platform::makeTime(10, 0, 0));
}

TEST(Task, GetPolicyNameGivesTheNameOfItsPolicy) {
    CopyPolicy policy;
    policy.name = "Mirror";
    Task task;
    task.setPolicy(&policy);
    EXPECT_EQ(task.getPolicyName(), "Mirror");
}

TEST(TaskDeathTest, GetPolicyNameWithoutAPolicyIsABrokenInvariant) {
    const Task task;
    EXPECT_DEATH(task.getPolicyName(), "m_policy != nullptr");
}

TEST(Task, IncludeFolderStaysOneLevelInsideTheFirstMirror) {
    Task task;
    task.name = "Docs";
    EXPECT_EQ(task.includeFolder(), "");
    TaskFolderItem& first = task.folderList.addItem();
    first.main = "/home/me/docs";
    first.mirror = "/backup/docs";
    TaskFolderItem& second = task.folderList.addItem();
    second.main = "/home/me/music";
    second.mirror = "/other/music";
    EXPECT_EQ(task.includeFolder(), "/backup/docs/<Docs_append>");
    first.mirror = "/backup/docs/";
    EXPECT_EQ(task.includeFolder(), "/backup/docs/<Docs_append>");
    task.name = "../../etc/x";
    EXPECT_EQ(task.includeFolder(), "/backup/docs/<.._.._etc_x_append>");
    first.mirror.clear();
    EXPECT_EQ(task.includeFolder(), "");
}

TEST(TaskFolder, KeepsPairsInOrderUntilCleared) {
    TaskFolder folders;
    TaskFolderItem& a = folders.addItem();
    EXPECT_TRUE(a.main.empty());
    EXPECT_TRUE(a.mirror.empty());
    a.main = "/a";
    folders.addItem().main = "/b";
    a.mirror = "/a-mirror";  // still valid after another pair was added
    ASSERT_EQ(folders.count(), 2u);
    EXPECT_EQ(folders.items()[0].mirror, "/a-mirror");
    EXPECT_EQ(folders.items()[1].main, "/b");
    folders.clearItems();
    EXPECT_EQ(folders.count(), 0u);
}

// A mirror inside the main folder, or above it, would make a run copy into its
// own source or delete the main folder as "found only in the mirror".
TEST(TaskFolder, PairProblemTable) {
    using P = TaskFolder::PairProblem;
    const struct {
        const char* main;
        const char* mirror;
        P problem;
    } rows[] = {
        {"/data/album", "/data", P::MirrorAboveMain},      // direct parent
        {"/data/album/sub", "/data", P::MirrorAboveMain},  // more distant ancestor
        {"/data/album/", "/data/", P::MirrorAboveMain},
        {"/data/album", "/", P::MirrorAboveMain},
        {"/data", "/data", P::Same},
        {"/data", "/data/", P::Same},
        {"/data", "/data/backup", P::MirrorInsideMain},
        {"/data", "/database", P::None},  // a prefix of the text, not of the path
        {"/home/u/Photos", "/home/u/Photos-backup", P::None},
        {"/data", "/Data/backup", P::None},  // letter case differs
        {"/data/album", "/backup/album", P::None},
        {"/data/album", "/dat", P::None},
        {"/data/album", "/data/albu", P::None},  // sibling, shorter
        {"/data", "", P::Empty},
        {"", "/backup", P::Empty},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TaskFolder::pairProblem(row.main, row.mirror), row.problem)
            << row.main << " -> " << row.mirror;
        EXPECT_EQ(TaskFolder::isValidPair(row.main, row.mirror), row.problem == P::None)
            << row.main << " -> " << row.mirror;
    }
}

// Two texts that name the same folder, or one inside the other, through a link.
TEST(TaskFolder, PairProblemSeesThroughLinks) {
    testsupport::TempDir dir;
    testsupport::makeDirs(dir / "data/album");
    ASSERT_EQ(::symlink((dir / "data").c_str(), (dir / "link").c_str()), 0);
    using P = TaskFolder::PairProblem;
    EXPECT_EQ(TaskFolder::pairProblem(dir / "data", dir / "link"), P::Same);
    EXPECT_EQ(TaskFolder::pairProblem(dir / "link", dir / "data/album/mirror"),
              P::MirrorInsideMain);
    EXPECT_EQ(TaskFolder::pairProblem(dir / "link/album", dir / "data"), P::MirrorAboveMain);
    EXPECT_EQ(TaskFolder::pairProblem(dir / "link", dir / "database"), P::None);
}

TEST(TaskManager, DefaultNamesFillTheFirstGap) {
    TaskManager manager;
    Task& first = manager.addTask();
    EXPECT_EQ(first.name, "New Task 1");
    EXPECT_EQ(manager.addTask().name, "New Task 2");
    first.name = "New Task 2";
    EXPECT_EQ(manager.addTask().name, "New Task 1");
    EXPECT_EQ(manager.addTask().name, "New Task 3");
    manager.taskList()[1]->name = "new task 2";  // case counts
    EXPECT_EQ(manager.uniqueTaskName(), "New Task 4");
    manager.taskList()[0]->name = "Renamed";
    EXPECT_EQ(manager.uniqueTaskName(), "New Task 2");
}

TEST(TaskManager, FindsTheFirstMatchOrNothing) {
    TaskManager manager;
    Task& a = manager.addTask();
    Task& b = manager.addTask();
    a.name = "Same";
    b.name = "Same";
    EXPECT_EQ(manager.findTaskByName("Same"), &a);
    EXPECT_EQ(manager.findTaskByName("same"), nullptr);
    EXPECT_EQ(manager.findTaskById(b.id), &b);
    b.id = "stored-id";  // as the configuration store replaces it
    EXPECT_EQ(manager.findTaskById("stored-id"), &b);
    EXPECT_EQ(manager.findTaskById("STORED-ID"), nullptr);
}

TEST(TaskManager, RemoveTaskDestroysTheFirstWithTheIdentifier) {
    TaskManager manager;
    Task& a = manager.addTask();
    Task& b = manager.addTask();
    Task& c = manager.addTask();
    const std::string cName = c.name;
    b.id = a.id;
    EXPECT_EQ(manager.removeTask("no such id"), 3u);
    EXPECT_EQ(manager.removeTask(a.id), 2u);
    ASSERT_EQ(manager.taskList().size(), 2u);
    EXPECT_EQ(manager.taskList()[0].get(), &b);
    EXPECT_EQ(manager.taskList()[1]->name, cName);
}

TEST(TaskManager, TasksReadItsClock) {
    const platform::FixedClock clock(platform::makeTime(8, 30));
    TaskManager manager(clock);
    EXPECT_DOUBLE_EQ(manager.addTask().schedule.startTime(), platform::makeTime(8, 30));
}

TEST(Task, VersionsFolderDefaultsToTheFirstMirrorAndIsRefusedNearAMainFolder) {
    Task task;
    EXPECT_EQ(task.versionsFolder(), "") << "off";
    task.versions.enabled = true;
    EXPECT_EQ(task.versionsFolder(), "");
    EXPECT_NE(task.versionsFolderProblem(), "") << "no mirror to put the default folder in";
    TaskFolderItem& first = task.folderList.addItem();
    first.main = "/data/docs";
    first.mirror = "/backup/docs/";
    TaskFolderItem& second = task.folderList.addItem();
    second.main = "/data/photos";
    second.mirror = "/backup/photos";
    EXPECT_EQ(task.versionsFolder(), "/backup/docs/.twinfold-versions");
    EXPECT_EQ(task.versionsFolderProblem(), "");

    const struct {
        const char* folder;
        bool refused;
    } rows[] = {
        {"/backup/kept", false},
        {"/backup/photos/.old", false},  // inside a mirror: never planned there
        {"/data/photos-kept", false},    // only begins with a main folder's text
        {"/data/photos/.versions", true},
        {"/data/docs", true},
        {"/data", true},  // holds main folders
        {"/backup/photos/", true},
        {"/data/./photos//v", true},  // refused once spelt plainly
        {"relative/folder", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        task.versions.folder = row.folder;
        EXPECT_EQ(!task.versionsFolderProblem().empty(), row.refused);
    }
    task.versions.folder = "/backup//kept/./";
    EXPECT_EQ(task.versionsFolder(), "/backup/kept");
    task.versions.enabled = false;
    EXPECT_EQ(task.versionsFolderProblem(), "") << "nothing to refuse when off";
}
