#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "versions/Versions.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class Task;

// The versions a task kept, to bring files back. The run folders are listed
// newest first; the one selected shows as a tree of what that run kept. Text
// in the search box lists instead every kept file whose name holds it, from
// all runs. "Restore to..." copies the selection into a folder the user
// chooses (a new one by default); "Restore to main folder" puts it back in
// place, asks before replacing any file there, and never deletes anything.
class TfrmVersions : public QDialog {
    Q_OBJECT
public:
    // Reads the task's settings and folders now; the task is not kept.
    explicit TfrmVersions(const Task& task, QWidget* parent = nullptr);

    // Reads the versions folder again.
    void reload();

    // For tests: selects the run of that name, or the kept entry (a file or
    // a folder of the shown tree, as "<pair folder>/<path>").
    bool selectRun(const QString& run);
    bool selectPath(const QString& path);
    void setSearchText(const QString& text);
    // The rows shown: in a run, every tree node's path; when searching,
    // "<run>|<path>" of each match.
    QStringList shownRows() const;

    void restoreTo();
    void restoreToMain();

private:
    void showRun();
    void showSearch();
    std::vector<versions::RestoreItem> selectedItems(bool toMain) const;
    QString defaultRestoreFolder() const;
    void report(const versions::RestoreResult& result);

    std::string m_root;
    // "<pair folder>" → main folder of that pair.
    std::map<std::string, std::string> m_mains;
    std::vector<versions::KeptVersion> m_versions;

    QListWidget* lstRuns;
    QLineEdit* edtSearch;
    QTreeWidget* tvKept;
    QPushButton* btnRestoreTo;
    QPushButton* btnRestoreMain;
    QPushButton* btnClose;
    QLabel* lblStatus;
};
