#include "platform/FileOps.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FileOpsTestTools.h"
#include "support/MountNamespace.h"
#include "support/SysFault.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

namespace {

using fileopstest::hasTemporary;
using fileopstest::listNames;
using fileopstest::lstatOf;
using platform::MirrorTree;
using platform::OpResult;
using testsupport::Fault;
using testsupport::pathExists;
using testsupport::readFile;
using testsupport::Sys;
using testsupport::SysFault;
using testsupport::writeFile;

constexpr uid_t kNobody = 65534;

void setTimes(const std::string& path, timespec access, timespec write) {
    const timespec times[2] = {access, write};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string patternedContent(std::size_t size) {
    std::string content(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : content) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return content;
}

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::makeDirs(m_main);
        testsupport::makeDirs(m_mirror);
        m_tree = open(m_mirror + "/");
        ASSERT_TRUE(m_tree.valid());
        OpResult opened;
        m_source = platform::SourceTree::open(m_main + "/", opened);
        ASSERT_TRUE(opened.ok()) << opened.message;
    }

    static MirrorTree open(const std::string& root) {
        OpResult result;
        MirrorTree tree = MirrorTree::open(root, 0, result);
        EXPECT_TRUE(result.ok()) << root << ": " << result.message;
        return tree;
    }

    std::string main(const std::string& name) const { return m_main + "/" + name; }
    std::string mirror(const std::string& name) const { return m_mirror + "/" + name; }

    testsupport::TempDir m_tmp;
    std::string m_main = m_tmp / "main";
    std::string m_mirror = m_tmp / "mirror";
    MirrorTree m_tree;
    platform::SourceTree m_source;
    std::vector<SysFault> m_faults;
};

// Makes content go through read and write, as between file systems the
// kernel cannot copy between.
std::vector<SysFault> withoutKernelCopy() {
    std::vector<SysFault> faults;
    faults.push_back(SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP)));
    faults.push_back(SysFault::on<&Sys::copy_file_range>(Fault::fail(EXDEV)));
    return faults;
}

// Every content test runs through both the kernel's copy and read/write, the
// path taken between file systems the kernel cannot copy between.
class FileOpsCopyTest : public FileOpsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        if (GetParam()) {
            m_faults = withoutKernelCopy();
        }
    }
};

TEST_P(FileOpsCopyTest, KeepsContentTimesAndModeAndReplacesReadOnlyTarget) {
    const std::string source = main("data.bin");
    const std::string content = patternedContent((std::size_t{1} << 20) + 12345);
    writeFile(source, content);
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    const timespec access{1000000000, 123456789};
    const timespec write{1500000000, 987654321};
    setTimes(source, access, write);

    const std::string target = mirror("a/b/data.bin");
    const OpResult result = m_tree.copyFile(m_source, source, target);
    ASSERT_TRUE(result.ok()) << result.message;

    const struct stat st = lstatOf(target);  // before reading moves the access time
    EXPECT_EQ(readFile(target), content);
    EXPECT_TRUE(sameTime(st.st_mtim, write));
    EXPECT_TRUE(sameTime(st.st_atim, access));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(lstatOf(mirror("a")).st_mode & S_IRWXU, static_cast<mode_t>(S_IRWXU));
    EXPECT_EQ(lstatOf(mirror("a/b")).st_mode & S_IRWXU, static_cast<mode_t>(S_IRWXU));
    EXPECT_FALSE(hasTemporary(mirror("a/b")));

    // A read-only target is replaced by the newer content.
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    writeFile(source, "shorter now");
    ASSERT_TRUE(m_tree.copyFile(m_source, source, target).ok());
    EXPECT_EQ(readFile(target), "shorter now");
    EXPECT_EQ(lstatOf(target).st_mode & 07777, 0640u);
}

