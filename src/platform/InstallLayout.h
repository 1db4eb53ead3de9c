#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What kind of shipped file is looked for.
enum class Shipped { Library, Data };

// The places a shipped file may be, in the order to try them. First beside
// the program (a build tree or an unpacked portable copy); then where an
// installation puts it, reached from the program's own folder, so that a
// staged or relocated prefix works as well as /usr:
//   Library   <prefix>/<libdir>/twinfold/NAME   for a program in <prefix>/bin/
//   Data      <prefix>/share/twinfold/NAME
// `programFolder` ends with a separator; `name` may hold folders
// ("help/index.html"). None when the program's folder is unknown.
std::vector<std::string> shippedFileCandidates(const std::string& programFolder, Shipped kind,
                                               std::string_view name);

// The first candidate that exists, else the first candidate (beside the
// program), so a message names a sensible place. Empty when the program's
// folder is unknown.
std::string locateShippedFile(const std::string& programFolder, Shipped kind,
                              std::string_view name);

// Same, for the running program.
std::string locateShippedFile(Shipped kind, std::string_view name);

}  // namespace platform
