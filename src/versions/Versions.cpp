#include "versions/Versions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Path.h"

namespace versions {

namespace {

constexpr std::size_t kRunNameLength = 17;  // "YYYY-MM-DD HHMMSS"
constexpr std::size_t kRemovalThreads = 8;

bool digits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int toInt(std::string_view text) {
    int value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

// The number a taken name was given ("a.~3~" gives 3); 1 for a plain name.
int numberOf(std::string_view name) {
    const std::string_view plain = unnumbered(name);
    if (plain.size() == name.size()) {
        return 1;
    }
    return toInt(name.substr(plain.size() + 2, name.size() - plain.size() - 3));
}

// The second run of one second sorts after the first.
int runNumber(std::string_view run) {
    return run.size() > kRunNameLength ? toInt(run.substr(kRunNameLength + 1)) : 1;
}

// Newest first: by run time, run, then the number of a taken name.
bool newer(const KeptVersion& a, const KeptVersion& b) {
    if (a.runTime != b.runTime) {
        return a.runTime > b.runTime;
    }
    if (a.run != b.run) {
        return runNumber(a.run) > runNumber(b.run);
    }
    return numberOf(platform::fileNameOf(a.path)) > numberOf(platform::fileNameOf(b.path));
}

bool isSameOrBeneath(std::string_view path, std::string_view folder) {
    return folder.empty() || path == folder ||
           (path.size() > folder.size() && path.starts_with(folder) &&
            path[folder.size()] == platform::kSeparator);
}

std::string join(std::string_view a, std::string_view b) {
    if (a.empty()) {
        return std::string(b);
    }
    if (b.empty()) {
        return std::string(a);
    }
    std::string out(a);
    out += platform::kSeparator;
    out += b;
    return out;
}

bool isFolder(const platform::Lookup& lookup) {
    return (lookup.record.attributes & platform::kAttrDirectory) != 0 &&
           (lookup.record.attributes & platform::kAttrSymlink) == 0;
}

void walkFiles(int folder, const std::string& relative,
               const std::function<void(const std::string&, const platform::Lookup&)>& visit) {
    platform::forEachEntry(folder, [&](const std::string& name, const platform::Lookup& lookup) {
        if (platform::isTemporaryName(name) || lookup.status != platform::LookupStatus::Found) {
            return;
        }
        const std::string path = join(relative, name);
        if (isFolder(lookup)) {
            platform::OpResult opened;
            const platform::FolderFd child = platform::openChildFolder(folder, name, false, opened);
            if (child.valid()) {
                walkFiles(child.get(), path, visit);
            }
            return;
        }
        visit(path, lookup);
    });
}

// What a run folder holds, from the listings alone: the paths of its files
// and links, and how many entries each of its folders holds ("" is the run
// folder itself).
struct RunContent {
    std::vector<std::string> files;
    std::map<std::string, std::size_t> entries;
};

void walkNames(int folder, const std::string& relative, RunContent& content) {
    std::size_t& count = content.entries[relative];
    platform::forEachName(folder, [&](const std::string& name, bool isFolder) {
        ++count;
        if (platform::isTemporaryName(name)) {
            return;
        }
        std::string path = join(relative, name);
        if (!isFolder) {
            content.files.push_back(std::move(path));
            return;
        }
        platform::OpResult opened;
        const platform::FolderFd child = platform::openChildFolder(folder, name, false, opened);
        if (child.valid()) {
            walkNames(child.get(), path, content);
        } else {
            content.entries[path] = 1;  // unknown: never taken for empty
        }
    });
}

std::string errorText(const platform::OpResult& result) {
    return result.message.empty() ? std::string("error ") + std::to_string(result.error)
                                  : result.message;
}

}  // namespace

void (*RunKeeper::afterKeep)() = nullptr;

std::string runFolderName(platform::DateTime start) {
    return platform::formatDateTime(start, "%Y-%m-%d %H%M%S");
}

std::optional<platform::DateTime> runFolderTime(std::string_view name) {
    if (name.size() < kRunNameLength) {
        return std::nullopt;
    }
    if (name.size() > kRunNameLength &&
        (name[kRunNameLength] != '-' || !digits(name.substr(kRunNameLength + 1)))) {
        return std::nullopt;
    }
    const std::string_view date = name.substr(0, kRunNameLength);
    if (!digits(date.substr(0, 4)) || date[4] != '-' || !digits(date.substr(5, 2)) ||
        date[7] != '-' || !digits(date.substr(8, 2)) || date[10] != ' ' ||
        !digits(date.substr(11, 6))) {
        return std::nullopt;
    }
    const int month = toInt(date.substr(5, 2));
    const int day = toInt(date.substr(8, 2));
    const int hours = toInt(date.substr(11, 2));
    const int minutes = toInt(date.substr(13, 2));
    const int seconds = toInt(date.substr(15, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31 || hours > 23 || minutes > 59 ||
        seconds > 59) {
        return std::nullopt;
    }
    return platform::makeDateTime(toInt(date.substr(0, 4)), month, day, hours, minutes, seconds);
}

std::string pairFolderName(std::size_t index, std::string_view mirrorRoot) {
    while (mirrorRoot.size() > 1 && mirrorRoot.back() == platform::kSeparator) {
        mirrorRoot.remove_suffix(1);
    }
    std::string name(platform::fileNameOf(mirrorRoot));
    if (name.empty()) {
        name = "root";
    }
    return std::to_string(index + 1) + "-" + name;
}

std::string_view unnumbered(std::string_view name) {
    // "<name>.~N~" with N of 2 and more.
    if (name.size() < 5 || !name.ends_with('~')) {
        return name;
    }
    const std::size_t mark = name.rfind(".~", name.size() - 2);
    if (mark == std::string_view::npos || mark == 0) {
        return name;
    }
    const std::string_view number = name.substr(mark + 2, name.size() - mark - 3);
    if (!digits(number) || number.front() == '0' || toInt(number) < 2) {
        return name;
    }
    return name.substr(0, mark);
}

std::string KeptVersion::filePath() const {
    const std::string_view name = platform::fileNameOf(path);
    const std::string_view plain = unnumbered(name);
    return path.substr(0, path.size() - name.size()) + std::string(plain);
}

int FolderChain::open(int base, std::string_view relative, bool make, platform::OpResult& result) {
    result = platform::OpResult::success();
    std::size_t depth = 0;
    while (!relative.empty()) {
        const std::size_t slash = relative.find(platform::kSeparator);
        const std::string_view name = relative.substr(0, slash);
        relative =
            slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
        if (name.empty()) {
            continue;
        }
        if (depth < m_names.size() && m_names[depth] == name) {
            ++depth;
            continue;
        }
        // The rest of the old way differs from here on.
        m_names.resize(depth);
        m_folders.resize(depth);
        const int parent = depth == 0 ? base : m_folders.back().get();
        platform::FolderFd next = platform::openChildFolder(parent, name, make, result);
        if (!next.valid()) {
            return -1;
        }
        m_names.emplace_back(name);
        m_folders.push_back(std::move(next));
        ++depth;
    }
    m_names.resize(depth);
    m_folders.resize(depth);
    return depth == 0 ? base : m_folders.back().get();
}

RunKeeper::RunKeeper(std::string root, platform::DateTime start)
    : m_root(std::move(root)), m_start(start) {}

platform::OpResult RunKeeper::flush(const std::vector<std::uint64_t>& flushed) {
    if (!m_runFd.valid()) {
        return platform::OpResult::success();
    }
    platform::FileIdentity identity;
    if (platform::identityOf(m_runFd.get(), identity) &&
        std::find(flushed.begin(), flushed.end(), identity.device) != flushed.end()) {
        return platform::OpResult::success();
    }
    platform::OpResult result = platform::flushFileSystem(m_runFd.get());
    if (!result.ok()) {
        return platform::OpResult::failure(
            result.error,
            "the kept versions could not be flushed to the drive: " + errorText(result));
    }
    return result;
}

platform::OpResult RunKeeper::openRun() {
    if (m_runFd.valid()) {
        return platform::OpResult::success();
    }
    platform::OpResult result;
    const platform::FolderFd root = platform::openFolder(m_root, true, result);
    if (!root.valid()) {
        return platform::OpResult::failure(result.error,
                                           "versions folder " + m_root + ": " + errorText(result));
    }
    // Claiming the folder by making it keeps two runs of one second apart.
    const std::string base = runFolderName(m_start);
    for (int number = 1; number < 1000; ++number) {
        const std::string name = number == 1 ? base : base + "-" + std::to_string(number);
        result = platform::claimFolder(root.get(), name);
        if (result.error == EEXIST) {
            continue;
        }
        if (!result.ok()) {
            return result;
        }
        m_runFd = platform::openChildFolder(root.get(), name, false, result);
        if (m_runFd.valid()) {
            m_runName = name;
        }
        return result;
    }
    return platform::OpResult::failure(EEXIST, "no free run folder name for " + base);
}

platform::OpResult RunKeeper::keep(const std::string& pairFolder, int from, const std::string& name,
                                   std::string_view relative) {
    platform::OpResult result = openRun();
    if (!result.ok()) {
        return result;
    }
    const int folder =
        m_folders.open(m_runFd.get(), join(pairFolder, platform::folderOf(relative)), true, result);
    if (folder < 0) {
        return result;
    }
    result =
        platform::moveNoReplace(from, name, folder, std::string(platform::fileNameOf(relative)));
    if (result.ok()) {
        ++m_kept;
        if (afterKeep != nullptr) {
            afterKeep();
        }
    }
    return result;
}

int RunKeeper::mirrorFolder(const std::string& mirrorRoot, platform::OpResult& result) {
    auto it = m_mirrors.find(mirrorRoot);
    if (it == m_mirrors.end()) {
        platform::FolderFd folder = platform::openFolder(mirrorRoot, false, result);
        if (!folder.valid()) {
            return -1;
        }
        it = m_mirrors.emplace(mirrorRoot, std::move(folder)).first;
    }
    result = platform::OpResult::success();
    return it->second.get();
}

platform::OpResult RunKeeper::keepEntry(const std::string& pairFolder,
                                        const std::string& mirrorRoot, std::string_view relative,
                                        const platform::KeepPredicate& stay) {
    platform::OpResult result;
    const int root = mirrorFolder(mirrorRoot, result);
    if (root < 0) {
        return result;
    }
    return keepEntry(pairFolder, root, mirrorRoot, relative, std::nullopt, stay);
}

platform::OpResult RunKeeper::keepEntry(const std::string& pairFolder, int root,
                                        const std::string& mirrorRoot, std::string_view relative,
                                        std::optional<platform::EntryKind> expected,
                                        const platform::KeepPredicate& stay) {
    platform::OpResult result;
    const platform::FolderFd parent =
        platform::openFolderPath(root, platform::folderOf(relative), false, result);
    if (!parent.valid()) {
        return result.error == ENOENT ? platform::OpResult::success() : result;
    }
    const std::string name(platform::fileNameOf(relative));
    const platform::Lookup entry = platform::lookupEntryAt(parent.get(), name.c_str());
    if (entry.status == platform::LookupStatus::Absent) {
        return platform::OpResult::success();
    }
    if (entry.status != platform::LookupStatus::Found) {
        return platform::OpResult::failure(entry.error != 0 ? entry.error : EIO);
    }
    if (expected == platform::EntryKind::File && isFolder(entry)) {
        return platform::OpResult::failure(EISDIR,
                                           "the entry became a folder after the plan was made");
    }
    if (expected == platform::EntryKind::Folder && !isFolder(entry)) {
        return platform::OpResult::failure(ENOTDIR,
                                           "the folder became a file after the plan was made");
    }
    if (!isFolder(entry)) {
        return keep(pairFolder, parent.get(), name, relative);
    }
    const platform::FolderFd folder = platform::openChildFolder(parent.get(), name, false, result);
    if (!folder.valid()) {
        return result;
    }
    return keepTreeIn(pairFolder, folder.get(),
                      platform::withTrailingSeparator(mirrorRoot) + std::string(relative),
                      std::string(relative), stay);
}

platform::OpResult RunKeeper::keepTreeIn(const std::string& pairFolder, int folder,
                                         const std::string& path, const std::string& relative,
                                         const platform::KeepPredicate& stay) {
    std::vector<std::pair<std::string, platform::Lookup>> entries;
    const int error = platform::forEachEntry(
        folder, [&entries](const std::string& name, const platform::Lookup& lookup) {
            entries.emplace_back(name, lookup);
        });
    if (error != 0) {
        return platform::OpResult::failure(error);
    }
    for (const auto& [name, lookup] : entries) {
        if (lookup.status != platform::LookupStatus::Found) {
            return platform::OpResult::failure(lookup.error != 0 ? lookup.error : EIO);
        }
        const std::string childPath = join(path, name);
        if (stay && stay(childPath, lookup.record)) {
            continue;
        }
        platform::OpResult result;
        if (isFolder(lookup)) {
            const platform::FolderFd child = platform::openChildFolder(folder, name, false, result);
            if (child.valid()) {
                result = keepTreeIn(pairFolder, child.get(), childPath, join(relative, name), stay);
            }
        } else {
            result = keep(pairFolder, folder, name, join(relative, name));
        }
        if (!result.ok()) {
            return result;
        }
    }
    return platform::OpResult::success();
}

std::vector<RunFolder> listRuns(const std::string& root, platform::OpResult& result) {
    std::vector<RunFolder> runs;
    const platform::FolderFd folder = platform::openFolder(root, false, result);
    if (!folder.valid()) {
        if (result.error == ENOENT) {
            result = platform::OpResult::success();
        }
        return runs;
    }
    const int error = platform::forEachEntry(
        folder.get(), [&runs](const std::string& name, const platform::Lookup& lookup) {
            const auto time = runFolderTime(name);
            if (time && isFolder(lookup)) {
                runs.push_back({name, *time});
            }
        });
    if (error != 0) {
        result = platform::OpResult::failure(error);
    }
    std::sort(runs.begin(), runs.end(), [](const RunFolder& a, const RunFolder& b) {
        return a.time != b.time ? a.time > b.time : runNumber(a.name) > runNumber(b.name);
    });
    return runs;
}

std::vector<KeptVersion> listVersions(const std::string& root, platform::OpResult& result,
                                      std::string_view under) {
    std::vector<KeptVersion> versions;
    const std::vector<RunFolder> runs = listRuns(root, result);
    if (runs.empty()) {
        return versions;
    }
    const platform::FolderFd folder = platform::openFolder(root, false, result);
    if (!folder.valid()) {
        return versions;
    }
    for (const RunFolder& run : runs) {
        platform::OpResult opened;
        const platform::FolderFd runFd =
            platform::openChildFolder(folder.get(), run.name, false, opened);
        if (!runFd.valid()) {
            continue;
        }
        walkFiles(runFd.get(), {}, [&](const std::string& path, const platform::Lookup& lookup) {
            KeptVersion version;
            version.run = run.name;
            version.runTime = run.time;
            version.path = path;
            version.size = lookup.record.size;
            version.lastWriteTime = lookup.record.lastWriteTime;
            version.isLink = (lookup.record.attributes & platform::kAttrSymlink) != 0;
            if (isSameOrBeneath(version.filePath(), under)) {
                versions.push_back(std::move(version));
            }
        });
    }
    std::stable_sort(versions.begin(), versions.end(),
                     [](const KeptVersion& a, const KeptVersion& b) {
                         if (a.runTime != b.runTime || a.run != b.run) {
                             return newer(a, b);
                         }
                         return a.path < b.path;
                     });
    return versions;
}

namespace {

// Removes `victims` (paths relative to `root`) on a few threads: removing
// files whose metadata has left the cache waits on the disk, and those waits
// overlap. Returns the failures as "path: reason", and sets `removed[i]`.
std::vector<std::string> removeAll(int root, const std::vector<std::string>& victims,
                                   std::vector<char>& removed) {
    removed.assign(victims.size(), 0);
    std::vector<std::string> failures(victims.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        FolderChain folders;
        for (std::size_t i = next++; i < victims.size(); i = next++) {
            platform::OpResult result;
            const int folder = folders.open(root, platform::folderOf(victims[i]), false, result);
            if (folder >= 0) {
                result = platform::removeEntryTree(folder,
                                                   std::string(platform::fileNameOf(victims[i])));
            }
            if (result.ok()) {
                removed[i] = 1;
            } else {
                failures[i] = victims[i] + ": " + errorText(result);
            }
        }
    };
    const std::size_t count = std::min<std::size_t>(kRemovalThreads, (victims.size() + 63) / 64);
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < count; ++t) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<std::string> problems;
    for (std::string& failure : failures) {
        if (!failure.empty()) {
            problems.push_back(std::move(failure));
        }
    }
    return problems;
}

}  // namespace

// The listings of run folders made ahead of pruning, by run folder name.
struct Pruner::Listing {
    std::map<std::string, RunContent> contents;
    std::atomic<bool> stop{false};
};

Pruner::Pruner(std::string root, int keepDays, int keepVersions)
    : m_root(std::move(root)), m_keepDays(keepDays), m_keepVersions(keepVersions) {}

Pruner::~Pruner() {
    if (m_lister.joinable()) {
        m_ahead->stop = true;
        m_lister.join();
    }
}

void Pruner::listAhead(platform::DateTime before) {
    if (m_keepVersions <= 0 || m_lister.joinable()) {
        return;
    }
    m_ahead = std::make_unique<Listing>();
    try {
        m_lister = std::thread([this, before] { listRunsBefore(before); });
    } catch (const std::system_error&) {
        m_ahead.reset();  // no thread to spare: pruning lists everything itself
    }
}

void Pruner::listRunsBefore(platform::DateTime before) {
    platform::OpResult result;
    const platform::FolderFd root = platform::openFolder(m_root, false, result);
    if (!root.valid()) {
        return;
    }
    // Run folders are named to the second: the run's own folder, and one
    // another run of the same second may still be filling, are named for
    // `before` with its fraction of a second dropped, and are listed when
    // pruning.
    const platform::DateTime ownSecond = runFolderTime(runFolderName(before)).value_or(before);
    for (const RunFolder& run : listRuns(m_root, result)) {
        if (m_ahead->stop) {
            return;
        }
        if (run.time >= ownSecond) {
            continue;
        }
        platform::OpResult opened;
        const platform::FolderFd runFd =
            platform::openChildFolder(root.get(), run.name, false, opened);
        if (runFd.valid()) {
            RunContent content;
            walkNames(runFd.get(), {}, content);
            m_ahead->contents.emplace(run.name, std::move(content));
        }
    }
}

PruneResult prune(const std::string& root, platform::DateTime now, int keepDays, int keepVersions) {
    return Pruner(root, keepDays, keepVersions).prune(now);
}

PruneResult Pruner::prune(platform::DateTime now) {
    if (m_lister.joinable()) {
        m_lister.join();
    }
    const std::string& root = m_root;
    const int keepDays = m_keepDays;
    const int keepVersions = m_keepVersions;
    PruneResult pruned;
    if (keepDays <= 0 && keepVersions <= 0) {
        return pruned;
    }
    platform::OpResult result;
    const platform::FolderFd rootFd = platform::openFolder(root, false, result);
    if (!rootFd.valid()) {
        if (result.error != ENOENT) {
            pruned.problems.push_back(root + ": " + errorText(result));
        }
        return pruned;
    }
    if (keepDays > 0) {
        const std::vector<RunFolder> runs = listRuns(root, result);
        const platform::DateTime cutoff = now - keepDays;
        for (const RunFolder& run : runs) {
            if (run.time >= cutoff) {
                continue;
            }
            const platform::OpResult removed = platform::removeEntryTree(rootFd.get(), run.name);
            if (removed.ok()) {
                ++pruned.runsRemoved;
            } else {
                pruned.problems.push_back(join(root, run.name) + ": " + errorText(removed));
            }
        }
    }
    if (keepVersions > 0) {
        // Only names and run times count here: no lookup per kept file.
        std::vector<KeptVersion> versions;
        std::map<std::string, RunContent> contents;
        for (const RunFolder& run : listRuns(root, result)) {
            RunContent& content = contents[run.name];
            if (m_ahead && m_ahead->contents.contains(run.name)) {
                content = std::move(m_ahead->contents[run.name]);
            } else {
                platform::OpResult opened;
                const platform::FolderFd runFd =
                    platform::openChildFolder(rootFd.get(), run.name, false, opened);
                if (!runFd.valid()) {
                    contents.erase(run.name);
                    continue;
                }
                walkNames(runFd.get(), {}, content);
            }
            for (const std::string& path : content.files) {
                KeptVersion version;
                version.run = run.name;
                version.runTime = run.time;
                version.path = path;
                versions.push_back(std::move(version));
            }
        }
        if (!result.ok()) {
            pruned.problems.push_back(root + ": " + errorText(result));
        }
        std::map<std::string, std::vector<const KeptVersion*>> byFile;
        for (const KeptVersion& version : versions) {
            byFile[version.filePath()].push_back(&version);
        }
        std::vector<const KeptVersion*> old;
        for (auto& [file, list] : byFile) {
            if (list.size() <= static_cast<std::size_t>(keepVersions)) {
                continue;
            }
            std::stable_sort(
                list.begin(), list.end(),
                [](const KeptVersion* a, const KeptVersion* b) { return newer(*a, *b); });
            old.insert(old.end(), list.begin() + keepVersions, list.end());
        }
        // Removed in the order of the listing, so that one folder's versions
        // go together.
        std::sort(old.begin(), old.end());
        std::vector<std::string> victims;
        victims.reserve(old.size());
        for (const KeptVersion* version : old) {
            victims.push_back(join(version->run, version->path));
        }
        std::vector<char> removed;
        for (std::string& problem : removeAll(rootFd.get(), victims, removed)) {
            pruned.problems.push_back(join(root, problem));
        }
        // The folders left empty go too, deepest first, and a run folder
        // left empty as well: known from the listing, so no folder that still
        // holds something is tried.
        std::vector<std::string> emptied;
        for (std::size_t i = 0; i < old.size(); ++i) {
            if (removed[i] == 0) {
                continue;
            }
            ++pruned.versionsRemoved;
            RunContent& content = contents[old[i]->run];
            std::string folder(platform::folderOf(old[i]->path));
            for (;;) {
                std::size_t& left = content.entries[folder];
                if (left == 0 || --left > 0) {
                    break;
                }
                emptied.push_back(join(old[i]->run, folder));
                if (folder.empty()) {
                    break;
                }
                folder = std::string(platform::folderOf(folder));
            }
        }
        // In reverse order a folder comes after everything beneath it, and
        // folders side by side come together, so most of the way is open.
        std::sort(emptied.begin(), emptied.end(), std::greater<>());
        FolderChain folders;
        for (const std::string& folder : emptied) {
            platform::OpResult opened;
            const int parent =
                folders.open(rootFd.get(), platform::folderOf(folder), false, opened);
            if (parent >= 0) {
                static_cast<void>(
                    platform::removeEmptyFolder(parent, std::string(platform::fileNameOf(folder))));
            }
        }
    }
    return pruned;
}

std::vector<KeptVersion> pickVersions(const std::vector<KeptVersion>& versions,
                                      std::string_view path, std::optional<std::string_view> at) {
    const auto fromRun = [&at](const std::string& run) {
        if (!at) {
            return true;
        }
        return run == *at || (at->size() == kRunNameLength && run.starts_with(*at) &&
                              run.size() > kRunNameLength && run[kRunNameLength] == '-');
    };
    std::map<std::string, const KeptVersion*> newest;
    for (const KeptVersion& version : versions) {
        const std::string file = version.filePath();
        if (!isSameOrBeneath(file, path) || !fromRun(version.run)) {
            continue;
        }
        auto [it, added] = newest.emplace(file, &version);
        if (!added && newer(version, *it->second)) {
            it->second = &version;
        }
    }
    std::vector<KeptVersion> picks;
    picks.reserve(newest.size());
    for (const auto& [file, version] : newest) {
        picks.push_back(*version);
    }
    return picks;
}

std::vector<RestoreItem> restoreLayout(const std::vector<KeptVersion>& picks,
                                       std::string_view path) {
    while (!path.empty() && path.back() == platform::kSeparator) {
        path.remove_suffix(1);
    }
    const std::string_view base = platform::folderOf(path);
    std::vector<RestoreItem> items;
    for (const KeptVersion& version : picks) {
        std::string file = version.filePath();
        items.push_back({version, base.empty() ? file : file.substr(base.size() + 1)});
    }
    return items;
}

RestoreResult restore(const std::string& root, const std::vector<RestoreItem>& items,
                      const std::string& destination, bool overwrite) {
    RestoreResult restored;
    platform::OpResult result;
    const platform::FolderFd rootFd = platform::openFolder(root, false, result);
    if (!rootFd.valid()) {
        restored.failures.push_back(root + ": " + errorText(result));
        return restored;
    }
    const platform::FolderFd destFd = platform::openFolder(destination, true, result);
    if (!destFd.valid()) {
        restored.failures.push_back(destination + ": " + errorText(result));
        return restored;
    }
    for (const RestoreItem& item : items) {
        const KeptVersion& version = item.version;
        const platform::FolderFd from = platform::openFolderPath(
            rootFd.get(), join(version.run, platform::folderOf(version.path)), false, result);
        platform::FolderFd to;
        if (from.valid()) {
            to = platform::openFolderPath(destFd.get(), platform::folderOf(item.target), true,
                                          result);
        }
        if (to.valid()) {
            result = platform::copyOut(from.get(), std::string(platform::fileNameOf(version.path)),
                                       to.get(), std::string(platform::fileNameOf(item.target)),
                                       overwrite);
        }
        if (result.ok()) {
            ++restored.restored;
        } else if (result.error == EEXIST && !overwrite) {
            restored.conflicts.push_back(item.target);
        } else {
            restored.failures.push_back(item.target + ": " + errorText(result));
        }
    }
    return restored;
}

}  // namespace versions
