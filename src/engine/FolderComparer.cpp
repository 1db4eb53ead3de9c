#include "engine/FolderComparer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "engine/FileItemList.h"
#include "engine/MirrorMemory.h"
#include "model/Task.h"
#include "platform/Assert.h"
#include "platform/FileOps.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "snapshot/DirectoryInfo.h"
#include "snapshot/DirectoryOp.h"
#include "snapshot/FolderListing.h"
#include "snapshot/FolderReader.h"
#include "versions/Versions.h"

namespace {

using platform::LookupStatus;

// The attribute bits a copy reproduces on the mirror; compressed and
// encrypted are up to the file system.
constexpr std::uint32_t kComparableAttributes = platform::kAttrReadOnly | platform::kAttrHidden |
                                                platform::kAttrDirectory | platform::kAttrSymlink;

std::string systemReason(int error) {
    return std::strerror(error);
}

// The part of `path` beneath `root`: empty for the root itself, which a
// failure names without the root's final separator.
std::string_view relativeOf(std::string_view path, const std::string& root) {
    return path.substr(std::min(path.size(), root.size()));
}

std::string_view relativeOf(const FileInfo& entry, const std::string& root) {
    return relativeOf(entry.path(), root);
}

// The entries of one folder's listing by name, so that a counterpart is
// found without asking the file system again. Two listings of the same names
// on one file system come in the same order, so the entry after the last one
// found is tried first; a table is made only when that fails.
class NameIndex {
public:
    explicit NameIndex(const FolderListing* listing)
        : m_entries(listing != nullptr ? &listing->entries : nullptr) {}

    // `next` carries the place to try first from call to call.
    const FileInfo* findInOrder(std::string_view name, std::size_t& next) const {
        if (m_entries == nullptr) {
            return nullptr;
        }
        if (next < m_entries->size() && (*m_entries)[next].fileName() == name) {
            return &(*m_entries)[next++];
        }
        if (m_byName.empty() && !m_entries->empty()) {
            m_byName.reserve(m_entries->size());
            for (std::size_t i = 0; i < m_entries->size(); ++i) {
                m_byName.emplace((*m_entries)[i].fileName(), i);
            }
        }
        const auto found = m_byName.find(name);
        if (found == m_byName.end()) {
            return nullptr;
        }
        next = found->second + 1;
        return &(*m_entries)[found->second];
    }

private:
    const std::vector<FileInfo>* m_entries;
    mutable std::unordered_map<std::string_view, std::size_t> m_byName;
};

// Relative paths whose content could not be read on the main side: unknown is
// never absent, so nothing beneath them is deleted from the mirror.
class UnknownPaths {
public:
    void add(std::string relative) { m_paths.insert(std::move(relative)); }
    bool covers(std::string_view relative) const {
        if (m_paths.empty()) {
            return false;  // the common case, asked once per entry
        }
        // A set ordered by bytes: any covering path sorts at or before
        // `relative`, and every prefix of it is checked directly.
        std::string_view probe = relative;
        for (;;) {
            if (m_paths.count(std::string(probe)) != 0) {
                return true;
            }
            const auto slash = probe.rfind(platform::kSeparator);
            if (slash == std::string_view::npos) {
                return m_paths.count(std::string()) != 0;
            }
            probe = probe.substr(0, slash);
        }
    }
    bool empty() const { return m_paths.empty(); }

private:
    std::set<std::string> m_paths;
};

// Lists a tree; returns the path of a folder with the identity `other` met
// beneath the root (the other side of the pair), or an empty text.
std::string scanInto(DirectoryInfo& info, const std::optional<platform::FileIdentity>& other) {
    DirectoryOp op;
    op.attach(&info);
    if (other) {
        op.setForbidden(*other);
    }
    op.scan();
    return op.metForbidden();
}

bool contains(const std::vector<platform::FileIdentity>& chain,
              const platform::FileIdentity& wanted) {
    return std::find(chain.begin(), chain.end(), wanted) != chain.end();
}

// The folders above and including the deepest existing folder on the way to
// `path` (a mirror folder the run will make).
std::vector<platform::FileIdentity> existingChain(const std::string& path, int& error) {
    std::string existing = platform::resolvePath(path);
    for (;;) {
        platform::OpResult opened;
        const platform::SourceTree folder = platform::SourceTree::open(existing, opened);
        if (opened.ok()) {
            return platform::folderAndAncestors(folder.fd(), &error);
        }
        const auto slash = existing.rfind(platform::kSeparator);
        if (existing.empty() || slash == std::string::npos || existing == "/") {
            return {};
        }
        existing = slash == 0 ? std::string("/") : existing.substr(0, slash);
    }
}

constexpr std::string_view kOverlapByIdentity =
    "the main and mirror folders are the same folder or one holds the other "
    "(through a bind mount or a link)";

// Entries at the top of a mounted folder that belong to the file system.
bool isFileSystemName(std::string_view top) {
    return top == "lost+found";
}

bool isTrashName(std::string_view relative) {
    return relative == ".Trash" || (relative.starts_with(".Trash-") &&
                                    relative.find(platform::kSeparator) == std::string_view::npos);
}

bool isBeneath(std::string_view relative, std::string_view top) {
    return relative.size() > top.size() && relative.starts_with(top) &&
           relative[top.size()] == platform::kSeparator;
}

bool hasTemporaryComponent(std::string_view relative) {
    return platform::isTemporaryName(platform::fileNameOf(relative));
}

}  // namespace

FolderComparer::FolderComparer(FileItemList* list) : m_list(list) {
    TF_ASSERT(list != nullptr);
    m_task = list->task();
    TF_ASSERT(m_task->getPolicy() != nullptr);
    m_policy.setFlags(m_task->getPolicy()->getFlags());
}

