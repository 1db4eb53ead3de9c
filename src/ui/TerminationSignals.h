#pragma once

#include <QObject>

#include "platform/StopSignals.h"

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the user-interface
// thread, so that the program can end as a normal exit does: the event loop
// watches platform::StopSignals. One instance at a time; the previous
// handlers come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readPipe();

    platform::StopSignals m_signals{true};
    QSocketNotifier* m_notifier = nullptr;
};
