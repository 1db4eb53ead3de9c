#pragma once

#include <QtCore/qnamespace.h>
#include <QString>
#include <string>

class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

// What the pages of the task definition dialog are built from, and how
// their list rows carry the model's bytes, which a row's text may show only
// approximately (a path need not be UTF-8).
namespace taskpage {

inline constexpr int kMainRole = Qt::UserRole;  // a folder row's main folder
inline constexpr int kMirrorRole = kMainRole + 1;
inline constexpr int kPathRole = kMainRole;  // a file row's path
inline constexpr int kNameRole = kMainRole;  // a policy entry's name

// The bytes a row carries in `role`.
std::string bytesOf(const QListWidgetItem* row, int role);
// Appends a row showing the main folder and carrying both folders.
void addFolderRow(QListWidget* list, const std::string& main, const std::string& mirror);
// Appends a row showing and carrying a file's path.
void addFileRow(QListWidget* list, const std::string& path);
// Appends a file row for `path` unless a row shows exactly this text.
void addUniqueFileRow(QListWidget* list, const QString& path);
// Removes the first selected row; false when none is selected.
bool removeSelectedRow(QListWidget* list);

// A list of single rows that are not edited in place.
QListWidget* makeFileList(const char* name, QWidget* parent);
// A button just wide enough for "...".
QPushButton* makeSmallButton(const char* name, const QString& text, QWidget* parent);
// A label for `buddy`, whose mnemonic moves the focus to it.
QLabel* labelFor(const QString& text, QWidget* buddy);
// The page's only child: a group box with the given caption filling it.
QGroupBox* pageGroup(QWidget* page, const QString& caption);

}  // namespace taskpage
