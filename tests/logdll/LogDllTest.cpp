#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/ProgramFolder.h"
#include "support/TempTree.h"

using testsupport::readFile;
using testsupport::TempDir;

namespace {

using LogWriteFn = void (*)(const char*, const char*);

// Loads the built library from the test's own folder, as the programs do, and
// unloads it at the end of each test.
class LogDll : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = platform::programFolder() + "libLogDll.so";
        m_library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << ::dlerror();
        logWrite = reinterpret_cast<LogWriteFn>(::dlsym(m_library, "LogWrite"));
        ASSERT_NE(logWrite, nullptr);
    }
    void TearDown() override { unload(); }

    void unload() {
        if (m_library != nullptr) {
            ::dlclose(m_library);
            m_library = nullptr;
        }
    }

    void write(const std::string& text, const std::string& path) {
        logWrite(text.c_str(), path.c_str());
    }

    TempDir dir;
    LogWriteFn logWrite = nullptr;

private:
    void* m_library = nullptr;
};

// Open descriptors of this process that refer to `path`.
int openDescriptorsOf(const std::string& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path) {
            ++count;
        }
    }
    return count;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

std::atomic<int> g_interruptions{0};
void countInterruption(int) {
    ++g_interruptions;
}

}  // namespace

TEST_F(LogDll, AppendsTextUnchangedAndMakesTheFileWithTheUmaskApplied) {
    const ScopedUmask mask(027);
    const std::string fresh = dir / "fresh.log";
    write("a\tb", fresh);
    write("\xe9t\xe9 \\ no line end", fresh);
    write("\n", fresh);
    EXPECT_EQ(readFile(fresh), "a\tb\xe9t\xe9 \\ no line end\n");
    struct stat st;
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const std::string existing = dir / "existing.log";
    testsupport::writeFile(existing, "kept\n");
    write("added\n", existing);
    EXPECT_EQ(readFile(existing), "kept\nadded\n");
}

TEST_F(LogDll, NullOrEmptyTextOrPathDoesNothing) {
    const std::string path = dir / "log";
    logWrite(nullptr, path.c_str());
    logWrite("", path.c_str());
    logWrite("text", nullptr);
    logWrite("text", "");
    EXPECT_FALSE(testsupport::pathExists(path));
    write("after\n", path);
    EXPECT_EQ(readFile(path), "after\n");
}

TEST_F(LogDll, EachCallGoesToTheFileItNames) {
    const std::string a = dir / "a.log";
    const std::string b = dir / "b.log";
    write("1", a);
    write("2", b);
    write("3", a);
    write("4", a);
    write("5", b);
    EXPECT_EQ(readFile(a), "134");
    EXPECT_EQ(readFile(b), "25");
}

TEST_F(LogDll, AFileThatCouldNotBeOpenedIsTriedAgain) {
    const std::string path = dir / "later/log";
    write("lost", path);
    EXPECT_FALSE(testsupport::pathExists(path));
    testsupport::makeDirs(dir / "later");
    write("kept", path);
    EXPECT_EQ(readFile(path), "kept");
}

// The file is held open between calls; a log deleted meanwhile must not
// swallow the later lines.
TEST_F(LogDll, ADeletedLogIsMadeAgain) {
    const std::string path = dir / "log";
    write("1", path);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    write("2", path);
    write("3", path);
    EXPECT_EQ(readFile(path), "23");
}

TEST_F(LogDll, KeepsOneDescriptorOpenUntilUnloaded) {
    const std::string a = dir / "a.log";
    const std::string b = dir / "b.log";
    write("x", a);
    write("y", a);
    EXPECT_EQ(openDescriptorsOf(a), 1);
    write("z", b);
    EXPECT_EQ(openDescriptorsOf(a), 0);
    EXPECT_EQ(openDescriptorsOf(b), 1);
    unload();
    EXPECT_EQ(openDescriptorsOf(b), 0);
}

// A pipe takes 64 KiB at a time, so a large text is written in pieces; signals
// sent to the writing thread meanwhile cut write(2) short or make it fail with
// EINTR. Every byte must still arrive, in order.
TEST_F(LogDll, ShortAndInterruptedWritesLoseNothing) {
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string text(4 << 20, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }

    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = countInterruption;  // no SA_RESTART: calls are interrupted
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    g_interruptions = 0;

    const int done = ::eventfd(0, EFD_CLOEXEC);
    ASSERT_GE(done, 0);
    std::atomic<bool> finished{false};
    std::thread writer([&] {
        write(text, fifo);
        finished = true;
        const std::uint64_t one = 1;
        EXPECT_EQ(::write(done, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    });
    // Open failures and read errors end the loop rather than the test, so the
    // writer is still joined; the size check below then fails.
    const int in = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(in, 0);
    std::string received;
    char buffer[4096];
    while (in >= 0) {
        pollfd fds[2] = {{in, POLLIN, 0}, {done, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(in, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            received.append(buffer, static_cast<std::size_t>(n));
            if (!finished) {
                ::pthread_kill(writer.native_handle(), SIGUSR1);
            }
        } else if ((fds[1].revents & POLLIN) != 0) {
            break;  // the writer is done and the pipe is empty
        }
    }
    writer.join();
    if (in >= 0) {
        ::close(in);
    }
    ::close(done);
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GT(g_interruptions.load(), 0);
    EXPECT_EQ(received.size(), text.size());
    EXPECT_TRUE(received == text);
}