void FolderComparer::compareAll() {
    m_list->taskName = m_task->name;
    m_list->policyFlags = m_policy.getFlags();
    m_list->exclusions = m_task->exclude;
    m_includeFolder.clear();
    m_versionsProblem = m_task->versionsFolderProblem();
    if (m_task->versions.enabled && m_versionsProblem.empty()) {
        m_list->versions.folder = m_task->versionsFolder();
        m_list->versions.keepDays = m_task->versions.keepDays;
        m_list->versions.keepVersions = m_task->versions.keepVersions;
        m_resolvedVersions = platform::resolvePath(m_list->versions.folder);
    }

    const auto& folders = m_task->folderList.items();
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::size_t before = m_list->size();
        comparePair(i, folders[i]);
        // A pair whose plan skips something has not had all its entries
        // compared: a run of it proves nothing about their attributes.
        for (std::size_t item = before; item < m_list->size(); ++item) {
            if ((*m_list)[item].operation() == opSkip) {
                m_list->pairs[i].attributesKey.clear();
                break;
            }
        }
    }
    m_pair = 0;
    if (!folders.empty() && !m_list->pairs.empty() && !m_list->pairs[0].skipped) {
        m_includeFolder = m_task->includeFolder();
        for (const std::string& path : m_task->include.fileList()) {
            compareIncludedFile(path, m_includeFolder);
        }
    }
    m_list->directoryCount();  // counted now, read by the worker later
}

bool FolderComparer::refusePair(std::size_t index, const TaskFolderItem& folder,
                                std::string& reason) {
    const std::string main = platform::resolvePath(folder.main);
    const std::string mirror = platform::resolvePath(folder.mirror);
    m_resolvedMirrors.push_back(mirror);
    if (main.empty() || mirror.empty()) {
        reason = "main and mirror folders must be absolute paths";
        return true;
    }
    if (!m_versionsProblem.empty()) {
        reason = m_versionsProblem;
        return true;
    }
    // The text test of the model cannot see links: a versions folder that
    // resolves into a main folder would be copied, and could copy itself.
    if (!m_resolvedVersions.empty() && (platform::isSameOrInside(m_resolvedVersions, main) ||
                                        platform::isSameOrInside(main, m_resolvedVersions))) {
        reason = "the versions folder overlaps the main folder";
        return true;
    }
    if (platform::isSameOrInside(main, mirror) || platform::isSameOrInside(mirror, main)) {
        reason = "the main and mirror folders overlap";
        return true;
    }
    for (std::size_t earlier = 0; earlier < index; ++earlier) {
        const std::string& other = m_resolvedMirrors[earlier];
        if (!other.empty() &&
            (platform::isSameOrInside(mirror, other) || platform::isSameOrInside(other, mirror))) {
            reason = "the mirror folder overlaps the mirror of an earlier folder pair";
            return true;
        }
    }
    return false;
}

bool FolderComparer::refuseByIdentity(std::size_t index, const FileItemList::Pair& pair,
                                      std::string& reason) {
    int mainError = 0;
    int mirrorError = 0;
    const std::vector<platform::FileIdentity> mainChain =
        platform::folderAndAncestors(pair.source.fd(), &mainError);
    const bool mirrorExists = pair.tree.valid();
    std::vector<platform::FileIdentity> mirrorChain =
        mirrorExists ? platform::folderAndAncestors(pair.tree.fd(), &mirrorError)
                     : existingChain(pair.mirrorRoot, mirrorError);
    m_mirrorChains.resize(index);
    if (mainChain.empty() || mirrorChain.empty()) {
        m_mirrorChains.push_back({});
        // Nearly always a folder the user may not search (another user's
        // 0700 folder): say so, rather than leave them guessing.
        const bool mainFailed = mainChain.empty();
        const int error = mainFailed ? mainError : mirrorError;
        if (error != 0) {
            reason = std::string(mainFailed ? "the main folder" : "the mirror folder") +
                     " cannot be read: " + platform::OpResult::failure(error).message;
        } else {
            reason = "the main or mirror folder cannot be told apart from the other";
        }
        return true;
    }
    // A mirror still to be made lies beneath its deepest existing folder:
    // inside main when that folder is main or beneath it.
    if (contains(mirrorChain, mainChain.front()) ||
        (mirrorExists && contains(mainChain, mirrorChain.front()))) {
        m_mirrorChains.push_back({});
        reason = kOverlapByIdentity;
        return true;
    }
    for (std::size_t earlier = 0; earlier < index; ++earlier) {
        const auto& other = m_mirrorChains[earlier];
        if (!other.empty() && (contains(mirrorChain, other.front()) ||
                               (mirrorExists && contains(other, mirrorChain.front())))) {
            m_mirrorChains.push_back({});
            reason = "the mirror folder overlaps the mirror of an earlier folder pair";
            return true;
        }
    }
    m_mirrorChains.push_back(mirrorExists ? std::move(mirrorChain)
                                          : std::vector<platform::FileIdentity>{});
    return false;
}

