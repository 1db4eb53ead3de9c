#include "cli/InterruptWatch.h"

int InterruptWatch::wait(bool block) {
    const int got = m_signals.next(block);
    if (got > 0 && m_signal == 0) {
        m_signal = got;
    }
    return got > 0 ? got : 0;
}
