#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <string>
#include <utility>

#include "platform/FileLock.h"
#include "platform/SharedLibrary.h"
#include "platform/StopSignals.h"
#include "support/TempTree.h"

using platform::FileLock;
using testsupport::TempDir;

TEST(FileLock, OneHolderAtATimeUntilItGoes) {
    TempDir dir;
    const std::string path = dir / "app.lock";
    FileLock later;
    {
        FileLock first;
        ASSERT_EQ(first.acquire(path), FileLock::Result::Acquired);
        FileLock second;
        EXPECT_EQ(second.acquire(path), FileLock::Result::Taken);
        EXPECT_FALSE(second.held());
        FileLock moved = std::move(first);
        EXPECT_TRUE(moved.held());
        EXPECT_EQ(second.acquire(path), FileLock::Result::Taken) << "a move keeps the lock";
    }
    EXPECT_EQ(later.acquire(path), FileLock::Result::Acquired);
    EXPECT_EQ(FileLock().acquire(dir / "missing/app.lock"), FileLock::Result::Unavailable);
}

namespace {

volatile std::sig_atomic_t g_outsideHandlerRan = 0;
extern "C" void outsideHandler(int) {
    g_outsideHandlerRan = 1;
}

// Installs outsideHandler for `signal` for a scope, default after it.
class OutsideHandler {
public:
    explicit OutsideHandler(int signal) : m_signal(signal) {
        g_outsideHandlerRan = 0;
        std::signal(signal, &outsideHandler);
    }
    ~OutsideHandler() { std::signal(m_signal, SIG_DFL); }
    OutsideHandler(const OutsideHandler&) = delete;
    OutsideHandler& operator=(const OutsideHandler&) = delete;

private:
    int m_signal;
};

}  // namespace

TEST(StopSignals, CaughtSignalsAndWakesArriveInOrderAndTheOldHandlersComeBack) {
    const OutsideHandler term(SIGTERM);
    const OutsideHandler hangUp(SIGHUP);
    {
        platform::StopSignals signals(false);
        ASSERT_TRUE(signals.valid());
        EXPECT_EQ(signals.next(false), -1) << "nothing came yet";
        std::raise(SIGTERM);
        signals.wake();
        std::raise(SIGINT);
        std::raise(SIGHUP);  // not asked for: the outside handler has it
        EXPECT_EQ(signals.next(false), SIGTERM);
        EXPECT_EQ(signals.next(true), 0);
        EXPECT_EQ(signals.next(true), SIGINT);
        EXPECT_EQ(signals.next(false), -1);
        EXPECT_EQ(g_outsideHandlerRan, 1);
    }
    {
        platform::StopSignals signals(true);
        std::raise(SIGHUP);
        EXPECT_EQ(signals.next(false), SIGHUP);
    }
    g_outsideHandlerRan = 0;
    std::raise(SIGTERM);
    EXPECT_EQ(g_outsideHandlerRan, 1) << "the handler from before is back";
}

TEST(SharedLibrary, FindsFunctionsAndTellsWhyALibraryDidNotLoad) {
    const platform::SharedLibrary libc("libc.so.6");
    ASSERT_TRUE(libc.loaded()) << libc.error();
    const auto length = libc.function<std::size_t (*)(const char*)>("strlen");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length("four"), 4u);
    EXPECT_EQ(libc.symbol("no_such_function_anywhere"), nullptr);

    TempDir dir;
    platform::SharedLibrary missing(dir / "missing.so");
    EXPECT_FALSE(missing.loaded());
    EXPECT_THAT(missing.error(), ::testing::HasSubstr("missing.so"));
    EXPECT_EQ(missing.symbol("strlen"), nullptr);
}
