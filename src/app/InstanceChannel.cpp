#include "InstanceChannel.h"

#include "Log.h"

#include <QElapsedTimer>
#include <QLocalSocket>

namespace {

const QByteArray activationRequest = "show\n";

} // namespace

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server.nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->canReadLine() && client->readLine() == activationRequest) {
                    logInfo(QStringLiteral("Another start of the launcher asked for its window"));
                    emit activationRequested();
                }
                client->disconnectFromServer();
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
}

bool InstanceChannel::listen()
{
    QLocalServer::removeServer(m_name);
    if (m_server.listen(m_name))
        return true;
    logWarn(QStringLiteral("Cannot listen for other starts of the launcher: %1")
                .arg(m_server.errorString()));
    return false;
}

bool InstanceChannel::requestActivation(const QString &name, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(activationRequest);
    const int left = std::max(1, timeoutMs - int(clock.elapsed()));
    return socket.waitForBytesWritten(left);
}
