#pragma once

#include <QDialog>

class FileItemList;
class PlanModel;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

// The plan of a task as a person reviews it before a run: counts at the
// top, a filter by operation, one row per item. "Run this plan" accepts the
// dialog (the caller carries the plan out), Close rejects it. The plan must
// outlive the window.
class TfrmPreview : public QDialog {
    Q_OBJECT
public:
    TfrmPreview(const QString& taskName, const FileItemList& plan, QWidget* parent = nullptr);

    PlanModel* model() const { return m_model; }
    QTableView* itemView() const { return tblItems; }
    // The counts line, rich text.
    QString countsText() const;

private:
    void cboFilterChange();

    PlanModel* m_model;
    QLabel* lblCounts;
    QComboBox* cboFilter;
    QTableView* tblItems;
    QPushButton* btnRunPlan;
};
