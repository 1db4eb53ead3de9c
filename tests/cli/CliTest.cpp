#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "history/RunHistory.h"
#include "platform/ProgramFolder.h"
#include "support/CliRun.h"
#include "support/TempTree.h"

using ::testing::HasSubstr;
using testsupport::CliResult;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;
using testsupport::runCli;

TEST(Cli, PlansThenMirrorsAndReportsInItsExitStatus) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmain/d/b=22\nmain/skip.tmp=x\nmirror/old=3\n");
    const std::string main = dir / "main", mirror = dir / "mirror";

    CliResult plan =
        runCli({"mirror", main, mirror, "--plan", "--exclude-types", "tmp", "--delete"}, dir);
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_THAT(plan.out, HasSubstr("[Create file]\t" + mirror + "/a\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Create directory]\t" + mirror + "/d\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Exclude]\t" + main + "/skip.tmp\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Delete file]\t" + mirror + "/old\n"));
    EXPECT_THAT(plan.out, HasSubstr("4 files, 1 directories\n"));
    EXPECT_TRUE(pathExists(mirror + "/old"));  // the plan changes nothing

    CliResult run = runCli(
        {"mirror", main, mirror, "--exclude-types", "tmp", "--log", dir / "t.log", "--delete"},
        dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("4 done, 0 failed, 0 skipped"));
    EXPECT_EQ(readFile(mirror + "/d/b"), "22");
    EXPECT_FALSE(pathExists(mirror + "/old"));
    EXPECT_FALSE(pathExists(mirror + "/skip.tmp"));
    EXPECT_THAT(readFile(dir / "t.log"), HasSubstr("\t[Create file]" + mirror + "/a\n"));

    CliResult again = runCli({"mirror", main, mirror, "--plan", "--flags", "0x01101111"}, dir);
    EXPECT_THAT(again.out, HasSubstr("[Create file]\t" + mirror + "/skip.tmp\n"));
}

TEST(Cli, SkippedPairsAndUsageErrorsHaveTheirOwnStatus) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "mirror/precious=1\n");
    CliResult missing = runCli({"mirror", dir / "unplugged", dir / "mirror"}, dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.out, HasSubstr("0 done, 0 failed, 1 skipped"));
    EXPECT_TRUE(pathExists(dir / "mirror/precious"));

    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"mirror", "only-one"},
                                               {"mirror", "a", "b", "--flags", "12x"},
                                               {"mirror", "a", "b", "--bogus"},
                                               {"frobnicate"},
                                               {"mirror", "a", "b", "--name"}}) {
        CliResult r = runCli(args, dir);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(r.err, HasSubstr("Usage:"));
        EXPECT_THAT(r.out, ::testing::IsEmpty());
    }
}

// A deleting run must keep the mirror-only files the user excluded, however
// the type or the path was typed.
TEST(Cli, TypedExclusionsKeepMirrorOnlyFilesThroughADeletingRun) {
    for (const char* spelling : {"*.bak", ".bak", " bak", "bak ", "BAK"}) {
        SCOPED_TRACE(std::string("\"") + spelling + "\"");
        testsupport::TempDir dir;
        makeTree(dir.path(), "main/a=1\nmirror/keep.bak=old\nmirror/stale=2\n");
        const CliResult run = runCli({"mirror", dir / "main", dir / "mirror", "--flags",
                                      "0x01101111", "--exclude-types", spelling},
                                     dir);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readFile(dir / "mirror/keep.bak"), "old");
        EXPECT_FALSE(pathExists(dir / "mirror/stale"));  // the run did delete
    }

    testsupport::TempDir dir;
    makeTree(dir.path(), "main/secret.key=new\nmirror/secret.key=old\n");
    const CliResult run = runCli({"mirror", dir.path() + "//main/", dir / "mirror", "--exclude",
                                  dir.path() + "/main/./secret.key/"},
                                 dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir / "mirror/secret.key"), "old");
}

