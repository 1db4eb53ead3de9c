#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "snapshot/FolderListing.h"

// Lists subfolders ahead of the one who walks a tree, on a thread of its own.
//
// The walker asks for the subfolders it will visit and later takes their
// listings one by one. The subfolder asked for last is listed first: a walker
// that goes depth first asks for a folder's subfolders last-first while at the
// folder, so the reader lists just what the walk needs next, and keeps at most
// a few listings ready so that memory stays bounded whatever the tree's size.
// Each listing ready holds its folder open (its subfolders are opened beneath
// it), so their number is bounded too: a folder of thousands of subfolders
// must not use up the process's open files (often 1024).
// A listing asked for but not yet begun when taken is made by the taker
// itself, so a walk never waits on what it does not need; one being made when
// taken, the taker helps by listing what the reader would list next. Without a
// thread to spare, every listing is made by the taker.
class FolderReader {
public:
    using Ticket = std::uint64_t;

    // `ahead` bounds the entries of the listings kept ready (one listing is
    // always allowed, however large), `aheadFolders` their number.
    explicit FolderReader(const ListingRules& rules, std::size_t ahead = 32768,
                          std::size_t aheadFolders = 64);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // A subfolder to list: its name in its parent and its own path.
    struct Subfolder {
        std::string name;
        std::string path;
    };

    // Asks for the subfolder `name` of the listed folder `parent`, whose
    // own path is `path`.
    Ticket request(std::shared_ptr<const platform::DirectoryHandle> parent, std::string name,
                   std::string path);
    // Asks for the subfolders of `parent` the walk will visit, as one
    // request each in turn (the last is listed first). Its other subfolders,
    // listed ahead on a guess, are let go.
    std::vector<Ticket> request(const std::shared_ptr<const platform::DirectoryHandle>& parent,
                                std::vector<Subfolder> subfolders);
    // The listing asked for with `ticket`; each ticket is taken once.
    FolderListing take(Ticket ticket);
    // Forgets a request whose listing is no longer wanted.
    void drop(Ticket ticket);

private:
    enum class State { Waiting, Listing, Ready, Dropped };
    struct Job {
        std::shared_ptr<const platform::DirectoryHandle> parent;
        std::string name;
        std::string path;
        State state = State::Waiting;
        FolderListing listing;
    };
    using GuessKey = std::pair<const platform::DirectoryHandle*, std::string_view>;

    void work();
    Ticket add(std::shared_ptr<const platform::DirectoryHandle> parent, std::string name,
               std::string path);
    // Guesses at the subfolders of a listing just made: the walk visits
    // every subfolder of what it lists, so the reader lists them ahead.
    void guessSubfolders(const FolderListing& listing);
    void dropLocked(std::unordered_map<Ticket, Job>::iterator found);
    // Takes a ready listing out of the jobs, freeing its place in the bounds.
    FolderListing release(std::unordered_map<Ticket, Job>::iterator found);
    // Drops the guesses not asked for among the subfolders of `folder`.
    void dropGuessesIn(const platform::DirectoryHandle* folder);
    // True when a request waits and the bound leaves room for its listing.
    bool canListNext() const;
    // Lists the request on top of the stack, unlocking `lock` meanwhile.
    void listNext(std::unique_lock<std::mutex>& lock);
    FolderListing list(const Job& job) const;

    const ListingRules m_rules;
    const std::size_t m_aheadEntries;
    const std::size_t m_aheadFolders;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unordered_map<Ticket, Job> m_jobs;
    // Waiting tickets; the last is listed next. Tickets taken or dropped
    // meanwhile are skipped when they come up.
    std::vector<Ticket> m_stack;
    // Guessed requests not yet asked for, by parent and name (a view of the
    // job's own name).
    std::map<GuessKey, Ticket> m_guesses;
    std::size_t m_ready = 0;
    std::size_t m_readyEntries = 0;
    Ticket m_next = 0;
    bool m_stopping = false;
    std::thread m_thread;
};