// Root copies the source's owner and group; anyone else cannot give a file
// away, and the copy belongs to whoever made it.
TEST_P(FileOpsCopyTest, CopyHasTheSourcesOwnerOnlyWhenRootCopies) {
    const std::string source = main("owned");
    writeFile(source, "x");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(source.c_str(), 1234, 5678), 0);
    }
    const std::string target = mirror("owned");
    const OpResult result = m_tree.copyFile(m_source, source, target);
    ASSERT_TRUE(result.ok()) << result.message;

    const struct stat st = lstatOf(target);
    EXPECT_EQ(st.st_uid, root ? 1234u : ::geteuid());
    EXPECT_EQ(st.st_gid, root ? 5678u : ::getegid());
}

TEST_P(FileOpsCopyTest, SparseFileKeepsItsHoles) {
    const std::string source = main("sparse.img");
    constexpr off_t kSize = off_t{16} << 20;
    {
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "first", 5, off_t{4} << 20), 5);
        ASSERT_EQ(::pwrite(fd, "second", 6, off_t{12} << 20), 6);
        ASSERT_EQ(::ftruncate(fd, kSize), 0);  // the file ends in a hole
        ::close(fd);
    }
    const struct stat sourceStat = lstatOf(source);
    ASSERT_LT(sourceStat.st_blocks * 512, off_t{1} << 20) << "the test folder keeps no holes";

    const std::string target = mirror("sparse.img");
    const OpResult result = m_tree.copyFile(m_source, source, target);
    ASSERT_TRUE(result.ok()) << result.message;

    const struct stat targetStat = lstatOf(target);
    EXPECT_EQ(targetStat.st_size, kSize);
    EXPECT_LE(targetStat.st_blocks, sourceStat.st_blocks);
    EXPECT_TRUE(readFile(target) == readFile(source));
}

INSTANTIATE_TEST_SUITE_P(Methods, FileOpsCopyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& row) {
                             return row.param ? "ReadWrite" : "Kernel";
                         });

TEST_F(FileOpsTest, LinkIsCopiedAsLinkWithItsTime) {
    const std::string source = main("link");
    ASSERT_EQ(::symlink("../nowhere/at all", source.c_str()), 0);
    const timespec write{1400000000, 555};
    setTimes(source, write, write);
    const std::string target = mirror("link");
    writeFile(target, "a file that the link replaces");

    const OpResult result = m_tree.copyFile(m_source, source, target);
    ASSERT_TRUE(result.ok()) << result.message;

    const struct stat st = lstatOf(target);
    ASSERT_TRUE(S_ISLNK(st.st_mode));
    char text[64] = {};
    ASSERT_GT(::readlink(target.c_str(), text, sizeof text - 1), 0);
    EXPECT_STREQ(text, "../nowhere/at all");
    EXPECT_TRUE(sameTime(st.st_mtim, write));
    EXPECT_FALSE(hasTemporary(m_mirror));
}

TEST_F(FileOpsTest, FifoIsRecreatedAndOtherSourcesAreRefused) {
    const std::string fifo = main("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::chmod(fifo.c_str(), 0620), 0);
    const timespec write{1300000000, 42};
    setTimes(fifo, write, write);

    const OpResult result = m_tree.copyFile(m_source, fifo, mirror("fifo"));
    ASSERT_TRUE(result.ok()) << result.message;
    const struct stat st = lstatOf(mirror("fifo"));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0620u);
    EXPECT_TRUE(sameTime(st.st_mtim, write));

    // A device is never read, a folder is no file, a missing source fails;
    // each leaves the target as it was.
    testsupport::makeDirs(main("folder"));
    const struct {
        std::string source;
        int error;
    } refused[] = {{"/dev/null", EOPNOTSUPP}, {main("folder"), EISDIR}, {main("gone"), ENOENT}};
    writeFile(mirror("target"), "old");
    for (const auto& row : refused) {
        const OpResult failed =
            m_tree.copyFile(platform::SourceTree::byFullPath(), row.source, mirror("target"));
        EXPECT_EQ(failed.error, row.error) << row.source;
        EXPECT_FALSE(failed.message.empty());
        EXPECT_EQ(readFile(mirror("target")), "old");
    }
    EXPECT_FALSE(hasTemporary(m_mirror));
}

