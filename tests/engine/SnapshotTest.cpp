#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "snapshot/DirectoryInfo.h"
#include "snapshot/DirectoryOp.h"
#include "snapshot/FileInfo.h"
#include "snapshot/FolderReader.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

using platform::LookupStatus;
using testsupport::TempDir;

namespace {

DirectoryInfo scanned(const std::string& root) {
    DirectoryInfo info(root);
    DirectoryOp op;
    op.attach(&info);
    op.scan();
    return info;
}

// A folder opened for readers to list subfolders beneath.
std::shared_ptr<const platform::DirectoryHandle> openShared(const std::string& path) {
    return std::make_shared<platform::DirectoryHandle>(platform::DirectoryHandle::open(path));
}

// The paths of a listing's entries, sorted.
std::vector<std::string> sortedPaths(const FolderListing& listing) {
    std::vector<std::string> paths;
    for (const FileInfo& entry : listing.entries) {
        paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> relativePaths(const DirectoryInfo& info) {
    std::vector<std::string> out;
    for (const FileInfo& e : info.entries()) {
        out.push_back(e.path().substr(info.root().size()));
    }
    return out;
}

std::ptrdiff_t indexOf(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) - v.begin();
}

}  // namespace

TEST(Snapshot, EmptyFoldersAndOneEmptySubfolder) {
    TempDir dir;
    EXPECT_TRUE(scanned(dir.path()).entries().empty());
    testsupport::makeDirs(dir / "only");
    const DirectoryInfo info = scanned(dir.path());
    ASSERT_EQ(info.entries().size(), 1u);
    EXPECT_EQ(info.entries()[0].path(), dir / "only");  // no trailing separator
    EXPECT_TRUE(info.entries()[0].isDirectory());
    EXPECT_TRUE(info.failures().empty());
}

TEST(Snapshot, ListsInPreOrderWithEachFolderContentTogether) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "a/x.txt\na/deep/y\nb.txt\nc/\n");
    const DirectoryInfo info = scanned(dir.path() + "/");
    EXPECT_EQ(info.root(), dir.path() + "/");
    const auto paths = relativePaths(info);
    ASSERT_EQ(paths.size(), 6u);
    const auto a = indexOf(paths, "a");
    EXPECT_EQ(indexOf(paths, "a/deep") - a <= 3, true);
    // a's three descendants follow it directly, in some order.
    std::vector<std::string> block(paths.begin() + a + 1, paths.begin() + a + 4);
    std::sort(block.begin(), block.end());
    EXPECT_EQ(block, (std::vector<std::string>{"a/deep", "a/deep/y", "a/x.txt"}));
    EXPECT_EQ(indexOf(paths, "a/deep/y"), indexOf(paths, "a/deep") + 1);
}

TEST(Snapshot, LinksAreEntriesAndNeverDescendedInto) {
    TempDir outside;
    testsupport::makeTree(outside.path(), "secret.txt=s\n");
    TempDir dir;
    testsupport::makeTree(dir.path(), "real/f\nloop->.\n");
    ASSERT_EQ(::symlink(outside.path().c_str(), (dir / "out").c_str()), 0);
    auto paths = relativePaths(scanned(dir.path()));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"loop", "out", "real", "real/f"}));

    // A root that is itself a link is followed, and entry paths keep the
    // root as given.
    const DirectoryInfo viaLink = scanned(dir / "out");
    ASSERT_EQ(viaLink.entries().size(), 1u);
    EXPECT_EQ(viaLink.entries()[0].path(), dir / "out/secret.txt");
}

