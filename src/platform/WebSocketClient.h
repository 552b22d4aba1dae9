#pragma once

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

struct SocketIoPacket;

class QWebSocket;

// The real-time connection to the platform: Socket.IO over Engine.IO 4 on one WebSocket, with
// bearer-token authentication, keep-alive, reconnection with back-off and one tournament
// subscription, turning the platform's events into signals.
class WebSocketClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int HeartbeatIntervalMs = 25000;
    static constexpr int ReceivedSliceMs = 5; // the longest the received frames hold the thread
    static constexpr int MaxReconnectAttempts = 10;
    // A link counts as working again, and the back-off starts over, only after it has stayed up
    // this long: a server that accepts and then drops every connection is not hammered.
    static constexpr int StableLinkMs = 60000;
    // After the back-off is used up the client keeps trying at this pace while the user stays
    // signed in, so live updates come back when the network does.
    static constexpr int SlowRetryMs = 300000;

    explicit WebSocketClient(QObject *parent = nullptr);
    ~WebSocketClient() override;

    void connectToServer(const QString &serverUrl, const QString &token, const QString &userId);
    void reconnectWithCredentials(const QString &token, const QString &userId);
    void disconnectFromServer();
    void subscribeToTournament(const QString &tournamentId);
    void unsubscribeFromTournament(const QString &tournamentId);
    bool isConnected() const;

    // The WebSocket address for a server URL and token.
    static QUrl connectionUrl(const QString &serverUrl, const QString &token);
    // Back-off before reconnection attempt `attempt` (1-based).
    static int reconnectDelayMs(int attempt);

    // Test seam: every timer of the client (heartbeat, back-off, dead-link detection) runs
    // `factor` times its real length, so tests cover minutes of protocol in milliseconds. Log
    // lines keep the real figures.
    void setTimeScaleForTesting(double factor);

signals:
    void connected();
    void disconnected();
    void reconnectFailed();
    void authenticationFailed(const QString &reason);
    void notificationReceived(const QString &type, const QString &title, const QString &message);
    void unreadCountChanged(int count);
    void matchNotificationReceived(const QString &type, const QString &matchId,
                                   const QString &matchGameId, const QString &tournamentId,
                                   const QJsonObject &matchData);
    void tournamentUpdateReceived(const QString &type, const QString &tournamentId,
                                  const QString &matchId, const QString &matchGameId,
                                  const QJsonObject &matchData);
    void tournamentSubscribed(const QString &tournamentId);
    void error(const QString &errorString);

private slots:
    void onConnected();
    void onDisconnected();
    void onTextMessageReceived(const QString &message);
    void handleReceivedSlice();
    void onError(QAbstractSocket::SocketError socketError);
    void sendHeartbeat();

private:
    void handleMessage(const QString &message);
    void handleAllReceived();
    void openSocket();
    void attemptReconnect();
    void closeSocket();
    void handleEngineOpen(const QString &handshake);
    void handleServerPing();
    void handleAuthenticated();
    void handleConnectError(const QString &reason);
    void handleServerDisconnect();
    void handleEvent(const SocketIoPacket &event);
    void acknowledge(const SocketIoPacket &event);
    void scheduleReconnect();
    void handleNotification(const QJsonObject &data);
    void handleSilentLink();
    void sendEvent(const QStringList &eventAndArgs);
    void sendSubscription();
    int scaled(int milliseconds) const;

    QWebSocket *m_socket;
    QString m_token;
    QString m_userId;
    QString m_serverUrl;
    QString m_currentTournament;
    bool m_connected = false;
    bool m_authenticated = false;
    QTimer m_heartbeatTimer;
    QTimer m_reconnectTimer;
    QTimer m_silenceTimer; // no server ping within the interval the server announced
    QTimer m_stableTimer; // the link has stayed up long enough to reset the back-off
    int m_silenceLimitMs = 0;
    int m_reconnectAttempts = 0;
    bool m_closeRequested = false;
    bool m_engineOpened = false; // this link has had its Engine.IO OPEN
    bool m_sessionRefused = false; // the server refused the CONNECT: nothing to retry
    bool m_slowRetry = false; // the back-off is used up; retrying every SlowRetryMs
    bool m_subscriptionSent = false; // this link carries the subscription to m_currentTournament
    QElapsedTimer m_lastFrame;
    QQueue<QString> m_received; // frames read but not yet handled, in order
    QTimer m_receivedTimer;     // hands them on a slice at a time
    double m_timeScale = 1.0;
    const QStringList m_matchNotificationTypes;
};
