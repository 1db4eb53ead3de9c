#include <CLI/CLI.hpp>
#include <clocale>
#include <map>
#include <memory>
#include <vector>

#include "cli/Command.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");

    CLI::App app("Mirror folders and run the stored tasks of Twinfold.", "twinfold-cli");
    app.set_version_flag("--version", "twinfold-cli " TWINFOLD_VERSION);
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);
    app.footer(kExitStatusText);

    GlobalOptions global;
    app.add_option("--config", global.configFile,
                   "The configuration file to read (never written); default: the user's own")
        ->type_name("FILE");
    CLI::Option* quiet =
        app.add_flag("-q,--quiet", global.quiet, "Report problems only: no progress, no summary");
    app.add_flag("-v,--verbose", global.verbose, "Print every item as it is taken up")
        ->excludes(quiet);
    app.add_flag("--json", global.json,
                 "Print one JSON object at the end: counts, problems with reasons, times and "
                 "exit status (plan: the items)");

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(makeListCommand());
    commands.push_back(makePlanCommand());
    commands.push_back(makeRunCommand());
    commands.push_back(makeMirrorCommand());
    commands.push_back(makeHistoryCommand());
    commands.push_back(makeStatusCommand());
    commands.push_back(makeVersionsCommand());
    commands.push_back(makeRestoreCommand());
    std::map<const CLI::App*, Command*> byApp;
    for (const auto& command : commands) {
        CLI::App* sub = command->setUp(app);
        // The global options may come after the command's name as well.
        sub->fallthrough();
        sub->footer(kExitStatusText);
        byApp[sub] = command.get();
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kAllDone : kUsage;
    }
    for (const auto& [sub, command] : byApp) {
        if (sub->parsed()) {
            return command->execute(global);
        }
    }
    return kUsage;
}
