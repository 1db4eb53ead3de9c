#include "engine/TaskRun.h"

#include <thread>

#include "engine/AppLog.h"
#include "engine/FileInfo.h"
#include "model/CopyPolicy.h"
#include "platform/Assert.h"
#include "platform/Text.h"

namespace {

bool toRecycleBin(std::uint32_t flags) {
    CopyPolicy policy;
    policy.setFlags(flags);
    return policy.isDeleteToRecycleBin();
}

std::string errorLine(const std::string& path, const std::string& reason) {
    return "[Error]" + platform::escapeControl(path) + ": " + platform::escapeControl(reason);
}

// Sources outside the pair's main folder (included files) are read by their
// full path.
const platform::SourceTree& sourceFor(const FileItemList::Pair& pair, const std::string& source) {
    static const platform::SourceTree byFullPath = platform::SourceTree::byFullPath();
    return source.starts_with(pair.mainRoot) ? pair.source : byFullPath;
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
    m_pairFailures.assign(list.pairs.size(), std::string());
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
    // Each pair works through the folders opened when its plan was made. When
    // a root's path now leads elsewhere (a link re-pointed, a drive mounted or
    // unmounted there), nothing of the pair is touched. A pair whose mirror
    // folder did not exist gets it now; leftovers of killed runs go before
    // anything else is written.
    for (std::size_t i = 0; i < m_list->pairs.size(); ++i) {
        FileItemList::Pair& pair = m_list->pairs[i];
        if (pair.skipped) {
            continue;
        }
        platform::OpResult result = pair.source.checkRoot();
        if (result.ok() && pair.tree.valid()) {
            result = pair.tree.checkRoot();
        }
        if (!result.ok()) {
            m_pairFailures[i] = result.message;
            pair.tree = platform::MirrorTree();
            continue;
        }
        if (!pair.tree.valid()) {
            result = platform::makeDirectories(pair.mirrorRoot);
            if (result.ok()) {
                pair.tree = platform::MirrorTree::open(pair.mirrorRoot, platform::kMirrorLockWaitMs,
                                                       result);
            }
            if (!result.ok()) {
                logLine(errorLine(pair.mirrorRoot, result.message));
                continue;
            }
        }
        for (const std::string& leftover : pair.leftovers) {
            result = pair.tree.remove(leftover, platform::EntryKind::File, false);
            if (!result.ok()) {
                ++m_failed;
                logLine(errorLine(leftover, result.message));
                recordProblem(true, leftover, result.message);
            }
        }
    }
}

void TaskRun::finishMirrors() {
    for (FileItemList::Pair& pair : m_list->pairs) {
        if (pair.tree.valid()) {
            const platform::OpResult result = pair.tree.finishDirectories(pair.source);
            if (!result.ok()) {
                ++m_failed;
                logLine(errorLine(pair.mirrorRoot, result.message));
                recordProblem(true, pair.mirrorRoot, result.message);
            }
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
        if (item.failure) {
            ++m_failed;
        } else {
            ++m_skipped;
        }
        if (!item.reason().empty()) {
            logLine(errorLine(item.source(), item.reason()));
        }
        recordProblem(item.failure, item.source(), item.reason());
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
    logLine(errorLine(item.logPath(), result.message));
    recordProblem(true, item.logPath(), result.message);
}

bool TaskRun::perform(const FileItem& item, platform::OpResult& result) {
    const auto index = static_cast<std::size_t>(item.pair);
    if (item.pair >= 0 && index < m_pairFailures.size() && !m_pairFailures[index].empty()) {
        result = platform::OpResult::failure(ESTALE, m_pairFailures[index]);
        return false;
    }
    if (item.pair < 0 || index >= m_list->pairs.size() || !m_list->pairs[index].tree.valid()) {
        result = platform::OpResult::failure(ENOENT, "mirror folder not available");
        return false;
    }
    FileItemList::Pair& pair = m_list->pairs[index];
    platform::MirrorTree& tree = pair.tree;
    switch (item.operation()) {
        case opCreateFile:
        case opUpdateFile: {
            const std::string source = item.source();
            result = tree.copyFile(sourceFor(pair, source), source, item.target());
            break;
        }
        case opCreateDirectory: {
            const std::string source = item.source();
            result = tree.createDirectory(sourceFor(pair, source), source, item.target());
            break;
        }
        case opDeleteFile:
        case opDeleteDirectory: {
            platform::KeepPredicate keep;
            if (m_list->exclusions.has_value()) {
                const FileExclude* filter = &*m_list->exclusions;
                keep = [filter](const std::string& path, const platform::FindRecord& record) {
                    return filter->isExcluded(FileInfo(path, record));
                };
            }
            const auto kind = item.operation() == opDeleteDirectory ? platform::EntryKind::Folder
                                                                    : platform::EntryKind::File;
            result = tree.remove(item.source(), kind, toRecycleBin(m_list->policyFlags), keep);
            break;
        }
        default:
            break;
    }
    return result.ok();
}
