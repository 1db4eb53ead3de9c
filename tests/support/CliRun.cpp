#include "support/CliRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/ProgramFolder.h"

namespace testsupport {

CliResult runCli(const std::vector<std::string>& args, const TempDir& scratch,
                 const std::string& workingDirectory) {
    const std::string outPath = scratch / "out.txt", errPath = scratch / "err.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::setenv("XDG_STATE_HOME", (scratch / "state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (scratch / "config-home").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (scratch / "data-home").c_str(), 1);
        if (std::freopen(outPath.c_str(), "w", stdout) == nullptr ||
            std::freopen(errPath.c_str(), "w", stderr) == nullptr) {
            ::_exit(126);
        }
        std::string exe = platform::programFolder() + "twinfold-cli";
        std::vector<char*> argv{exe.data()};
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(outPath), readFile(errPath)};
}

}  // namespace testsupport
