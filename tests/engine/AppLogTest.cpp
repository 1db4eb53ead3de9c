#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/AppLog.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "support/TempTree.h"

using testsupport::pathExists;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

const std::string kBegin = "\n---BEGIN---\n";

std::string libraryPath() {
    return platform::programFolder() + AppLog::kLibraryName;
}

// An AppLog over the library built beside the tests, with a clock stopped at
// 3 February, 09:05:07.
class AppLogTest : public ::testing::Test {
protected:
    AppLogTest()
        : clock(platform::makeDateTime(2024, 2, 3, 9, 5, 7)),
          log(
              libraryPath(), [this](const std::string& m) { messages.push_back(m); }, clock) {}

    void SetUp() override { ASSERT_TRUE(log.hasWriter()); }

    TempDir dir;
    std::vector<std::string> messages;
    platform::FixedClock clock;
    AppLog log;
};

// Runs the test's body with `folder` as the working directory.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::string& folder) : m_old(get_current_dir_name()) {
        EXPECT_EQ(::chdir(folder.c_str()), 0);
    }
    ~ScopedWorkingFolder() {
        EXPECT_EQ(::chdir(m_old), 0);
        std::free(m_old);
    }

private:
    char* m_old;
};

}  // namespace

TEST_F(AppLogTest, ALogThatIsNotEnabledWritesNothing) {
    const std::string path = dir / "task.log";
    log.configureForRun(false, path);
    log.write("[Create file]/mirror/a");
    log.writeRaw("raw");
    EXPECT_FALSE(log.enabled);
    EXPECT_FALSE(pathExists(path));
    EXPECT_TRUE(messages.empty());
}

TEST_F(AppLogTest, ARunWritesTheBeginMarkerThenOneStampedLinePerEntry) {
    const std::string path = dir / "task.log";
    log.configureForRun(true, path);
    EXPECT_TRUE(log.enabled);
    EXPECT_EQ(log.logFile(), path);
    EXPECT_EQ(readFile(path), kBegin);  // an empty plan leaves only the marker

    log.write("[Delete file]/mirror/old file.txt");
    clock.advanceSeconds(3600 * 14 + 60 * 54 + 52);  // 23:59:59
    log.write("[Skip]/main/x");
    const std::string firstRun = kBegin + "02-03 09:05:07\t[Delete file]/mirror/old file.txt\n" +
                                 "02-03 23:59:59\t[Skip]/main/x\n";
    EXPECT_EQ(readFile(path), firstRun);

    // The next run of the task appends to the same file.
    clock.set(platform::makeDateTime(2024, 12, 31, 0, 0, 0));
    log.configureForRun(true, path);
    log.write("[Create directory]/mirror/d");
    EXPECT_EQ(readFile(path), firstRun + kBegin + "12-31 00:00:00\t[Create directory]/mirror/d\n");
}

TEST_F(AppLogTest, LinesFromTheWorkerThreadAllLandInOrder) {
    const std::string path = dir / "task.log";
    log.configureForRun(true, path);
    const int count = 20000;
    std::thread worker([&] {
        for (int i = 0; i < count; ++i) {
            log.write("[Update file]/m/" + std::to_string(i));
        }
    });
    worker.join();
    std::string expected = kBegin;
    for (int i = 0; i < count; ++i) {
        expected += "02-03 09:05:07\t[Update file]/m/" + std::to_string(i) + "\n";
    }
    const std::string written = readFile(path);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

TEST_F(AppLogTest, EachRunWritesToItsOwnTasksFile) {
    const std::string a = dir / "a.log";
    const std::string b = dir / "b.log";
    log.configureForRun(true, a);
    log.write("one");
    log.configureForRun(true, b);
    log.write("two");
    log.configureForRun(true, a);
    log.write("three");
    EXPECT_EQ(readFile(a), kBegin + "02-03 09:05:07\tone\n" + kBegin + "02-03 09:05:07\tthree\n");
    EXPECT_EQ(readFile(b), kBegin + "02-03 09:05:07\ttwo\n");
}

// A task whose log folder is missing writes no log; its lines must not go to
// the file of the task that ran before.
TEST_F(AppLogTest, ARunWhoseLogFolderIsMissingWritesNoLog) {
    testsupport::makeTree(dir.path(), "work/\nnot-a-folder=x\n");
    const std::string previous = dir / "previous.log";
    const ScopedWorkingFolder inWork(dir / "work");
    for (const std::string& path : {dir / "missing/task.log", dir / "not-a-folder/task.log",
                                    std::string("task.log"), std::string()}) {
        SCOPED_TRACE(path);
        log.configureForRun(true, previous);
        log.write("before");
        const std::string before = readFile(previous);

        log.configureForRun(true, path);
        log.write("lost");
        EXPECT_FALSE(log.enabled);
        EXPECT_EQ(readFile(previous), before);
        EXPECT_FALSE(pathExists(dir / "missing"));
        EXPECT_FALSE(pathExists(dir / "work/task.log"));
    }
}

TEST_F(AppLogTest, ALogFolderReachedThroughALinkCounts) {
    testsupport::makeTree(dir.path(), "logs/\nlink->logs\n");
    log.configureForRun(true, dir / "link/task.log");
    log.write("entry");
    EXPECT_EQ(readFile(dir / "logs/task.log"), kBegin + "02-03 09:05:07\tentry\n");
}

// Each line is in the file when write() returns: a process killed right
// after keeps all of them.
TEST_F(AppLogTest, AProcessKilledRightAfterWritingLosesNoLine) {
    const std::string path = dir / "task.log";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        log.configureForRun(true, path);
        log.write("first");
        log.write("second");
        ::kill(::getpid(), SIGKILL);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readFile(path), kBegin + "02-03 09:05:07\tfirst\n02-03 09:05:07\tsecond\n");
}

TEST(AppLog, AMissingLibraryIsReportedOnceAndNothingIsWritten) {
    TempDir dir;
    std::vector<std::string> messages;
    const platform::FixedClock clock;
    AppLog log(
        dir / "libLogDll.so", [&](const std::string& m) { messages.push_back(m); }, clock);
    EXPECT_FALSE(log.hasWriter());
    const std::string path = dir / "task.log";
    for (int run = 0; run < 2; ++run) {
        log.configureForRun(true, path);
        EXPECT_FALSE(log.enabled) << "the log is off, so no run points at its file";
        log.write("entry");
    }
    EXPECT_FALSE(pathExists(path));
    EXPECT_EQ(messages, std::vector<std::string>{"Can't load libLogDll.so, task log is disabled"});
}

TEST(AppLog, ALibraryWithoutTheFunctionWritesNothingAndSaysNothing) {
    TempDir dir;
    int messages = 0;
    const platform::FixedClock clock;
    AppLog log(
        "libm.so.6", [&](const std::string&) { ++messages; }, clock);
    EXPECT_FALSE(log.hasWriter());
    log.configureForRun(true, dir / "task.log");
    log.write("entry");
    EXPECT_FALSE(pathExists(dir / "task.log"));
    EXPECT_EQ(messages, 0);
}

TEST(AppLog, TheInstanceLoadsTheLibraryBesideTheProgram) {
    int messages = 0;
    AppLog::setLoadFailureNotifier([&](const std::string&) { ++messages; });
    AppLog& log = AppLog::instance();
    EXPECT_EQ(&log, &AppLog::instance());
    EXPECT_TRUE(log.hasWriter());
    EXPECT_FALSE(log.enabled);
    EXPECT_TRUE(log.logFile().empty());
    EXPECT_EQ(messages, 0);
    AppLog::setLoadFailureNotifier(nullptr);
}