// --exclude takes a path, read from the working folder like MAIN and MIRROR.
// One that can leave nothing out (a pattern, a path outside MAIN) stops the
// command before anything is copied, instead of copying what it named.
TEST(Cli, ExcludedPathsAreReadFromTheWorkingFolderAndUselessOnesRefused) {
    const struct {
        const char* name;
        const char* exclude;
        int status;
        const char* said;     // on standard error
        const char* leftOut;  // beneath the mirror
    } rows[] = {
        {"relative to the working folder", "main/secret.key", 0, "", "secret.key"},
        {"relative, spelt loosely", "./main//keys/./k/", 0, "", "keys/k"},
        {"a pattern", "*.key", 2, "--exclude-types", nullptr},
        {"a pattern from inside main", "main/*.key", 2, "not a pattern", nullptr},
        {"a path outside main", "elsewhere/secret.key", 2, "not in ", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::TempDir dir;
        makeTree(dir.path(), "main/secret.key=new\nmain/keys/k=new\nmain/a=1\n");
        const CliResult run =
            runCli({"mirror", "main", "mirror", "--exclude", row.exclude}, dir, dir.path());
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_THAT(run.err, HasSubstr(row.said));
        if (row.status == 0) {
            EXPECT_EQ(readFile(dir / "mirror/a"), "1");
            EXPECT_FALSE(pathExists(dir / (std::string("mirror/") + row.leftOut)));
        } else {
            EXPECT_FALSE(pathExists(dir / "mirror")) << "nothing is copied";
        }
    }

    // --include is read from the working folder too.
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nnotes=n\n");
    const CliResult run =
        runCli({"mirror", "main", "mirror", "--include", "notes"}, dir, dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir / "mirror/<Mirror_append>/notes"), "n");
}

// A stored task naming a policy that is not there runs with deletion off, and
// says so on standard error, instead of taking the default policy.
TEST(Cli, StoredTaskWithAMissingPolicyRunsWithoutDeletionAndSaysSo) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmirror/only-here=2\n");
    const std::string config = dir / "config.xml";
    testsupport::writeFile(config,
                           "<config><policyList>"
                           "<policy name=\"&lt; default copy policy &gt;\" value=\"17830161\"/>"
                           "<policy name=\"Typo\" value=\"0x1111O\"/></policyList><taskList>"
                           "<task name=\"Docs\" policy=\"Renamed\"><folderList><folder main=\"" +
                               dir / "main" + "\" mirror=\"" + dir / "mirror" +
                               "\"/></folderList></task></taskList></config>\n");
    const CliResult run = runCli({"--config", config, "run", "Docs"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir / "mirror/a"), "1");
    EXPECT_EQ(readFile(dir / "mirror/only-here"), "2");
    EXPECT_THAT(run.err, HasSubstr("twinfold-cli: copy policy \"Typo\": the rule word "
                                   "\"0x1111O\" cannot be read"));
    EXPECT_THAT(run.err, HasSubstr("twinfold-cli: task \"Docs\": no copy policy is named "
                                   "\"Renamed\"; the task runs with deletion off"));
}

