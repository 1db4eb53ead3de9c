#include "platform/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>

namespace platform {

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// The write end the handler uses; -1 while no instance exists.
volatile std::sig_atomic_t g_write = -1;
struct sigaction g_previous[kSignals.size()];

extern "C" void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (g_write >= 0) {
        // Nothing to do when it fails: a byte is pending already.
        [[maybe_unused]] const auto written = ::write(g_write, &byte, 1);
    }
    errno = saved;
}

std::size_t caught(bool hangUp) {
    return hangUp ? kSignals.size() : kSignals.size() - 1;
}

}  // namespace

StopSignals::StopSignals(bool hangUp) : m_hangUp(hangUp) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_read = fds[0];
    m_write = fds[1];
    g_write = m_write;
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < caught(m_hangUp); ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

StopSignals::~StopSignals() {
    if (m_read < 0) {
        return;
    }
    for (std::size_t i = 0; i < caught(m_hangUp); ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    g_write = -1;
    ::close(m_read);
    ::close(m_write);
}

void StopSignals::wake() {
    if (m_write >= 0) {
        const unsigned char zero = 0;
        [[maybe_unused]] const auto written = ::write(m_write, &zero, 1);
    }
}

int StopSignals::next(bool block) {
    if (m_read < 0) {
        return -1;
    }
    for (;;) {
        unsigned char byte = 0;
        const auto n = ::read(m_read, &byte, 1);
        if (n == 1) {
            return byte;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (!block) {
            return -1;
        }
        pollfd fd{m_read, POLLIN, 0};
        ::poll(&fd, 1, -1);
    }
}

}  // namespace platform
