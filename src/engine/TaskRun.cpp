#include "engine/TaskRun.h"

#include <thread>

#include "engine/AppLog.h"
#include "engine/FileInfo.h"
#include "platform/Assert.h"
#include "platform/Text.h"

namespace {

// The rule bits the run reads from the captured policy word.
constexpr std::uint32_t kDeleteMirrorOnly = 0x00100000;
constexpr std::uint32_t kDeleteToRecycleBin = 0x01000000;

bool toRecycleBin(std::uint32_t flags) {
    return (flags & kDeleteMirrorOnly) != 0 && (flags & kDeleteToRecycleBin) != 0;
}

}  // namespace

TaskRun::TaskRun() = default;

TaskRun::~TaskRun() {
    abort();
}

void TaskRun::setPlan(std::unique_ptr<FileItemList> plan) {
    TF_ASSERT(plan != nullptr);
    TF_ASSERT(!isRunning());
    if (m_thread) {
        m_thread->join();
    }
    m_list = std::move(plan);
}

void TaskRun::start(bool simulate) {
    TF_ASSERT(m_list != nullptr);
    if (m_thread) {
        m_thread->join();
        m_thread.reset();
    }
    m_aborting = false;
    m_simulate = simulate;
    m_done = 0;
    m_failed = 0;
    m_skipped = 0;
    m_wasAborted = false;
    {
        std::lock_guard<std::mutex> lock(m_problemMutex);
        m_problems.clear();
    }
    m_thread = std::make_unique<TaskRunThread>(&TaskRun::runBody, this);
    m_thread->resume();
}

void TaskRun::setPaused(bool paused) {
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        m_paused = paused;
    }
    m_pauseChanged.notify_all();
    notifyPause(paused);
}

void TaskRun::abort() {
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        m_aborting = true;
    }
    m_pauseChanged.notify_all();
    wait();
}

void TaskRun::wait() {
    if (m_thread) {
        m_thread->join();
    }
}

void TaskRun::runBody(void* self) {
    static_cast<TaskRun*>(self)->run();
}

void TaskRun::run() {
    FileItemList& list = *m_list;
    UpdateInfo info;
    info.directoryTotal = list.directoryCount();
    info.fileTotal = list.fileCount();

    m_running = true;
    notifyBegin();
    if (!m_simulate) {
        openMirrors();
    }
    for (const FileItem& item : list) {
        {
            std::unique_lock<std::mutex> lock(m_pauseMutex);
            m_pauseChanged.wait(lock, [this] { return !m_paused || m_aborting; });
        }
        if (m_aborting) {
            m_wasAborted = true;
            break;
        }
        info.current = &item;
        if (item.isDirectory) {
            ++info.directoryDone;
        } else {
            ++info.fileDone;
        }
        notifyUpdate(&info);
        execute(item);
    }
    if (!m_simulate) {
        finishMirrors();
    }
    list.releaseMirrors();
    info.current = nullptr;
    m_aborting = false;
    m_running = false;
    notifyEnd();
}

void TaskRun::openMirrors() {
    // A pair whose mirror folder did not exist when the plan was made gets it
    // now; leftovers of killed runs go before anything else is written.
    for (FileItemList::Pair& pair : m_list->pairs) {
        if (pair.skipped) {
            continue;
        }
        if (!pair.tree.valid()) {
            platform::OpResult result = platform::makeDirectories(pair.mirrorRoot);
            if (result.ok()) {
                pair.tree = platform::MirrorTree::open(pair.mirrorRoot, 2000, result);
            }
            if (!result.ok()) {
                logLine("[Error]" + platform::escapeControl(pair.mirrorRoot) + ": " +
                        result.message);
                continue;
            }
        }
        for (const std::string& leftover : pair.leftovers) {
            pair.tree.remove(leftover, false);
        }
    }
}

void TaskRun::finishMirrors() {
    for (FileItemList::Pair& pair : m_list->pairs) {
        if (pair.tree.valid()) {
            pair.tree.finishDirectories();
        }
    }
}

std::vector<RunProblem> TaskRun::problems() const {
    std::lock_guard<std::mutex> lock(m_problemMutex);
    return m_problems;
}

void TaskRun::recordProblem(bool failed, std::string path, std::string reason) {
    RunProblem problem{failed, std::move(path), std::move(reason)};
    if (m_problemSink) {
        m_problemSink(problem);
    }
    std::lock_guard<std::mutex> lock(m_problemMutex);
    if (m_problems.size() < RunResult::kMaxProblems) {
        m_problems.push_back(std::move(problem));
    }
}

void TaskRun::logLine(std::string_view text) {
    AppLog& log = m_log != nullptr ? *m_log : AppLog::instance();
    log.write(std::string(text));
}

void TaskRun::execute(const FileItem& item) {
    std::string line(item.operationName());
    line += platform::escapeControl(item.logPath());
    logLine(line);

    if (item.operation() == opSkip) {
        ++m_skipped;
        if (!item.reason().empty()) {
            logLine("[Error]" + platform::escapeControl(item.source()) + ": " + item.reason());
        }
        recordProblem(false, item.source(), item.reason());
        return;
    }
    if (item.operation() == opExclude) {
        return;
    }
    if (m_simulate) {
        if (m_simulationDelay.count() > 0) {
            std::unique_lock<std::mutex> lock(m_pauseMutex);
            m_pauseChanged.wait_for(lock, m_simulationDelay, [this] { return m_aborting.load(); });
        }
        ++m_done;
        return;
    }
    platform::OpResult result;
    if (perform(item, result)) {
        ++m_done;
        return;
    }
    ++m_failed;
    logLine("[Error]" + platform::escapeControl(item.logPath()) + ": " + result.message);
    recordProblem(true, item.logPath(), result.message);
}

bool TaskRun::perform(const FileItem& item, platform::OpResult& result) {
    const auto index = static_cast<std::size_t>(item.pair);
    if (item.pair < 0 || index >= m_list->pairs.size() || !m_list->pairs[index].tree.valid()) {
        result = platform::OpResult::failure(ENOENT, "mirror folder not available");
        return false;
    }
    platform::MirrorTree& tree = m_list->pairs[index].tree;
    switch (item.operation()) {
        case opCreateFile:
        case opUpdateFile:
            result = tree.copyFile(item.source(), item.target());
            break;
        case opCreateDirectory:
            result = tree.createDirectory(item.source(), item.target());
            break;
        case opDeleteFile:
        case opDeleteDirectory: {
            platform::KeepPredicate keep;
            if (m_list->exclusions.has_value()) {
                const FileExclude* filter = &*m_list->exclusions;
                keep = [filter](const std::string& path, const platform::FindRecord& record) {
                    return filter->isExcluded(FileInfo(path, record));
                };
            }
            result = tree.remove(item.source(), toRecycleBin(m_list->policyFlags), keep);
            break;
        }
        default:
            break;
    }
    return result.ok();
}
