#pragma once
// One player per user session: a local socket in the runtime folder. A
// later start hands its files to the player that listens there.
#include <QLocalServer>
#include <QObject>
#include <QStringList>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // Where the socket lives: the user's runtime folder.
    static QString SocketPath();
    // Sends the files to a running player; false when none answers.
    static bool HandOver(const QString& socketPath, const QStringList& files);

    // Listens for later starts. A socket left by a player that died is
    // removed first: nothing answers on it, so it is not obeyed.
    bool listen(const QString& socketPath);

signals:
    void filesReceived(const QStringList& files);

private:
    void onNewConnection();

    QLocalServer m_server;
};