TEST(Cli, RunsStoredTasksFromAConfigurationItNeverWrites) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmain/b.tmp=2\nmirror/\nlogs/\n");
    const std::string config = dir / "config.xml";
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config><policyList>"
        "<policy name=\"&lt; default copy policy &gt;\" value=\"17830161\"/>"
        "<policy name=\"Keep\" value=\"1\"/></policyList><taskList>"
        "<task name=\"Docs\" policy=\"Keep\" enableLog=\"true\" logFile=\"" +
        dir / "logs/docs.log" +
        "\" id=\"11111111-2222-3333-4444-555555555555\"><folderList><folder main=\"" +
        dir / "main" + "\" mirror=\"" + dir / "mirror" +
        "\"/></folderList><include><fileList/></include><exclude><fileList/>"
        "<fileType type=\"tmp;\"/><fileAttr attr=\"\"/></exclude></task>"
        "<task name=\"Docs\" policy=\"Keep\" enableLog=\"false\" logFile=\"\" id=\"second\">"
        "<folderList/><include><fileList/></include><exclude><fileList/>"
        "<fileType type=\"\"/><fileAttr attr=\"\"/></exclude></task></taskList>"
        "<normalSetting showDetail=\"false\" showWizard=\"false\" "
        "configVersion=\"1.0\"/></config>\n";
    testsupport::writeFile(config, xml);

    CliResult list = runCli({"--config", config, "list"}, dir);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "11111111-2222-3333-4444-555555555555\tDocs\tKeep\t1\nsecond\tDocs\tKeep\t0\n");

    // A name picks the first task bearing it.
    CliResult plan = runCli({"--config", config, "plan", "Docs"}, dir);
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_THAT(plan.out, HasSubstr("[Create file]\t" + dir / "mirror/a\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Exclude]\t" + dir / "main/b.tmp\n"));

    CliResult run =
        runCli({"--config", config, "run", "11111111-2222-3333-4444-555555555555"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir / "mirror/a"), "1");
    EXPECT_FALSE(pathExists(dir / "mirror/b.tmp"));
    EXPECT_THAT(readFile(dir / "logs/docs.log"), HasSubstr("---BEGIN---"));
    EXPECT_EQ(readFile(config), xml);  // never written

    EXPECT_EQ(runCli({"--config", config, "run", "Nobody"}, dir).status, 4);
    EXPECT_EQ(runCli({"--config", dir / "missing.xml", "list"}, dir).status, 3);
    testsupport::writeFile(dir / "broken.xml", "<config><policyList>");
    CliResult broken = runCli({"--config", dir / "broken.xml", "list"}, dir);
    EXPECT_EQ(broken.status, 3);
    EXPECT_THAT(broken.err, HasSubstr("can't parse XML document"));
    EXPECT_THAT(broken.err, HasSubstr(dir / "broken.xml"));
    EXPECT_THAT(broken.err, ::testing::ContainsRegex("at byte [0-9]+"));
    EXPECT_EQ(runCli({"--config", config, "plan"}, dir).status, 2);
}

TEST(Cli, MassDeletionsAreHeldBackUnlessAllowed) {
    // A share mounted inside main that is down at run time: its folder is
    // there but empty, and its whole backup would go.
    testsupport::TempDir dir;
    std::string tree = "main/doc=1\nmirror/doc=1\nmain/share/\n";
    for (int i = 0; i < 15; ++i) {
        tree += "mirror/share/f" + std::to_string(i) + "=x\n";
    }
    makeTree(dir.path(), tree);
    const std::string main = dir / "main", mirror = dir / "mirror";
    const std::string deleting = "0x00100001";

    CliResult held = runCli({"mirror", main, mirror, "--flags", deleting}, dir);
    EXPECT_EQ(held.status, 1) << "held deletions are not a success";
    EXPECT_TRUE(pathExists(mirror + "/share/f14"));
    EXPECT_THAT(held.err, HasSubstr("deletions held back in " + mirror));
    EXPECT_THAT(held.err, HasSubstr("[Skip] " + mirror + "/share/f0: deletion held back"));
    EXPECT_THAT(held.out, HasSubstr("0 done, 0 failed, 15 skipped"));

    CliResult plan = runCli({"mirror", main, mirror, "--flags", deleting, "--plan"}, dir);
    EXPECT_THAT(plan.err, HasSubstr("would hold back the deletions of " + mirror));

    CliResult badLimit =
        runCli({"mirror", main, mirror, "--flags", deleting, "--max-delete", "x"}, dir);
    EXPECT_EQ(badLimit.status, 2);
    EXPECT_TRUE(pathExists(mirror + "/share/f14"));

    CliResult under =
        runCli({"mirror", main, mirror, "--flags", deleting, "--max-delete", "14"}, dir);
    EXPECT_EQ(under.status, 1) << "15 deletions are over a limit of 14";
    EXPECT_TRUE(pathExists(mirror + "/share/f14"));

    CliResult allowed =
        runCli({"mirror", main, mirror, "--flags", deleting, "--max-delete", "100%"}, dir);
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_FALSE(pathExists(mirror + "/share/f14"));
    EXPECT_TRUE(pathExists(mirror + "/share"));
}