TEST(Snapshot, MissingAndUnreadableFoldersAreRecorded) {
    TempDir dir;
    const DirectoryInfo missing = scanned(dir / "nope");
    EXPECT_TRUE(missing.entries().empty());
    EXPECT_TRUE(missing.rootMissing());
    ASSERT_EQ(missing.failures().size(), 1u);
    EXPECT_TRUE(missing.failures()[0].listing);

    testsupport::makeTree(dir.path(), "open/a\nclosed/b\nnosearch/c\n");
    ::chmod((dir / "closed").c_str(), 0);
    ::chmod((dir / "nosearch").c_str(), 0644);  // listable, not searchable
    const std::string root = dir.path();
    ::chmod(root.c_str(), 0755);  // the child runs as nobody
    const int status = testsupport::runUnprivileged([&] {
        const DirectoryInfo info = scanned(root);
        bool closedListed = false, closedFailed = false, cUnknown = false, bSeen = false;
        for (const FileInfo& e : info.entries()) {
            closedListed |= e.path() == root + "/closed";
            bSeen |= e.path() == root + "/closed/b";
        }
        for (const auto& f : info.failures()) {
            closedFailed |= f.listing && f.path == root + "/closed" && f.error == EACCES;
            cUnknown |= !f.listing && f.path == root + "/nosearch/c" && f.error == EACCES;
        }
        return closedListed && closedFailed && cUnknown && !bSeen && !info.rootMissing() ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST(Snapshot, CounterpartsAreLookedUpUnderTheOtherRoot) {
    TempDir main, mirror;
    testsupport::makeTree(main.path(), "a/b.txt=1\nsame=1\nfile-vs-dir=1\n");
    testsupport::makeTree(mirror.path(), "a/\nfile-vs-dir/\n");
    const DirectoryInfo info = scanned(main.path());
    const std::string mainRoot = main.path() + "/", mirrorRoot = mirror.path() + "/";
    for (const FileInfo& e : info.entries()) {
        const FileInfo other = e.createCounterpart(mainRoot, mirrorRoot);
        EXPECT_EQ(other.path(), mirrorRoot + e.path().substr(mainRoot.size()));
        const std::string rel = e.path().substr(mainRoot.size());
        if (rel == "a") {
            EXPECT_TRUE(other.exists());
        } else if (rel == "file-vs-dir") {
            // The counterpart is tested by its own record: a directory exists.
            EXPECT_TRUE(other.isDirectory());
            EXPECT_TRUE(other.exists());
        } else {
            EXPECT_FALSE(other.exists()) << rel;
            EXPECT_EQ(other.attributes(), 0u);
            EXPECT_EQ(other.lookupStatus(), LookupStatus::Absent);
        }
    }
}

TEST(Snapshot, ComparisonsUseFullTicksSizesAndAllAttributeBits) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "a\nb\n");
    testsupport::setWriteTime(dir / "a", 1700000000, 100);
    testsupport::setWriteTime(dir / "b", 1700000000, 200);  // one tick later
    FileInfo a(dir / "a"), b(dir / "b");
    EXPECT_EQ(a.compareTime(b), -1);
    EXPECT_EQ(b.compareTime(a), 1);
    EXPECT_EQ(a.compareTime(a), 0);

    platform::FindRecord big, small;
    big.size = (std::uint64_t{1} << 32) + 1;
    small.size = 2;
    EXPECT_EQ(FileInfo("/x", big).compareSize(FileInfo("/y", small)), 1);

    platform::FindRecord archive, plain;
    archive.attributes = 0x20;
    plain.attributes = 0x80;
    EXPECT_FALSE(FileInfo("/x", archive).sameAttributes(FileInfo("/y", plain)));
}

TEST(Snapshot, FileTypesKeepCaseAndSkipNamesWithoutExtension) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "a.TXT\nb.txt\nc\narchive.tar.gz\n.profile\nend.\n");
    DirectoryInfo info = scanned(dir.path());
    const auto types = info.fileTypes();
    EXPECT_EQ(types, (std::set<std::string>{"TXT", "gz", "profile", "txt"}));
}

TEST(Snapshot, NamesWithAnyBytesSurvive) {
    TempDir dir;
    const std::string odd = "caf\xE9\n-x";
    testsupport::writeFile(dir / odd, "z");
    const DirectoryInfo info = scanned(dir.path());
    ASSERT_EQ(info.entries().size(), 1u);
    EXPECT_EQ(info.entries()[0].fileName(), odd);
    EXPECT_TRUE(FileInfo(dir / odd).exists());
}

// A walker asks for subfolders and takes them in an order of its own; the
// reader must hand each one its own listing, never wait for a listing it
// holds back to keep memory bounded (a deadlock), and forget dropped ones.
TEST(FolderReader, EveryTakeOrderGetsItsOwnListingWithoutWaitingForever) {
    TempDir dir;
    std::string tree;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        tree += std::string(name) + "/" + name + "1\n" + name + "/" + name + "2\n";
    }
    testsupport::makeTree(dir.path(), tree);
    const auto root = openShared(dir.path());
    ASSERT_TRUE(root->valid());
    const std::vector<std::string> names{"a", "b", "c", "d", "e"};
    const std::vector<std::vector<std::size_t>> orders{
        {0, 1, 2, 3, 4}, {4, 3, 2, 1, 0}, {2, 0, 4, 1, 3}};
    for (const std::size_t ahead : {std::size_t{1}, std::size_t{64}}) {
        for (const auto& order : orders) {
            FolderReader reader(ListingRules{}, ahead);
            std::vector<FolderReader::Ticket> tickets;
            for (const std::string& name : names) {
                tickets.push_back(reader.request(root, name, dir / name));
            }
            for (const std::size_t i : order) {
                const FolderListing listing = reader.take(tickets[i]);
                ASSERT_TRUE(listing.complete()) << names[i];
                EXPECT_EQ(sortedPaths(listing),
                          (std::vector<std::string>{dir / names[i] + "/" + names[i] + "1",
                                                    dir / names[i] + "/" + names[i] + "2"}));
            }
        }
        // Dropped requests, listed or not, are forgotten; the rest still come.
        FolderReader reader(ListingRules{}, ahead);
        const auto first = reader.request(root, "a", dir / "a");
        const auto missing = reader.request(root, "gone", dir / "gone");
        const auto last = reader.request(root, "e", dir / "e");
        reader.drop(last);
        reader.drop(first);
        const FolderListing absent = reader.take(missing);
        EXPECT_FALSE(absent.complete());
        ASSERT_EQ(absent.failures.size(), 1u);
        EXPECT_TRUE(absent.failures[0].listing);
        EXPECT_EQ(absent.failures[0].path, dir / "gone");
    }
}

