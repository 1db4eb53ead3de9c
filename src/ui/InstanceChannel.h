#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;

// How a second start of the program reaches the copy already running on the
// same configuration: the first copy listens on a local socket in the
// configuration folder; the second asks it to show its window, then ends.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);

    // The socket of the copy that uses the configuration in `configFolder`:
    // a file in that folder, or, when that path is too long for a local
    // socket, a name derived from the folder.
    static QString serverName(const std::string& configFolder);

    // Starts listening. Only the holder of the single-instance lock may
    // call it: a socket file left by a copy that crashed is removed first.
    bool listen(const QString& name);

    // The second start: asks the copy listening on `name` to show its main
    // window. False when no copy answered within `timeoutMs`.
    static bool askToShow(const QString& name, int timeoutMs = 3000);

Q_SIGNALS:
    // Another start asked this copy to show its main window.
    void showRequested();

private:
    void readRequest();

    QLocalServer* m_server;
};
