#include "ui/TaskRunBridge.h"

#include <QFile>
#include <QThread>

#include "engine/FileItem.h"
#include "engine/TaskRun.h"

TaskRunBridge::TaskRunBridge(const TaskRun* run, QObject* parent) : QObject(parent), m_run(run) {}

void TaskRunBridge::onUpdate(const UpdateInfo* info) {
    RunProgress progress;
    progress.fileTotal = info->fileTotal;
    progress.directoryTotal = info->directoryTotal;
    progress.fileDone = info->fileDone;
    progress.directoryDone = info->directoryDone;
    if (info->current != nullptr) {
        progress.currentPath =
            QFile::decodeName(QByteArray::fromStdString(info->current->source()));
    }
    const std::uint64_t serial = ++m_latestUpdate;
    QMetaObject::invokeMethod(
        this,
        [this, serial, progress] {
            if (serial == m_latestUpdate.load()) {
                Q_EMIT updated(progress);
            }
        },
        Qt::QueuedConnection);
}

void TaskRunBridge::onBegin() {
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT began(); }, Qt::QueuedConnection);
}

void TaskRunBridge::onEnd() {
    // The counts are final when the run notifies its end.
    RunOutcome outcome;
    outcome.done = m_run->doneCount();
    outcome.failed = m_run->failedCount();
    outcome.skipped = m_run->skippedCount();
    QMetaObject::invokeMethod(
        this, [this, outcome] { Q_EMIT ended(outcome); }, Qt::QueuedConnection);
}

void TaskRunBridge::onPause(bool paused) {
    // Pausing happens on the user-interface thread, which waits for the
    // answer to a question meanwhile: tell the windows at once.
    if (QThread::currentThread() == thread()) {
        Q_EMIT pauseChanged(paused);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, paused] { Q_EMIT pauseChanged(paused); }, Qt::QueuedConnection);
}
