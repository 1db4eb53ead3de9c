#include "ui/dialogs/SchedulePage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "model/Task.h"
#include "platform/Clock.h"
#include "ui/dialogs/ControlTip.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/TaskPageParts.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;

namespace {

constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 59;
constexpr int kStatusMs = 100;

}  // namespace

SchedulePage::SchedulePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SCHEDULE"));
    QGroupBox* group = taskpage::pageGroup(this, tr("Task schedule"));
    chkInterval = makeNamed<QCheckBox>("chkInterval", tr("Run this task &every"), group);
    // The edit and its up-down arrows are one control here.
    edtInterval = makeNamed<QSpinBox>("edtInterval", group);
    edtInterval->setRange(1, kMaxInterval);
    edtInterval->setValue(30);
    stCurrentTime = makeNamed<QLabel>("stCurrentTime", group);
    stLastRunTime = makeNamed<QLabel>("stLastRunTime", group);
    stRunTimes = makeNamed<QLabel>("stRunTimes", group);
    chkFixup = makeNamed<QCheckBox>("chkFixup", tr("Run this task &at"), group);
    dtFixup = makeNamed<QTimeEdit>("dtFixup", group);
    dtFixup->setDisplayFormat(dialogs::userTimeFormat());
    chkRunMissed = makeNamed<QCheckBox>("chkRunMissed", tr("Run &missed fixed-time runs"), group);
    auto* action = new QGroupBox(tr("Action"), group);
    rdSimulate = makeNamed<QRadioButton>("rdSimulate", tr("&Simulate run the task"), action);
    rdSimulate->setChecked(true);
    rdRun = makeNamed<QRadioButton>("rdRun", tr("&Run the task"), action);
    auto* actions = new QVBoxLayout(action);
    actions->addWidget(rdSimulate);
    actions->addWidget(rdRun);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(chkInterval);
    intervalRow->addWidget(edtInterval);
    intervalRow->addWidget(new QLabel(tr("minutes"), group));
    intervalRow->addStretch();
    auto* status = new QGridLayout;
    status->setContentsMargins(QFontMetrics(font()).averageCharWidth() * 4, 0, 0, 0);
    status->addWidget(new QLabel(tr("Current time :"), group), 0, 0);
    status->addWidget(stCurrentTime, 0, 1);
    status->addWidget(new QLabel(tr("Last run time :"), group), 1, 0);
    status->addWidget(stLastRunTime, 1, 1);
    status->addWidget(new QLabel(tr("Run times :"), group), 2, 0);
    status->addWidget(stRunTimes, 2, 1);
    status->setColumnStretch(1, 1);
    auto* fixupRow = new QHBoxLayout;
    fixupRow->addWidget(chkFixup);
    fixupRow->addWidget(dtFixup);
    fixupRow->addStretch();
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(intervalRow);
    layout->addLayout(status);
    layout->addLayout(fixupRow);
    auto* missedRow = new QHBoxLayout;
    missedRow->setContentsMargins(QFontMetrics(font()).averageCharWidth() * 4, 0, 0, 0);
    missedRow->addWidget(chkRunMissed);
    layout->addLayout(missedRow);
    layout->addWidget(action);
    layout->addStretch();

    connect(edtInterval, &QSpinBox::editingFinished, this, &SchedulePage::edtIntervalExit);
    tmeButtonStatus = new QTimer(this);
    tmeButtonStatus->setInterval(kStatusMs);
    connect(tmeButtonStatus, &QTimer::timeout, this, &SchedulePage::tmeButtonStatusTimer);
    tmeButtonStatus->start();
}

void SchedulePage::load(const Task& task) {
    m_task = &task;
    const Schedule& schedule = task.schedule;
    chkInterval->setChecked(schedule.intervalEnabled);
    edtInterval->setValue(schedule.intervalMinutes());
    chkFixup->setChecked(schedule.fixupEnabled);
    // A text that holds no time (edited by hand) shows the current time.
    const platform::TimeParts parts =
        platform::splitTime(schedule.fixupTime().value_or(schedule.clock().timeOfDay()));
    dtFixup->setTime(QTime(parts.hours, parts.minutes, parts.seconds));
    chkRunMissed->setChecked(schedule.runMissed);
    tmeButtonStatusTimer();
    rdSimulate->setChecked(schedule.simulate);
    rdRun->setChecked(!schedule.simulate);
}

void SchedulePage::save(Task& task) const {
    Schedule& schedule = task.schedule;
    schedule.intervalEnabled = chkInterval->isChecked();
    schedule.setInterval(toModel(edtInterval->cleanText()));
    schedule.fixupEnabled = chkFixup->isChecked();
    const QTime fixup = dtFixup->time();
    const std::string fixupText =
        platform::storedTimeText(platform::makeTime(fixup.hour(), fixup.minute(), fixup.second()));
    const bool fixupChanged = !schedule.fixupTime().has_value() ||
                              platform::storedTimeText(*schedule.fixupTime()) != fixupText;
    const bool runMissedTurnedOn = chkRunMissed->isChecked() && !schedule.runMissed;
    if (fixupChanged || runMissedTurnedOn) {
        schedule.setFixup(fixupText);
    }
    schedule.runMissed = chkRunMissed->isChecked();
    schedule.simulate = rdSimulate->isChecked();
}

void SchedulePage::addTips(ControlTip& tips) const {
    tips.AddTip(chkInterval, tr("enable or disable interval schedule."));
    tips.AddTip(chkFixup, tr("enable or disable fixed schedule."));
    tips.AddTip(edtInterval, tr("setup interval time. ( >= 5 and <= 59 )"));
    tips.AddTip(dtFixup, tr("setup fixed time."));
    tips.AddTip(chkRunMissed, tr("run once at start-up or wake-up when the fixed time passed "
                                 "while the program was not running."));
}

void SchedulePage::tmeButtonStatusTimer() {
    if (m_task == nullptr) {
        return;
    }
    const platform::TimeParts now = platform::splitTime(m_task->schedule.clock().now());
    stCurrentTime->setText(
        QLocale().toString(QTime(now.hours, now.minutes, now.seconds), dialogs::userTimeFormat()));
    stLastRunTime->setText(toQString(m_task->schedule.lastRunText()));
    stRunTimes->setText(QString::number(m_task->schedule.runTimes()));
}

void SchedulePage::edtIntervalExit() {
    if (edtInterval->value() < kMinInterval) {
        edtInterval->setValue(kMinInterval);
    } else if (edtInterval->value() > kMaxInterval) {
        edtInterval->setValue(kMaxInterval);
    }
}
