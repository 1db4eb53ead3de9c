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

    // Why a pair may not be added.
    enum class PairProblem {
        None,
        Empty,             // a folder is missing
        Same,              // the mirror is the main folder
        MirrorInsideMain,  // a run would copy into its own source
        MirrorAboveMain,   // deleting what is only in the mirror deletes the main folder
    };

    // Compares whole path components ("/data" and "/database" are a pair),
    // case-sensitively, of the lexically normal texts and, for folders that
    // exist, with their links resolved.
    static PairProblem pairProblem(std::string_view main, std::string_view mirror);
    // Whether a pair may be added: pairProblem() finds none.
    static bool isValidPair(std::string_view main, std::string_view mirror) {
        return pairProblem(main, mirror) == PairProblem::None;
    }

private:
    std::deque<TaskFolderItem> m_items;
};
