#include "LogCapture.h"
#include "WebSocketClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>

#include <memory>

namespace {

// A loopback WebSocket server that records every frame the client sends and sends the frames a
// test scripts, so the client's protocol is checked frame by frame.
class FrameServer : public QObject
{
public:
    FrameServer()
        : m_server(QStringLiteral("frames"), QWebSocketServer::NonSecureMode)
    {
        connect(&m_server, &QWebSocketServer::newConnection, this, [this] {
            while (QWebSocket *socket = m_server.nextPendingConnection()) {
                m_sockets.append(socket);
                requestUrls.append(socket->requestUrl());
                connect(socket, &QWebSocket::textMessageReceived, this,
                        [this, socket](const QString &frame) {
                            frames.append(frame);
                            if (frame.startsWith(QLatin1String("40{")))
                                for (const QString &reply : connectReplies)
                                    socket->sendTextMessage(reply);
                        });
                if (!openPacket.isEmpty())
                    socket->sendTextMessage(openPacket);
            }
        });
    }

    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    void close() { m_server.close(); }
    quint16 port() const { return m_server.serverPort(); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }
    int connections() const { return int(m_sockets.size()); }

    void send(const QString &frame) { m_sockets.constLast()->sendTextMessage(frame); }
    void dropClient() { m_sockets.constLast()->abort(); }

    QStringList frames;
    QList<QUrl> requestUrls;
    // Sent to each new client at once; empty: the test sends it itself. It promises pings only
    // rarely, so that the dead-link check stays quiet also when a test scales time down.
    QString openPacket = QStringLiteral("0{\"sid\":\"s1\",\"pingInterval\":9000000,\"pingTimeout\":1}");
    // Sent in answer to every CONNECT frame.
    QStringList connectReplies;

private:
    QWebSocketServer m_server;
    QList<QWebSocket *> m_sockets;
};

} // namespace

class TestWebSocketClient : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FrameServer> m_server;
    std::unique_ptr<WebSocketClient> m_client;

    // Connects and waits until the server has seen the CONNECT frame; optionally accepts it.
    void connectClient(bool accept = true, const QString &token = QStringLiteral("tok"))
    {
        QSignalSpy connectedSpy(m_client.get(), &WebSocketClient::connected);
        m_client->connectToServer(m_server->url(), token, QStringLiteral("u-1"));
        QTRY_VERIFY(m_server->frames.contains(
            QStringLiteral("40{\"token\":\"%1\"}").arg(token)));
        if (accept) {
            m_server->send(QStringLiteral("40{\"sid\":\"abc\"}"));
            QTRY_COMPARE(connectedSpy.count(), 1);
        }
    }

    // Sends `frame`, then a pong as a marker, and returns once the marker was handled: by then
    // the frame was too.
    void sendAndSettle(const QString &frame, const LogCapture &log)
    {
        m_server->send(frame);
        m_server->send(QStringLiteral("3"));
        QTRY_VERIFY(log.texts().contains(QStringLiteral("💓 Received heartbeat response (PONG)")));
    }