TEST(Cli, OptionsInAnyOrderWithEqualsAndPathsFromTheWorkingDirectory) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmain/b.tmp=2\nmirror/old=3\nlogs/\n");
    CliResult run = runCli({"-q", "mirror", "--log=logs/t.log", "main", "--exclude-types=tmp",
                            "mirror", "--delete", "--max-delete=100%"},
                           dir, dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "") << "-q prints no summary";
    EXPECT_EQ(readFile(dir / "mirror/a"), "1");
    EXPECT_FALSE(pathExists(dir / "mirror/b.tmp"));
    EXPECT_FALSE(pathExists(dir / "mirror/old"));
    // The log names the resolved folders, not the relative ones.
    EXPECT_THAT(readFile(dir / "logs/t.log"), HasSubstr("[Create file]" + dir / "mirror/a\n"));

    CliResult verbose =
        runCli({"mirror", "./main/", "--verbose", "mirror/.", "--plan"}, dir, dir.path());
    EXPECT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_THAT(verbose.out, HasSubstr("[Create file]\t" + dir / "mirror/b.tmp\n"));
}

TEST(Cli, MirrorDeletesNothingUnlessANamedOptionOrTheFlagsSayItShould) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmirror/a=1\nmirror/old=3\n");
    const std::string main = dir / "main", mirror = dir / "mirror";
    struct Case {
        std::vector<std::string> options;
        bool deletes;
    };
    for (const Case& c : std::vector<Case>{{{}, false},
                                           {{"--compare=size,time,attributes"}, false},
                                           {{"--newer-only"}, false},
                                           {{"--delete"}, true},
                                           {{"--trash"}, true},
                                           {{"--flags", "0x00100001"}, true},
                                           {{"--flags=0x00000111"}, false}}) {
        std::vector<std::string> args = {"mirror", main, mirror, "--plan"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliResult plan = runCli(args, dir);
        EXPECT_EQ(plan.status, 0) << plan.err;
        EXPECT_EQ(plan.out.find("[Delete file]\t" + mirror + "/old") != std::string::npos,
                  c.deletes)
            << ::testing::PrintToString(c.options) << plan.out;
    }
    CliResult run = runCli({"mirror", main, mirror}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(pathExists(mirror + "/old"));
    EXPECT_EQ(runCli({"mirror", main, mirror, "--delete", "--trash"}, dir).status, 2);
    EXPECT_EQ(runCli({"mirror", main, mirror, "--compare", "colour"}, dir).status, 2);
}

TEST(Cli, CompareAndNewerOnlyPickWhichDifferencesAreCopied) {
    testsupport::TempDir dir;
    // Same size, different content; the mirror's copy is the newer one.
    makeTree(dir.path(), "main/f=aa\nmirror/f=bb\n");
    const std::string main = dir / "main", mirror = dir / "mirror";
    const timespec old[2] = {{978307200, 0}, {978307200, 0}};  // 2001-01-01
    ASSERT_EQ(::utimensat(AT_FDCWD, (main + "/f").c_str(), old, 0), 0);
    struct Case {
        std::vector<std::string> options;
        bool copies;
    };
    for (const Case& c : std::vector<Case>{{{}, true},
                                           {{"--compare=size"}, false},
                                           {{"--compare", "time"}, true},
                                           {{"--newer-only"}, false}}) {
        std::vector<std::string> args = {"mirror", main, mirror, "--plan"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliResult plan = runCli(args, dir);
        EXPECT_EQ(plan.out.find("[Update file]\t" + mirror + "/f") != std::string::npos, c.copies)
            << ::testing::PrintToString(c.options) << plan.out;
    }
}

TEST(Cli, JsonReportsCountsProblemsTimesAndTheExitStatus) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmain/d/b=2\nmirror/\n");
    const std::string main = dir / "main", mirror = dir / "mirror";

    CliResult plan = runCli({"--json", "mirror", main, mirror, "--plan"}, dir);
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_THAT(plan.out, ::testing::StartsWith("{\"items\":["));
    EXPECT_THAT(plan.out,
                HasSubstr("{\"operation\":\"Create file\",\"path\":\"" + mirror + "/a\"}"));
    EXPECT_THAT(plan.out, HasSubstr("\"files\":2,\"directories\":1,"));
    EXPECT_THAT(plan.out, ::testing::EndsWith("\"exitStatus\":0}\n"));

    CliResult run = runCli({"mirror", main, mirror, "--json", "--name=Docs"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, ::testing::StartsWith("{\"task\":\"Docs\","));
    EXPECT_THAT(run.out, ::testing::ContainsRegex(
                             "\"start\":\"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z\",\"end\":\""));
    EXPECT_THAT(run.out, HasSubstr("\"done\":3,\"failed\":0,\"skipped\":0,"));
    EXPECT_THAT(run.out, HasSubstr("\"problems\":[],\"logFile\":null,\"exitStatus\":0}\n"));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "one object, one line";

    // A skipped pair: its reason is in the object and on the error stream.
    CliResult skipped = runCli({"mirror", dir / "unplugged", mirror, "--json"}, dir);
    EXPECT_EQ(skipped.status, 1);
    EXPECT_THAT(skipped.out, HasSubstr("\"skipped\":1,"));
    EXPECT_THAT(skipped.out,
                HasSubstr("\"problems\":[{\"kind\":\"skip\",\"path\":\"" + dir / "unplugged"));
    EXPECT_THAT(skipped.out, HasSubstr("\"exitStatus\":1}"));
    EXPECT_THAT(skipped.err, HasSubstr("[Skip] " + dir / "unplugged"));
}

TEST(Cli, AnUnusableLogIsAUsageErrorBeforeAnythingChanges) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmirror/\nalog/\n");
    for (const std::string& log : {dir / "no/such/folder/t.log", dir / "alog"}) {
        CliResult r = runCli({"mirror", dir / "main", dir / "mirror", "--log", log}, dir);
        EXPECT_EQ(r.status, 2) << log;
        EXPECT_THAT(r.err, HasSubstr("can't write the log " + log));
        EXPECT_FALSE(pathExists(dir / "mirror/a")) << log;
    }
}

TEST(Cli, EveryCommandHasItsOwnHelpAndTheProgramItsVersion) {
    testsupport::TempDir dir;
    struct Case {
        std::vector<std::string> args;
        const char* shows;
    };
    for (const Case& c : std::vector<Case>{
             {{"--help"}, "130 interrupted (SIGINT)"},
             {{"list", "--help"}, "Usage: twinfold-cli list"},
             {{"plan", "--help"}, "--max-delete"},
             {{"run", "-h"}, "--simulate"},
             {{"mirror", "--help"}, "nothing is deleted from MIRROR"},
             {{"--version"}, "twinfold-cli "},
         }) {
        CliResult r = runCli(c.args, dir);
        EXPECT_EQ(r.status, 0) << ::testing::PrintToString(c.args);
        EXPECT_THAT(r.out, HasSubstr(c.shows)) << ::testing::PrintToString(c.args);
    }
}

namespace {

// The names under `folder`, one level.
std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        ::closedir(d);
    }
    return names;
}

}  // namespace

