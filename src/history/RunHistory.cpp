#include "history/RunHistory.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"

namespace {

using Clock = std::chrono::system_clock;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS runs("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " task_id TEXT NOT NULL, task_name TEXT NOT NULL, origin TEXT NOT NULL,"
    " simulate INTEGER NOT NULL, start_ms INTEGER NOT NULL, end_ms INTEGER NOT NULL,"
    " done INTEGER NOT NULL, failed INTEGER NOT NULL, skipped INTEGER NOT NULL,"
    " aborted INTEGER NOT NULL, held_deletions INTEGER NOT NULL, log_file TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS runs_by_task ON runs(task_id, id);"
    "CREATE TABLE IF NOT EXISTS problems("
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " seq INTEGER NOT NULL, failed INTEGER NOT NULL, path TEXT NOT NULL,"
    " reason TEXT NOT NULL, PRIMARY KEY(run_id, seq)) WITHOUT ROWID;";

constexpr const char* kRunColumns =
    "SELECT id, task_id, task_name, origin, simulate, start_ms, end_ms, done, failed, skipped,"
    " aborted, held_deletions, log_file FROM runs";

std::int64_t toMs(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

Clock::time_point fromMs(std::int64_t ms) {
    return Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(ms)));
}

RunOrigin originFromName(std::string_view name) {
    for (RunOrigin origin :
         {RunOrigin::Button, RunOrigin::Tray, RunOrigin::Schedule, RunOrigin::CommandLine}) {
        if (runOriginName(origin) == name) {
            return origin;
        }
    }
    return RunOrigin::Button;
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Statement prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return Statement(statement);
}

void bindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text != nullptr
               ? std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
               : std::string();
}

// Runs one statement that returns no rows.
bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Ends an open transaction with a rollback unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) { m_open = exec(db, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (m_open) {
            exec(m_db, "ROLLBACK");
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool isOpen() const { return m_open; }
    bool commit() {
        m_open = !exec(m_db, "COMMIT");
        return !m_open;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

}  // namespace

RunHistory::RunHistory(std::string path) : RunHistory(std::move(path), Limits()) {}

RunHistory::RunHistory(std::string path, Limits limits)
    : m_path(std::move(path)), m_limits(limits) {}

RunHistory::~RunHistory() {
    sqlite3_close_v2(m_db);
}

void RunHistory::fail(const std::string& what) {
    std::string detail = what;
    if (m_db != nullptr) {
        detail += ": ";
        detail += sqlite3_errmsg(m_db);
    }
    if (!m_problem.empty()) {
        return;
    }
    m_problem = "run history " + m_path + ": " + detail;
    if (m_reporter) {
        m_reporter(m_problem);
    }
}

bool RunHistory::open() {
    if (m_db != nullptr) {
        return true;
    }
    if (m_failedOpen) {
        return false;  // tried once; a broken file stays broken for this object
    }
    m_failedOpen = true;
    const std::string folder(platform::folderOf(m_path));
    if (!folder.empty()) {
        if (const platform::OpResult made = platform::makeFolders(folder); !made.ok()) {
            fail("cannot make the folder: " + made.message);
            return false;
        }
    }
    int code = openFile();
    // Two first starts at once: switching the journal mode does not wait for
    // the other's lock the way statements do, so try again for a while.
    for (int waited = 0; (code == SQLITE_BUSY || code == SQLITE_LOCKED) && waited < kBusyTimeoutMs;
         waited += kRetryStepMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryStepMs));
        code = openFile();
    }
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
        // A damaged file is kept aside for whoever wants to look at it, and
        // the history starts again rather than stay unusable.
        const std::string aside = m_path + ".damaged";
        if (std::rename(m_path.c_str(), aside.c_str()) == 0) {
            std::remove((m_path + "-wal").c_str());
            std::remove((m_path + "-shm").c_str());
            fail("the file was damaged; it was kept as " + aside + " and a new one started");
            code = openFile();
        }
    }
    if (code != SQLITE_OK) {
        fail("cannot use the file");
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    m_failedOpen = false;
    return true;
}

int RunHistory::openFile() {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        return sqlite3_errcode(m_db);
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // WAL lets a reader go on while another process writes; the schema is
    // made inside a write lock so that two first starts do not collide.
    sqlite3_stmt* mode = nullptr;
    std::string journal;
    if (sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, &mode, nullptr) == SQLITE_OK &&
        sqlite3_step(mode) == SQLITE_ROW) {
        journal = columnText(mode, 0);
    }
    sqlite3_finalize(mode);
    if (journal != "wal") {
        return journal.empty() ? sqlite3_errcode(m_db) : SQLITE_ERROR;
    }
    if (!exec(m_db, "PRAGMA foreign_keys=ON") || !exec(m_db, "PRAGMA synchronous=NORMAL")) {
        return sqlite3_errcode(m_db);
    }
    Transaction transaction(m_db);
    if (!transaction.isOpen() || !exec(m_db, kSchema) || !transaction.commit()) {
        return sqlite3_errcode(m_db);
    }
    return SQLITE_OK;
}

