#pragma once

#include <string>
#include <vector>

#include "support/TempTree.h"

namespace testsupport {

// What a run of the command-line program came to.
struct CliResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs twinfold-cli from the build folder with `args`, each passed as it is
// (no shell), in `workingDirectory`, and collects its exit status and output.
// The run history, any default configuration and the trash go beneath
// `scratch` (XDG_STATE_HOME, XDG_CONFIG_HOME, XDG_DATA_HOME), as do the files
// that catch the output, so a test never reads or writes the user's own.
CliResult runCli(const std::vector<std::string>& args, const TempDir& scratch,
                 const std::string& workingDirectory = "/");

}  // namespace testsupport