// The run prints each item on a pipe nobody reads, so it soon waits on the
// pipe mid-run: the signal then surely lands between two items.
TEST(Cli, ASignalStopsTheRunBetweenItemsAndLeavesNoTemporaryFile) {
    testsupport::TempDir dir;
    std::string tree = "mirror/\n";
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        tree +=
            "main/a-file-with-a-rather-long-name-to-fill-the-pipe-" + std::to_string(i) + "=x\n";
    }
    makeTree(dir.path(), tree);
    const std::string main = dir / "main", mirror = dir / "mirror";
    const std::set<std::string> mainNames = namesIn(main);

    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            if (std::freopen((dir / "err.txt").c_str(), "w", stderr) == nullptr) {
                ::_exit(126);
            }
            ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
            std::string exe = platform::programFolder() + "twinfold-cli";
            ::execl(exe.c_str(), exe.c_str(), "mirror", "-v", main.c_str(), mirror.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char first = 0;
        ASSERT_EQ(::read(fds[0], &first, 1), 1) << "the run prints its first item";
        ::kill(pid, signal);
        std::string rest;
        char buffer[65536];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
            rest.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        ASSERT_TRUE(WIFEXITED(raw)) << "ended by the signal itself, not by the program";
        EXPECT_EQ(WEXITSTATUS(raw), status);
        EXPECT_THAT(readFile(dir / "err.txt"), HasSubstr("stopped by"));

        const std::set<std::string> copied = namesIn(mirror);
        EXPECT_LT(copied.size(), mainNames.size()) << "stopped before the end";
        for (const std::string& name : copied) {
            EXPECT_TRUE(mainNames.count(name) == 1) << "left behind: " << name;
        }
    }
    // The mirror's lock was released: the next run finishes the job.
    CliResult again = runCli({"-q", "mirror", main, mirror}, dir);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(namesIn(mirror), mainNames);
}

