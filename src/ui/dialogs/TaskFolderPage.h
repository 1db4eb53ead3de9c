#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "model/TaskFolder.h"

class ControlTip;
class QLineEdit;
class QListWidget;
class QPushButton;
class Task;

// The task dialog's "Task folder" page: the folder pairs, each main folder
// with its mirror, added through two folder browsers and refused with the
// reason when a run could not keep them apart. Hovering a row shows both of
// its folders in full.
class TaskFolderPage : public QWidget {
    Q_OBJECT
public:
    explicit TaskFolderPage(QWidget* parent = nullptr);

    void load(const Task& task);
    // Stores the pairs, each in its normal form.
    void save(Task& task) const;
    void addTips(ControlTip& tips) const;

    // The pairs as the rows show them now.
    TaskFolder pairs() const;
    // The main folders of the rows, top to bottom.
    std::vector<std::string> mainFolders() const;
    // The first row's mirror folder; none when there is no row.
    std::optional<std::string> firstMirror() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnAddMainFolderClick();
    void lstMainFolders1MouseMove(QPoint position);

    QListWidget* lstMainFolders;
    QPushButton* btnAddMainFolder;
    QPushButton* btnRemoveMainFolder;
    QLineEdit* edtMainFolderSummary;
    QLineEdit* edtMirrorFolderSummary;
};
