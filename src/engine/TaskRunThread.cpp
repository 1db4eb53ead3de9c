#include "engine/TaskRunThread.h"

TaskRunThread::TaskRunThread(Routine routine, void* argument)
    : m_routine(routine), m_argument(argument) {}

TaskRunThread::~TaskRunThread() {
    join();
}

void TaskRunThread::resume() {
    if (!m_thread.joinable()) {
        m_thread = std::thread(m_routine, m_argument);
    }
}

void TaskRunThread::join() {
    if (m_thread.joinable() && !isCurrent()) {
        m_thread.join();
    }
}
