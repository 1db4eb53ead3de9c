#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include "cli/Command.h"
#include "cli/TaskRunner.h"

#include "config/NormalSetting.h"
#include "config/XMLConfig.h"
#include "engine/MirrorMemory.h"
#include "history/RunHistory.h"
#include "platform/Text.h"

// The run history of this program; its first failure is told once on the
// error stream and never changes a run's exit status.
inline std::unique_ptr<RunHistory> openHistory() {
    auto history =
        std::make_unique<RunHistory>(XMLConfig::stateFolder() + std::string(RunHistory::kFileName));
    history->setReporter([](const std::string& problem) {
        std::fprintf(stderr, "twinfold-cli: %s\n", platform::escapeControl(problem).c_str());
    });
    return history;
}

// The deletion limit of the general settings.
inline DeleteLimit settingLimit(const NormalSetting& setting) {
    DeleteLimit limit;
    limit.percent = setting.maxDeletePercent;
    limit.minimum = setting.maxDeleteMinimum;
    return limit;
}

// What real runs learned of mirror file systems, kept with the run history;
// one for the process, read when first used.
inline MirrorMemory& mirrorMemory() {
    static MirrorMemory memory(XMLConfig::stateFolder() + std::string(MirrorMemory::kFileName));
    return memory;
}

// A runner that writes to the standard streams as the global options ask.
inline TaskRunner makeRunner(const GlobalOptions& global) {
    TaskRunner runner(stdout, stderr);
    runner.setMirrorMemory(&mirrorMemory());
    runner.setJson(global.json);
    runner.setVerbosity(global.quiet     ? TaskRunner::Verbosity::Quiet
                        : global.verbose ? TaskRunner::Verbosity::Verbose
                                         : TaskRunner::Verbosity::Normal);
    return runner;
}

// The check of a --max-delete value.
const char* const kMaxDeleteHelp =
    "Hold back the deletions of a folder pair over N entries, or over P percent of its "
    "mirror (100% allows everything). Default: the general settings' limit (more than half "
    "of the mirror and more than 10 entries)";
