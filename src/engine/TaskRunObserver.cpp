#include "engine/TaskRunObserver.h"

#include "platform/Assert.h"

void TaskRunAdapter::setUpdateHandler(UpdateHandler handler, void* context) {
    m_update = handler;
    m_updateContext = context;
}

void TaskRunAdapter::setBeginHandler(BeginHandler handler, void* context) {
    m_begin = handler;
    m_beginContext = context;
}

void TaskRunAdapter::setEndHandler(EndHandler handler, void* context) {
    m_end = handler;
    m_endContext = context;
}

void TaskRunAdapter::setPauseHandler(PauseHandler handler, void* context) {
    m_pause = handler;
    m_pauseContext = context;
}

void TaskRunAdapter::onUpdate(const UpdateInfo* info) {
    if (m_update != nullptr) {
        m_update(m_updateContext, info);
    }
}

void TaskRunAdapter::onBegin() {
    if (m_begin != nullptr) {
        m_begin(m_beginContext);
    }
}

void TaskRunAdapter::onEnd() {
    if (m_end != nullptr) {
        m_end(m_endContext);
    }
}

void TaskRunAdapter::onPause(bool paused) {
    if (m_pause != nullptr) {
        m_pause(m_pauseContext, paused);
    }
}

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
