#include "ui/InstanceChannel.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include "platform/LocalSocket.h"
#include "platform/Path.h"

namespace {

constexpr const char kSocketName[] = "twinfold.socket";
constexpr const char kShowRequest[] = "show\n";
constexpr const char kShowAnswer[] = "ok\n";

}  // namespace

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::readRequest);
}

QString InstanceChannel::serverName(const std::string& configFolder) {
    const std::string path = platform::withTrailingSeparator(configFolder) + kSocketName;
    if (platform::fitsSocketAddress(path)) {
        return QFile::decodeName(QByteArray::fromStdString(path));
    }
    // Too long for a socket address: a name in the system's temporary folder
    // that still stands for this configuration only.
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(configFolder), QCryptographicHash::Sha1);
    return QStringLiteral("twinfold-") + QString::fromLatin1(hash.toHex().left(20));
}

bool InstanceChannel::listen(const QString& name) {
    QLocalServer::removeServer(name);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    return m_server->listen(name);
}

void InstanceChannel::readRequest() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == kShowRequest) {
                socket->write(kShowAnswer);
                socket->flush();
                Q_EMIT showRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool InstanceChannel::askToShow(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    return socket.readLine() == kShowAnswer;
}
