#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the user-interface
// thread, so that the program can end as a normal exit does. The handler
// only writes the signal's number to a pipe; the rest happens in the event
// loop. One instance at a time; the previous handlers come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readPipe();

    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
