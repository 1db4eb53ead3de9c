#include "engine/TaskRun.h"

#include <thread>

#include "engine/AppLog.h"
#include "engine/MirrorMemory.h"
#include "model/CopyPolicy.h"
#include "platform/Assert.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "snapshot/FileInfo.h"
#include "versions/Versions.h"

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
    const platform::Clock& clock = m_clock != nullptr ? *m_clock : platform::Clock::system();
    m_keeper.reset();
    m_pruner.reset();
    if (keepsVersions()) {
        const platform::DateTime start = clock.now();
        m_keeper = std::make_unique<versions::RunKeeper>(list.versions.folder, start);
        if (!m_simulate) {
            m_pruner = std::make_unique<versions::Pruner>(
                list.versions.folder, list.versions.keepDays, list.versions.keepVersions);
            m_pruner->listAhead(start);
        }
    }
    m_pairFailures.assign(list.pairs.size(), std::string());
    m_pairChanged.assign(list.pairs.size(), 0);
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
        if (!m_wasAborted && m_failed == 0) {
            rememberAttributesChecked();
        }
        if (m_pruner && !m_wasAborted && m_failed == 0) {
            pruneVersions();
        }
    }
    m_keeper.reset();
    m_pruner.reset();
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
        if (!pair.tree.valid() || !pair.leftovers.empty() || !pair.folderRepairs.empty()) {
            m_pairChanged[i] = 1;
        }
        if (!pair.tree.valid()) {
            // Owner-only until it gets main's bits at the end of the run.
            result = platform::makeFolders(pair.mirrorRoot);
            if (result.ok()) {
                pair.tree = platform::MirrorTree::open(pair.mirrorRoot, platform::kMirrorLockWaitMs,
                                                       result);
            }
            if (!result.ok()) {
                logLine(errorLine(pair.mirrorRoot, result.message));
                continue;
            }
        }
        // A mirror made now was not there to learn from when the plan was
        // made: what it keeps is learned for the plans to come.
        if (!pair.timePrecisionLearned && m_list->mirrorMemory != nullptr) {
            if (const std::uint64_t learned = pair.tree.learnTimePrecision(); learned != 0) {
                pair.timePrecisionLearned = true;
                m_list->mirrorMemory->remember(platform::fileSystemKey(pair.tree.fd()), learned);
            }
        }
        // The root is compared on every run; the trash may live in it.
        pair.tree.finishLater(pair.mirrorRoot);
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
    // Folders get main's bits, owner and times once their content is done:
    // those the run made or changed, and those the plan found different.
    const auto failed = [this](const std::string& target, const platform::OpResult& result) {
        ++m_failed;
        logLine(errorLine(target, result.message));
        recordProblem(true, target, result.message);
    };
    for (FileItemList::Pair& pair : m_list->pairs) {
        if (pair.tree.valid()) {
            for (const std::string& folder : pair.folderRepairs) {
                pair.tree.finishLater(folder);
            }
            // Each failure went to `failed`.
            [[maybe_unused]] const platform::OpResult first =
                pair.tree.finishDirectories(pair.source, failed);
        }
    }
    // Nothing is reported done before it is on the drive: a drive pulled
    // right after the run must not hold files whose size and time look right
    // and whose content is missing, which later runs would never copy again.
    // A mirror the run changed nothing in is not flushed: a flush waits for
    // everything pending on that drive, and what the run did there (the
    // probe of its time precision, the top folder's times given back) the
    // next run checks and does again.
    std::vector<std::uint64_t> flushed;
    for (std::size_t i = 0; i < m_list->pairs.size(); ++i) {
        FileItemList::Pair& pair = m_list->pairs[i];
        if (pair.tree.valid() && m_pairChanged[i] != 0) {
            const platform::OpResult result = pair.tree.flush();
            if (!result.ok()) {
                ++m_failed;
                logLine(errorLine(pair.mirrorRoot, result.message));
                recordProblem(true, pair.mirrorRoot, result.message);
            } else if (platform::FileIdentity identity;
                       platform::identityOf(pair.tree.fd(), identity)) {
                flushed.push_back(identity.device);
            }
        }
    }
    // What replaced and deleted files went to is as precious as the mirror:
    // often their only copy.
    if (m_keeper) {
        const platform::OpResult result = m_keeper->flush(flushed);
        if (!result.ok()) {
            ++m_failed;
            logLine(errorLine(m_list->versions.folder, result.message));
            recordProblem(true, m_list->versions.folder, result.message);
        }
    }
}

