#pragma once

#include <cstdio>
#include <vector>

#include "cli/ExitStatus.h"
#include "engine/RunResult.h"
#include "engine/RunStarter.h"

class RunHistory;
class Task;
class MirrorMemory;

// Plans a task and prints or carries out the plan, for the command line.
class TaskRunner {
public:
    enum class Verbosity { Quiet, Normal, Verbose };

    TaskRunner(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    // The deletion limit of the runs; the general setting's by default.
    void setDeleteLimit(const DeleteLimit& limit) { m_limit = limit; }
    // Quiet: problems only, no progress and no summary. Verbose: each item
    // on the output as it is taken up.
    void setVerbosity(Verbosity verbosity) { m_verbosity = verbosity; }
    // One JSON object on the output at the end instead of the text.
    void setJson(bool json) { m_json = json; }
    // Where each run() records its result; none by default.
    void setHistory(RunHistory* history) { m_history = history; }

    // What real runs learned of mirror file systems; plans read it, real
    // runs add to it. None by default.
    void setMirrorMemory(MirrorMemory* memory) { m_mirrorMemory = memory; }

    // Prints one line per item (the operation's name, a tab, the path the
    // task log shows), then the counts, and on the error stream the reasons
    // of skips and the pairs whose deletions a run would hold back. Changes
    // nothing. Returns kSomeFailed when the plan holds skips.
    int printPlan(Task& task);

    // Carries the plan out (or simulates it, without pausing per item). On a
    // terminal, shows progress on the error stream. Ends with one summary
    // line; returns kAllDone, or kSomeFailed when an operation failed or an
    // item was skipped. Each problem goes to the error stream as it happens.
    // A real run holds back the deletions of a pair over the deletion limit
    // and reports them as skipped. SIGINT and SIGTERM stop the run between
    // items; it then returns 128 plus the signal's number.
    int run(Task& task, bool simulate);

    // The result of the latest run().
    const RunResult& result() const { return m_result; }

private:
    void printJsonResult(const std::vector<RunProblem>& problems, int status) const;
    void record();

    std::FILE* m_out;
    std::FILE* m_err;
    DeleteLimit m_limit;
    Verbosity m_verbosity = Verbosity::Normal;
    bool m_json = false;
    RunHistory* m_history = nullptr;
    MirrorMemory* m_mirrorMemory = nullptr;
    RunResult m_result;
};
