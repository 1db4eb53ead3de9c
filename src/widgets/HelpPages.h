#pragma once

#include <QString>

class QWidget;

// The help pages shipped with the program (HTML files in a "help" folder).
enum class HelpTopic {
    Overview,      // tasks, and the entry page
    CopyPolicies,  // what each rule of a copy policy does
    Exclusions,
    Schedules,
    TaskLog,
};

// The file of a topic's page: looked up in "help/" beside the program, then
// in the installation's data folder (see platform/InstallLayout.h). Empty
// when the page is in neither.
QString helpPagePath(HelpTopic topic);

// Opens the page in the desktop's browser. When there is no page or the
// desktop cannot open it, tells the user in a box captioned "Info" and
// returns false.
bool showHelp(QWidget* parent, HelpTopic topic);

inline constexpr const char* kHelpFailureMessage = "Can't display help, please contract us !";