TEST(Cli, HistoryAndStatusReadTheRunsOfEveryFrontEnd) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmirror/\n");
    const std::string main = dir / "main", mirror = dir / "mirror";

    EXPECT_EQ(runCli({"history"}, dir).out, "");  // no history yet, no configuration
    ASSERT_EQ(runCli({"mirror", main, mirror, "--name", "Photos"}, dir).status, 0);
    ASSERT_EQ(runCli({"mirror", main, mirror, "--simulate"}, dir).status, 0);
    // The main folder gone for a while (a share not mounted), then back and
    // named differently: the same folders are the same history.
    ASSERT_EQ(std::rename(main.c_str(), (dir / "away").c_str()), 0);
    ASSERT_EQ(runCli({"mirror", main, mirror, "--name", "Photos"}, dir).status, 1);
    ASSERT_EQ(std::rename((dir / "away").c_str(), main.c_str()), 0);
    ASSERT_EQ(runCli({"mirror", main + "/", mirror, "--name", "Photos", "--plan"}, dir).status, 0);

    CliResult all = runCli({"history"}, dir);
    EXPECT_EQ(all.status, 0) << all.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = all.out.find('\n', at)) != std::string::npos;
         at = end + 1) {
        lines.push_back(all.out.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 3u) << all.out;  // a plan is not a run
    EXPECT_THAT(lines[0], HasSubstr("\tPhotos\trun\tcommand line\tskipped 1\t0\t0\t1\t0\t" + main +
                                    ": the main folder does not exist"));
    EXPECT_THAT(lines[1], HasSubstr("\tMirror\tsimulation\tcommand line\tdone\t"));
    EXPECT_THAT(lines[2], HasSubstr("\tPhotos\trun\tcommand line\tdone\t1\t0\t0\t0\t"));

    CliResult json = runCli({"history", "Photos", "--limit", "1", "--json"}, dir);
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_THAT(json.out, HasSubstr("\"taskName\": \"Photos\", \"origin\": \"command line\", "
                                    "\"simulate\": false"));
    EXPECT_THAT(json.out, HasSubstr("\"skipped\": 1, \"aborted\": false"));
    EXPECT_THAT(json.out, HasSubstr("\"problems\": [{\"failed\": false, \"path\": \"" + main +
                                    "\", \"reason\": \"the main folder does not exist\"}]"));
    EXPECT_EQ(runCli({"history", "Nobody"}, dir).status, 4);
    EXPECT_EQ(runCli({"history", "--limit", "x"}, dir).status, 2);

    // The last real run of the folders was skipped: a monitoring check fails.
    CliResult status = runCli({"status"}, dir);
    EXPECT_EQ(status.status, 1);
    EXPECT_THAT(status.out, HasSubstr("Photos\tmirror-"));
    EXPECT_THAT(status.out, HasSubstr("\tskipped 1\tfailed\n"));
    EXPECT_EQ(status.out.find("Mirror"), std::string::npos) << "one line for the folders";
    ASSERT_EQ(runCli({"mirror", main + "/", mirror}, dir).status, 0);
    EXPECT_EQ(runCli({"status"}, dir).status, 0);

    // A stored task scheduled for real runs whose last success is 8 days old
    // (the default limit is 7), next to one that never ran.
    const std::string config = dir / "config.xml";
    testsupport::writeFile(
        config,
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config><policyList>"
        "<policy name=\"&lt; default copy policy &gt;\" value=\"17830161\"/></policyList>"
        "<taskList><task name=\"Nightly\" id=\"nightly\"><folderList/><schedule>"
        "<interval enabled=\"true\" value=\"30\"/><simulate value=\"false\"/></schedule>"
        "</task><task name=\"Idle\" id=\"idle\"><folderList/></task></taskList></config>\n");
    {
        RunHistory history(dir / "state/twinfold/history.db");
        RunResult old;
        old.taskId = "nightly";
        old.taskName = "Nightly";
        old.end = std::chrono::system_clock::now() - std::chrono::hours(24 * 8);
        old.start = old.end;
        ASSERT_TRUE(history.record(old)) << history.problem();
    }
    status = runCli({"--config", config, "status"}, dir);
    EXPECT_EQ(status.status, 1) << status.err;
    EXPECT_THAT(status.out, HasSubstr("Nightly\tnightly\t"));
    EXPECT_THAT(status.out, HasSubstr("\tdone\toverdue\n"));
    EXPECT_THAT(status.out, HasSubstr("Idle\tidle\tnever run\t-\tok\n"));
    EXPECT_THAT(runCli({"--config", config, "history", "Nightly"}, dir).out,
                HasSubstr("\tNightly\trun\tbutton\tdone\t"));
}

