#pragma once

namespace platform {

// Turns the signals that ask the program to stop (SIGINT and SIGTERM, and
// SIGHUP when asked for) into bytes on a pipe, read outside the handler: the
// handler only writes the signal's number, which is safe in a handler. An
// event loop watches readFd(); a thread may wait in next(). One instance at a
// time; the previous handlers come back when it goes.
class StopSignals {
public:
    // With `hangUp`, SIGHUP (the session or the terminal went away) counts
    // too.
    explicit StopSignals(bool hangUp);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the pipe could not be made; the signals then keep their
    // default effect.
    bool valid() const { return m_read >= 0; }

    // The end that turns readable when a signal or a wake() came.
    int readFd() const { return m_read; }

    // Makes a waiting next() return 0 without a signal; from any thread.
    void wake();

    // What came next: a signal's number, or 0 for a wake(). Waits for it when
    // `block`; else -1 when nothing is pending. -1 at once when not valid().
    int next(bool block);

private:
    int m_read = -1;
    int m_write = -1;
    bool m_hangUp;
};

}  // namespace platform
