#include "tray/SingleInstance.h"

#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int kAnswerWait = 2000;  // ms; a running player answers at once
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

QString SingleInstance::SocketPath() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/zintra-tray.socket");
}

bool SingleInstance::HandOver(const QString& socketPath, const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kAnswerWait)) return false;
    // One absolute path a line; the player acts on them when we hang up.
    for (const QString& file : files) socket.write(file.toUtf8() + '\n');
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(kAnswerWait);
}

bool SingleInstance::listen(const QString& socketPath) {
    QLocalServer::removeServer(socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(socketPath);
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            QStringList files;
            for (const QByteArray& line : socket->readAll().split('\n'))
                if (!line.isEmpty()) files << QString::fromUtf8(line);
            socket->deleteLater();
            emit filesReceived(files);
        });
    }
}