// After a run, rsync (archive mode with ACLs, as a user would check the
// mirror) finds nothing to change but what the task excludes, and a second
// run plans nothing.
TEST(Cli, AfterARunTheMirrorMatchesMainEntryForEntry) {
    if (std::system("command -v rsync >/dev/null") != 0) {
        GTEST_SKIP() << "needs rsync";
    }
    testsupport::TempDir dir;
    const std::string main = dir / "main", mirror = dir / "mirror";
    makeTree(dir.path(),
             "main/docs/a.txt=alpha\nmain/bin/run.sh=r\nmain/shared/s=1\nmain/ro/f=2\n"
             "main/.ssh/id_rsa=key\nmain/skip.tmp=x\nmain/link->docs/a.txt\nmain/x/inner=3\n"
             "mirror/x=a file in the way\nmirror/stale/old=4\n");
    ASSERT_EQ(::mkfifo((main + "/pipe").c_str(), 0640), 0);
    for (const auto& [path, mode] :
         std::vector<std::pair<std::string, mode_t>>{{"", 0750},
                                                     {"/docs/a.txt", 0640},
                                                     {"/bin/run.sh", 0755},
                                                     {"/shared", 02770},
                                                     {"/ro", 0555},
                                                     {"/.ssh", 0700},
                                                     {"/.ssh/id_rsa", 0600}}) {
        ASSERT_EQ(::chmod((main + path).c_str(), mode), 0) << path;
    }
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown((main + "/docs").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::lchown((main + "/link").c_str(), 65534, 65534), 0);
    }
    const std::vector<std::string> options = {"--flags", "0x00101111",      "--exclude-types",
                                              "tmp",     "--exclude-attrs", "HIDDEN"};
    std::vector<std::string> args = {"mirror", main, mirror};
    args.insert(args.end(), options.begin(), options.end());
    CliResult run = runCli(args, dir);
    EXPECT_EQ(run.status, 0) << run.err;

    const std::string listing = dir / "rsync.txt";
    const std::string rsync =
        "rsync -anciA --delete '" + main + "/' '" + mirror + "/' >'" + listing + "' 2>&1";
    ASSERT_EQ(std::system(rsync.c_str()), 0) << readFile(listing);
    EXPECT_EQ(readFile(listing), ">f+++++++++ skip.tmp\n");

    args.push_back("--plan");
    CliResult again = runCli(args, dir);
    std::istringstream lines(again.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("[")) {
            EXPECT_TRUE(line.starts_with("[Exclude]")) << line;
        }
    }
}
