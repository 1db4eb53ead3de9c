#pragma once

#include <memory>

#include "cli/Command.h"

// The commands of twinfold-cli, one source file each.
std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makePlanCommand();
std::unique_ptr<Command> makeRunCommand();
std::unique_ptr<Command> makeMirrorCommand();
std::unique_ptr<Command> makeHistoryCommand();
std::unique_ptr<Command> makeStatusCommand();
std::unique_ptr<Command> makeVersionsCommand();
std::unique_ptr<Command> makeRestoreCommand();
