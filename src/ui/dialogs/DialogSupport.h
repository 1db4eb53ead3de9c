#pragma once

#include <string>
#include <vector>

#include "model/TaskFolder.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>
#include <utility>

class QDialog;
class QListWidget;
class QPushButton;

class QLineEdit;
class Task;
class TaskManager;
class QWidget;

// Small helpers shared by the dialogs.
namespace dialogs {

// A new widget named `name`, so that tests and style sheets find it.
template <class Widget, class... Args>
Widget* makeNamed(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The model keeps text and paths as byte strings, UTF-8 as a rule but not
// always (a file name may hold any byte); the windows show them as QString.
QString toQString(std::string_view text);
std::string toModel(const QString& text);
// The model's bytes for a text shown in a control: `original` when the text
// still shows it, so that bytes that are not UTF-8 survive being shown and
// written back unchanged; the typed text otherwise.
std::string toModelKeeping(const QString& text, const std::string& original);
// Model bytes carried by a list row or an entry as they are.
QByteArray toBytes(std::string_view text);
std::string fromBytes(const QByteArray& bytes);

// The text without leading and trailing blanks and control characters.
QString trimBlanks(const QString& text);

// Makes the field a read-only text without a border that blends with the
// window, to show a value that can be selected and scrolled.
void makeSummaryField(QLineEdit* field);

// The top left corner for a window of `size` whose lower right corner is to
// lie at `mouse`, moved right or down where it would start left of or above
// `screen`.
QPoint placeAtMouse(QPoint mouse, QSize size, const QRect& screen);
// Moves the window there for the current mouse position and its screen.
void placeWindowAtMouse(QWidget* window);

// Lays out a picker: the prompt, the list of check boxes (sized for
// `visibleRows` rows) and an OK and a Cancel button below it on the right.
// The buttons are made here, named "btnOK" and "btnCancel"; OK is the default.
struct PickerButtons {
    QPushButton* ok;
    QPushButton* cancel;
};
PickerButtons layOutPicker(QDialog* dialog, const QString& prompt, QListWidget* list,
                           int visibleRows);

// The texts of the ticked rows of a picker, each followed by ";".
QString checkedRowsText(const QListWidget* list);

// A file shipped with the program: beside the executable, else in the
// installation's data folder (see platform/InstallLayout.h). Empty when it is
// in neither.
QString findDataFile(const QString& name);

// Why a folder pair is refused, for the user.
QString pairProblemText(TaskFolder::PairProblem problem);

// Before a task is saved: when it has no folder pair, or a main folder that
// does not exist, asks whether to save it anyway (the user may be preparing
// a drive); No is the default. True to go on saving.
bool confirmTaskThatCannotRun(QWidget* parent, const std::vector<std::string>& mainFolders);

// The user's time-of-day format with seconds and without a time zone, for
// time pickers and clocks.
QString userTimeFormat();

// The folder in which a new task log is proposed, with its trailing
// separator: "logs" in the program's state folder (beside a portable
// configuration when portable).
QString proposedLogFolder();
// The log file proposed for a new task named `name` (as typed, not yet
// stored): in proposedLogFolder(), named after the name, and different from
// the log file of every task of `tasks` other than `self`.
QString proposedLogFile(const QString& name, const TaskManager* tasks, const Task* self);
// Makes the folder of `logFile` when it is proposedLogFolder(), which the
// program owns; any other folder is the user's, and a missing one means no
// log. False when it had to be made and could not be.
bool makeProposedLogFolder(const std::string& logFile);

}  // namespace dialogs
