#include "WebSocketClient.h"

#include "Log.h"
#include "SocketIoPacket.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QWebSocket>

#include <algorithm>

namespace {

const QString connectPath = QStringLiteral("/socket.io/?EIO=4&transport=websocket");

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
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    connect(m_socket, &QWebSocket::errorOccurred, this,
#else
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
#endif
            &WebSocketClient::onError);

    m_receivedTimer.setInterval(0);
    connect(&m_receivedTimer, &QTimer::timeout, this, &WebSocketClient::handleReceivedSlice);
    m_heartbeatTimer.setInterval(HeartbeatIntervalMs);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &WebSocketClient::sendHeartbeat);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &WebSocketClient::attemptReconnect);
    m_silenceTimer.setSingleShot(true);
    connect(&m_silenceTimer, &QTimer::timeout, this, &WebSocketClient::handleSilentLink);
    m_stableTimer.setSingleShot(true);
    connect(&m_stableTimer, &QTimer::timeout, this, [this] {
        m_reconnectAttempts = 0;
        m_slowRetry = false;
    });
}

WebSocketClient::~WebSocketClient()
{
    disconnectFromServer();
}

QUrl WebSocketClient::connectionUrl(const QString &serverUrl, const QString &token)
{
    // Schemes are case-insensitive: "HTTPS://host" is the secure host, not a host named "HTTPS:".
    static const QRegularExpression scheme(QStringLiteral("^https?://"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString url = serverUrl;
    url.remove(scheme);
    url.prepend(serverUrl.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)
                    ? QStringLiteral("wss://")
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
    m_slowRetry = false;
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
    m_slowRetry = false;
}

// Stops the timers and closes an open socket; the disconnect that follows is the application's
// own doing and schedules nothing.
void WebSocketClient::closeSocket()
{
    m_heartbeatTimer.stop();
    m_reconnectTimer.stop();
    m_silenceTimer.stop();
    m_stableTimer.stop();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_closeRequested = true;
        m_socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
    }
}

void WebSocketClient::openSocket()
{
    m_closeRequested = false;
    m_sessionRefused = false;
    m_socket->open(connectionUrl(m_serverUrl, m_token));
}

void WebSocketClient::attemptReconnect()
{
    if (m_connected)
        return;
    if (m_slowRetry)
        logInfo(QStringLiteral("🔄 Attempting reconnection (slow retry)..."));
    else
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
    m_engineOpened = false;
    m_subscriptionSent = false;
}

void WebSocketClient::onDisconnected()
{
    handleAllReceived();
    logWarn(QStringLiteral("❌ WebSocket disconnected"));
    m_connected = false;
    m_authenticated = false;
    m_subscriptionSent = false;
    m_heartbeatTimer.stop();
    m_silenceTimer.stop();
    m_stableTimer.stop();
    emit disconnected();

    if (m_closeRequested) {
        m_closeRequested = false;
        return;
    }
    if (m_sessionRefused) {
        logInfo(QStringLiteral("The server refused the session; not reconnecting"));
        return;
    }
    if (!m_serverUrl.isEmpty())
        scheduleReconnect();
}

void WebSocketClient::scheduleReconnect()
{
    if (m_reconnectAttempts < MaxReconnectAttempts) {
        ++m_reconnectAttempts;
        const int delay = reconnectDelayMs(m_reconnectAttempts);
        logInfo(QStringLiteral("🔄 Reconnecting in %1 seconds (attempt %2/%3)...")
                    .arg(delay / 1000.0, 0, 'f', 1)
                    .arg(m_reconnectAttempts)
                    .arg(MaxReconnectAttempts));
        m_reconnectTimer.start(scaled(delay));
        return;
    }
    if (!m_slowRetry) {
        logError(QStringLiteral("❌ All reconnection attempts failed!"));
        m_slowRetry = true;
        emit reconnectFailed();
    }
    logInfo(QStringLiteral("🔄 Trying again in %1 minutes...").arg(SlowRetryMs / 60000));
    m_reconnectTimer.start(scaled(SlowRetryMs));
}

void WebSocketClient::onError(QAbstractSocket::SocketError socketError)
{
    Q_UNUSED(socketError);
    const QString text = m_socket->errorString();
    logError(QStringLiteral("WebSocket error: %1").arg(text));
    emit error(text);
}

// One read can bring thousands of frames, and handling one (parsing, the notification's
// balloon and badge) costs far more than reading it. Frames are therefore handed on in slices of a
// few milliseconds between which the event loop runs: a burst never stalls the windows, and
// every frame still counts as a sign of life the moment it is read.
void WebSocketClient::onTextMessageReceived(const QString &message)
{
    m_lastFrame.start();
    m_received.enqueue(message);
    if (!m_receivedTimer.isActive())
        m_receivedTimer.start();
}

void WebSocketClient::handleReceivedSlice()
{
    QElapsedTimer slice;
    slice.start();
    while (!m_received.isEmpty() && slice.elapsed() < ReceivedSliceMs)
        handleMessage(m_received.dequeue());
    if (m_received.isEmpty())
        m_receivedTimer.stop();
}

// Everything the link brought, before what follows its end.
void WebSocketClient::handleAllReceived()
{
    m_receivedTimer.stop();
    while (!m_received.isEmpty())
        handleMessage(m_received.dequeue());
}

void WebSocketClient::handleMessage(const QString &message)
{
    using Kind = SocketIoPacket::Kind;
    const SocketIoPacket packet = SocketIoPacket::parse(message);
    switch (packet.kind) {
    case Kind::Open:
        handleEngineOpen(packet.text);
        break;
    case Kind::Ping:
        handleServerPing();
        break;
    case Kind::Pong:
        logDebug(QStringLiteral("💓 Received heartbeat response (PONG)"));
        break;
    case Kind::Connect:
        handleAuthenticated();
        break;
    case Kind::Disconnect:
        handleServerDisconnect();
        break;
    case Kind::ConnectError:
        handleConnectError(packet.text);
        break;
    case Kind::Event:
        handleEvent(packet);
        break;
    case Kind::Binary:
        logDebug(QStringLiteral("Ignoring a binary Socket.IO packet (type %1)").arg(packet.text));
        break;
    case Kind::BadJson:
        logError(QStringLiteral("Failed to parse Socket.IO event: %1").arg(packet.text));
        break;
    case Kind::NotAnArray:
        logWarn(QStringLiteral("Socket.IO event is not an array"));
        break;
    case Kind::NoPayload:
        logWarn(QStringLiteral("Socket.IO event array has less than 2 elements"));
        acknowledge(packet);
        break;
    case Kind::Ignored:
        break;
    }
}

void WebSocketClient::handleEngineOpen(const QString &handshake)
{
    // One link opens once; a second CONNECT would ask the server for a second session.
    if (m_engineOpened) {
        logDebug(QStringLiteral("Ignoring a repeated Engine.IO OPEN packet"));
        return;
    }
    m_engineOpened = true;
    // The server's keep-alive promise: a ping at least every pingInterval, answered within
    // pingTimeout. A link that stays silent longer than both is dead even if TCP has not noticed
    // (a sleeping laptop, a dropped NAT mapping), and is closed so that reconnection starts.
    const QJsonObject open = QJsonDocument::fromJson(handshake.toUtf8()).object();
    m_silenceLimitMs = open.value(QLatin1String("pingInterval")).toInt()
        + open.value(QLatin1String("pingTimeout")).toInt();
    if (m_silenceLimitMs > 0)
        m_silenceTimer.start(scaled(m_silenceLimitMs));

    const QJsonObject auth{{QStringLiteral("token"), m_token}};
    m_socket->sendTextMessage(SocketIoPacket::connectFrame(auth));
}

void WebSocketClient::handleServerPing()
{
    logDebug(QStringLiteral("💓 Received server PING, sending PONG"));
    m_socket->sendTextMessage(SocketIoPacket::pongFrame());
    if (m_silenceLimitMs > 0)
        m_silenceTimer.start(scaled(m_silenceLimitMs));
}

void WebSocketClient::handleSilentLink()
{
    // Any frame proves the link alive: behind a long burst of events the next ping may simply not
    // have been read yet.
    const qint64 quietMs = m_lastFrame.elapsed();
    const int limitMs = scaled(m_silenceLimitMs);
    if (m_lastFrame.isValid() && quietMs < limitMs) {
        m_silenceTimer.start(int(limitMs - quietMs));
        return;
    }
    logWarn(QStringLiteral("⚠️ No ping from the server for %1 ms, closing the connection")
                .arg(m_silenceLimitMs));
    // abort(), not close(): a closing handshake would wait for a peer that no longer answers.
    m_socket->abort();
}

void WebSocketClient::handleAuthenticated()
{
    if (m_authenticated) {
        logDebug(QStringLiteral("Ignoring a repeated Socket.IO CONNECT"));
        return;
    }
    logInfo(QStringLiteral("✅ Socket.IO authenticated successfully!"));
    m_authenticated = true;
    m_stableTimer.start(scaled(StableLinkMs));
    m_heartbeatTimer.start();
    logDebug(QStringLiteral("💓 Heartbeat timer started (%1ms interval)").arg(HeartbeatIntervalMs));
    emit connected();

    // A handler of connected() may have subscribed already; the platform hears it once a link.
    if (!m_currentTournament.isEmpty() && !m_subscriptionSent) {
        logInfo(QStringLiteral("🔄 Resubscribing to tournament: %1").arg(m_currentTournament));
        sendSubscription();
    }
}

void WebSocketClient::handleConnectError(const QString &reason)
{
    logError(QStringLiteral("❌ Socket.IO authentication failed: %1").arg(reason));
    // The server keeps the Engine.IO link open after a refusal; holding it would only answer
    // pings for a session that does not exist.
    m_sessionRefused = true;
    m_reconnectTimer.stop();
    m_socket->abort();
    emit authenticationFailed(reason);
}

void WebSocketClient::handleServerDisconnect()
{
    // The server has left the namespace while the transport may stay open; without a session
    // nothing arrives any more, so the link is closed and reconnection starts at once.
    logWarn(QStringLiteral("❌ The server ended the Socket.IO session, closing the connection"));
    m_socket->abort();
}

void WebSocketClient::handleEvent(const SocketIoPacket &event)
{
    const QString &name = event.eventName;
    const QJsonObject &data = event.data;
    if (name == QLatin1String("notification:new")) {
        handleNotification(data.value(QLatin1String("notification")).toObject());
        // A count that is not a number says nothing about the badge; it stays as it is.
        const QJsonValue count = data.value(QLatin1String("unreadCount"));
        if (count.isDouble())
            emit unreadCountChanged(int(std::clamp(count.toDouble(), 0.0, 1e9)));
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
    acknowledge(event);
}

// The sender of an event with an id waits for this answer; the launcher has nothing to return.
void WebSocketClient::acknowledge(const SocketIoPacket &event)
{
    if (event.ackId != SocketIoPacket::NoAck && m_socket->isValid())
        m_socket->sendTextMessage(SocketIoPacket::ackFrame(event.ackId));
}

void WebSocketClient::handleNotification(const QJsonObject &notification)
{
    const QString type = notification.value(QLatin1String("type")).toString();
    const QString title = notification.value(QLatin1String("title")).toString();
    const QString message = notification.value(QLatin1String("message")).toString();
    if (title.isEmpty() && message.isEmpty()) {
        // An empty balloon tells the user nothing; a match notice still drives the overlay.
        logDebug(QStringLiteral("Notification without title and message: %1").arg(type));
    } else {
        logInfo(QStringLiteral("🔔 Notification: %1 - %2").arg(type, title));
        emit notificationReceived(type, title, message);
    }

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
    m_socket->sendTextMessage(SocketIoPacket::eventFrame(eventAndArgs));
}

void WebSocketClient::subscribeToTournament(const QString &tournamentId)
{
    if (tournamentId.isEmpty()) {
        logWarn(QStringLiteral("Cannot subscribe to empty tournament ID"));
        return;
    }
    if (!m_currentTournament.isEmpty() && m_currentTournament != tournamentId)
        unsubscribeFromTournament(m_currentTournament);
    if (tournamentId == m_currentTournament && m_subscriptionSent) {
        logDebug(QStringLiteral("Already subscribed to tournament: %1").arg(tournamentId));
        return;
    }
    m_currentTournament = tournamentId;
    if (m_authenticated) {
        sendSubscription();
    } else {
        logInfo(QStringLiteral("📋 Tournament subscription queued: %1 (will subscribe after auth)")
                    .arg(tournamentId));
    }
}

void WebSocketClient::sendSubscription()
{
    sendEvent({QStringLiteral("subscribe:tournament"), m_currentTournament});
    m_subscriptionSent = true;
    logInfo(QStringLiteral("📤 Subscribing to tournament: %1").arg(m_currentTournament));
}

void WebSocketClient::unsubscribeFromTournament(const QString &tournamentId)
{
    const QString id = tournamentId.isEmpty() ? m_currentTournament : tournamentId;
    if (id.isEmpty())
        return;
    if (id == m_currentTournament) {
        m_currentTournament.clear();
        m_subscriptionSent = false;
    }
    if (m_authenticated) {
        sendEvent({QStringLiteral("unsubscribe:tournament"), id});
        logInfo(QStringLiteral("📤 Unsubscribing from tournament: %1").arg(id));
    }
}
