#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ProgramFolder.h"
#include "support/TempTree.h"

using ::testing::HasSubstr;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs twinfold-cli from the build folder with the given arguments, each
// passed as is (no shell), and collects its output.
Result cli(const std::vector<std::string>& args, const testsupport::TempDir& dir) {
    const std::string outPath = dir / "out.txt", errPath = dir / "err.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen(outPath.c_str(), "w", stdout) == nullptr ||
            std::freopen(errPath.c_str(), "w", stderr) == nullptr) {
            ::_exit(126);
        }
        std::vector<char*> argv;
        std::string exe = platform::programFolder() + "twinfold-cli";
        argv.push_back(exe.data());
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Result r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

}  // namespace

TEST(Cli, PlansThenMirrorsAndReportsInItsExitStatus) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "main/a=1\nmain/d/b=22\nmain/skip.tmp=x\nmirror/old=3\n");
    const std::string main = dir / "main", mirror = dir / "mirror";

    Result plan = cli({"mirror", main, mirror, "--plan", "--exclude-types", "tmp"}, dir);
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_THAT(plan.out, HasSubstr("[Create file]\t" + mirror + "/a\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Create directory]\t" + mirror + "/d\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Exclude]\t" + main + "/skip.tmp\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Delete file]\t" + mirror + "/old\n"));
    EXPECT_THAT(plan.out, HasSubstr("4 files, 1 directories\n"));
    EXPECT_TRUE(pathExists(mirror + "/old"));  // the plan changes nothing

    Result run =
        cli({"mirror", main, mirror, "--exclude-types", "tmp", "--log", dir / "t.log"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("4 done, 0 failed, 0 skipped"));
    EXPECT_EQ(readFile(mirror + "/d/b"), "22");
    EXPECT_FALSE(pathExists(mirror + "/old"));
    EXPECT_FALSE(pathExists(mirror + "/skip.tmp"));
    EXPECT_THAT(readFile(dir / "t.log"), HasSubstr("\t[Create file]" + mirror + "/a\n"));

    Result again = cli({"mirror", main, mirror, "--plan", "--flags", "0x01101111"}, dir);
    EXPECT_THAT(again.out, HasSubstr("[Create file]\t" + mirror + "/skip.tmp\n"));
}

TEST(Cli, SkippedPairsAndUsageErrorsHaveTheirOwnStatus) {
    testsupport::TempDir dir;
    makeTree(dir.path(), "mirror/precious=1\n");
    Result missing = cli({"mirror", dir / "unplugged", dir / "mirror"}, dir);
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
        Result r = cli(args, dir);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(r.err, HasSubstr("Usage:"));
    }
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

    Result list = cli({"--config", config, "list"}, dir);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "11111111-2222-3333-4444-555555555555\tDocs\tKeep\t1\nsecond\tDocs\tKeep\t0\n");

    // A name picks the first task bearing it.
    Result plan = cli({"--config", config, "plan", "Docs"}, dir);
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_THAT(plan.out, HasSubstr("[Create file]\t" + dir / "mirror/a\n"));
    EXPECT_THAT(plan.out, HasSubstr("[Exclude]\t" + dir / "main/b.tmp\n"));

    Result run = cli({"--config", config, "run", "11111111-2222-3333-4444-555555555555"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir / "mirror/a"), "1");
    EXPECT_FALSE(pathExists(dir / "mirror/b.tmp"));
    EXPECT_THAT(readFile(dir / "logs/docs.log"), HasSubstr("---BEGIN---"));
    EXPECT_EQ(readFile(config), xml);  // never written

    EXPECT_EQ(cli({"--config", config, "run", "Nobody"}, dir).status, 4);
    EXPECT_EQ(cli({"--config", dir / "missing.xml", "list"}, dir).status, 3);
    testsupport::writeFile(dir / "broken.xml", "<config><policyList>");
    Result broken = cli({"--config", dir / "broken.xml", "list"}, dir);
    EXPECT_EQ(broken.status, 3);
    EXPECT_THAT(broken.err, HasSubstr("can't parse XML document"));
    EXPECT_EQ(cli({"--config", config, "plan"}, dir).status, 2);
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

    Result held = cli({"mirror", main, mirror, "--flags", deleting}, dir);
    EXPECT_EQ(held.status, 1) << "held deletions are not a success";
    EXPECT_TRUE(pathExists(mirror + "/share/f14"));
    EXPECT_THAT(held.err, HasSubstr("deletions held back in " + mirror));
    EXPECT_THAT(held.err, HasSubstr("[Skip] " + mirror + "/share/f0: deletion held back"));
    EXPECT_THAT(held.out, HasSubstr("0 done, 0 failed, 15 skipped"));

    Result plan = cli({"mirror", main, mirror, "--flags", deleting, "--plan"}, dir);
    EXPECT_THAT(plan.err, HasSubstr("would hold back the deletions of " + mirror));

    Result badLimit = cli({"mirror", main, mirror, "--flags", deleting, "--max-delete", "x"}, dir);
    EXPECT_EQ(badLimit.status, 2);
    EXPECT_TRUE(pathExists(mirror + "/share/f14"));

    Result under = cli({"mirror", main, mirror, "--flags", deleting, "--max-delete", "14"}, dir);
    EXPECT_EQ(under.status, 1) << "15 deletions are over a limit of 14";
    EXPECT_TRUE(pathExists(mirror + "/share/f14"));

    Result allowed =
        cli({"mirror", main, mirror, "--flags", deleting, "--max-delete", "100%"}, dir);
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_FALSE(pathExists(mirror + "/share/f14"));
    EXPECT_TRUE(pathExists(mirror + "/share"));
}