void FolderComparer::comparePair(std::size_t index, const TaskFolderItem& folder) {
    m_pair = static_cast<std::int32_t>(index);
    FileItemList::Pair& pair = m_list->pairs.emplace_back();
    pair.mainRoot = platform::withTrailingSeparator(folder.main);
    pair.mirrorRoot = platform::withTrailingSeparator(folder.mirror);
    pair.versionsName = versions::pairFolderName(index, folder.mirror);
    const std::string mainPath(platform::folderOf(pair.mainRoot));

    const auto skipPair = [&](std::string reason) {
        pair.skipped = true;
        pair.tree = platform::MirrorTree();
        pair.source = platform::SourceTree();
        FileItem& item = m_list->newItem();
        item.isDirectory = true;
        item.pair = m_pair;
        item.setSource(mainPath.empty() ? pair.mainRoot : mainPath);
        item.setTarget(std::string(platform::folderOf(pair.mirrorRoot)));
        item.setOperation(opSkip);
        item.setReason(std::move(reason));
    };

    std::string reason;
    if (refusePair(index, folder, reason)) {
        m_mirrorChains.resize(index + 1);
        skipPair(reason);
        return;
    }

    // Hold the mirror for the whole plan and run, so two runs never meet. A
    // mirror folder that does not exist yet is made by the run.
    platform::OpResult opened;
    pair.tree = platform::MirrorTree::open(pair.mirrorRoot, m_lockWaitMs, opened);
    if (!opened.ok() && opened.error != ENOENT) {
        m_mirrorChains.resize(index + 1);
        skipPair(opened.error == EWOULDBLOCK
                     ? std::string("another run is using this mirror folder")
                     : opened.message);
        return;
    }
    // The main folder is read through what is opened here; a missing or
    // unreadable one is judged from its listing below.
    platform::OpResult mainOpened;
    pair.source = platform::SourceTree::open(pair.mainRoot, mainOpened);
    std::optional<platform::FileIdentity> mainIdentity;
    std::optional<platform::FileIdentity> mirrorIdentity;
    if (pair.source.valid()) {
        if (refuseByIdentity(index, pair, reason)) {
            skipPair(reason);
            return;
        }
        platform::FileIdentity identity;
        if (platform::identityOf(pair.source.fd(), identity)) {
            mainIdentity = identity;
        }
        if (pair.tree.valid() && platform::identityOf(pair.tree.fd(), identity)) {
            mirrorIdentity = identity;
        }
    } else {
        m_mirrorChains.resize(index + 1);
    }

    m_keptMetadata = opened.ok() ? platform::keptMetadata(pair.tree.fd()) : 0;
    const std::uint64_t attributesSince = attributesCheckedSince(pair);

    // Both trees are listed folder by folder as the comparison goes, each
    // side's next folders by a reader thread of its own, so that what is
    // held at a time is a few folders' listings rather than both trees. A
    // folder of either side met again while listing the other (a bind mount
    // of one inside the other) refuses the pair.
    const ListingRules mainRules{attributesSince, mirrorIdentity};
    const ListingRules mirrorRules{attributesSince, mainIdentity};
    const std::string& mainRoot = pair.mainRoot;
    const std::string& mirrorRoot = pair.mirrorRoot;
    const auto listRoot = [](const std::string& root, const ListingRules& rules, bool& missing) {
        auto handle =
            std::make_shared<platform::DirectoryHandle>(platform::DirectoryHandle::open(root));
        if (!handle->valid()) {
            missing = handle->error() == ENOENT || handle->error() == ENOTDIR;
            FolderListing listing;
            listing.failures.push_back(ScanFailure{root, handle->error(), true});
            return listing;
        }
        // Entry paths are built from the root as given, not its resolved form.
        return listFolder(std::move(handle), root, rules);
    };
    bool mainMissing = false;
    bool mirrorMissing = false;
    FolderListing mainTop = listRoot(mainRoot, mainRules, mainMissing);
    FolderListing mirrorTop =
        opened.ok() ? listRoot(mirrorRoot, mirrorRules, mirrorMissing) : FolderListing();
    const auto refuseOverlap = [&](const std::string& met) {
        skipPair(std::string(kOverlapByIdentity) + ": " + met);
    };
    if (!mainTop.metForbidden.empty() || !mirrorTop.metForbidden.empty()) {
        refuseOverlap(mainTop.metForbidden.empty() ? mirrorTop.metForbidden : mainTop.metForbidden);
        return;
    }

    const bool mirrorIsMount = opened.ok() && platform::isMountRoot(mirrorRoot);
    const bool mainIsMount = platform::isMountRoot(mainRoot);
    const std::string includeName =
        index == 0 ? std::string(platform::fileNameOf(m_task->includeFolder())) : std::string();
    // The versions folder when it lies inside this mirror, relative to it.
    std::string versionsName;
    if (const std::string& resolved = m_resolvedMirrors[index];
        !m_resolvedVersions.empty() && isBeneath(m_resolvedVersions, resolved)) {
        versionsName = m_resolvedVersions.substr(resolved.size() + 1);
    }

    // Mirror entries that no plan may touch: temporary files of killed runs,
    // the trash of a mounted mirror, the include folder of the first pair.
    const auto neverPlanned = [&](std::string_view relative, bool mirrorSide) {
        if (hasTemporaryComponent(relative)) {
            return true;
        }
        const bool mount = mirrorSide ? mirrorIsMount : mainIsMount;
        if (mount) {
            const std::string_view top = relative.substr(0, relative.find(platform::kSeparator));
            if (isTrashName(top) || isFileSystemName(top)) {
                return true;
            }
        }
        if (mirrorSide && !versionsName.empty() &&
            (relative == versionsName || isBeneath(relative, versionsName))) {
            return true;
        }
        return mirrorSide && !includeName.empty() &&
               (relative == includeName || isBeneath(relative, includeName));
    };

    // A main folder that is missing, unreadable, or empty while its mirror is
    // not (an unplugged drive, an unmounted share) must not empty the mirror.
    if (!mainTop.complete()) {
        skipPair(mainMissing ? "the main folder does not exist"
                             : systemReason(mainTop.failures.back().error));
        return;
    }
    if (mainTop.entries.empty() && mainTop.failures.empty()) {
        // A folder with a temporary name is not itself planned, but what it
        // holds may be.
        const bool mirrorHasContent =
            std::any_of(mirrorTop.entries.begin(), mirrorTop.entries.end(), [&](const FileInfo& e) {
                const std::string_view relative = relativeOf(e, mirrorRoot);
                return !neverPlanned(relative, true) ||
                       (e.isDirectory() && hasTemporaryComponent(relative));
            });
        if (mirrorHasContent || !mirrorTop.failures.empty()) {
            skipPair("the main folder is empty but its mirror is not; nothing was changed");
            return;
        }
    }
    m_timePrecision = std::max(platform::timePrecisionTicks(mainRoot),
                               opened.ok() ? mirrorTimePrecision(pair) : 1);
    m_kept = pair.tree.valid() ? pair.tree.kept() : platform::MetadataKept{};
    // The top folders' bits and owners are compared like any folder's; their
    // times not, since the run's own probe of the time precision changes the
    // mirror's (the run gives them back all the same).
    if (mainTop.folder != nullptr && mirrorTop.folder != nullptr) {
        const FileInfo mainFolder(mainRoot, platform::lookupOpen(mainTop.folder->fd()));
        const FileInfo mirrorFolder(mirrorRoot, platform::lookupOpen(mirrorTop.folder->fd()));
        if (mainFolder.lookupStatus() == LookupStatus::Found &&
            mirrorFolder.lookupStatus() == LookupStatus::Found &&
            attributesDiffer(mainFolder, mirrorFolder)) {
            pair.folderRepairs.push_back(mirrorRoot);
        }
    }

    UnknownPaths unknown;
    // A mirror folder that cannot be listed hides stale and extra entries:
    // one failed item says so, and nothing beneath it is planned.
    UnknownPaths mirrorUnknown;
    // On a mirror that ignores letter case, main entries whose names differ
    // in case only would land on one mirror entry and overwrite each other on
    // every run: the first in byte order is mirrored, the others fail.
    const bool foldsCase = opened.ok() && platform::ignoresCase(mirrorRoot);
    UnknownPaths caseLosers;
    // An entry facing one of the other kind (a folder facing a file or a
    // link, a file facing a folder): the mirror pass leaves what is beneath
    // it to the replacement, and the main pass plans nothing beneath one that
    // is not replaced.
    UnknownPaths typeChanged;
    UnknownPaths blocked;
    const auto kindsDiffer = [](const FileInfo& entry, const FileInfo& counterpart) {
        return entry.isDirectory() != counterpart.isDirectory();
    };
    // Whether the mirror folder `folder` holds an excluded entry anywhere
    // beneath it.
    const auto holdsExcluded = [&](const FileInfo& mirrorFolder) {
        DirectoryInfo beneath(mirrorFolder.path());
        scanInto(beneath, mainIdentity);
        return std::any_of(beneath.entries().begin(), beneath.entries().end(),
                           [this](const FileInfo& each) { return isExcluded(each); });
    };
    const auto changeType = [&](std::string_view relative, const FileInfo& entry,
                                const FileInfo& counterpart) {
        typeChanged.add(std::string(relative));
        // Replacing a mirror folder would delete what it holds, and excluded
        // entries are never deleted: the folder stays, and says why.
        if (counterpart.isDirectory() && m_list->exclusions && m_policy.isCopyNewFiles() &&
            m_policy.isDeleteMirrorOnly() && !isExcluded(entry) && !isExcluded(counterpart) &&
            holdsExcluded(counterpart)) {
            blocked.add(std::string(relative));
            addFailure(entry.path(), entry.isDirectory(),
                       "the mirror holds a folder here whose excluded entries are kept, so it "
                       "cannot be replaced");
            return;
        }
        if (!planTypeChange(entry, counterpart)) {
            blocked.add(std::string(relative));
        }
    };

    // One folder of the walk: its main and mirror listings, each present
    // only when that side has the folder. `mirrorParent` tells what the
    // mirror has at the folder's place when it has no listing of it.
    enum class MirrorPlace { Listed, NotFolder, NotListed };
    struct Folder {
        std::optional<FolderReader::Ticket> main;
        std::optional<FolderReader::Ticket> mirror;
        MirrorPlace mirrorPlace = MirrorPlace::NotListed;
        bool root = false;
    };

    // The counterpart of a main entry that its folder's listing did not show.
    // Never through a link or a file on the way; beneath a folder the mirror
    // does not have, nothing is there (unless the mirror matches names in
    // other letter case).
    const auto lookUpMirror = [&](const Folder& place, const std::string& path) {
        if (!place.root && (place.mirrorPlace == MirrorPlace::NotFolder ||
                            (place.mirrorPlace == MirrorPlace::NotListed && !foldsCase))) {
            platform::Lookup absent;
            absent.error = ENOENT;
            return absent;
        }
        return pair.tree.lookup(path);
    };

    const std::size_t planBefore = m_list->size();
    const bool runsMirrorPass = m_policy.isDeleteMirrorOnly() && opened.ok();
    // Skips of what main could not read follow the main pass's items, and
    // the mirror pass's items follow those.
    std::deque<FileItem> mainSkips;
    std::deque<FileItem> mirrorItems;
    // Mirror entries a main entry was matched with under another spelling
    // (a mirror that ignores letter case): by device and inode, and, for file
    // systems whose inode numbers follow the spelling, by lower-cased path.
    std::set<std::pair<std::uint64_t, std::uint64_t>> matchedByLookup;
    std::set<std::string> matchedNames;

    const auto compareFolderPair = [&](const Folder& place, const FolderListing* mainListing,
                                       const FolderListing* mirrorListing,
                                       const NameIndex& mainNames, const NameIndex& mirrorNames) {
        if (mirrorListing != nullptr) {
            for (const FileInfo& entry : mirrorListing->entries) {
                if (!entry.isDirectory() && platform::isTemporaryName(entry.fileName())) {
                    pair.leftovers.push_back(entry.path());
                }
                if (!neverPlanned(relativeOf(entry, mirrorRoot), true)) {
                    ++pair.mirrorEntries;
                }
            }
            for (const ScanFailure& failure : mirrorListing->failures) {
                const std::string_view relative = relativeOf(failure.path, mirrorRoot);
                if (neverPlanned(relative, true)) {
                    continue;
                }
                mirrorUnknown.add(std::string(relative));
                // The folder's own comparison came first, from its parent's
                // listing: what cannot be listed is not repaired either.
                if (failure.listing) {
                    auto& repairs = pair.folderRepairs;
                    if (const auto it = std::find(repairs.rbegin(), repairs.rend(), failure.path);
                        it != repairs.rend()) {
                        repairs.erase(std::next(it).base());
                    }
                }
                addFailure(failure.path, failure.listing,
                           (failure.listing ? "the mirror folder cannot be listed: "
                                            : "the mirror entry cannot be looked at: ") +
                               systemReason(failure.error));
            }
        }
        if (mainListing != nullptr) {
            for (const ScanFailure& failure : mainListing->failures) {
                const std::string_view relative = relativeOf(failure.path, mainRoot);
                unknown.add(std::string(relative));
                if (!neverPlanned(relative, false)) {
                    addSkip(failure.path, systemReason(failure.error), &mainSkips);
                }
            }
            std::unordered_map<std::string, std::string_view> firstSpelling;
            if (foldsCase) {
                for (const FileInfo& entry : mainListing->entries) {
                    const std::string_view relative = relativeOf(entry, mainRoot);
                    auto [it, inserted] =
                        firstSpelling.emplace(platform::lowerCase(relative), relative);
                    if (!inserted && relative < it->second) {
                        it->second = relative;
                    }
                }
            }
            // Main pass.
            std::size_t nextMirror = 0;
            for (const FileInfo& entry : mainListing->entries) {
                const std::string_view relative = relativeOf(entry, mainRoot);
                if (neverPlanned(relative, false)) {
                    continue;
                }
                if (!mirrorUnknown.empty() && mirrorUnknown.covers(relative)) {
                    continue;
                }
                if (!blocked.empty() && blocked.covers(relative)) {
                    continue;
                }
                if (foldsCase) {
                    if (!caseLosers.empty() && caseLosers.covers(relative)) {
                        continue;
                    }
                    const std::string_view first = firstSpelling[platform::lowerCase(relative)];
                    if (first != relative) {
                        caseLosers.add(std::string(relative));
                        addFailure(entry.path(), entry.isDirectory(),
                                   "another entry of the same name in other letter case (" +
                                       std::string(first) + ") is mirrored instead");
                        continue;
                    }
                }
                if (const FileInfo* found = mirrorNames.findInOrder(entry.fileName(), nextMirror)) {
                    if (kindsDiffer(entry, *found)) {
                        changeType(relative, entry, *found);
                    } else {
                        compareMain(entry, *found, LookupStatus::Found);
                    }
                    continue;
                }
                // Not listed under that exact name: ask the file system, which
                // may match names regardless of case or see what the listing
                // missed.
                std::string counterpartPath = mirrorRoot;
                counterpartPath.append(relative);
                const platform::Lookup lookup = lookUpMirror(place, counterpartPath);
                const FileInfo counterpart(std::move(counterpartPath), lookup);
                if (lookup.status == LookupStatus::Found) {
                    matchedByLookup.emplace(lookup.device, lookup.inode);
                    matchedNames.insert(platform::lowerCase(relative));
                    if (kindsDiffer(entry, counterpart)) {
                        changeType(relative, entry, counterpart);
                        continue;
                    }
                }
                // The counterpart's own record decides how it is tested, so
                // what the lookup found is what exists.
                compareMain(entry, counterpart, lookup.status);
            }
        }
        if (!runsMirrorPass || mirrorListing == nullptr) {
            return;
        }
        // Mirror pass: what main no longer has goes, under the policy.
        std::size_t nextMain = 0;
        for (const FileInfo& entry : mirrorListing->entries) {
            const std::string_view relative = relativeOf(entry, mirrorRoot);
            if (neverPlanned(relative, true) || unknown.covers(relative) ||
                (!caseLosers.empty() && caseLosers.covers(relative)) ||
                (!typeChanged.empty() && typeChanged.covers(relative))) {
                continue;
            }
            if (mainNames.findInOrder(entry.fileName(), nextMain) != nullptr) {
                continue;
            }
            std::string counterpartPath = mainRoot;
            counterpartPath.append(relative);
            LookupStatus status = platform::lookupEntry(counterpartPath).status;
            if (status == LookupStatus::Absent && !matchedByLookup.empty()) {
                // On a mirror that ignores letter case, the very entry a main
                // entry was matched with must not be deleted for its spelling.
                const platform::Lookup self = platform::lookupEntry(entry.path());
                if ((self.status == LookupStatus::Found &&
                     matchedByLookup.count({self.device, self.inode}) != 0) ||
                    matchedNames.count(platform::lowerCase(relative)) != 0) {
                    status = LookupStatus::Found;
                }
            }
            compareMirror(entry, std::move(counterpartPath), status, &mirrorItems);
        }
    };

    // The walk, depth first: a folder's own entries, then each subfolder
    // main has in its order, then those only the mirror has (after what main
    // matched with them under another spelling).
    FolderReader mainReader(mainRules);
    std::optional<FolderReader> mirrorReader;
    if (opened.ok()) {
        mirrorReader.emplace(mirrorRules);
    }
    std::vector<Folder> pending;
    pending.push_back(Folder{std::nullopt, std::nullopt, MirrorPlace::Listed, true});
    while (!pending.empty()) {
        const Folder here = pending.back();
        pending.pop_back();
        FolderListing mainListing;
        FolderListing mirrorListing;
        const bool hasMain = here.root || here.main.has_value();
        const bool hasMirror = here.root ? opened.ok() : here.mirror.has_value();
        if (here.root) {
            mainListing = std::exchange(mainTop, FolderListing());
            mirrorListing = std::exchange(mirrorTop, FolderListing());
        } else {
            if (here.main) {
                mainListing = mainReader.take(*here.main);
            }
            if (here.mirror) {
                mirrorListing = mirrorReader->take(*here.mirror);
            }
        }
        if (!mainListing.metForbidden.empty() || !mirrorListing.metForbidden.empty()) {
            // Found partway: what was planned for the pair is taken back.
            m_list->truncate(planBefore);
            pair.leftovers.clear();
            pair.folderRepairs.clear();
            pair.mirrorEntries = 0;
            refuseOverlap(mainListing.metForbidden.empty() ? mirrorListing.metForbidden
                                                           : mainListing.metForbidden);
            return;
        }
        // Each side's names, for the comparison and for the subfolders.
        const NameIndex mirrorNames(hasMirror ? &mirrorListing : nullptr);
        const NameIndex mainNames(hasMain ? &mainListing : nullptr);

        // The subfolders: those main has, in its order, then those only the
        // mirror has. Each reader is asked for them last-first, so that it
        // lists the first one next; and before this folder is compared, so
        // that the readers have them to list meanwhile.
        struct Next {
            const FileInfo* main = nullptr;
            const FileInfo* mirror = nullptr;
            MirrorPlace place = MirrorPlace::NotListed;
        };
        std::vector<Next> next;
        std::size_t nextMirror = 0;
        for (const FileInfo& entry : mainListing.entries) {
            if (entry.isDirectory()) {
                Next sub{&entry};
                if (const FileInfo* other = mirrorNames.findInOrder(entry.fileName(), nextMirror)) {
                    sub.place = other->isDirectory() ? MirrorPlace::Listed : MirrorPlace::NotFolder;
                    sub.mirror = other->isDirectory() ? other : nullptr;
                }
                next.push_back(sub);
            }
        }
        std::size_t nextMain = 0;
        for (const FileInfo& entry : mirrorListing.entries) {
            if (entry.isDirectory()) {
                const FileInfo* other = mainNames.findInOrder(entry.fileName(), nextMain);
                if (other == nullptr || !other->isDirectory()) {
                    next.push_back(Next{nullptr, &entry, MirrorPlace::Listed});
                }
            }
        }
        std::vector<FolderReader::Subfolder> mainAsked;
        std::vector<FolderReader::Subfolder> mirrorAsked;
        for (auto sub = next.rbegin(); sub != next.rend(); ++sub) {
            if (sub->main != nullptr) {
                mainAsked.push_back({std::string(sub->main->fileName()), sub->main->path()});
            }
            if (sub->mirror != nullptr) {
                mirrorAsked.push_back({std::string(sub->mirror->fileName()), sub->mirror->path()});
            }
        }
        std::vector<FolderReader::Ticket> mainTickets;
        std::vector<FolderReader::Ticket> mirrorTickets;
        if (mainListing.folder != nullptr) {
            mainTickets = mainReader.request(mainListing.folder, std::move(mainAsked));
        }
        if (mirrorListing.folder != nullptr) {
            mirrorTickets = mirrorReader->request(mirrorListing.folder, std::move(mirrorAsked));
        }
        auto mainTicket = mainTickets.begin();
        auto mirrorTicket = mirrorTickets.begin();
        for (auto sub = next.rbegin(); sub != next.rend(); ++sub) {
            Folder each;
            each.mirrorPlace = sub->place;
            if (sub->main != nullptr) {
                each.main = *mainTicket++;
            }
            if (sub->mirror != nullptr) {
                each.mirror = *mirrorTicket++;
            }
            pending.push_back(each);
        }
        compareFolderPair(here, hasMain ? &mainListing : nullptr,
                          hasMirror ? &mirrorListing : nullptr, mainNames, mirrorNames);
    }
    m_list->append(std::move(mainSkips));
    if (runsMirrorPass) {
        m_list->append(std::move(mirrorItems));
    }
}