// A reader lists the subfolders of what it listed before the walker asks for
// them. The walker then asks for the ones it will visit, in its own order:
// each gets its own listing, and guesses it does not ask for are let go.
TEST(FolderReader, SubfoldersListedOnAGuessServeTheWalkersRequests) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "a/b/b1\na/c/c1\na/d/d1\n");
    const auto root = openShared(dir.path());
    ASSERT_TRUE(root->valid());
    const std::vector<std::vector<std::string>> asked{{"d", "b"}, {"b", "c", "d"}, {}, {"c"}};
    for (const std::size_t aheadFolders : {std::size_t{1}, std::size_t{64}}) {
        for (const auto& names : asked) {
            FolderReader reader(ListingRules{}, 32768, aheadFolders);
            const auto first = reader.request(root, "a", dir / "a");
            // Time for the reader to list a, then guesses up to its bound.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const FolderListing a = reader.take(first);
            ASSERT_TRUE(a.complete());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::vector<FolderReader::Subfolder> subfolders;
            for (const std::string& name : names) {
                subfolders.push_back({name, dir / ("a/" + name)});
            }
            const auto tickets = reader.request(a.folder, subfolders);
            ASSERT_EQ(tickets.size(), names.size());
            for (std::size_t i = names.size(); i-- > 0;) {
                const FolderListing listing = reader.take(tickets[i]);
                EXPECT_TRUE(listing.complete()) << names[i];
                EXPECT_EQ(
                    sortedPaths(listing),
                    (std::vector<std::string>{dir / ("a/" + names[i] + "/" + names[i] + "1")}));
            }
        }
    }
}

// What was guessed beneath a guess the walk never asks for goes with it: it
// would hold its folder open, and could be handed out for another folder
// whose handle took the freed one's place.
TEST(FolderReader, GuessesBeneathADroppedGuessGoWithIt) {
    TempDir dir;
    testsupport::makeTree(dir.path(), "a/b/c/c1\na/d/d1\n");
    const auto root = openShared(dir.path());
    ASSERT_TRUE(root->valid());
    const auto openBeneath = [&](const std::string& folder) {
        int count = 0;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
            count += !error && (target == folder || target.starts_with(folder + "/")) ? 1 : 0;
        }
        return count;
    };
    FolderReader reader(ListingRules{});
    const auto first = reader.request(root, "a", dir / "a");
    // The reader lists a, then b, c and d on a guess.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (openBeneath(dir / "a/b") < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(openBeneath(dir / "a/b"), 2) << "b and c were not listed ahead";
    const FolderListing a = reader.take(first);
    ASSERT_TRUE(a.complete());
    const auto tickets = reader.request(a.folder, {{"d", dir / "a/d"}});
    ASSERT_EQ(tickets.size(), 1u);
    EXPECT_TRUE(reader.take(tickets[0]).complete());
    EXPECT_EQ(openBeneath(dir / "a/b"), 0);
}

// Each listing kept ready holds its folder open. A folder of more subfolders
// than the process may open files (1024 on many desktops) must still be
// listed whole, however far the reader could get ahead.
TEST(FolderReader, ManySubfoldersListedAheadStayWithinTheOpenFileLimit) {
    TempDir dir;
    constexpr int kFolders = 1500;
    std::vector<std::string> names;
    for (int i = 0; i < kFolders; ++i) {
        names.push_back("d" + std::to_string(i));
        ASSERT_EQ(::mkdir((dir / names.back()).c_str(), 0755), 0);
    }
    const auto root = openShared(dir.path());
    ASSERT_TRUE(root->valid());

    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    const auto open =
        static_cast<rlim_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
    rlimit lowered = before;
    lowered.rlim_cur = std::min<rlim_t>(before.rlim_cur, open + 200);
    ASSERT_LT(lowered.rlim_cur, open + kFolders) << "the test needs a limit below its folders";
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<std::string> failed;
    {
        FolderReader reader(ListingRules{});
        std::vector<FolderReader::Ticket> tickets;
        for (auto name = names.rbegin(); name != names.rend(); ++name) {
            tickets.push_back(reader.request(root, *name, dir / *name));
        }
        // A walker busy elsewhere: the reader gets as far ahead as it may.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (auto ticket = tickets.rbegin(); ticket != tickets.rend(); ++ticket) {
            const FolderListing listing = reader.take(*ticket);
            if (!listing.complete()) {
                failed.push_back(listing.failures.empty() ? "?" : listing.failures.back().path);
            }
        }
    }
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);
    EXPECT_TRUE(failed.empty()) << failed.size() << " folders not listed, first " << failed[0];
}