TEST_F(FileOpsTest, DirectoriesGetSourceBitsAndTimesWhenFinished) {
    testsupport::makeDirs(main("a/b"));
    writeFile(main("a/b/f"), "content");
    const timespec timeA{1200000000, 1};
    const timespec timeB{1100000000, 2};
    ASSERT_EQ(::chmod(main("a").c_str(), 0750), 0);
    ASSERT_EQ(::chmod(main("a/b").c_str(), 0555), 0);
    setTimes(main("a/b"), timeB, timeB);
    setTimes(main("a"), timeA, timeA);

    ASSERT_TRUE(m_tree.createDirectory(m_source, main("a"), mirror("a")).ok());
    ASSERT_TRUE(m_tree.createDirectory(m_source, main("a/b"), mirror("a/b")).ok());
    // Writable until finished, whatever the source's bits.
    EXPECT_EQ(lstatOf(mirror("a/b")).st_mode & 0777, 0700u);
    ASSERT_TRUE(m_tree.copyFile(m_source, main("a/b/f"), mirror("a/b/f")).ok());
    // An existing folder is fine; a file in the way is not replaced.
    EXPECT_TRUE(m_tree.createDirectory(m_source, main("a"), mirror("a")).ok());
    writeFile(mirror("plain"), "keep me");
    EXPECT_EQ(m_tree.createDirectory(m_source, main("a"), mirror("plain")).error, EEXIST);
    EXPECT_EQ(readFile(mirror("plain")), "keep me");

    const OpResult finished = m_tree.finishDirectories(m_source);
    ASSERT_TRUE(finished.ok()) << finished.message;
    EXPECT_EQ(lstatOf(mirror("a")).st_mode & 07777, 0750u);
    EXPECT_EQ(lstatOf(mirror("a/b")).st_mode & 07777, 0555u);
    EXPECT_TRUE(sameTime(lstatOf(mirror("a")).st_mtim, timeA));
    EXPECT_TRUE(sameTime(lstatOf(mirror("a/b")).st_mtim, timeB));
    EXPECT_EQ(readFile(mirror("a/b/f")), "content");
}

// Read-only folders of the running user's own are opened for a change and
// closed again. As root the mirror is given to nobody and the run happens as
// nobody, so root's powers do not hide a fault.
TEST_F(FileOpsTest, ReadOnlyMirrorFoldersOfTheirOwnerTakeChanges) {
    ASSERT_EQ(::chmod(m_tmp.path().c_str(), 0755), 0);
    writeFile(main("new"), "new content");
    testsupport::makeDirs(main("dir"));
    testsupport::makeTree(m_mirror, "ro/old=old content\nro/gone=x\nro/deep/x=x\n");
    if (::geteuid() == 0) {
        for (const char* path : {"", "ro", "ro/old", "ro/gone", "ro/deep", "ro/deep/x"}) {
            ASSERT_EQ(::chown(mirror(path).c_str(), kNobody, kNobody), 0);
        }
    }
    for (const char* path : {"ro/deep", "ro"}) {
        ASSERT_EQ(::chmod(mirror(path).c_str(), 0555), 0);
    }
    ASSERT_EQ(::chmod(mirror("ro/old").c_str(), 0444), 0);
    m_tree = MirrorTree();  // the child takes the lock

    const std::string root = m_mirror + "/";
    const int failures = testsupport::runUnprivileged([&] {
        OpResult opened;
        MirrorTree tree = MirrorTree::open(root, 0, opened);
        int bits = opened.ok() ? 0 : 1;
        bits |= tree.copyFile(m_source, main("new"), mirror("ro/old")).ok() ? 0 : 2;
        bits |= tree.copyFile(m_source, main("new"), mirror("ro/added")).ok() ? 0 : 4;
        bits |= tree.createDirectory(m_source, main("dir"), mirror("ro/sub")).ok() ? 0 : 8;
        bits |= tree.remove(mirror("ro/gone"), platform::EntryKind::File, false).ok() ? 0 : 16;
        bits |= tree.remove(mirror("ro/deep"), platform::EntryKind::Folder, false).ok() ? 0 : 32;
        return bits;
    });
    EXPECT_EQ(failures, 0);

    EXPECT_EQ(readFile(mirror("ro/old")), "new content");
    EXPECT_EQ(readFile(mirror("ro/added")), "new content");
    EXPECT_TRUE(pathExists(mirror("ro/sub")));
    EXPECT_FALSE(pathExists(mirror("ro/gone")));
    EXPECT_FALSE(pathExists(mirror("ro/deep")));
    EXPECT_EQ(lstatOf(mirror("ro")).st_mode & 07777, 0555u);
    EXPECT_FALSE(hasTemporary(mirror("ro")));
}

