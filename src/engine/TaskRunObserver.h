#pragma once

#include <cstdint>
#include <vector>

class FileItem;

// Progress of a run, as the observers see it for each item.
struct UpdateInfo {
    std::int32_t directoryTotal = 0;
    std::int32_t fileTotal = 0;
    std::int32_t fileDone = 0;
    std::int32_t directoryDone = 0;
    // The item being taken up; valid during the notification only.
    const FileItem* current = nullptr;

    std::int32_t totalCount() const { return directoryTotal + fileTotal; }
    std::int32_t doneCount() const { return fileDone + directoryDone; }
};

// Watches a run. Called on the run's worker thread (onPause on the thread
// that pauses), synchronously: the run waits for the observer.
class TaskRunObserver {
public:
    virtual ~TaskRunObserver() = default;
    virtual void onUpdate(const UpdateInfo* info) = 0;
    virtual void onBegin() = 0;
    virtual void onEnd() = 0;
    virtual void onPause(bool paused) = 0;
};

// The observers of a run and the four notifications. Observers are not owned
// and stay attached for the subject's life.
class TaskRunSubject {
public:
    // The observer must not be null; one attached twice is notified twice.
    void attach(TaskRunObserver* observer);

    void notifyUpdate(const UpdateInfo* info);
    void notifyBegin();
    void notifyEnd();
    void notifyPause(bool paused);

private:
    std::vector<TaskRunObserver*> m_observers;
};