void FolderComparer::compareMirror(const FileInfo& entry, std::string counterpartPath,
                                   LookupStatus status, std::deque<FileItem>* into) const {
    if (status == LookupStatus::Found) {
        return;
    }
    // The counterpart path is only shown; it does not exist.
    const FileInfo counterpart(std::move(counterpartPath), platform::FindRecord{});
    if (status == LookupStatus::Unknown) {
        addSkip(entry.path(), "the main side could not be read", into);
        return;
    }
    if (isExcluded(entry)) {
        addItem(entry, counterpart, opExclude, into);
        return;
    }
    addItem(entry, counterpart, entry.isDirectory() ? opDeleteDirectory : opDeleteFile, into);
}

void FolderComparer::compareMain(const FileInfo& entry, const FileInfo& counterpart,
                                 LookupStatus status) {
    const bool counterpartExists = status == LookupStatus::Found;
    if (isExcluded(entry)) {
        addItem(entry, counterpart, opExclude);
        // Its content is still judged entry by entry, so the folder holds
        // mirrored entries: it keeps main's bits like any other.
        if (counterpartExists && entry.isDirectory() && counterpart.isDirectory()) {
            compareFolder(entry, counterpart);
        }
        return;
    }
    if (status == LookupStatus::Unknown) {
        addSkip(entry.path(), systemReason(counterpart.lookupError()));
        return;
    }
    if (!counterpartExists && m_policy.isCopyNewFiles()) {
        addItem(entry, counterpart, entry.isDirectory() ? opCreateDirectory : opCreateFile);
    }
    if (entry.lookupStatus() != LookupStatus::Found || !counterpartExists) {
        return;
    }
    if (entry.isDirectory()) {
        compareFolder(entry, counterpart);
        return;
    }
    // A file facing a link or a FIFO (or the other way) is replaced.
    const bool copiesChanged = m_policy.isCopyIfSizeDiffers() || m_policy.isCopyIfTimeDiffers() ||
                               m_policy.isCopyIfAttributesDiffer();
    if (copiesChanged && (entry.mode() & platform::kModeTypeMask) !=
                             (counterpart.mode() & platform::kModeTypeMask)) {
        addItem(entry, counterpart, opUpdateFile);
        return;
    }
    if (m_policy.isCopyIfSizeDiffers() && entry.compareSize(counterpart) != 0) {
        addItem(entry, counterpart, opUpdateFile);
        return;
    }
    int order = 0;
    if (m_policy.isCopyIfTimeDiffers() && timesDiffer(entry, counterpart, order)) {
        if (!m_policy.isCopyOnlyIfMainNewer() || order > 0) {
            addItem(entry, counterpart, opUpdateFile);
        }
        return;
    }
    // Bits and owners alone are carried whenever changed files are copied
    // at all, in place: nothing about the content changed.
    if (copiesChanged && attributesDiffer(entry, counterpart)) {
        addItem(entry, counterpart, opUpdateFile).attributesOnly = true;
        return;
    }
    if (m_policy.isCopyIfAttributesDiffer() &&
        (entry.attributes() & kComparableAttributes) !=
            (counterpart.attributes() & kComparableAttributes)) {
        addItem(entry, counterpart, opUpdateFile);
        return;
    }
    // User attributes and ACLs are carried like permission bits: where only
    // they changed, the copy gets them without its content copied again.
    // Entries unchanged on both sides since the attributes were last all
    // found matching are not asked again: on a large tree that is two
    // system calls per file saved.
    if (m_keptMetadata != 0 && !entry.hasAttribute(platform::kAttrSymlink) &&
        !counterpart.hasAttribute(platform::kAttrSymlink) &&
        (entry.changedSince() || counterpart.changedSince()) &&
        !platform::sameExtendedAttributes(entry.path(), counterpart.path(), m_keptMetadata)) {
        addItem(entry, counterpart, opUpdateFile).attributesOnly = true;
    }
}

