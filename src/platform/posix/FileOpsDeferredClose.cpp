#include <linux/magic.h>
#include <sys/vfs.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/posix/FileOpsInternal.h"

namespace platform::detail {

namespace {

constexpr std::size_t kMaxWaiting = 64;
// Space a run may hold back from a drive that could be nearly full.
constexpr std::uint64_t kMaxWaitingBytes = std::uint64_t{16} << 20;

}  // namespace

DeferredClose::DeferredClose(int folderFd) {
    struct statfs fs;
    if (sys().fstatfs(folderFd, &fs) != 0) {
        return;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC:  // ext2 and ext3 share it
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
            m_enabled = true;
            break;
        default:
            break;
    }
}

void DeferredClose::add(UniqueFd fd, std::uint64_t bytes) {
    if (!fd.valid() || !m_enabled) {
        return;
    }
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread(&DeferredClose::work, this);
            } catch (const std::system_error&) {
                // No thread to spare: this run closes each file at once.
                m_enabled = false;
                return;
            }
        }
        if (m_waiting.size() < kMaxWaiting && m_bytes + bytes <= kMaxWaitingBytes) {
            // The thread sleeps only with nothing waiting.
            wake = m_waiting.empty();
            m_waiting.push_back({fd.release(), bytes, sys().close});
            m_bytes += bytes;
        }
    }
    if (wake) {
        m_wake.notify_one();
    }
    // `fd` still holds the descriptor when too much waits already.
}

bool DeferredClose::holdsSpace() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes > 0;
}

void DeferredClose::drain() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable()) {
            return;
        }
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
}

void DeferredClose::work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_waiting.empty() || m_stop; });
        if (m_waiting.empty()) {
            return;  // stopping, and nothing is left
        }
        std::vector<Waiting> batch = std::exchange(m_waiting, {});
        lock.unlock();
        for (const Waiting& each : batch) {
            each.close(each.fd);
        }
        lock.lock();
        for (const Waiting& each : batch) {
            m_bytes -= each.bytes;
        }
    }
}

}  // namespace platform::detail