TEST_F(FileOpsTest, ReadOnlyFolderOfAnotherOwnerKeepsItsBits) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs a folder of another owner, which only root can make";
    }
    ASSERT_EQ(::chmod(m_tmp.path().c_str(), 0755), 0);
    writeFile(main("new"), "new content");
    testsupport::makeDirs(mirror("foreign"));
    ASSERT_EQ(::chown(m_mirror.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(mirror("foreign").c_str(), 0555), 0);  // root's, read-only
    m_tree = MirrorTree();                                   // the child takes the lock

    const std::string root = m_mirror + "/";
    const int status = testsupport::runUnprivileged([&] {
        OpResult opened;
        MirrorTree tree = MirrorTree::open(root, 0, opened);
        if (!opened.ok()) {
            return 1;
        }
        return tree.copyFile(m_source, main("new"), mirror("foreign/f")).error == EACCES ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lstatOf(mirror("foreign")).st_mode & 07777, 0555u);
    EXPECT_TRUE(listNames(mirror("foreign")).empty());
}

// Both ways of resolving the folders on the way: openat2 and the walk used
// where the kernel lacks it.
class FileOpsWayTest : public FileOpsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        if (GetParam()) {
            m_faults.push_back(SysFault::on<&Sys::openat2>(Fault::fail(ENOSYS)));
        }
    }
};

TEST_P(FileOpsWayTest, LinkOnTheWayNeverLeadsOutOfTheMirror) {
    const std::string outside = m_tmp / "outside";
    testsupport::makeTree(outside, "victim=precious\n");
    testsupport::makeTree(m_mirror, "tree/f=x\n");
    ASSERT_EQ(::symlink(outside.c_str(), mirror("sub").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), mirror("tree/inner").c_str()), 0);
    writeFile(main("f"), "payload");
    testsupport::makeDirs(main("d"));

    const auto isWayError = [](const OpResult& r) { return r.error == ELOOP || r.error == EXDEV; };
    EXPECT_TRUE(isWayError(m_tree.copyFile(m_source, main("f"), mirror("sub/f"))));
    EXPECT_TRUE(isWayError(m_tree.copyFile(m_source, main("f"), mirror("sub/new/f"))));
    EXPECT_TRUE(isWayError(m_tree.createDirectory(m_source, main("d"), mirror("sub/d"))));
    EXPECT_TRUE(isWayError(m_tree.remove(mirror("sub/victim"), platform::EntryKind::File, false)));
    EXPECT_TRUE(isWayError(m_tree.remove(mirror("sub/victim"), platform::EntryKind::File, true)));
    EXPECT_EQ(listNames(outside), std::vector<std::string>{"victim"});

    // A link met as the entry itself, or inside a folder being deleted, goes
    // as a link.
    EXPECT_TRUE(m_tree.remove(mirror("tree"), platform::EntryKind::Folder, false).ok());
    EXPECT_TRUE(m_tree.remove(mirror("sub"), platform::EntryKind::File, false).ok());
    EXPECT_EQ(listNames(m_mirror), std::vector<std::string>{});
    EXPECT_EQ(readFile(outside + "/victim"), "precious");

    // Targets that are not beneath the root.
    for (const std::string& target :
         {m_tmp / "elsewhere", m_mirror + "2/f", mirror("../outside/f"), m_mirror}) {
        EXPECT_EQ(m_tree.copyFile(m_source, main("f"), target).error, EINVAL) << target;
        EXPECT_EQ(m_tree.remove(target, platform::EntryKind::File, false).error, EINVAL) << target;
    }
    EXPECT_EQ(listNames(outside), std::vector<std::string>{"victim"});
}

