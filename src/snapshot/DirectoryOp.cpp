#include "snapshot/DirectoryOp.h"

#include <cerrno>
#include <string>
#include <vector>

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
    const platform::DirectoryHandle handle = platform::DirectoryHandle::open(root);
    if (!handle.valid()) {
        const int error = handle.error();
        if (error == ENOENT || error == ENOTDIR) {
            m_target->setRootMissing(true);
        }
        m_target->addFailure(root, error, true);
        return;
    }
    // Entry paths are built from the root as given, not its resolved form.
    scanFolder(handle, root);
}

void DirectoryOp::scanFolder(const platform::DirectoryHandle& folder,
                             const std::string& folderPath) {
    // List this folder completely before descending, so that only one
    // listing buffer is alive at a time however deep the tree is.
    struct Child {
        std::string path;
        platform::FindRecord record;
    };
    std::vector<Child> children;
    const std::size_t prefix =
        folderPath.size() + (folderPath.back() == platform::kSeparator ? 0 : 1);
    const int error = folder.forEach([&](const platform::DirectoryHandle::Entry& entry) {
        std::string path;
        path.reserve(prefix + entry.name.size());
        path.append(folderPath);
        if (path.back() != platform::kSeparator) {
            path.push_back(platform::kSeparator);
        }
        path.append(entry.name);
        if (entry.lookup.status != platform::LookupStatus::Found) {
            m_target->addFailure(std::move(path), entry.lookup.error, false);
            return;
        }
        if (m_forbidden && entry.lookup.device == m_forbidden->device &&
            entry.lookup.inode == m_forbidden->inode &&
            (entry.lookup.record.attributes & platform::kAttrDirectory) != 0) {
            if (m_metForbidden.empty()) {
                m_metForbidden = path;
            }
            return;
        }
        children.push_back(Child{std::move(path), entry.lookup.record});
    });
    if (error != 0) {
        m_target->addFailure(folderPath, error, true);
    }
    for (Child& child : children) {
        const FileInfo& added = m_target->add(std::move(child.path), child.record);
        if (!added.isDirectory()) {
            continue;
        }
        const std::string nameText(added.fileName());
        const platform::DirectoryHandle sub = folder.openChild(nameText.c_str());
        if (!sub.valid()) {
            m_target->addFailure(added.path(), sub.error(), true);
            continue;
        }
        scanFolder(sub, added.path());
    }
}
