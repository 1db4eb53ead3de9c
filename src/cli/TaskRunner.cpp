#include "cli/TaskRunner.h"

#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "engine/AppLog.h"
#include "engine/FileItemList.h"
#include "engine/FolderComparer.h"
#include "engine/TaskRun.h"
#include "model/Task.h"
#include "platform/Text.h"

namespace {

std::unique_ptr<FileItemList> makePlan(Task& task) {
    auto list = std::make_unique<FileItemList>(&task);
    FolderComparer comparer(list.get());
    comparer.compareAll();
    return list;
}

// Draws a one-line progress bar on a terminal, at most ten times a second.
class ProgressBar : public TaskRunObserver {
public:
    explicit ProgressBar(std::FILE* err) : m_err(err) {}

    void onBegin() override { m_started = Clock::now(); }
    void onUpdate(const UpdateInfo* info) override {
        const auto now = Clock::now();
        if (info->doneCount() != info->totalCount() &&
            now - m_lastDraw < std::chrono::milliseconds(100)) {
            return;
        }
        m_lastDraw = now;
        const int total = info->totalCount();
        const int done = info->doneCount();
        constexpr int kWidth = 30;
        const int filled = total > 0 ? done * kWidth / total : kWidth;
        const double seconds = std::chrono::duration<double>(now - m_started).count();
        const double rate = seconds > 0 ? done / seconds : 0.0;
        std::string path = platform::escapeControl(info->current->logPath());
        constexpr std::size_t kPathWidth = 40;
        if (path.size() > kPathWidth) {
            path = "..." + path.substr(path.size() - (kPathWidth - 3));
        }
        std::fprintf(m_err, "\r[%s%s] %d/%d %.0f/s %-40s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '.').c_str(), done, total, rate, path.c_str());
        std::fflush(m_err);
        m_drawn = true;
    }
    void onEnd() override {
        if (m_drawn) {
            std::fputc('\n', m_err);
        }
    }
    void onPause(bool) override {}

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* m_err;
    Clock::time_point m_started{};
    Clock::time_point m_lastDraw{};
    bool m_drawn = false;
};

}  // namespace

int TaskRunner::printPlan(Task& task) {
    auto list = makePlan(task);
    for (const FileItem& item : *list) {
        const std::string name(item.operationName());
        std::fprintf(m_out, "%s\t%s\n", name.c_str(),
                     platform::escapeControl(item.logPath()).c_str());
        if (!item.reason().empty()) {
            std::fprintf(m_err, "%s: %s\n", platform::escapeControl(item.source()).c_str(),
                         platform::escapeControl(item.reason()).c_str());
        }
    }
    std::fprintf(m_out, "%d files, %d directories\n", list->fileCount(), list->directoryCount());
    return kAllDone;
}

int TaskRunner::run(Task& task, bool simulate) {
    AppLog& log = AppLog::instance();
    log.configureForRun(task.enableLog, task.logFile);

    TaskRun taskRun;
    taskRun.setSimulationDelay(std::chrono::milliseconds(0));
    ProgressBar bar(m_err);
    if (::isatty(::fileno(m_err))) {
        taskRun.attach(&bar);
    }
    taskRun.setPlan(makePlan(task));
    taskRun.start(simulate);
    taskRun.wait();

    const int failed = taskRun.failedCount();
    const int skipped = taskRun.skippedCount();
    std::fprintf(m_out, "%d done, %d failed, %d skipped%s\n", taskRun.doneCount(), failed, skipped,
                 simulate ? " (simulated)" : "");
    return failed > 0 || skipped > 0 ? kSomeFailed : kAllDone;
}
