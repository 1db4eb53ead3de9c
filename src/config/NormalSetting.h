#pragma once

#include <string>

// The general settings kept in the configuration file.
class NormalSetting {
public:
    // The initial state of the main window's "show progress detail" box.
    bool showDetail = false;
    // Open the task wizard at start-up; the main window clears it after the
    // wizard has been shown once.
    bool showWizard = false;
    // The version text read from the file; kept, not otherwise used. The file
    // is always written with kCurrentVersion.
    std::string configVersion;

    static constexpr const char* kCurrentVersion = "1.0";
};