bool RunHistory::record(const RunResult& run) {
    if (!open()) {
        return false;
    }
    Transaction transaction(m_db);
    if (!transaction.isOpen()) {
        fail("cannot write");
        return false;
    }
    Statement insert = prepare(
        m_db,
        "INSERT INTO runs(task_id, task_name, origin, simulate, start_ms, end_ms, done, failed,"
        " skipped, aborted, held_deletions, log_file) VALUES(?,?,?,?,?,?,?,?,?,?,?,?)");
    Statement problem =
        prepare(m_db, "INSERT INTO problems(run_id, seq, failed, path, reason) VALUES(?,?,?,?,?)");
    // Older rows of the task beyond its limit, then beyond the limit in all.
    Statement pruneTask =
        prepare(m_db,
                "DELETE FROM runs WHERE task_id = ?1 AND id <= (SELECT id FROM runs"
                " WHERE task_id = ?1 ORDER BY id DESC LIMIT 1 OFFSET ?2)");
    Statement pruneAll = prepare(
        m_db,
        "DELETE FROM runs WHERE id <= (SELECT id FROM runs ORDER BY id DESC LIMIT 1 OFFSET ?1)");
    if (!insert || !problem || !pruneTask || !pruneAll) {
        fail("cannot write");
        return false;
    }
    bindText(insert.get(), 1, run.taskId);
    bindText(insert.get(), 2, run.taskName);
    bindText(insert.get(), 3, runOriginName(run.origin));
    sqlite3_bind_int(insert.get(), 4, run.simulate ? 1 : 0);
    sqlite3_bind_int64(insert.get(), 5, toMs(run.start));
    sqlite3_bind_int64(insert.get(), 6, toMs(run.end));
    sqlite3_bind_int(insert.get(), 7, run.done);
    sqlite3_bind_int(insert.get(), 8, run.failed);
    sqlite3_bind_int(insert.get(), 9, run.skipped);
    sqlite3_bind_int(insert.get(), 10, run.aborted ? 1 : 0);
    sqlite3_bind_int64(insert.get(), 11, run.heldDeletions);
    bindText(insert.get(), 12, run.logFile);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) {
        fail("cannot write");
        return false;
    }
    const sqlite3_int64 id = sqlite3_last_insert_rowid(m_db);
    const std::size_t count = std::min(run.problems.size(), RunResult::kMaxProblems);
    for (std::size_t i = 0; i < count; ++i) {
        sqlite3_reset(problem.get());
        sqlite3_bind_int64(problem.get(), 1, id);
        sqlite3_bind_int64(problem.get(), 2, static_cast<sqlite3_int64>(i));
        sqlite3_bind_int(problem.get(), 3, run.problems[i].failed ? 1 : 0);
        bindText(problem.get(), 4, run.problems[i].path);
        bindText(problem.get(), 5, run.problems[i].reason);
        if (sqlite3_step(problem.get()) != SQLITE_DONE) {
            fail("cannot write");
            return false;
        }
    }
    bindText(pruneTask.get(), 1, run.taskId);
    sqlite3_bind_int64(pruneTask.get(), 2, static_cast<sqlite3_int64>(m_limits.runsPerTask));
    sqlite3_bind_int64(pruneAll.get(), 1, static_cast<sqlite3_int64>(m_limits.runsInAll));
    if (sqlite3_step(pruneTask.get()) != SQLITE_DONE ||
        sqlite3_step(pruneAll.get()) != SQLITE_DONE || !transaction.commit()) {
        fail("cannot write");
        return false;
    }
    return true;
}

