#include "ui/TerminationSignals.h"

#include <QSocketNotifier>

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (!m_signals.valid()) {
        return;
    }
    m_notifier = new QSocketNotifier(m_signals.readFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

void TerminationSignals::readPipe() {
    for (int signalNumber; (signalNumber = m_signals.next(false)) >= 0;) {
        Q_EMIT terminationRequested(signalNumber);
    }
}