bool FolderComparer::attributesDiffer(const FileInfo& entry, const FileInfo& counterpart) const {
    if (!m_kept.permissions) {
        return false;
    }
    // A link's own bits mean nothing here and cannot be changed.
    if (!entry.hasAttribute(platform::kAttrSymlink) &&
        (entry.mode() & platform::kModePermissionMask) !=
            (counterpart.mode() & platform::kModePermissionMask)) {
        return true;
    }
    return m_kept.owners &&
           (entry.owner() != counterpart.owner() || entry.group() != counterpart.group());
}

void FolderComparer::compareFolder(const FileInfo& entry, const FileInfo& counterpart) {
    int order = 0;
    // User attributes and ACLs of folders (a default ACL above all) are
    // compared like those of files, and only where either side changed since
    // they were last all found matching.
    if (attributesDiffer(entry, counterpart) || timesDiffer(entry, counterpart, order) ||
        (m_keptMetadata != 0 && (entry.changedSince() || counterpart.changedSince()) &&
         !platform::sameExtendedAttributes(entry.path(), counterpart.path(), m_keptMetadata))) {
        m_list->pairs[static_cast<std::size_t>(m_pair)].folderRepairs.push_back(counterpart.path());
    }
}

bool FolderComparer::planTypeChange(const FileInfo& entry, const FileInfo& counterpart) {
    if (isExcluded(entry) || isExcluded(counterpart)) {
        addItem(entry, counterpart, opExclude);
        return false;
    }
    if (!m_policy.isCopyNewFiles()) {
        return false;
    }
    if (!m_policy.isDeleteMirrorOnly()) {
        const auto kind = [](const FileInfo& each) {
            return each.isDirectory()                          ? "a folder"
                   : each.hasAttribute(platform::kAttrSymlink) ? "a link"
                                                               : "a file";
        };
        addSkip(entry.path(), std::string("the mirror holds ") + kind(counterpart) +
                                  " where main has " + kind(entry) +
                                  ", and the copy policy does not delete from the mirror");
        return false;
    }
    // The mirror's entry goes first, under the policy's delete rule.
    addItem(counterpart, entry, counterpart.isDirectory() ? opDeleteDirectory : opDeleteFile);
    addItem(entry, counterpart, entry.isDirectory() ? opCreateDirectory : opCreateFile);
    return true;
}

