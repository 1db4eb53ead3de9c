#pragma once

#include <QCoreApplication>
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

// Shows the topic's page in the program's help window (see HelpWindow).
// When the page is missing, tells the user (kHelpFailureMessage, translated)
// in a box captioned "Info" and returns false.
bool showHelp(QWidget* parent, HelpTopic topic);
// The same for a page given by its file.
bool showHelpFile(QWidget* parent, const QString& page);

inline constexpr const char* kHelpFailureMessage =
    QT_TRANSLATE_NOOP("HelpPages", "Can't display help, please contract us !");
