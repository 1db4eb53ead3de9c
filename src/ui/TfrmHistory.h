#pragma once

#include <QDialog>
#include <vector>

#include "engine/RunResult.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

// The runs of one task, newest first: when, how started, real or simulated,
// the counts and the first reason; the selected run's problems below; and a
// button that opens the task log when the file exists.
class TfrmHistory : public QDialog {
    Q_OBJECT
public:
    TfrmHistory(const QString& taskName, QWidget* parent = nullptr);

    // Shows these runs (newest first) and `logFile`, the task's current log.
    void setRuns(std::vector<RunResult> runs, const QString& logFile);
    // The log the button opens: the selected run's, else the task's.
    QString logFileToOpen() const;

    QTreeWidget* runList() const { return lstRuns; }

private:
    void showSelected();
    void btnOpenLogClick();

    std::vector<RunResult> m_runs;
    QString m_taskLog;
    QLabel* lblSummary;
    QTreeWidget* lstRuns;
    QPlainTextEdit* txtProblems;
    QPushButton* btnOpenLog;
};
