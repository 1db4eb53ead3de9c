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

// An observer that forwards each notification to a plain function with a
// context pointer.
class TaskRunAdapter : public TaskRunObserver {
public:
    using UpdateHandler = void (*)(void* context, const UpdateInfo* info);
    using BeginHandler = void (*)(void* context);
    using EndHandler = void (*)(void* context);
    using PauseHandler = void (*)(void* context, bool paused);

    void setUpdateHandler(UpdateHandler handler, void* context);
    void setBeginHandler(BeginHandler handler, void* context);
    void setEndHandler(EndHandler handler, void* context);
    void setPauseHandler(PauseHandler handler, void* context);

    void onUpdate(const UpdateInfo* info) override;
    void onBegin() override;
    void onEnd() override;
    void onPause(bool paused) override;

private:
    UpdateHandler m_update = nullptr;
    void* m_updateContext = nullptr;
    BeginHandler m_begin = nullptr;
    void* m_beginContext = nullptr;
    EndHandler m_end = nullptr;
    void* m_endContext = nullptr;
    PauseHandler m_pause = nullptr;
    void* m_pauseContext = nullptr;
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
