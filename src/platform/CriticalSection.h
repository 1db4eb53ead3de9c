#pragma once

#include <mutex>

namespace platform {

// A lock held for short stretches by one thread at a time.
class CriticalSection {
public:
    void enter() { m_mutex.lock(); }
    void leave() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

// Enters the section when made and leaves it when destroyed, on every path
// out of the scope.
class AutoCritical {
public:
    explicit AutoCritical(CriticalSection& section) : m_section(section) { m_section.enter(); }
    ~AutoCritical() { m_section.leave(); }
    AutoCritical(const AutoCritical&) = delete;
    AutoCritical& operator=(const AutoCritical&) = delete;

private:
    CriticalSection& m_section;
};

}  // namespace platform
