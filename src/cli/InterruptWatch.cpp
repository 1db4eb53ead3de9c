#include "cli/InterruptWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

volatile std::sig_atomic_t g_write = -1;
struct sigaction g_oldInt;
struct sigaction g_oldTerm;

extern "C" void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const auto written = ::write(g_write, &byte, 1);
    errno = saved;
}

}  // namespace

InterruptWatch::InterruptWatch() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // no watch: the signals keep their default effect
    }
    m_read = fds[0];
    m_write = fds[1];
    g_write = m_write;
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_oldInt);
    ::sigaction(SIGTERM, &action, &g_oldTerm);
}

InterruptWatch::~InterruptWatch() {
    if (m_read < 0) {
        return;
    }
    ::sigaction(SIGINT, &g_oldInt, nullptr);
    ::sigaction(SIGTERM, &g_oldTerm, nullptr);
    g_write = -1;
    ::close(m_read);
    ::close(m_write);
}

void InterruptWatch::wake() {
    if (m_write >= 0) {
        const unsigned char zero = 0;
        [[maybe_unused]] const auto written = ::write(m_write, &zero, 1);
    }
}

int InterruptWatch::wait(bool block) {
    if (m_read < 0) {
        return 0;
    }
    for (;;) {
        unsigned char byte = 0;
        const auto n = ::read(m_read, &byte, 1);
        if (n == 1) {
            if (byte != 0 && m_signal == 0) {
                m_signal = byte;
            }
            return byte;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (!block) {
            return 0;
        }
        pollfd fd{m_read, POLLIN, 0};
        ::poll(&fd, 1, -1);
    }
}
