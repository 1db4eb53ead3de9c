#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/CliRun.h"
#include "support/MountNamespace.h"
#include "support/TempTree.h"

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::CliResult;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;
using testsupport::runCli;
using testsupport::setWriteTime;
using testsupport::writeFile;

namespace {

// The lines of `versions` output as "path<TAB>size", the run left out.
std::vector<std::string> keptPaths(const std::string& out) {
    std::vector<std::string> paths;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        paths.push_back(line.substr(line.find('\t') + 1));
    }
    return paths;
}

// Folders "main" and "mirror" in a fresh folder, and a stored task "T" over
// them keeping versions in the mirror's default folder.
class VersionsCli : public ::testing::Test {
protected:
    VersionsCli() {
        makeTree(dir.path(), "main/\nmirror/\n");
        writeFile(config,
                  "<config><taskList><task name=\"T\" id=\"t\"><folderList><folder main=\"" + main +
                      "\" mirror=\"" + mirror +
                      "\"/></folderList><versions enabled=\"true\"/></task></taskList></config>");
    }
    // A mirror run keeping versions where the stored task keeps them.
    CliResult mirrorRun(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"mirror", main, mirror, "--delete", "--versions", versions};
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args, dir);
    }
    CliResult stored(std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", config});
        return runCli(args, dir);
    }
    // Main and mirror hold `name` with different content; the mirror's older.
    void changed(const std::string& name, const std::string& now, const std::string& before) {
        writeFile(main + "/" + name, now);
        writeFile(mirror + "/" + name, before);
        setWriteTime(mirror + "/" + name, 1000);
    }

    testsupport::TempDir dir;
    std::string main = dir / "main", mirror = dir / "mirror";
    std::string versions = mirror + "/.twinfold-versions";
    std::string config = dir / "config.xml";
};

}  // namespace

