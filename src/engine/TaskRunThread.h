#pragma once

#include <thread>

// The worker thread of a run: made suspended with a routine and its argument,
// started by resume(), which calls the routine once.
class TaskRunThread {
public:
    using Routine = void (*)(void* argument);

    TaskRunThread(Routine routine, void* argument);
    // Waits for the thread when it was started.
    ~TaskRunThread();
    TaskRunThread(const TaskRunThread&) = delete;
    TaskRunThread& operator=(const TaskRunThread&) = delete;

    void resume();
    // Waits until the routine has returned; does nothing when not started or
    // when called from the thread itself.
    void join();
    bool isCurrent() const { return m_thread.get_id() == std::this_thread::get_id(); }

private:
    Routine m_routine;
    void* m_argument;
    std::thread m_thread;
};