bool FolderComparer::timesDiffer(const FileInfo& a, const FileInfo& b, int& order) const {
    // A file system that keeps coarser times than the other side would make
    // every copy look changed: times within its step count as equal.
    const std::uint64_t ta = a.lastWriteTime();
    const std::uint64_t tb = b.lastWriteTime();
    const std::uint64_t difference = ta > tb ? ta - tb : tb - ta;
    if (difference < m_timePrecision) {
        return false;
    }
    order = a.compareTime(b);
    return order != 0;
}

void FolderComparer::compareIncludedFile(const std::string& path,
                                         const std::string& includeFolder) {
    // "/a/dir/" names the folder "dir" like "/a/dir".
    std::string_view named(path);
    while (named.size() > 1 && named.back() == platform::kSeparator) {
        named.remove_suffix(1);
    }
    const FileInfo file{std::string(named)};
    std::string target = platform::withTrailingSeparator(includeFolder);
    target.append(platform::fileNameOf(named));
    const FileInfo counterpart(std::move(target));
    const LookupStatus status = counterpart.existence();
    if (file.lookupStatus() == LookupStatus::Unknown) {
        addSkip(path, systemReason(file.lookupError()));
        return;
    }
    compareMain(file, counterpart, status);
    if (file.isDirectory() && !isExcluded(file) && status != LookupStatus::Unknown) {
        compareIncludedFolder(file.path(), counterpart.path());
    }
}