void TaskRun::rememberAttributesChecked() {
    if (m_list->mirrorMemory == nullptr) {
        return;
    }
    for (const FileItemList::Pair& pair : m_list->pairs) {
        if (!pair.attributesKey.empty() && !pair.skipped) {
            m_list->mirrorMemory->remember(pair.attributesKey, pair.attributesCheckTime);
        }
    }
}

bool TaskRun::keepsVersions() const {
    return !m_list->versions.folder.empty();
}

void TaskRun::pruneVersions() {
    const platform::Clock& clock = m_clock != nullptr ? *m_clock : platform::Clock::system();
    const versions::PruneResult pruned = m_pruner->prune(clock.now());
    // Old versions left in place harm nothing: reported, the run stays a success.
    for (const std::string& problem : pruned.problems) {
        logLine("[Error]" + platform::escapeControl(problem) + ": not pruned");
        recordProblem(false, problem, "an old version could not be pruned");
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
    const bool keeps =
        m_keeper && (item.operation() == opDeleteFile || item.operation() == opDeleteDirectory ||
                     (item.operation() == opUpdateFile && !item.isDirectory));
    if (keeps) {
        // The mirror entry: a deletion's source, an update's target.
        const std::string& kept = item.operation() == opUpdateFile ? item.target() : item.source();
        logLine("[Keep version]" + platform::escapeControl(kept));
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
    m_pairChanged[index] = 1;
    switch (item.operation()) {
        case opCreateFile:
        case opUpdateFile: {
            const std::string source = item.source();
            // Metadata alone changes in place: nothing is replaced, so
            // nothing goes into the versions folder.
            if (item.attributesOnly) {
                result = tree.copyAttributes(sourceFor(pair, source), source, item.target());
                break;
            }
            if (item.operation() == opCreateFile || !m_keeper ||
                !item.target().starts_with(pair.mirrorRoot)) {
                result = tree.copyFile(sourceFor(pair, source), source, item.target());
                break;
            }
            // The old file goes into the versions folder only once the new
            // content is complete beside it, and just before that takes its
            // place: a kill leaves the old content in one place or the other.
            const std::string relative = item.target().substr(pair.mirrorRoot.size());
            result =
                tree.copyFile(sourceFor(pair, source), source, item.target(),
                              [&](int folder, const std::string& name) {
                                  return m_keeper->keep(pair.versionsName, folder, name, relative);
                              });
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
            result = removeOrKeep(item, tree, keep);
            break;
        }
        default:
            break;
    }
    return result.ok();
}

platform::OpResult TaskRun::removeOrKeep(const FileItem& item, platform::MirrorTree& tree,
                                         const platform::KeepPredicate& keep) {
    const auto kind = item.operation() == opDeleteDirectory ? platform::EntryKind::Folder
                                                            : platform::EntryKind::File;
    if (!m_keeper) {
        return tree.remove(item.source(), kind, toRecycleBin(m_list->policyFlags), keep);
    }
    // With versions on, what a deletion removes goes into the versions folder
    // instead of the trash; only the emptied folders are removed for good.
    const FileItemList::Pair& pair = m_list->pairs[static_cast<std::size_t>(item.pair)];
    const std::string& path = item.source();
    if (!path.starts_with(pair.mirrorRoot)) {
        return platform::OpResult::failure(EINVAL, "not beneath the mirror folder");
    }
    const std::string relative = path.substr(pair.mirrorRoot.size());
    platform::OpResult result =
        m_keeper->keepEntry(pair.versionsName, tree.fd(), pair.mirrorRoot, relative, kind, keep);
    if (!result.ok()) {
        return result;  // nothing not kept is removed
    }
    if (kind == platform::EntryKind::File) {
        return result;
    }
    // Only folders are left, and what `keep` holds back.
    const platform::KeepPredicate foldersOnly = [&keep](const std::string& entryPath,
                                                        const platform::FindRecord& record) {
        const bool isFolder = (record.attributes & platform::kAttrDirectory) != 0 &&
                              (record.attributes & platform::kAttrSymlink) == 0;
        return !isFolder || (keep && keep(entryPath, record));
    };
    return tree.remove(path, platform::EntryKind::Folder, false, foldersOnly);
}