INSTANTIATE_TEST_SUITE_P(Resolvers, FileOpsWayTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& row) {
                             return row.param ? "Walk" : "Openat2";
                         });

TEST_F(FileOpsTest, RemoveLeavesKeptEntriesAndTheirFolders) {
    testsupport::makeTree(m_mirror,
                          "d/a=1\n"
                          "d/keep.me=2\n"
                          "d/sub/x=3\n"
                          "d/sub2/deeper/keep.me=4\n"
                          "d/sub2/y=5\n"
                          "d/kept/z=6\n");
    std::set<std::string> asked;
    const platform::KeepPredicate keep = [&](const std::string& path,
                                             const platform::FindRecord& record) {
        asked.insert(path);
        const bool folder = (record.attributes & platform::kAttrDirectory) != 0;
        return path.ends_with(".me") || (folder && path.ends_with("/kept"));
    };

    const OpResult result = m_tree.remove(mirror("d"), platform::EntryKind::Folder, false, keep);
    ASSERT_TRUE(result.ok()) << result.message;

    EXPECT_EQ(listNames(mirror("d")), (std::vector<std::string>{"keep.me", "kept", "sub2"}));
    EXPECT_EQ(listNames(mirror("d/sub2")), std::vector<std::string>{"deeper"});
    EXPECT_EQ(readFile(mirror("d/sub2/deeper/keep.me")), "4");
    EXPECT_EQ(readFile(mirror("d/kept/z")), "6");
    EXPECT_TRUE(asked.count(mirror("d/sub/x")));
    EXPECT_FALSE(asked.count(mirror("d/kept/z")));  // a kept folder is not looked into

    // Entries that are gone already, also beneath a missing folder or a file.
    for (const std::string& gone : {mirror("none"), mirror("none/x"), mirror("d/keep.me/x")}) {
        EXPECT_TRUE(m_tree.remove(gone, platform::EntryKind::File, false).ok()) << gone;
    }
}

// A mirror whose file system refused one clone is not asked again; each
// mirror asks for itself.
TEST_F(FileOpsTest, RefusedCloneIsNotAskedForAgain) {
    for (const char* name : {"a", "b", "c"}) {
        writeFile(main(name), std::string("content of ") + name);
    }
    const SysFault refused = SysFault::on<&Sys::ficlone>(Fault::fail(EOPNOTSUPP));
    for (const char* name : {"a", "b", "c"}) {
        ASSERT_TRUE(m_tree.copyFile(m_source, main(name), mirror(name)).ok()) << name;
        EXPECT_EQ(readFile(mirror(name)), std::string("content of ") + name);
    }
    EXPECT_EQ(refused.seen(), 1);

    const std::string other = m_tmp / "other";
    testsupport::makeDirs(other);
    MirrorTree second = open(other + "/");
    ASSERT_TRUE(second.copyFile(m_source, main("a"), other + "/a").ok());
    EXPECT_EQ(refused.seen(), 2);
}