void FolderComparer::compareIncludedFolder(const std::string& folder, const std::string& copy) {
    // The content is judged entry by entry like that of any folder of a
    // pair: the same rules, the same exclusions.
    DirectoryInfo info(folder);
    scanInto(info, std::nullopt);
    const std::string copyRoot = platform::withTrailingSeparator(copy);
    for (const FileInfo& entry : info.entries()) {
        const std::string_view relative = relativeOf(entry, info.root());
        if (hasTemporaryComponent(relative)) {
            continue;
        }
        std::string counterpartPath = copyRoot;
        counterpartPath.append(relative);
        const platform::Lookup lookup = platform::lookupEntry(counterpartPath);
        compareMain(entry, FileInfo(std::move(counterpartPath), lookup), lookup.status);
    }
    for (const auto& failure : info.failures()) {
        addSkip(failure.path, systemReason(failure.error));
    }
    if (!m_policy.isDeleteMirrorOnly()) {
        return;
    }
    // What was removed from the included folder goes from its copy too, as
    // from a mirror; nothing beneath what could not be read.
    DirectoryInfo copyInfo(copyRoot);
    scanInto(copyInfo, std::nullopt);
    std::unordered_set<std::string_view> present;
    for (const FileInfo& entry : info.entries()) {
        present.insert(relativeOf(entry, info.root()));
    }
    UnknownPaths unknown;
    for (const auto& failure : info.failures()) {
        unknown.add(std::string(relativeOf(failure.path, info.root())));
    }
    for (const auto& failure : copyInfo.failures()) {
        if (failure.path != copyInfo.root()) {
            addFailure(failure.path, failure.listing,
                       "the copy cannot be listed: " + systemReason(failure.error));
            unknown.add(std::string(relativeOf(failure.path, copyInfo.root())));
        }
    }
    for (const FileInfo& entry : copyInfo.entries()) {
        const std::string_view relative = relativeOf(entry, copyInfo.root());
        if (hasTemporaryComponent(relative) || present.count(relative) != 0 ||
            unknown.covers(relative)) {
            continue;
        }
        compareMirror(entry, info.root() + std::string(relative), LookupStatus::Absent);
    }
}

