#include "WebSocketClient.h"

#include "Log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QWebSocket>

#include <algorithm>

namespace {

const QString connectPath = QStringLiteral("/socket.io/?EIO=4&transport=websocket");

QString compactJson(const QJsonValue &value)
{
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray())
                                                   : QJsonDocument(value.toObject());
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

// The connection address as it may be logged: the token replaced, then cut to 100 characters.
QString loggableUrl(const QString &serverUrl, const QString &token)
{
    QString url = WebSocketClient::connectionUrl(serverUrl, QString()).toString();
    if (!token.isEmpty())
        url += QStringLiteral("&token=***");
    return url.left(100) + QStringLiteral("...");
}

} // namespace

WebSocketClient::WebSocketClient(QObject *parent)
    : QObject(parent)
    , m_socket(new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this))
    , m_matchNotificationTypes({QStringLiteral("LOBBY_READY"), QStringLiteral("LOBBY_JOINED"),
                                QStringLiteral("GAME_SCHEDULED"),
                                QStringLiteral("MATCH_STARTING_SOON"),
                                QStringLiteral("MATCH_UPDATED"), QStringLiteral("MATCH_CREATED"),
                                QStringLiteral("GAME_COMPLETED")})
{
    connect(m_socket, &QWebSocket::connected, this, &WebSocketClient::onConnected);
    connect(m_socket, &QWebSocket::disconnected, this, &WebSocketClient::onDisconnected);
    connect(m_socket, &QWebSocket::textMessageReceived, this,
            &WebSocketClient::onTextMessageReceived);
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            &WebSocketClient::onError);

    m_heartbeatTimer.setInterval(HeartbeatIntervalMs);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &WebSocketClient::sendHeartbeat);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &WebSocketClient::attemptReconnect);
    m_silenceTimer.setSingleShot(true);
    connect(&m_silenceTimer, &QTimer::timeout, this, &WebSocketClient::handleSilentLink);
}

WebSocketClient::~WebSocketClient()
{
    disconnectFromServer();
}

QUrl WebSocketClient::connectionUrl(const QString &serverUrl, const QString &token)
{
    static const QRegularExpression scheme(QStringLiteral("^https?://"));
    QString url = serverUrl;
    url.remove(scheme);
    url.prepend(serverUrl.startsWith(QLatin1String("https://")) ? QStringLiteral("wss://")
                                                                : QStringLiteral("ws://"));
    url += connectPath;
    if (!token.isEmpty())
        url += QStringLiteral("&token=") + QString::fromLatin1(QUrl::toPercentEncoding(token));
    return QUrl(url, QUrl::TolerantMode);
}

int WebSocketClient::reconnectDelayMs(int attempt)
{
    return int(std::min<qint64>(1000LL << std::clamp(attempt - 1, 0, 16), 60000));
}

void WebSocketClient::setTimeScaleForTesting(double factor)
{
    m_timeScale = factor;
    m_heartbeatTimer.setInterval(scaled(HeartbeatIntervalMs));
}

int WebSocketClient::scaled(int milliseconds) const
{
    return std::max(1, int(milliseconds * m_timeScale));
}

bool WebSocketClient::isConnected() const
{
    return m_connected;
}

void WebSocketClient::connectToServer(const QString &serverUrl, const QString &token,
                                      const QString &userId)
{
    if (m_connected) {
        logWarn(QStringLiteral("Already connected to WebSocket server"));
        return;
    }
    m_token = token;
    m_userId = userId;
    m_serverUrl = serverUrl;
    m_reconnectAttempts = 0;
    if (!userId.isEmpty())
        logInfo(QStringLiteral("📝 User ID: %1").arg(userId));
    logInfo(QStringLiteral("🔌 Connecting to WebSocket server: %1")
                .arg(loggableUrl(m_serverUrl, m_token)));
    openSocket();
}

void WebSocketClient::reconnectWithCredentials(const QString &token, const QString &userId)
{
    logInfo(QStringLiteral("🔄 Reconnecting WebSocket with new credentials..."));
    if (m_connected && m_authenticated && token == m_token) {
        logInfo(QStringLiteral("WebSocket already connected with same token, skipping reconnect"));
        return;
    }
    closeSocket();
    m_token = token;
    m_userId = userId;
    m_connected = false;
    m_authenticated = false;
    m_reconnectAttempts = 0;
    if (!m_serverUrl.isEmpty())
        connectToServer(m_serverUrl, token, userId);
}

void WebSocketClient::disconnectFromServer()
{
    closeSocket();
    m_connected = false;
    m_authenticated = false;
    m_currentTournament.clear();
    m_reconnectAttempts = MaxReconnectAttempts;
}