// Descriptors of this process that still hold an entry beneath `folder`
// whose name is gone.
std::vector<std::string> heldDeleted(const std::string& folder) {
    std::vector<std::string> held;
    for (const std::string& fd : listNames("/proc/self/fd")) {
        char target[PATH_MAX];
        const std::string link = "/proc/self/fd/" + fd;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        const std::string text(target, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (text.starts_with(folder) && text.ends_with(" (deleted)")) {
            held.push_back(text);
        }
    }
    return held;
}

// Files replaced or deleted are closed beside the next copies; a flush lets
// go of every one of them, and many at once are no problem.
TEST_F(FileOpsTest, ReplacedAndDeletedFilesAreLetGoOfByTheFlush) {
    constexpr int kFiles = 200;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        writeFile(main(name), "new " + name);
        writeFile(mirror(name), patternedContent(std::size_t{64} << 10));
        writeFile(mirror("gone" + std::to_string(i)), "old");
    }
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        ASSERT_TRUE(m_tree.copyFile(m_source, main(name), mirror(name)).ok()) << name;
        ASSERT_TRUE(
            m_tree.remove(mirror("gone" + std::to_string(i)), platform::EntryKind::File, false)
                .ok());
    }
    const OpResult flushed = m_tree.flush();
    ASSERT_TRUE(flushed.ok()) << flushed.message;

    EXPECT_EQ(heldDeleted(m_mirror), std::vector<std::string>{});
    EXPECT_EQ(readFile(mirror("f7")), "new f7");
    EXPECT_EQ(listNames(m_mirror).size(), static_cast<std::size_t>(kFiles));
}

// A file replaced a moment ago keeps its blocks until its deferred close: a
// copy that finds the drive full meanwhile lets those go and tries again,
// rather than failing with space about to come free.
TEST_F(FileOpsTest, FullDriveWaitsForReplacedFilesToBeLetGoOf) {
    writeFile(main("f"), "new f");
    writeFile(mirror("f"), patternedContent(std::size_t{1} << 20));
    writeFile(main("g"), "content of g");
    std::atomic<bool> full{false};
    // Holds the close of the replaced file until the drive is found full.
    const SysFault slowClose = SysFault::on<&Sys::close>(
        Fault::pass()
            .when([](const std::vector<std::string>& paths) {
                return !paths.empty() && paths[0].ends_with(" (deleted)");
            })
            .then([&full] {
                while (!full) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }));
    ASSERT_TRUE(m_tree.copyFile(m_source, main("f"), mirror("f")).ok());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (slowClose.seen() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (slowClose.seen() == 0) {
        full = true;
        ASSERT_TRUE(m_tree.flush().ok());
        GTEST_SKIP() << "this file system does not have replaced files closed later";
    }
    const SysFault noSpace = SysFault::on<&Sys::copy_file_range>(
        Fault::fail(ENOSPC).nth(1).then([&full] { full = true; }));
    const OpResult copied = m_tree.copyFile(m_source, main("g"), mirror("g"));
    full = true;
    ASSERT_TRUE(m_tree.flush().ok());  // no close waits on `full` beyond this test
    EXPECT_TRUE(copied.ok()) << copied.message;
    EXPECT_EQ(noSpace.hits(), 1);
    EXPECT_EQ(readFile(mirror("g")), "content of g");
    EXPECT_EQ(listNames(m_mirror), (std::vector<std::string>{"f", "g"}));
}

TEST_F(FileOpsTest, FullFileSystemLeavesTheOldTarget) {
    const std::string small = m_tmp / "small";
    testsupport::makeDirs(small);
    writeFile(main("big"), patternedContent(std::size_t{1} << 20));
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) {
            return std::string("mount: ") + std::strerror(errno);
        }
        testsupport::Failures failures;
        OpResult opened;
        MirrorTree tree = MirrorTree::open(small, 0, opened);
        failures.check(opened.ok(), "open: " + opened.message);
        writeFile(small + "/f", "old");

        const OpResult result = tree.copyFile(m_source, main("big"), small + "/f");
        failures.check(result.error == ENOSPC, "not ENOSPC: " + result.message);
        failures.check(readFile(small + "/f") == "old", "the old target changed");
        failures.check(listNames(small) == std::vector<std::string>{"f"}, "a leftover stayed");
        return failures.text();
    });
}

