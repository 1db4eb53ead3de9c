#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/TaskRunner.h"
#include "model/CopyPolicy.h"
#include "model/Task.h"

namespace {

const char* const kUsage =
    "Usage:\n"
    "  twinfold-cli mirror MAIN MIRROR [--simulate] [--plan] [--name NAME] [--flags WORD]\n"
    "               [--exclude PATH]... [--exclude-types \"exe;bat\"]\n"
    "               [--exclude-attrs \"HIDDEN;SYSTEM\"] [--include FILE]... [--log FILE]\n"
    "\n"
    "Mirrors MAIN into MIRROR under a copy policy. --plan prints the plan and\n"
    "changes nothing. --flags is the policy's rule word (decimal or 0x-hex,\n"
    "default 17830161). Exit status: 0 all done, 1 some operations failed or\n"
    "were skipped, 2 wrong usage.\n";

int usage(const char* problem) {
    if (problem != nullptr) {
        std::fprintf(stderr, "twinfold-cli: %s\n", problem);
    }
    std::fputs(kUsage, stderr);
    return TaskRunner::kUsage;
}

bool parseFlags(const std::string& text, std::uint32_t& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned long long value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || value > 0xFFFFFFFFull ||
        text.front() == '-' || text.front() == '+') {
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

int mirrorCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    bool simulate = false;
    bool planOnly = false;
    Task task;
    task.name = "Mirror";
    CopyPolicy policy;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](const char* option) -> const std::string* {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "twinfold-cli: %s needs a value\n", option);
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--simulate") {
            simulate = true;
        } else if (a == "--plan") {
            planOnly = true;
        } else if (a == "--name" || a == "--flags" || a == "--exclude" || a == "--exclude-types" ||
                   a == "--exclude-attrs" || a == "--include" || a == "--log") {
            const std::string* v = value(a.c_str());
            if (v == nullptr) {
                return usage(nullptr);
            }
            if (a == "--name") {
                task.name = *v;
            } else if (a == "--flags") {
                std::uint32_t flags = 0;
                if (!parseFlags(*v, flags)) {
                    return usage("--flags takes a decimal or 0x-hexadecimal number");
                }
                policy.setFlags(flags);
            } else if (a == "--exclude") {
                task.exclude.addFile(*v);
            } else if (a == "--exclude-types") {
                task.exclude.setFileTypes(*v);
            } else if (a == "--exclude-attrs") {
                task.exclude.setFileAttrs(*v);
            } else if (a == "--include") {
                task.include.addFile(*v);
            } else {
                task.enableLog = true;
                task.logFile = *v;
            }
        } else if (a == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        } else if (a.size() > 1 && a.front() == '-' && a.starts_with("--")) {
            return usage(("unknown option " + a).c_str());
        } else {
            positional.push_back(a);  // paths may begin with a single dash
        }
    }
    if (positional.size() != 2) {
        return usage("mirror needs a main folder and a mirror folder");
    }
    TaskFolderItem& pair = task.folderList.addItem();
    pair.main = positional[0];
    pair.mirror = positional[1];
    task.setPolicy(&policy);

    TaskRunner runner(stdout, stderr);
    return planOnly ? runner.printPlan(task) : runner.run(task, simulate);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return usage(nullptr);
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "mirror") {
        return mirrorCommand(args);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return usage(("unknown command " + command).c_str());
}
