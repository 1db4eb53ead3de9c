#include "engine/FileItemList.h"

#include "platform/Assert.h"

FileItemList::FileItemList(const Task* task) : m_task(task) {
    TF_ASSERT(task != nullptr);
}

FileItem& FileItemList::newItem() {
    return m_items.emplace_back();
}

void FileItemList::append(std::deque<FileItem>&& items) {
    for (FileItem& item : items) {
        m_items.push_back(std::move(item));
    }
    items.clear();
}

void FileItemList::truncate(std::size_t size) {
    if (size < m_items.size()) {
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(size), m_items.end());
    }
}

std::int32_t FileItemList::directoryCount() {
    if (m_directoryCount < 0) {
        std::int32_t count = 0;
        for (const FileItem& item : m_items) {
            count += item.isDirectory ? 1 : 0;
        }
        m_directoryCount = count;
    }
    return m_directoryCount;
}

std::int32_t FileItemList::fileCount() {
    return static_cast<std::int32_t>(m_items.size()) - directoryCount();
}

void FileItemList::releaseMirrors() {
    for (Pair& pair : pairs) {
        pair.tree = platform::MirrorTree();
        pair.source = platform::SourceTree();
    }
}
