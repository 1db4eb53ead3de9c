#include "snapshot/DirectoryOp.h"

#include <cerrno>
#include <memory>
#include <string>

#include "platform/Assert.h"
#include "platform/Path.h"
#include "snapshot/DirectoryInfo.h"

void DirectoryOp::attach(DirectoryInfo* info) {
    TF_ASSERT(info != nullptr);
    m_target = info;
}

void DirectoryOp::scan() {
    TF_ASSERT(m_target != nullptr);
    const std::string& root = m_target->root();
    auto handle =
        std::make_shared<platform::DirectoryHandle>(platform::DirectoryHandle::open(root));
    if (!handle->valid()) {
        const int error = handle->error();
        if (error == ENOENT || error == ENOTDIR) {
            m_target->setRootMissing(true);
        }
        m_target->addFailure(root, error, true);
        return;
    }
    m_rules.changedSince = m_target->changedSinceTicks();
    // Entry paths are built from the root as given, not its resolved form.
    add(listFolder(std::move(handle), root, m_rules));
}

void DirectoryOp::add(FolderListing listing) {
    // A folder is listed completely before its subfolders, so that only the
    // listings on the way down are alive however deep the tree is.
    if (m_metForbidden.empty()) {
        m_metForbidden = std::move(listing.metForbidden);
    }
    for (ScanFailure& failure : listing.failures) {
        m_target->addFailure(std::move(failure.path), failure.error, failure.listing);
    }
    for (FileInfo& entry : listing.entries) {
        const FileInfo& added = m_target->add(std::move(entry));
        if (added.isDirectory()) {
            add(listSubfolder(*listing.folder, std::string(added.fileName()), added.path(),
                              m_rules));
        }
    }
}
