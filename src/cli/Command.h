#pragma once

#include <string>

namespace CLI {
class App;
}

// Options every command takes, before or after the command's name.
struct GlobalOptions {
    std::string configFile;
    bool quiet = false;
    bool verbose = false;
    bool json = false;
};

// One command of twinfold-cli. It declares its arguments on its own
// subcommand and runs once they are parsed; adding a command is one class and
// one line in main.cpp.
class Command {
public:
    virtual ~Command() = default;

    // Adds the subcommand and its options to `app` and returns it.
    virtual CLI::App* setUp(CLI::App& app) = 0;
    // Runs the parsed command; returns the exit status.
    virtual int execute(const GlobalOptions& global) = 0;
};