FileItem& FolderComparer::addItem(const FileInfo& entry, const FileInfo& counterpart,
                                  std::int32_t code, std::deque<FileItem>* into) const {
    FileItem& item = into != nullptr ? into->emplace_back() : m_list->newItem();
    item.isDirectory = entry.isDirectory();
    item.pair = m_pair;
    item.setSource(entry.path());
    item.setTarget(counterpart.path());
    item.setOperation(code);
    return item;
}

void FolderComparer::addSkip(const std::string& path, std::string reason,
                             std::deque<FileItem>* into) const {
    FileItem& item = into != nullptr ? into->emplace_back() : m_list->newItem();
    item.isDirectory = true;
    item.pair = m_pair;
    item.setSource(path);
    item.setOperation(opSkip);
    item.setReason(std::move(reason));
}

void FolderComparer::addFailure(const std::string& path, bool isDirectory, std::string reason) {
    FileItem& item = m_list->newItem();
    item.isDirectory = isDirectory;
    item.failure = true;
    item.pair = m_pair;
    item.setSource(path);
    item.setOperation(opSkip);
    item.setReason(std::move(reason));
}

std::uint64_t FolderComparer::mirrorTimePrecision(FileItemList::Pair& pair) {
    // The type's rule stays a floor: a FAT driver may keep finer times in
    // memory than it writes to the drive.
    const std::uint64_t rule = platform::timePrecisionTicks(pair.mirrorRoot);
    const std::string key = platform::fileSystemKey(pair.tree.fd());
    if (m_learnTimePrecision) {
        if (const std::uint64_t learned = pair.tree.learnTimePrecision(); learned != 0) {
            pair.timePrecisionLearned = true;
            if (m_list->mirrorMemory != nullptr) {
                m_list->mirrorMemory->remember(key, learned);
            }
            return std::max(rule, learned);
        }
    }
    if (m_list->mirrorMemory != nullptr) {
        if (const auto known = m_list->mirrorMemory->find(key)) {
            return std::max(rule, *known);
        }
    }
    return rule;
}

std::uint64_t FolderComparer::attributesCheckedSince(FileItemList::Pair& pair) const {
    // Only where both sides stamp change times from this machine's clock;
    // elsewhere every entry's attributes are compared on every run.
    if (m_keptMetadata == 0 || !pair.source.valid() || !pair.tree.valid() ||
        !platform::changeTimesTrusted(pair.source.fd()) ||
        !platform::changeTimesTrusted(pair.tree.fd())) {
        return 0;
    }
    platform::FileIdentity main;
    platform::FileIdentity mirror;
    if (!platform::identityOf(pair.source.fd(), main) ||
        !platform::identityOf(pair.tree.fd(), mirror)) {
        return 0;
    }
    // What the comparison depends on is part of the key, so a changed rule
    // word, filter or kind of metadata kept starts again from nothing.
    std::string rules = std::to_string(m_policy.getFlags());
    if (m_list->exclusions) {
        rules +=
            '\n' + m_list->exclusions->getFileTypes() + '\n' + m_list->exclusions->getFileAttrs();
        for (const std::string& path : m_list->exclusions->fileList()) {
            rules += '\n' + path;
        }
    }
    char key[160];
    std::snprintf(key, sizeof key, "attributes:%llx:%llx:%llx:%llx:%x:%zx",
                  static_cast<unsigned long long>(main.device),
                  static_cast<unsigned long long>(main.inode),
                  static_cast<unsigned long long>(mirror.device),
                  static_cast<unsigned long long>(mirror.inode), m_keptMetadata,
                  std::hash<std::string>{}(rules));
    pair.attributesKey = key;
    // File systems stamp times from a clock that may lag the one read here
    // by a tick; a margin keeps a change made just before the listing on
    // the compared side.
    constexpr std::int64_t kMarginSeconds = 2;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    pair.attributesCheckTime = platform::ticksFromUnix(
        now / 1000000000 - kMarginSeconds, static_cast<std::uint32_t>(now % 1000000000));
    if (m_list->mirrorMemory != nullptr) {
        if (const auto known = m_list->mirrorMemory->find(pair.attributesKey);
            known && *known <= pair.attributesCheckTime) {
            return *known;
        }
    }
    return 0;
}

bool FolderComparer::isExcluded(const FileInfo& entry) const {
    return m_list->exclusions.has_value() && m_list->exclusions->isExcluded(entry);
}
