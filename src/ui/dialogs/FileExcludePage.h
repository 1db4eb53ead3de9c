#pragma once

#include <QWidget>
#include <string>

class ControlTip;
class QLineEdit;
class QListWidget;
class QPushButton;
class Task;

// The task dialog's "File exclude" page: files, file types and file
// attributes a run leaves alone. The types can be gathered from the stored
// main folders, the attributes picked from a list. Removing an excluded
// file takes effect at once (the dialog applies it to the task); the rest
// waits for OK.
class FileExcludePage : public QWidget {
    Q_OBJECT
public:
    explicit FileExcludePage(QWidget* parent = nullptr);

    // The task must outlive the page: the scan and the pickers start from
    // what it stores.
    void load(const Task& task);
    void save(Task& task) const;
    void addTips(ControlTip& tips) const;

Q_SIGNALS:
    // An excluded file's row was removed.
    void fileRemoved(const std::string& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnDelExcludeFilesClick();
    void btnExcludeFileTypesClick();
    void btnExcludeFileAttrsClick();

    const Task* m_task = nullptr;
    QListWidget* lvExcludeFiles;
    QPushButton* btnAddExcludeFiles;
    QPushButton* btnDelExcludeFiles;
    QLineEdit* edtExcludeFileTypes;
    QPushButton* btnExcludeFileTypes;
    QLineEdit* edtExcludeFileAttrs;
    QPushButton* btnExcludeFileAttrs;
};
