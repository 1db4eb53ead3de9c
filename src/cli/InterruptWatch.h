#pragma once

#include "platform/StopSignals.h"

// Turns SIGINT and SIGTERM into a request to stop between items: the thread
// that waits for the run learns of the signal here and stops the run itself.
// One watch at a time; the previous handlers come back when it ends.
class InterruptWatch {
public:
    // Wakes a waiting wait() without a signal (from any thread, e.g. when
    // the run has ended).
    void wake() { m_signals.wake(); }

    // Blocks until a signal or a wake(); returns the signal's number, or 0
    // for a wake. With `block` false, returns at once (0 when nothing came).
    int wait(bool block = true);

    // The first signal received, or 0.
    int signal() const { return m_signal; }

private:
    platform::StopSignals m_signals{false};
    int m_signal = 0;
};