// Stops the timers and closes an open socket; the disconnect that follows is the application's
// own doing and schedules nothing.
void WebSocketClient::closeSocket()
{
    m_heartbeatTimer.stop();
    m_reconnectTimer.stop();
    m_silenceTimer.stop();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_closeRequested = true;
        m_socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
    }
}

void WebSocketClient::openSocket()
{
    m_closeRequested = false;
    m_socket->open(connectionUrl(m_serverUrl, m_token));
}

void WebSocketClient::attemptReconnect()
{
    if (m_connected)
        return;
    logInfo(QStringLiteral("🔄 Attempting reconnection %1/%2...")
                .arg(m_reconnectAttempts)
                .arg(MaxReconnectAttempts));
    openSocket();
}

void WebSocketClient::onConnected()
{
    logInfo(QStringLiteral("✅ WebSocket connected, waiting for Engine.IO OPEN packet..."));
    m_connected = true;
    m_authenticated = false;
}

void WebSocketClient::onDisconnected()
{
    logWarn(QStringLiteral("❌ WebSocket disconnected"));
    m_connected = false;
    m_authenticated = false;
    m_heartbeatTimer.stop();
    m_silenceTimer.stop();
    emit disconnected();

    if (m_closeRequested) {
        m_closeRequested = false;
        return;
    }
    if (!m_serverUrl.isEmpty() && m_reconnectAttempts < MaxReconnectAttempts) {
        ++m_reconnectAttempts;
        const int delay = reconnectDelayMs(m_reconnectAttempts);
        logInfo(QStringLiteral("🔄 Reconnecting in %1 seconds (attempt %2/%3)...")
                    .arg(delay / 1000.0, 0, 'f', 1)
                    .arg(m_reconnectAttempts)
                    .arg(MaxReconnectAttempts));
        m_reconnectTimer.start(scaled(delay));
    } else if (m_reconnectAttempts >= MaxReconnectAttempts) {
        logError(QStringLiteral("❌ All reconnection attempts failed!"));
        emit reconnectFailed();
    }
}

void WebSocketClient::onError(QAbstractSocket::SocketError socketError)
{
    Q_UNUSED(socketError);
    const QString text = m_socket->errorString();
    logError(QStringLiteral("WebSocket error: %1").arg(text));
    emit error(text);
}

void WebSocketClient::onTextMessageReceived(const QString &message)
{
    if (message.isEmpty())
        return;
    switch (message.at(0).unicode()) {
    case '0':
        handleEngineOpen(message.mid(1));
        break;
    case '2':
        handleServerPing();
        break;
    case '3':
        logDebug(QStringLiteral("💓 Received heartbeat response (PONG)"));
        break;
    case '4':
        if (message.size() < 2 || !message.at(1).isDigit())
            return;
        if (message.at(1) == QLatin1Char('0'))
            handleAuthenticated();
        else if (message.at(1) == QLatin1Char('4'))
            handleConnectError(message.mid(2));
        else if (message.at(1) == QLatin1Char('2'))
            handleEvent(message.mid(2));
        break;
    default:
        break;
    }
}

void WebSocketClient::handleEngineOpen(const QString &handshake)
{
    // The server's keep-alive promise: a ping at least every pingInterval, answered within
    // pingTimeout. A link that stays silent longer than both is dead even if TCP has not noticed
    // (a sleeping laptop, a dropped NAT mapping), and is closed so that reconnection starts.
    const QJsonObject open = QJsonDocument::fromJson(handshake.toUtf8()).object();
    m_silenceLimitMs = open.value(QLatin1String("pingInterval")).toInt()
        + open.value(QLatin1String("pingTimeout")).toInt();
    if (m_silenceLimitMs > 0)
        m_silenceTimer.start(scaled(m_silenceLimitMs));

    const QJsonObject auth{{QStringLiteral("token"), m_token}};
    m_socket->sendTextMessage(QStringLiteral("40") + compactJson(auth));
}

void WebSocketClient::handleServerPing()
{
    logDebug(QStringLiteral("💓 Received server PING, sending PONG"));
    m_socket->sendTextMessage(QStringLiteral("3"));
    if (m_silenceLimitMs > 0)
        m_silenceTimer.start(scaled(m_silenceLimitMs));
}

void WebSocketClient::handleSilentLink()
{
    logWarn(QStringLiteral("⚠️ No ping from the server for %1 ms, closing the connection")
                .arg(m_silenceLimitMs));
    // abort(), not close(): a closing handshake would wait for a peer that no longer answers.
    m_socket->abort();
}

void WebSocketClient::handleAuthenticated()
{
    logInfo(QStringLiteral("✅ Socket.IO authenticated successfully!"));
    m_authenticated = true;
    m_reconnectAttempts = 0;
    m_heartbeatTimer.start();
    logDebug(QStringLiteral("💓 Heartbeat timer started (%1ms interval)").arg(HeartbeatIntervalMs));
    emit connected();

    if (!m_currentTournament.isEmpty()) {
        logInfo(QStringLiteral("🔄 Resubscribing to tournament: %1").arg(m_currentTournament));
        const QString tournamentId = m_currentTournament;
        m_currentTournament.clear();
        subscribeToTournament(tournamentId);
    }
}

