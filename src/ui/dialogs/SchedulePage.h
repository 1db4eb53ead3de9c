#pragma once

#include <QWidget>

class ControlTip;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QTimeEdit;
class QTimer;
class Task;

// The task dialog's "Schedule" page: a run every few minutes, a run at a
// fixed time of day (and whether a fixed time missed while the program was
// not running is made up for), and whether scheduled runs only simulate.
// It shows the schedule's clock, last run and run count as they change.
class SchedulePage : public QWidget {
    Q_OBJECT
public:
    explicit SchedulePage(QWidget* parent = nullptr);

    // The task must outlive the page: its schedule's status is shown live.
    void load(const Task& task);
    // A new or changed fixed time, or missed runs just asked for, count from
    // now: earlier occurrences were not missed.
    void save(Task& task) const;
    void addTips(ControlTip& tips) const;

private:
    void tmeButtonStatusTimer();
    // Keeps the interval in the allowed minutes.
    void edtIntervalExit();

    const Task* m_task = nullptr;
    QTimer* tmeButtonStatus;
    QCheckBox* chkInterval;
    QSpinBox* edtInterval;
    QLabel* stCurrentTime;
    QLabel* stLastRunTime;
    QLabel* stRunTimes;
    QCheckBox* chkFixup;
    QTimeEdit* dtFixup;
    QCheckBox* chkRunMissed;
    QRadioButton* rdSimulate;
    QRadioButton* rdRun;
};