std::vector<RunResult> RunHistory::query(const std::string& sql, std::string_view taskId,
                                         std::size_t limit) {
    std::vector<RunResult> result;
    if (!open()) {
        return result;
    }
    Statement statement = prepare(m_db, sql);
    Statement problems =
        prepare(m_db, "SELECT failed, path, reason FROM problems WHERE run_id = ? ORDER BY seq");
    if (!statement || !problems) {
        fail("cannot read");
        return result;
    }
    // Parameters: ?1 the task (when named in the text), ?2 the limit.
    if (sqlite3_bind_parameter_count(statement.get()) >= 1) {
        bindText(statement.get(), 1, taskId);
    }
    if (sqlite3_bind_parameter_count(statement.get()) >= 2) {
        sqlite3_bind_int64(statement.get(), 2, limit == 0 ? -1 : static_cast<sqlite3_int64>(limit));
    }
    // One read transaction, so that the rows and their problems agree.
    exec(m_db, "BEGIN");
    int step = 0;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = statement.get();
        RunResult& run = result.emplace_back();
        run.taskId = columnText(s, 1);
        run.taskName = columnText(s, 2);
        run.origin = originFromName(columnText(s, 3));
        run.simulate = sqlite3_column_int(s, 4) != 0;
        run.start = fromMs(sqlite3_column_int64(s, 5));
        run.end = fromMs(sqlite3_column_int64(s, 6));
        run.done = sqlite3_column_int(s, 7);
        run.failed = sqlite3_column_int(s, 8);
        run.skipped = sqlite3_column_int(s, 9);
        run.aborted = sqlite3_column_int(s, 10) != 0;
        run.heldDeletions = sqlite3_column_int64(s, 11);
        run.logFile = columnText(s, 12);
        sqlite3_reset(problems.get());
        sqlite3_bind_int64(problems.get(), 1, sqlite3_column_int64(s, 0));
        while (sqlite3_step(problems.get()) == SQLITE_ROW) {
            run.problems.push_back({sqlite3_column_int(problems.get(), 0) != 0,
                                    columnText(problems.get(), 1), columnText(problems.get(), 2)});
        }
    }
    exec(m_db, "COMMIT");
    if (step != SQLITE_DONE) {
        fail("cannot read");
    }
    return result;
}

std::vector<RunResult> RunHistory::runs(std::string_view taskId, std::size_t limit, bool realOnly) {
    std::string sql = kRunColumns;
    sql += taskId.empty() ? " WHERE (?1 IS NOT NULL)" : " WHERE task_id = ?1";
    if (realOnly) {
        sql += " AND simulate = 0";
    }
    sql += " ORDER BY id DESC LIMIT ?2";
    return query(sql, taskId, limit);
}

std::vector<RunResult> RunHistory::latestRuns() {
    std::string sql = kRunColumns;
    sql +=
        " WHERE id IN (SELECT max(id) FROM runs GROUP BY task_id) AND ?1 IS NOT NULL"
        " ORDER BY id DESC LIMIT ?2";
    return query(sql, "", 0);
}

std::optional<std::int64_t> RunHistory::queryTime(const char* sql, std::string_view taskId) {
    if (!open()) {
        return std::nullopt;
    }
    Statement statement = prepare(m_db, sql);
    if (!statement) {
        fail("cannot read");
        return std::nullopt;
    }
    bindText(statement.get(), 1, taskId);
    const int step = sqlite3_step(statement.get());
    if (step == SQLITE_ROW && sqlite3_column_type(statement.get(), 0) != SQLITE_NULL) {
        return sqlite3_column_int64(statement.get(), 0);
    }
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        fail("cannot read");
    }
    return std::nullopt;
}

std::optional<Clock::time_point> RunHistory::lastSuccess(std::string_view taskId) {
    const auto ms = queryTime(
        "SELECT end_ms FROM runs WHERE task_id = ?1 AND simulate = 0 AND failed = 0"
        " AND skipped = 0 AND aborted = 0 ORDER BY id DESC LIMIT 1",
        taskId);
    return ms ? std::optional(fromMs(*ms)) : std::nullopt;
}

std::optional<Clock::time_point> RunHistory::firstRun(std::string_view taskId) {
    const auto ms = queryTime("SELECT min(start_ms) FROM runs WHERE task_id = ?1", taskId);
    return ms ? std::optional(fromMs(*ms)) : std::nullopt;
}

std::string mirrorTaskKey(const std::string& mainFolder, const std::string& mirrorFolder) {
    // FNV-1a over both resolved paths; the separator byte cannot occur in a path.
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
    };
    const auto resolved = [](const std::string& folder) {
        std::string absolute = folder;
        if (!absolute.starts_with('/')) {
            if (const std::string cwd = platform::workingFolder(); !cwd.empty()) {
                absolute = platform::withTrailingSeparator(cwd) + folder;
            }
        }
        std::string path = platform::resolvePath(absolute);
        if (path.empty()) {
            path = absolute;
        }
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        return path;
    };
    add(resolved(mainFolder));
    add(std::string_view("\0", 1));
    add(resolved(mirrorFolder));
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(kMirrorKeyPrefix) + text;
}