TEST_F(FileOpsTest, KilledCopyLeavesTheOldTargetAndALeftoverBesideIt) {
    writeFile(main("big"), patternedContent(std::size_t{4} << 20));
    testsupport::makeTree(m_mirror, "deep/er/f=old\n");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Shares the parent's lock. Stops in the middle of the copy and waits
        // to be killed.
        const std::vector<SysFault> slow = withoutKernelCopy();
        const SysFault stop = SysFault::on<&Sys::pwrite>(Fault::pass().nth(2).then([&] {
            const char byte = 'x';
            [[maybe_unused]] const auto n = ::write(ready[1], &byte, 1);
            for (;;) {
                ::pause();
            }
        }));
        [[maybe_unused]] const OpResult never =
            m_tree.copyFile(m_source, main("big"), mirror("deep/er/f"));
        ::_exit(1);
    }
    ::close(ready[1]);
    char byte = 0;
    const auto got = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 1) << "the copy never got under way";
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(readFile(mirror("deep/er/f")), "old");
    EXPECT_TRUE(hasTemporary(mirror("deep/er")));
}

TEST_F(FileOpsTest, LockedMirrorIsRefusedAfterTheWaitAndFreedWithItsObject) {
    MirrorTree moved = std::move(m_tree);  // the lock goes with the object

    OpResult result;
    const auto start = std::chrono::steady_clock::now();
    MirrorTree second = MirrorTree::open(m_mirror, 120, result);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(second.valid());
    EXPECT_EQ(result.error, EWOULDBLOCK);
    EXPECT_GE(waited, std::chrono::milliseconds(120));

    moved = MirrorTree();
    second = MirrorTree::open(m_mirror, 0, result);
    EXPECT_TRUE(second.valid()) << result.message;
}

TEST_F(FileOpsTest, UnusualNamesAreKeptByteForByte) {
    const std::vector<std::string> names = {"bad\xff\xfe", "new\nline", "-dash", "--", " sp ace "};
    const std::string folder = "\xc3(\n-folder";
    testsupport::makeDirs(main(folder));
    ASSERT_TRUE(m_tree.createDirectory(m_source, main(folder), mirror(folder)).ok());
    for (const std::string& name : names) {
        writeFile(main(folder + "/" + name), name);
        const OpResult result =
            m_tree.copyFile(m_source, main(folder + "/" + name), mirror(folder + "/" + name));
        ASSERT_TRUE(result.ok()) << result.message;
    }

    EXPECT_EQ(listNames(m_mirror), std::vector<std::string>{folder});
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(listNames(mirror(folder)), sorted);
    for (const std::string& name : names) {
        EXPECT_EQ(readFile(mirror(folder + "/" + name)), name);
    }
    EXPECT_TRUE(m_tree.remove(mirror(folder + "/-dash"), platform::EntryKind::File, false).ok());
    EXPECT_FALSE(pathExists(mirror(folder + "/-dash")));
    EXPECT_EQ(listNames(mirror(folder)).size(), names.size() - 1);
}

TEST(TemporaryName, OnlyOurOwnPatternCounts) {
    EXPECT_TRUE(platform::isTemporaryName(".twinfold-partial-0123456789abcdef"));
    for (const char* other :
         {".twinfold-partial-notes", ".twinfold-partial-0123456789abcde",
          ".twinfold-partial-0123456789abcdef0", "twinfold-partial-0123456789abcdef",
          ".twinfold-partial-0123456789ABCDEF"}) {
        EXPECT_FALSE(platform::isTemporaryName(other)) << other;
    }
}

}  // namespace
