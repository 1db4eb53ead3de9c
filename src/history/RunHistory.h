#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/RunResult.h"

struct sqlite3;

// The runs of every task, one row each, kept in an SQLite file that several
// processes (the windows and command lines from cron) write at once.
//
// A history never stops a run: every call catches its own failures (a
// read-only folder, a damaged file, a lock held too long), answers with
// false or nothing, and tells the first failure once through the reporter.
// The file is opened on first use. Not thread-safe: one object per thread.
class RunHistory {
public:
    struct Limits {
        std::size_t runsPerTask = 1000;
        std::size_t runsInAll = 100000;
    };
    using Reporter = std::function<void(const std::string& problem)>;

    static constexpr std::string_view kFileName = "history.db";
    // How long a write waits for another process's write to end.
    static constexpr int kBusyTimeoutMs = 10000;
    static constexpr int kRetryStepMs = 20;

    explicit RunHistory(std::string path);
    RunHistory(std::string path, Limits limits);
    ~RunHistory();
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;

    const std::string& path() const { return m_path; }

    // Called once, with the first failure.
    void setReporter(Reporter reporter) { m_reporter = std::move(reporter); }
    // The first failure, empty while there was none.
    const std::string& problem() const { return m_problem; }

    // Adds one row and prunes the oldest beyond the limits.
    bool record(const RunResult& run);

    // The runs of a task (every task when `taskId` is empty), newest first,
    // at most `limit` of them (0: all); only real runs when `realOnly`.
    std::vector<RunResult> runs(std::string_view taskId, std::size_t limit = 0,
                                bool realOnly = false);
    // The newest run of each task that has one, newest first.
    std::vector<RunResult> latestRuns();
    // The end of the newest real run that ended with nothing failed, skipped
    // or aborted.
    std::optional<std::chrono::system_clock::time_point> lastSuccess(std::string_view taskId);
    // The start of the oldest run kept for the task.
    std::optional<std::chrono::system_clock::time_point> firstRun(std::string_view taskId);

private:
    bool open();
    // Opens the file and sets it up; an SQLite result code.
    int openFile();
    void fail(const std::string& what);
    std::vector<RunResult> query(const std::string& sql, std::string_view taskId,
                                 std::size_t limit);
    std::optional<std::int64_t> queryTime(const char* sql, std::string_view taskId);

    std::string m_path;
    Limits m_limits;
    sqlite3* m_db = nullptr;
    bool m_failedOpen = false;
    std::string m_problem;
    Reporter m_reporter;
};

// A task key for runs of a task made from command-line arguments: the same
// for the same folders on every call, whatever the current folder.
std::string mirrorTaskKey(const std::string& mainFolder, const std::string& mirrorFolder);
inline constexpr std::string_view kMirrorKeyPrefix = "mirror-";
