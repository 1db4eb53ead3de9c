#include "engine/PlanCheck.h"

#include <algorithm>

#include "engine/FileItemList.h"
#include "platform/FindRecord.h"

namespace {

using platform::LookupStatus;

bool touches(std::int32_t operation) {
    return operation != opSkip && operation != opExclude;
}

PlanSnapshot::Seen seenOf(const platform::Lookup& lookup) {
    PlanSnapshot::Seen seen;
    seen.status = lookup.status;
    if (lookup.status != LookupStatus::Found) {
        return seen;
    }
    seen.isLink = (lookup.record.attributes & platform::kAttrSymlink) != 0;
    seen.isDirectory = !seen.isLink && (lookup.record.attributes & platform::kAttrDirectory) != 0;
    // A folder's own size and time change with its entries; only files
    // compare by them.
    if (!seen.isDirectory) {
        seen.size = lookup.record.size;
        seen.lastWriteTime = lookup.record.lastWriteTime;
    }
    return seen;
}

PlanSnapshot::Seen look(const std::string& path) {
    return path.empty() ? PlanSnapshot::Seen{} : seenOf(platform::lookupEntry(path));
}

// Every entry beneath an open folder, as sortable keys; an entry that could
// not be read gives a key that never matches.
void listBeneath(const platform::DirectoryHandle& folder, const std::string& prefix,
                 std::vector<std::string>& keys) {
    folder.forEach([&](const platform::DirectoryHandle::Entry& entry) {
        const std::string relative = prefix + std::string(entry.name);
        const PlanSnapshot::Seen seen = seenOf(entry.lookup);
        keys.push_back(relative + '\0' +
                       (seen.isDirectory ? 'd'
                        : seen.isLink    ? 'l'
                                         : 'f') +
                       std::to_string(seen.size) + ':' + std::to_string(seen.lastWriteTime) +
                       (seen.status == LookupStatus::Found ? "" : "?"));
        if (seen.isDirectory) {
            const std::string name(entry.name);
            const platform::DirectoryHandle child = folder.openChild(name.c_str());
            if (child.valid()) {
                listBeneath(child, relative + '/', keys);
            } else {
                keys.push_back(relative + std::string("/\0?", 3));
            }
        }
    });
}

std::vector<std::string> beneath(const std::string& folder) {
    std::vector<std::string> keys;
    const platform::DirectoryHandle handle = platform::DirectoryHandle::open(folder);
    if (handle.valid()) {
        listBeneath(handle, {}, keys);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

const char* difference(const PlanSnapshot::Seen& then, const PlanSnapshot::Seen& now) {
    if (now.status == LookupStatus::Unknown) {
        return "cannot be read now";
    }
    if (then.status != now.status) {
        return now.status == LookupStatus::Found ? "has appeared" : "has gone";
    }
    if (then.isDirectory != now.isDirectory || then.isLink != now.isLink) {
        return "changed type";
    }
    if (then.size != now.size || then.lastWriteTime != now.lastWriteTime) {
        return "was modified";
    }
    return nullptr;
}

}  // namespace

PlanSnapshot takePlanSnapshot(const FileItemList& plan) {
    PlanSnapshot snapshot;
    snapshot.sources.resize(plan.size());
    snapshot.targets.resize(plan.size());
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const FileItem& item = plan[i];
        if (!touches(item.operation())) {
            continue;
        }
        snapshot.sources[i] = look(item.source());
        snapshot.targets[i] = look(item.target());
        if (item.operation() == opDeleteDirectory) {
            snapshot.beneath[i] = beneath(item.source());
        }
    }
    return snapshot;
}

std::size_t recheckPlan(FileItemList& plan, const PlanSnapshot& seen) {
    std::size_t changed = 0;
    for (std::size_t i = 0; i < plan.size() && i < seen.sources.size(); ++i) {
        FileItem& item = plan.at(i);
        if (!touches(item.operation())) {
            continue;
        }
        std::string reason;
        if (const char* why = difference(seen.sources[i], look(item.source()))) {
            reason = item.source() + " " + why + " since the preview";
        } else if (const char* whyTarget = difference(seen.targets[i], look(item.target()))) {
            reason = item.target() + " " + whyTarget + " since the preview";
        } else if (item.operation() == opDeleteDirectory) {
            const auto found = seen.beneath.find(i);
            const std::vector<std::string> now = beneath(item.source());
            // Entries gone meanwhile are fine; one added or changed is not.
            if (found == seen.beneath.end() ||
                !std::includes(found->second.begin(), found->second.end(), now.begin(),
                               now.end())) {
                reason = item.source() + " holds entries the preview did not list";
            }
        }
        if (!reason.empty()) {
            item.setOperation(opSkip);
            item.setReason(std::move(reason));
            ++changed;
        }
    }
    return changed;
}
