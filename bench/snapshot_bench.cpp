// Times folder snapshots and weighs what one entry costs on the heap.
//
//   snapshot_bench [--runs N] FOLDER
//
// Scans FOLDER N times (default 5), each time into a fresh DirectoryInfo, and
// prints key=value lines: the entry count, the median, smallest and largest
// scan time, the average path length, and the heap held by the snapshot per
// entry (paths included), measured with mallinfo2() before the scan and after
// it while the snapshot is still alive.

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "snapshot/DirectoryInfo.h"
#include "snapshot/DirectoryOp.h"

namespace {

// Bytes handed out by malloc and not yet freed, small blocks and mmap'd ones.
std::size_t heapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Sample {
    double seconds = 0;
    std::size_t entries = 0;
    std::size_t folders = 0;
    std::size_t failures = 0;
    std::size_t heapBytes = 0;
    std::size_t pathBytes = 0;      // sum of path lengths
    std::size_t pathHeapBytes = 0;  // malloc chunks holding paths (not inline in the entry)
};

Sample scanOnce(const std::string& folder) {
    Sample sample;
    const std::size_t before = heapInUse();
    const auto start = std::chrono::steady_clock::now();
    DirectoryInfo info(folder);
    DirectoryOp op;
    op.attach(&info);
    op.scan();
    const auto stop = std::chrono::steady_clock::now();
    sample.heapBytes = heapInUse() - before;
    sample.seconds = std::chrono::duration<double>(stop - start).count();
    sample.entries = info.entries().size();
    sample.failures = info.failures().size();
    for (const FileInfo& entry : info.entries()) {
        const std::string& path = entry.path();
        sample.pathBytes += path.size();
        if (entry.isDirectory()) {
            ++sample.folders;
        }
        // A path longer than the string's inline buffer lives in its own block,
        // which costs its usable size plus the allocator's 8-byte header.
        if (path.capacity() > std::string().capacity()) {
            sample.pathHeapBytes += ::malloc_usable_size(const_cast<char*>(path.data())) + 8;
        }
    }
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int usage() {
    std::fprintf(stderr, "usage: snapshot_bench [--runs N] FOLDER\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
            if (runs < 1) {
                return usage();
            }
        } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
            folder = arg;
        } else {
            return usage();
        }
    }
    if (folder.empty()) {
        return usage();
    }

    std::vector<double> times;
    Sample first;
    for (int run = 0; run < runs; ++run) {
        const Sample sample = scanOnce(folder);
        if (run == 0) {
            first = sample;
        }
        times.push_back(sample.seconds);
    }
    if (first.entries == 0) {
        std::fprintf(stderr, "snapshot_bench: no entries under %s (%zu failures)\n", folder.c_str(),
                     first.failures);
        return 1;
    }

    const double n = static_cast<double>(first.entries);
#ifndef NDEBUG
    std::printf("warning=unoptimised build: times are not representative\n");
#endif
    std::printf("root=%s\n", folder.c_str());
    std::printf("entries=%zu\n", first.entries);
    std::printf("folders=%zu\n", first.folders);
    std::printf("failures=%zu\n", first.failures);
    std::printf("runs=%d\n", runs);
    std::printf("scan_median_s=%.6f\n", median(times));
    std::printf("scan_min_s=%.6f\n", *std::min_element(times.begin(), times.end()));
    std::printf("scan_max_s=%.6f\n", *std::max_element(times.begin(), times.end()));
    std::printf("avg_path_bytes=%.1f\n", static_cast<double>(first.pathBytes) / n);
    std::printf("heap_bytes=%zu\n", first.heapBytes);
    std::printf("bytes_per_entry=%.1f\n", static_cast<double>(first.heapBytes) / n);
    std::printf("path_heap_bytes_per_entry=%.1f\n", static_cast<double>(first.pathHeapBytes) / n);
    std::printf("other_bytes_per_entry=%.1f\n",
                static_cast<double>(first.heapBytes - first.pathHeapBytes) / n);
    std::printf("sizeof_FileInfo=%zu\n", sizeof(FileInfo));
    return 0;
}
