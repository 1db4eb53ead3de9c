#include "engine/TaskRunObserver.h"

#include "platform/Assert.h"

void TaskRunSubject::attach(TaskRunObserver* observer) {
    TF_ASSERT(observer != nullptr);
    m_observers.push_back(observer);
}

void TaskRunSubject::notifyUpdate(const UpdateInfo* info) {
    for (TaskRunObserver* o : m_observers) {
        o->onUpdate(info);
    }
}

void TaskRunSubject::notifyBegin() {
    for (TaskRunObserver* o : m_observers) {
        o->onBegin();
    }
}

void TaskRunSubject::notifyEnd() {
    for (TaskRunObserver* o : m_observers) {
        o->onEnd();
    }
}

void TaskRunSubject::notifyPause(bool paused) {
    for (TaskRunObserver* o : m_observers) {
        o->onPause(paused);
    }
}