void WebSocketClient::handleConnectError(const QString &reason)
{
    logError(QStringLiteral("❌ Socket.IO authentication failed: %1").arg(reason));
    m_reconnectAttempts = MaxReconnectAttempts;
    emit authenticationFailed(reason);
}

void WebSocketClient::handleEvent(const QString &payload)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(payload.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        logError(QStringLiteral("Failed to parse Socket.IO event: %1").arg(parseError.errorString()));
        return;
    }
    if (!document.isArray()) {
        logWarn(QStringLiteral("Socket.IO event is not an array"));
        return;
    }
    const QJsonArray event = document.array();
    if (event.size() < 2) {
        logWarn(QStringLiteral("Socket.IO event array has less than 2 elements"));
        return;
    }
    const QString name = event.at(0).toString();
    const QJsonObject data = event.at(1).toObject();

    if (name == QLatin1String("notification:new")) {
        handleNotification(data.value(QLatin1String("notification")).toObject());
        emit unreadCountChanged(data.value(QLatin1String("unreadCount")).toInt(0));
    } else if (name == QLatin1String("tournament:subscribed")) {
        const QString tournamentId = data.value(QLatin1String("tournamentId")).toString();
        if (data.value(QLatin1String("success")).toBool(false)) {
            logInfo(QStringLiteral("✅ Subscribed to tournament: %1").arg(tournamentId));
            emit tournamentSubscribed(tournamentId);
        } else {
            logWarn(QStringLiteral("❌ Failed to subscribe to tournament: %1").arg(tournamentId));
        }
    } else if (name == QLatin1String("match:updated") || name == QLatin1String("bracket:updated")
               || name == QLatin1String("tournament:status")
               || name == QLatin1String("leaderboard:updated")) {
        emit tournamentUpdateReceived(name, data.value(QLatin1String("tournamentId")).toString(),
                                      data.value(QLatin1String("matchId")).toString(),
                                      data.value(QLatin1String("matchGameId")).toString(), data);
    }
}

void WebSocketClient::handleNotification(const QJsonObject &notification)
{
    const QString type = notification.value(QLatin1String("type")).toString();
    const QString title = notification.value(QLatin1String("title")).toString();
    const QString message = notification.value(QLatin1String("message")).toString();
    logInfo(QStringLiteral("🔔 Notification: %1 - %2").arg(type, title));
    emit notificationReceived(type, title, message);

    if (m_matchNotificationTypes.contains(type)) {
        const QJsonObject metadata = notification.value(QLatin1String("metadata")).toObject();
        emit matchNotificationReceived(type, metadata.value(QLatin1String("matchId")).toString(),
                                       metadata.value(QLatin1String("matchGameId")).toString(),
                                       metadata.value(QLatin1String("tournamentId")).toString(),
                                       metadata);
    }
}

void WebSocketClient::sendHeartbeat()
{
    if (!m_connected || !m_authenticated)
        return;
    sendEvent({QStringLiteral("ping")});
    logDebug(QStringLiteral("💓 Sent client heartbeat ping"));
}

void WebSocketClient::sendEvent(const QStringList &eventAndArgs)
{
    m_socket->sendTextMessage(QStringLiteral("42")
                              + compactJson(QJsonArray::fromStringList(eventAndArgs)));
}

void WebSocketClient::subscribeToTournament(const QString &tournamentId)
{
    if (tournamentId.isEmpty()) {
        logWarn(QStringLiteral("Cannot subscribe to empty tournament ID"));
        return;
    }
    if (!m_currentTournament.isEmpty() && m_currentTournament != tournamentId)
        unsubscribeFromTournament(m_currentTournament);
    m_currentTournament = tournamentId;
    if (m_authenticated) {
        sendEvent({QStringLiteral("subscribe:tournament"), tournamentId});
        logInfo(QStringLiteral("📤 Subscribing to tournament: %1").arg(tournamentId));
    } else {
        logInfo(QStringLiteral("📋 Tournament subscription queued: %1 (will subscribe after auth)")
                    .arg(tournamentId));
    }
}

void WebSocketClient::unsubscribeFromTournament(const QString &tournamentId)
{
    const QString id = tournamentId.isEmpty() ? m_currentTournament : tournamentId;
    if (id.isEmpty())
        return;
    if (id == m_currentTournament)
        m_currentTournament.clear();
    if (m_authenticated) {
        sendEvent({QStringLiteral("unsubscribe:tournament"), id});
        logInfo(QStringLiteral("📤 Unsubscribing from tournament: %1").arg(id));
    }
}
