#pragma once

#include <QWidget>
#include <optional>
#include <string>

class ControlTip;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Task;

// The task dialog's "File include" page: single files a run copies besides
// the folder pairs, and the folder in the first mirror they are copied to.
class FileIncludePage : public QWidget {
    Q_OBJECT
public:
    explicit FileIncludePage(QWidget* parent = nullptr);

    // The task must outlive the page: its stored name names the folder.
    void load(const Task& task);
    void save(Task& task) const;
    void addTips(ControlTip& tips) const;

    // Shows where the files will go once the pairs are stored with
    // `firstMirror` first; without a pair, a note that one is needed.
    void showIncludeFolder(const std::optional<std::string>& firstMirror);

private:
    const Task* m_task = nullptr;
    QListWidget* lvIncludeFiles;
    QPushButton* btnAddIncludeFiles;
    QPushButton* btnDelIncludeFiles;
    QLineEdit* edtIncludePath;
    QLabel* lblIncludeFiles;
};
