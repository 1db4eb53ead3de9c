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

    // The mass-deletion guard: a folder pair whose planned deletions exceed
    // both this share of the mirror's entries (in percent, 0 to 100) and
    // this count is held back. 100 turns the guard off.
    int maxDeletePercent = 50;
    int maxDeleteMinimum = 10;
    // Days after which a scheduled task without a successful real run is
    // overdue; 0 turns the warning off.
    int overdueDays = 7;
    // Start the program with the desktop session (an autostart entry).
    bool startWithSession = false;
    // The initial state of "Run missed fixed-time runs" for new tasks.
    bool runMissedDefault = false;

    static constexpr const char* kCurrentVersion = "1.0";
};
