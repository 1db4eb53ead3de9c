#include "snapshot/FolderListing.h"

#include <utility>

#include "platform/Path.h"

FolderListing listFolder(std::shared_ptr<const platform::DirectoryHandle> folder,
                         const std::string& path, const ListingRules& rules) {
    FolderListing listing;
    const bool separated = !path.empty() && path.back() == platform::kSeparator;
    const int error = folder->forEach([&](const platform::DirectoryHandle::Entry& entry) {
        std::string entryPath;
        entryPath.reserve(path.size() + 1 + entry.name.size());
        entryPath.append(path);
        if (!separated) {
            entryPath.push_back(platform::kSeparator);
        }
        entryPath.append(entry.name);
        if (entry.lookup.status != platform::LookupStatus::Found) {
            listing.failures.push_back(
                ScanFailure{std::move(entryPath), entry.lookup.error, false});
            return;
        }
        const bool isFolder = (entry.lookup.record.attributes & platform::kAttrDirectory) != 0;
        if (isFolder && rules.forbidden && entry.lookup.device == rules.forbidden->device &&
            entry.lookup.inode == rules.forbidden->inode) {
            if (listing.metForbidden.empty()) {
                listing.metForbidden = std::move(entryPath);
            }
            return;
        }
        listing.entries.emplace_back(std::move(entryPath), entry.lookup.record, rules.changedSince);
    });
    if (error != 0) {
        listing.failures.push_back(ScanFailure{path, error, true});
    }
    listing.folder = std::move(folder);
    return listing;
}

FolderListing listSubfolder(const platform::DirectoryHandle& parent, const std::string& name,
                            const std::string& path, const ListingRules& rules) {
    auto folder = std::make_shared<platform::DirectoryHandle>(parent.openChild(name.c_str()));
    if (!folder->valid()) {
        FolderListing listing;
        listing.failures.push_back(ScanFailure{path, folder->error(), true});
        return listing;
    }
    return listFolder(std::move(folder), path, rules);
}
