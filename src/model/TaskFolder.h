#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

// One folder pair: the main folder is copied to the mirror folder, never back.
// Both are read directly; they are written through set(), which stores each in
// its lexically normal form (platform::lexicallyNormal()), so that "/data//a/"
// and "/data/./a" name the folder "/data/a" whose entries excluded paths match.
class TaskFolderItem {
public:
    void set(std::string_view mainFolder, std::string_view mirrorFolder);

    std::string main;
    std::string mirror;
};

// A task's folder pairs in the order the user entered them.
class TaskFolder {
public:
    // Appends a pair with empty texts for the caller to fill. The reference
    // stays valid until clearItems().
    TaskFolderItem& addItem() { return m_items.emplace_back(); }
    // Appends the pair, normalised as TaskFolderItem::set() does.
    TaskFolderItem& addItem(std::string_view main, std::string_view mirror);
    void clearItems() { m_items.clear(); }

    const std::deque<TaskFolderItem>& items() const { return m_items; }
    // A pair to edit in place; the index must be below count().
    TaskFolderItem& item(std::size_t index) { return m_items.at(index); }
    std::size_t count() const { return m_items.size(); }

    // Whether a pair may be added: the mirror must be neither the main folder,
    // nor inside it, nor any folder above it (deleting what exists only in
    // such a mirror would delete the main folder itself). A case-sensitive
    // test of the lexically normal texts: a mirror that merely begins with
    // the main folder's text ("/data" and "/database") is refused as well,
    // and empty texts are never a pair.
    static bool isValidPair(std::string_view main, std::string_view mirror);

private:
    std::deque<TaskFolderItem> m_items;
};
