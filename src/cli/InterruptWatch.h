#pragma once

// Turns SIGINT and SIGTERM into a request to stop between items. The handlers
// only write the signal's number to a pipe, which is async-signal-safe; the
// thread that waits for the run reads the pipe and stops the run itself.
// One watch at a time; the previous handlers come back when it ends.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Wakes a waiting wait() without a signal (from any thread, e.g. when
    // the run has ended).
    void wake();

    // Blocks until a signal or a wake(); returns the signal's number, or 0
    // for a wake. With `block` false, returns at once (0 when nothing came).
    int wait(bool block = true);

    // The first signal received, or 0.
    int signal() const { return m_signal; }

private:
    int m_read = -1;
    int m_write = -1;
    int m_signal = 0;
};