private slots:
    void init()
    {
        m_server = std::make_unique<FrameServer>();
        QVERIFY(m_server->listen());
        m_client = std::make_unique<WebSocketClient>();
    }

    void cleanup()
    {
        m_client.reset();
        m_server.reset();
    }

    void connectionUrl_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("expected");
        QTest::addRow("https becomes wss")
            << "https://ws.corvanta.gg:3002" << "abc"
            << "wss://ws.corvanta.gg:3002/socket.io/?EIO=4&transport=websocket&token=abc";
        QTest::addRow("http becomes ws") << "http://127.0.0.1:4000" << "abc"
                                         << "ws://127.0.0.1:4000/socket.io/?EIO=4&transport=websocket&token=abc";
        QTest::addRow("token percent-encoded")
            << "http://h" << QString::fromUtf8("a+b/c=d e&f~g.h_i-j✓")
            << "ws://h/socket.io/?EIO=4&transport=websocket&token=a%2Bb%2Fc%3Dd%20e%26f~g.h_i-j%E2%9C%93";
        QTest::addRow("no token") << "https://h:3002" << ""
                                  << "wss://h:3002/socket.io/?EIO=4&transport=websocket";
        QTest::addRow("scheme in capitals") << "HTTPS://h" << ""
                                            << "wss://h/socket.io/?EIO=4&transport=websocket";
    }

    void connectionUrl()
    {
        QFETCH(QString, server);
        QFETCH(QString, token);
        QFETCH(QString, expected);
        QCOMPARE(WebSocketClient::connectionUrl(server, token).toString(QUrl::FullyEncoded),
                 QUrl(expected, QUrl::TolerantMode).toString(QUrl::FullyEncoded));
    }

    void connectLogsNoToken()
    {
        LogCapture log;
        connectClient(true, QStringLiteral("SECRET_TOKEN_1234567890"));
        QVERIFY(!log.rawLines().join('\n').contains(QLatin1String("SECRET_TOKEN")));
        const QString line = log.texts().value(1);
        QVERIFY2(line.startsWith(QStringLiteral("🔌 Connecting to WebSocket server: ws://127.0.0.1:"))
                     && line.endsWith(QLatin1String("...")),
                 qPrintable(line));
        QCOMPARE(log.texts().constFirst(), QStringLiteral("📝 User ID: u-1"));
        QCOMPARE(m_server->requestUrls.constFirst().query(),
                 QStringLiteral("EIO=4&transport=websocket&token=SECRET_TOKEN_1234567890"));
    }

    void handshakeAndKeepAlive()
    {
        m_client->setTimeScaleForTesting(0.004); // heartbeat every 100 ms
        LogCapture log;
        connectClient(false);
        QElapsedTimer clock;
        clock.start();
        m_server->send(QStringLiteral("40"));
        QTRY_VERIFY(m_client->isConnected());
        QCOMPARE(m_server->frames.count(QStringLiteral("40{\"token\":\"tok\"}")), 1);
        QTRY_VERIFY(log.texts().contains(QStringLiteral("💓 Heartbeat timer started (25000ms interval)")));

        m_server->send(QStringLiteral("2"));
        QTRY_VERIFY(m_server->frames.contains(QStringLiteral("3")));

        QTRY_COMPARE(m_server->frames.count(QStringLiteral("42[\"ping\"]")), 3);
        QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
    }

    void framesIgnoredOrRejected_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("logged");
        QTest::addRow("noop") << "6" << "";
        QTest::addRow("binary event") << "451-[\"x\",{\"_placeholder\":true,\"num\":0}]"
                                      << "Ignoring a binary Socket.IO packet (type 5)";
        QTest::addRow("binary ack") << "461-0[{\"_placeholder\":true,\"num\":0}]"
                                    << "Ignoring a binary Socket.IO packet (type 6)";
        QTest::addRow("other namespace") << "42/admin,[\"notification:new\",{}]" << "";
        QTest::addRow("repeated open") << "0{\"sid\":\"s2\"}" << "Ignoring a repeated Engine.IO OPEN packet";
        QTest::addRow("repeated connect") << "40{\"sid\":\"x\"}" << "Ignoring a repeated Socket.IO CONNECT";
        QTest::addRow("ack id too long") << "421234567890123456[\"x\",{}]"
                                         << "Failed to parse Socket.IO event: acknowledgement id too long";
        QTest::addRow("message too short") << "4" << "";
        QTest::addRow("non-digit type") << "4x[\"notification:new\",{}]" << "";
        QTest::addRow("unknown engine type") << "x" << "";
        QTest::addRow("event not an array") << "42{}" << "Socket.IO event is not an array";
        QTest::addRow("event without payload") << "42[\"x\"]"
                                               << "Socket.IO event array has less than 2 elements";
        QTest::addRow("broken json") << "42[" << "Failed to parse Socket.IO event: ";
        QTest::addRow("unknown event") << "42[\"chat:message\",{\"a\":1}]" << "";
    }

    void framesIgnoredOrRejected()
    {
        QFETCH(QString, frame);
        QFETCH(QString, logged);
        connectClient();
        QSignalSpy notifications(m_client.get(), &WebSocketClient::notificationReceived);
        QSignalSpy updates(m_client.get(), &WebSocketClient::tournamentUpdateReceived);
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        LogCapture log;
        sendAndSettle(frame, log);

        QStringList lines = log.texts();
        lines.removeAll(QStringLiteral("💓 Received heartbeat response (PONG)"));
        if (logged.isEmpty()) {
            QCOMPARE(lines, QStringList());
        } else {
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.constFirst().startsWith(logged), qPrintable(lines.constFirst()));
        }
        QCOMPARE(notifications.count() + updates.count() + closed.count(), 0);
        QVERIFY(m_client->isConnected());
        QCOMPARE(m_server->frames, QStringList({"40{\"token\":\"tok\"}"}));
    }

    // Events that ask for an acknowledgement are delivered and answered with their id.
    void acknowledgedEvents_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("ack");
        QTest::addColumn<int>("delivered");
        QTest::addRow("notification") << "421[\"notification:new\",{\"notification\":{\"title\":\"A\"},\"unreadCount\":2}]"
                                      << "431[]" << 1;
        QTest::addRow("tournament event") << "4207[\"match:updated\",{\"matchId\":\"m\"}]" << "437[]" << 1;
        QTest::addRow("unknown event") << "4299[\"chat\",{}]" << "4399[]" << 0;
        QTest::addRow("event without payload") << "423[\"x\"]" << "433[]" << 0;
    }

    void acknowledgedEvents()
    {
        QFETCH(QString, frame);
        QFETCH(QString, ack);
        QFETCH(int, delivered);
        connectClient();
        QSignalSpy counts(m_client.get(), &WebSocketClient::unreadCountChanged);
        QSignalSpy updates(m_client.get(), &WebSocketClient::tournamentUpdateReceived);
        m_server->send(frame);
        QTRY_COMPARE(m_server->frames.mid(1), QStringList({ack}));
        QCOMPARE(counts.count() + updates.count(), delivered);
    }

    void notificationSignalsInOrder()
    {
        connectClient();
        QStringList order;
        QList<QVariantList> arguments;
        connect(m_client.get(), &WebSocketClient::notificationReceived, this,
                [&](const QString &type, const QString &title, const QString &message) {
                    order << "notification";
                    arguments << QVariantList{type, title, message};
                });
        connect(m_client.get(), &WebSocketClient::matchNotificationReceived, this,
                [&](const QString &type, const QString &matchId, const QString &gameId,
                    const QString &tournamentId, const QJsonObject &data) {
                    order << "match";
                    arguments << QVariantList{type, matchId, gameId, tournamentId, data};
                });
        connect(m_client.get(), &WebSocketClient::unreadCountChanged, this, [&](int count) {
            order << "count";
            arguments << QVariantList{count};
        });

        m_server->send(QStringLiteral(
            "42[\"notification:new\",{\"notification\":{\"type\":\"LOBBY_READY\",\"title\":\"A\","
            "\"message\":\"B\",\"metadata\":{\"matchId\":\"m1\"}},\"unreadCount\":3}]"));
        QTRY_COMPARE(order, QStringList({"notification", "match", "count"}));
        QCOMPARE(arguments[0], QVariantList({"LOBBY_READY", "A", "B"}));
        QCOMPARE(arguments[1].mid(0, 4), QVariantList({"LOBBY_READY", "m1", "", ""}));
        QCOMPARE(arguments[1][4].toJsonObject(), QJsonObject({{"matchId", "m1"}}));
        QCOMPARE(arguments[2], QVariantList{3});
    }

    // Every notification type, and what a broken or hostile server may send as a notification:
    // the match types drive the overlay, no empty balloon, no badge reset by a count that is not
    // a number, no megabyte in the log.
    void notifications_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QVariantList>("shown"); // the balloon's type, title, message; empty: none
        QTest::addColumn<int>("matches");
        QTest::addColumn<QVariantList>("counts");
        const auto typed = [](const QString &type) {
            return QStringLiteral("{\"notification\":{\"type\":\"%1\",\"title\":\"t\","
                                  "\"message\":\"m\"},\"unreadCount\":1}")
                .arg(type);
        };
        for (const char *type : {"LOBBY_READY", "LOBBY_JOINED", "GAME_SCHEDULED",
                                 "MATCH_STARTING_SOON", "MATCH_UPDATED", "MATCH_CREATED",
                                 "GAME_COMPLETED"})
            QTest::addRow("%s", type) << typed(QLatin1String(type)) << QVariantList{type, "t", "m"}
                                      << 1 << QVariantList{1};
        QTest::addRow("lower case") << typed(QStringLiteral("lobby_ready"))
                                    << QVariantList{"lobby_ready", "t", "m"} << 0 << QVariantList{1};
        QTest::addRow("other type") << typed(QStringLiteral("match_starting"))
                                    << QVariantList{"match_starting", "t", "m"} << 0 << QVariantList{1};
        QTest::addRow("no notification object") << "{}" << QVariantList() << 0 << QVariantList();
        QTest::addRow("a string for data") << "\"str\"" << QVariantList() << 0 << QVariantList();
        QTest::addRow("no title nor message, counted")
            << "{\"notification\":{\"type\":\"SYSTEM\"},\"unreadCount\":4}" << QVariantList() << 0
            << QVariantList{4};
        QTest::addRow("match notice without texts")
            << "{\"notification\":{\"type\":\"LOBBY_READY\",\"metadata\":{\"matchId\":\"m\"}}}"
            << QVariantList() << 1 << QVariantList();
        QTest::addRow("numeric title") << "{\"notification\":{\"title\":5,\"message\":\"m\"}}"
                                       << QVariantList{"", "", "m"} << 0 << QVariantList();
        QTest::addRow("count as text") << "{\"notification\":{\"title\":\"t\"},\"unreadCount\":\"3\"}"
                                       << QVariantList{"", "t", ""} << 0 << QVariantList();
        QTest::addRow("negative count") << "{\"notification\":{\"title\":\"t\"},\"unreadCount\":-2}"
                                        << QVariantList{"", "t", ""} << 0 << QVariantList{0};
        const QString huge(1 << 20, 'T');
        QTest::addRow("huge title") << QStringLiteral("{\"notification\":{\"title\":\"%1\"},\"unreadCount\":1}").arg(huge)
                                    << QVariantList{"", huge, ""} << 0 << QVariantList{1};
    }

    void notifications()
    {
        QFETCH(QString, payload);
        QFETCH(QVariantList, shown);
        QFETCH(int, matches);
        QFETCH(QVariantList, counts);
        connectClient();
        QSignalSpy notificationSpy(m_client.get(), &WebSocketClient::notificationReceived);
        QSignalSpy matchSpy(m_client.get(), &WebSocketClient::matchNotificationReceived);
        QSignalSpy countSpy(m_client.get(), &WebSocketClient::unreadCountChanged);
        LogCapture log;
        sendAndSettle(QStringLiteral("42[\"notification:new\",%1]").arg(payload), log);
        QCOMPARE(notificationSpy.count(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty())
            QCOMPARE(notificationSpy.constFirst(), shown);
        QCOMPARE(matchSpy.count(), matches);
        QVariantList emitted;
        for (const QVariantList &arguments : countSpy)
            emitted << arguments.constFirst();
        QCOMPARE(emitted, counts);
        for (const QString &line : log.rawLines())
            QVERIFY2(line.size() < 600, qPrintable(line.left(100)));
    }

    void tournamentEvents()
    {
        connectClient();
        QSignalSpy updates(m_client.get(), &WebSocketClient::tournamentUpdateReceived);
        QSignalSpy subscribed(m_client.get(), &WebSocketClient::tournamentSubscribed);
        LogCapture log;
        for (const char *name : {"match:updated", "bracket:updated", "tournament:status",
                                 "leaderboard:updated"})
            m_server->send(QStringLiteral("42[\"%1\",{\"tournamentId\":\"t1\",\"matchId\":\"m2\","
                                          "\"matchGameId\":\"g3\",\"x\":1}]")
                               .arg(QLatin1String(name)));
        m_server->send(QStringLiteral("42[\"tournament:subscribed\",{\"tournamentId\":\"t1\",\"success\":true}]"));
        m_server->send(QStringLiteral("42[\"tournament:subscribed\",{\"tournamentId\":\"t2\"}]"));
        QTRY_COMPARE(updates.count(), 4);
        QTRY_COMPARE(log.texts().size(), 2);
        QCOMPARE(updates[2].mid(0, 4), QVariantList({"tournament:status", "t1", "m2", "g3"}));
        QCOMPARE(updates[2][4].toJsonObject().value("x").toInt(), 1);
        QCOMPARE(subscribed.count(), 1);
        QCOMPARE(log.texts(), QStringList({"✅ Subscribed to tournament: t1",
                                           "❌ Failed to subscribe to tournament: t2"}));
    }

    void subscriptionQueuedUntilAuthenticated()
    {
        m_client->subscribeToTournament(QStringLiteral("t1"));
        connectClient(false);
        QTest::qWait(50);
        QVERIFY(!m_server->frames.join('|').contains(QLatin1String("subscribe")));
        m_server->send(QStringLiteral("40"));
        QTRY_VERIFY(m_server->frames.contains(QStringLiteral("42[\"subscribe:tournament\",\"t1\"]")));
        QTest::qWait(50);
        QCOMPARE(m_server->frames.count(QStringLiteral("42[\"subscribe:tournament\",\"t1\"]")), 1);
    }

    void switchingTournamentsUnsubscribesFirst()
    {
        connectClient();
        m_client->subscribeToTournament(QStringLiteral("t1"));
        m_client->subscribeToTournament(QStringLiteral("t2"));
        m_client->subscribeToTournament(QStringLiteral("t2"));
        m_client->unsubscribeFromTournament(QString());
        m_client->unsubscribeFromTournament(QString()); // nothing current any more
        m_client->subscribeToTournament(QString());
        QTRY_COMPARE(m_server->frames.mid(1),
                     QStringList({"42[\"subscribe:tournament\",\"t1\"]",
                                  "42[\"unsubscribe:tournament\",\"t1\"]",
                                  "42[\"subscribe:tournament\",\"t2\"]",
                                  "42[\"unsubscribe:tournament\",\"t2\"]"}));
    }

    void subscriptionSentOncePerLink_data()
    {
        QTest::addColumn<bool>("inConnectedHandler");
        QTest::addRow("restored by the client") << false;
        // As the overlay does when it fetches the upcoming match on every connection.
        QTest::addRow("made again in a connected handler") << true;
    }

    void subscriptionSentOncePerLink()
    {
        QFETCH(bool, inConnectedHandler);
        m_client->setTimeScaleForTesting(0.01);
        if (inConnectedHandler) {
            connect(m_client.get(), &WebSocketClient::connected, this,
                    [this] { m_client->subscribeToTournament(QStringLiteral("t9")); });
        }
        connectClient();
        if (!inConnectedHandler)
            m_client->subscribeToTournament(QStringLiteral("t9"));
        const QString subscription = QStringLiteral("42[\"subscribe:tournament\",\"t9\"]");
        QTRY_VERIFY(m_server->frames.contains(subscription));
        QTest::qWait(50);
        QCOMPARE(m_server->frames.count(subscription), 1);
        m_server->frames.clear();
        QSignalSpy reconnected(m_client.get(), &WebSocketClient::connected);

        m_server->dropClient();
        QTRY_COMPARE(m_server->connections(), 2);
        QTRY_VERIFY(m_server->frames.contains(QStringLiteral("40{\"token\":\"tok\"}")));
        m_server->send(QStringLiteral("40"));
        QTRY_COMPARE(reconnected.count(), 1);
        QTest::qWait(50);
        QCOMPARE(m_server->frames, QStringList({"40{\"token\":\"tok\"}", subscription}));
    }

    void reconnectWithTheSameTokenDoesNothing()
    {
        connectClient();
        LogCapture log;
        m_client->reconnectWithCredentials(QStringLiteral("tok"), QStringLiteral("u-1"));
        QTest::qWait(100);
        QCOMPARE(m_server->connections(), 1);
        QCOMPARE(log.texts(), QStringList({"🔄 Reconnecting WebSocket with new credentials...",
                                           "WebSocket already connected with same token, skipping reconnect"}));
    }

    void reconnectWithANewTokenOpensAFreshLink()
    {
        connectClient();
        m_client->reconnectWithCredentials(QStringLiteral("tok2"), QStringLiteral("u-2"));
        QTRY_COMPARE(m_server->connections(), 2);
        QTRY_VERIFY(m_server->frames.contains(QStringLiteral("40{\"token\":\"tok2\"}")));
        QVERIFY(m_server->requestUrls.constLast().query().endsWith(QLatin1String("token=tok2")));
    }

    void connectingTwiceIsRefused()
    {
        connectClient();
        LogCapture log;
        m_client->connectToServer(m_server->url(), QStringLiteral("other"), QString());
        QCOMPARE(log.texts(), QStringList({"Already connected to WebSocket server"}));
        QTest::qWait(50);
        QCOMPARE(m_server->connections(), 1);
    }

    void disconnectingSchedulesNothing()
    {
        m_client->setTimeScaleForTesting(0.001);
        connectClient();
        QSignalSpy failed(m_client.get(), &WebSocketClient::reconnectFailed);
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        LogCapture log;
        m_client->disconnectFromServer();
        QTRY_COMPARE(closed.count(), 1);
        QTest::qWait(200);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(m_server->connections(), 1);
        QVERIFY(!m_client->isConnected());
        QVERIFY(!log.texts().join('\n').contains(QLatin1String("Reconnecting")));
        QVERIFY(!log.texts().join('\n').contains(QLatin1String("All reconnection attempts failed")));
    }

    void rejectedAuthenticationClosesAndNeverReconnects()
    {
        m_client->setTimeScaleForTesting(0.001);
        connectClient(false);
        QSignalSpy rejected(m_client.get(), &WebSocketClient::authenticationFailed);
        QSignalSpy failed(m_client.get(), &WebSocketClient::reconnectFailed);
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        LogCapture log;
        m_server->send(QStringLiteral("44{\"message\":\"Unauthorized\"}"));
        QTRY_COMPARE(rejected.count(), 1);
        QCOMPARE(rejected.constFirst().constFirst().toString(),
                 QStringLiteral("{\"message\":\"Unauthorized\"}"));
        QTRY_COMPARE(closed.count(), 1); // the link is not held open for a refused session
        QVERIFY(!m_client->isConnected());
        QTest::qWait(500); // a thousandfold the whole back-off and the slow retry
        QCOMPARE(m_server->connections(), 1);
        QCOMPARE(failed.count(), 0);
        QVERIFY(!log.texts().join('\n').contains(QLatin1String("Reconnecting")));
    }

    // A server that sends 41 ends the session; the client closes at once and comes back.
    void serverDisconnectClosesTheLink()
    {
        m_client->setTimeScaleForTesting(0.01);
        connectClient();
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        LogCapture log;
        m_server->send(QStringLiteral("41"));
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 500);
        QTRY_COMPARE(m_server->connections(), 2);
        QVERIFY(log.texts().contains(
            QStringLiteral("🔄 Reconnecting in 1.0 seconds (attempt 1/10)...")));
    }

    // A server that accepts and at once ends every session climbs the whole back-off, then is
    // tried only on the slow schedule.
    void serverEndingEverySessionIsNotHammered()
    {
        m_client->setTimeScaleForTesting(0.001); // back-off 1-60 ms, slow retry 300 ms
        m_server->connectReplies = {QStringLiteral("40{\"sid\":\"x\"}"), QStringLiteral("41")};
        QSignalSpy failed(m_client.get(), &WebSocketClient::reconnectFailed);
        LogCapture log;
        m_client->connectToServer(m_server->url(), QStringLiteral("tok"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
        QCOMPARE(m_server->connections(), 11);
        QCOMPARE(log.texts().filter(QStringLiteral("(attempt 1/10)")).size(), 1);
        QCOMPARE(log.texts().filter(QStringLiteral("(attempt 10/10)")).size(), 1);
        QTest::qWait(700);
        QCOMPARE(m_server->connections(), 13); // two slow retries
        QCOMPARE(failed.count(), 1);
    }

    void backOffScheduleThenFailure()
    {
        m_client->setTimeScaleForTesting(0.001);
        connectClient();
        const quint16 port = m_server->port();
        m_server.reset(); // the server goes away for good
        QSignalSpy failed(m_client.get(), &WebSocketClient::reconnectFailed);
        LogCapture log;
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);

        QStringList waits;
        for (const QString &line : log.texts()) {
            if (line.startsWith(QStringLiteral("🔄 Reconnecting in ")))
                waits << line;
        }
        QStringList expected;
        const QStringList seconds = {"1.0", "2.0", "4.0", "8.0", "16.0", "32.0",
                                     "60.0", "60.0", "60.0", "60.0"};
        for (int i = 0; i < seconds.size(); ++i)
            expected << QStringLiteral("🔄 Reconnecting in %1 seconds (attempt %2/10)...")
                            .arg(seconds[i])
                            .arg(i + 1);
        QCOMPARE(waits, expected);
        QCOMPARE(log.count(QStringLiteral("❌ All reconnection attempts failed!")), 1);
        QCOMPARE(log.texts().filter(QStringLiteral("🔄 Attempting reconnection")).size(), 10);

        // Then the client keeps trying on the slow schedule and comes back with the server.
        QVERIFY(log.texts().contains(QStringLiteral("🔄 Trying again in 5 minutes...")));
        FrameServer back;
        QVERIFY(back.listen(port));
        QSignalSpy connectedSpy(m_client.get(), &WebSocketClient::connected);
        QTRY_COMPARE_WITH_TIMEOUT(back.connections(), 1, 2000);
        back.send(QStringLiteral("40"));
        QTRY_COMPARE(connectedSpy.count(), 1);
        QCOMPARE(failed.count(), 1);
    }

    // The back-off starts over only once a link has stayed up for a minute.
    void backOffResetsAfterAMinuteUp_data()
    {
        QTest::addColumn<int>("upMs");
        QTest::addColumn<QString>("nextAttempt");
        QTest::addRow("dropped at once") << 0 << "attempt 2/10";
        QTest::addRow("up for a minute") << 900 << "attempt 1/10";
    }

    void backOffResetsAfterAMinuteUp()
    {
        QFETCH(int, upMs);
        QFETCH(QString, nextAttempt);
        m_client->setTimeScaleForTesting(0.01); // a minute is 600 ms
        connectClient();
        m_server->dropClient();
        QTRY_COMPARE(m_server->connections(), 2);
        QTRY_COMPARE(m_server->frames.count(QStringLiteral("40{\"token\":\"tok\"}")), 2);
        m_server->send(QStringLiteral("40"));
        QTRY_VERIFY(m_client->isConnected());
        QTest::qWait(upMs);
        LogCapture log;
        m_server->dropClient();
        QTRY_COMPARE(m_server->connections(), 3);
        const QStringList waits = log.texts().filter(QStringLiteral("🔄 Reconnecting in"));
        QCOMPARE(waits.size(), 1);
        QVERIFY2(waits.constFirst().contains(nextAttempt), qPrintable(waits.constFirst()));
    }

    void delays_data()
    {
        QTest::addColumn<int>("attempt");
        QTest::addColumn<int>("delay");
        const QList<int> delays = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000, 60000};
        for (int i = 0; i < delays.size(); ++i)
            QTest::addRow("attempt %d", i + 1) << i + 1 << delays[i];
    }

    void delays()
    {
        QFETCH(int, attempt);
        QFETCH(int, delay);
        QCOMPARE(WebSocketClient::reconnectDelayMs(attempt), delay);
    }

    void silentLinkIsClosedAndReconnected()
    {
        m_server->openPacket = QStringLiteral("0{\"sid\":\"s\",\"pingInterval\":100,\"pingTimeout\":50}");
        LogCapture log;
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        connectClient();
        m_server->send(QStringLiteral("2")); // one ping, then silence
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY2(clock.elapsed() >= 120, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(log.texts().contains(
            QStringLiteral("⚠️ No ping from the server for 150 ms, closing the connection")));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connections(), 2, 3000);
    }

    void regularPingsKeepTheLinkOpen()
    {
        m_server->openPacket = QStringLiteral("0{\"sid\":\"s\",\"pingInterval\":100,\"pingTimeout\":50}");
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        connectClient();
        for (int i = 0; i < 6; ++i) {
            QTest::qWait(80);
            m_server->send(QStringLiteral("2"));
        }
        QCOMPARE(closed.count(), 0);
        QVERIFY(m_client->isConnected());
    }
};

QTEST_GUILESS_MAIN(TestWebSocketClient)
#include "tst_websocketclient.moc"