TEST_F(VersionsCli, RunsKeepWhatTheyReplaceOrDeleteAndRestoreBringsItBack) {
    changed("a", "new a", "old a");
    makeTree(mirror, "gone=old gone\nfolder/x=1\nfolder/s/y=2\n");

    struct Case {
        const char* name;
        std::string path;
        std::string content;
    };
    // Simulate moves nothing.
    CliResult simulated = mirrorRun({"--simulate"});
    EXPECT_EQ(simulated.status, 0) << simulated.err;
    EXPECT_FALSE(pathExists(versions));
    EXPECT_EQ(readFile(mirror + "/a"), "old a");

    CliResult real = mirrorRun();
    ASSERT_EQ(real.status, 0) << real.err;
    CliResult listed = stored({"versions", "T"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(keptPaths(listed.out),
                ::testing::UnorderedElementsAre("1-mirror/a\t5", "1-mirror/gone\t8",
                                                "1-mirror/folder/x\t1", "1-mirror/folder/s/y\t1"));
    EXPECT_FALSE(pathExists(mirror + "/folder"));

    const std::string to = dir / "restored";
    for (const Case& c :
         {Case{"update keeps the old content", mirror + "/a", "old a"},
          Case{"delete keeps the file", "1-mirror/gone", "old gone"},
          Case{"a deleted folder keeps its files in their places", main + "/folder/", ""}}) {
        SCOPED_TRACE(c.name);
        CliResult restored = stored({"restore", "T", c.path, "--to", to});
        EXPECT_EQ(restored.status, 0) << restored.err;
    }
    EXPECT_EQ(readFile(to + "/a"), "old a");
    EXPECT_EQ(readFile(to + "/gone"), "old gone");
    EXPECT_EQ(readFile(to + "/folder/x"), "1");
    EXPECT_EQ(readFile(to + "/folder/s/y"), "2");

    // Into main: an existing file stays unless replacing is asked for.
    CliResult conflict = stored({"restore", "T", main + "/a", "--to", main});
    EXPECT_EQ(conflict.status, 1);
    EXPECT_THAT(conflict.err, HasSubstr("a exists; not replaced"));
    EXPECT_EQ(readFile(main + "/a"), "new a");
    CliResult replaced = stored({"restore", "T", main + "/a", "--to", main, "--overwrite"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(readFile(main + "/a"), "old a");

    CliResult none =
        stored({"restore", "T", "1-mirror/a", "--at", "1999-01-01 000000", "--to", to});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(stored({"restore", "T", "1-mirror/a"}).status, 2) << "--to is required";
}

TEST_F(VersionsCli, TheVersionsFolderSurvivesDeletionsAndIsNotCountedByTheGuard) {
    // Only one file of main is left; twelve mirror files would go. Were the
    // versions folder's 40 files counted, the deletions would look small.
    std::string tree = "main/keep=k\n";
    for (int i = 0; i < 12; ++i) {
        tree += "mirror/f" + std::to_string(i) + "=x\n";
    }
    for (int i = 0; i < 40; ++i) {
        tree +=
            "mirror/.twinfold-versions/2026-01-01 000000/1-mirror/v" + std::to_string(i) + "=v\n";
    }
    makeTree(dir.path(), tree);
    CliResult held = mirrorRun();
    EXPECT_EQ(held.status, 1);
    EXPECT_THAT(held.err, HasSubstr("deletions held back in " + mirror));
    EXPECT_TRUE(pathExists(mirror + "/f0"));

    CliResult allowed = mirrorRun({"--max-delete", "100%"});
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_FALSE(pathExists(mirror + "/f0"));
    EXPECT_TRUE(pathExists(versions + "/2026-01-01 000000/1-mirror/v39"));
    CliResult listed = stored({"versions", "T", "1-mirror/f0"});
    EXPECT_EQ(keptPaths(listed.out), std::vector<std::string>{"1-mirror/f0\t1"});
}

TEST_F(VersionsCli, PruningByAgeAndCount) {
    makeTree(versions, "2000-01-01 000000/1-mirror/ancient=x\nnot a run/x=mine\n");
    changed("a", "v3", "v2");
    ASSERT_EQ(mirrorRun({"--keep-days", "30"}).status, 0);
    EXPECT_FALSE(pathExists(versions + "/2000-01-01 000000")) << "older than 30 days";
    EXPECT_EQ(readFile(versions + "/not a run/x"), "mine");

    changed("a", "v4", "v3");
    ASSERT_EQ(mirrorRun({"--keep-versions", "1"}).status, 0);
    CliResult listed = stored({"versions", "T", "1-mirror/a"});
    EXPECT_EQ(keptPaths(listed.out), std::vector<std::string>{"1-mirror/a\t2"});
    CliResult restored = stored({"restore", "T", "1-mirror/a", "--to", dir / "r"});
    EXPECT_EQ(readFile(dir / "r/a"), "v3");

    EXPECT_EQ(runCli({"mirror", main, mirror, "--keep-days", "3"}, dir).status, 2)
        << "limits need a versions folder";
    EXPECT_EQ(mirrorRun({"--keep-versions", "-1"}).status, 2);
}

TEST_F(VersionsCli, AnotherFileSystemGetsACopy) {
    changed("a", "new", "old");
    const std::string other = dir / "other";
    testsupport::makeDirs(other);
    TF_EXPECT_IN_MOUNT_NAMESPACE([&] {
        testsupport::Failures failures;
        if (::mount("tmpfs", other.c_str(), "tmpfs", 0, "size=16m") != 0) {
            return std::string("mount tmpfs: ") + std::strerror(errno);
        }
        CliResult run =
            runCli({"mirror", main, mirror, "--delete", "--versions", other + "/kept"}, dir);
        failures.check(run.status == 0, "run: " + run.err);
        // One run folder holding the old file, and the mirror updated.
        std::vector<std::string> runs;
        if (DIR* folder = ::opendir((other + "/kept").c_str())) {
            while (const dirent* entry = ::readdir(folder)) {
                if (entry->d_name[0] != '.') {
                    runs.emplace_back(entry->d_name);
                }
            }
            ::closedir(folder);
        }
        failures.check(runs.size() == 1, "one run folder");
        failures.check(
            runs.size() == 1 && readFile(other + "/kept/" + runs[0] + "/1-mirror/a") == "old",
            "old content kept");
        failures.check(readFile(mirror + "/a") == "new", "mirror updated");
        return failures.text();
    });
}
