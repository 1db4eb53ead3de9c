#include "snapshot/FolderReader.h"

#include <system_error>
#include <utility>

#include "platform/Assert.h"

FolderReader::FolderReader(const ListingRules& rules, std::size_t ahead, std::size_t aheadFolders)
    : m_rules(rules),
      m_aheadEntries(ahead == 0 ? 1 : ahead),
      m_aheadFolders(aheadFolders == 0 ? 1 : aheadFolders) {
    try {
        m_thread = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // No thread to spare: take() lists every folder itself.
    }
}

FolderReader::~FolderReader() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

FolderReader::Ticket FolderReader::add(std::shared_ptr<const platform::DirectoryHandle> parent,
                                       std::string name, std::string path) {
    const Ticket ticket = m_next++;
    Job job;
    job.parent = std::move(parent);
    job.name = std::move(name);
    job.path = std::move(path);
    m_jobs.emplace(ticket, std::move(job));
    m_stack.push_back(ticket);
    return ticket;
}

FolderReader::Ticket FolderReader::request(std::shared_ptr<const platform::DirectoryHandle> parent,
                                           std::string name, std::string path) {
    TF_ASSERT(parent != nullptr);
    Ticket ticket = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ticket = add(std::move(parent), std::move(name), std::move(path));
    }
    m_changed.notify_all();
    return ticket;
}

std::vector<FolderReader::Ticket> FolderReader::request(
    const std::shared_ptr<const platform::DirectoryHandle>& parent,
    std::vector<Subfolder> subfolders) {
    TF_ASSERT(parent != nullptr);
    std::vector<Ticket> tickets;
    tickets.reserve(subfolders.size());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Subfolder& each : subfolders) {
            const auto guess = m_guesses.find(GuessKey(parent.get(), each.name));
            if (guess == m_guesses.end()) {
                tickets.push_back(add(parent, std::move(each.name), std::move(each.path)));
                continue;
            }
            const Ticket ticket = guess->second;
            m_guesses.erase(guess);
            if (m_jobs.at(ticket).state == State::Waiting) {
                m_stack.push_back(ticket);  // in the walk's order, which may differ
            }
            tickets.push_back(ticket);
        }
        // The walk will not visit what it did not ask for.
        dropGuessesIn(parent.get());
    }
    m_changed.notify_all();
    return tickets;
}

void FolderReader::guessSubfolders(const FolderListing& listing) {
    if (listing.folder == nullptr) {
        return;
    }
    for (auto entry = listing.entries.rbegin(); entry != listing.entries.rend(); ++entry) {
        if (!entry->isDirectory()) {
            continue;
        }
        const Ticket ticket = add(listing.folder, std::string(entry->fileName()), entry->path());
        m_guesses.emplace(GuessKey(listing.folder.get(), m_jobs.at(ticket).name), ticket);
    }
}

FolderListing FolderReader::list(const Job& job) const {
    return listSubfolder(*job.parent, job.name, job.path, m_rules);
}

FolderListing FolderReader::take(Ticket ticket) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto found = m_jobs.find(ticket);
    TF_ASSERT(found != m_jobs.end());
    Job& job = found->second;
    if (job.state == State::Waiting) {
        // Not begun: listed here rather than waited for. Its place in the
        // stack is skipped when it comes up.
        Job mine = std::move(job);
        m_jobs.erase(found);
        lock.unlock();
        return list(mine);
    }
    // Being listed: rather than sit idle meanwhile, list what the reader
    // would list next. Neither waits for the other, and the bound on what is
    // kept ready holds for both.
    while (job.state != State::Ready) {
        m_changed.wait(lock, [this, &job] { return job.state == State::Ready || canListNext(); });
        if (job.state != State::Ready) {
            listNext(lock);
        }
    }
    // Found again: the reader may have added jobs meanwhile.
    FolderListing listing = release(m_jobs.find(ticket));
    lock.unlock();
    m_changed.notify_all();
    return listing;
}

void FolderReader::drop(Ticket ticket) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_jobs.find(ticket);
    if (found != m_jobs.end()) {
        dropLocked(found);
    }
    m_changed.notify_all();
}

void FolderReader::dropGuessesIn(const platform::DirectoryHandle* folder) {
    // Taken out of the table first: dropping one drops what was guessed
    // beneath it in turn, which may sit right after these in the table.
    const auto first = m_guesses.lower_bound(GuessKey(folder, std::string_view()));
    auto last = first;
    std::vector<Ticket> dropped;
    for (; last != m_guesses.end() && last->first.first == folder; ++last) {
        dropped.push_back(last->second);
    }
    m_guesses.erase(first, last);
    for (const Ticket ticket : dropped) {
        const auto found = m_jobs.find(ticket);
        if (found != m_jobs.end()) {
            dropLocked(found);
        }
    }
}

void FolderReader::dropLocked(std::unordered_map<Ticket, Job>::iterator found) {
    switch (found->second.state) {
        case State::Waiting:
            m_jobs.erase(found);
            break;
        case State::Listing:
            found->second.state = State::Dropped;  // erased when the listing ends
            break;
        case State::Ready: {
            // What was guessed beneath it goes too: nobody will ask for it,
            // and its folder may be freed and its address taken again.
            const FolderListing gone = release(found);
            if (gone.folder != nullptr) {
                dropGuessesIn(gone.folder.get());
            }
            break;
        }
        case State::Dropped:
            break;
    }
}

FolderListing FolderReader::release(std::unordered_map<Ticket, Job>::iterator found) {
    FolderListing listing = std::move(found->second.listing);
    m_readyEntries -= listing.entries.size() + 1;
    --m_ready;
    m_jobs.erase(found);
    return listing;
}

bool FolderReader::canListNext() const {
    return !m_stack.empty() && m_readyEntries < m_aheadEntries && m_ready < m_aheadFolders;
}

void FolderReader::listNext(std::unique_lock<std::mutex>& lock) {
    const Ticket ticket = m_stack.back();
    m_stack.pop_back();
    const auto found = m_jobs.find(ticket);
    if (found == m_jobs.end() || found->second.state != State::Waiting) {
        return;  // taken or dropped meanwhile
    }
    Job& job = found->second;
    job.state = State::Listing;
    lock.unlock();
    FolderListing listing = list(job);
    lock.lock();
    // The map's nodes stay put, so `job` is still the job unless dropped.
    const auto again = m_jobs.find(ticket);
    if (again->second.state == State::Dropped) {
        m_jobs.erase(again);
        return;
    }
    m_readyEntries += listing.entries.size() + 1;
    again->second.parent.reset();  // no longer needed, and it holds a folder open
    guessSubfolders(listing);
    again->second.listing = std::move(listing);
    again->second.state = State::Ready;
    ++m_ready;
    lock.unlock();
    m_changed.notify_all();
    lock.lock();
}

void FolderReader::work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || canListNext(); });
        if (m_stopping) {
            return;
        }
        listNext(lock);
    }
}
