#include "LogCapture.h"
#include "WebSocketClient.h"

#include <QJsonObject>
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
                socket->sendTextMessage(openPacket);
            }
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    int connections() const { return int(m_sockets.size()); }

    void send(const QString &frame) { m_sockets.constLast()->sendTextMessage(frame); }
    void dropClient() { m_sockets.constLast()->abort(); }

    QStringList frames;
    QList<QUrl> requestUrls;
    // Sent to each new client at once. It promises pings only rarely, so that the dead-link
    // check stays quiet also when a test scales time down.
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
    const QString m_connectFrame = QStringLiteral("40{\"token\":\"tok\"}");

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

    // Pings the client on the current link and waits for its pong: the client handles frames in
    // order, so by then it has handled, and answered, everything the server sent before.
    void settle()
    {
        const qsizetype pongs = m_server->frames.count(QStringLiteral("3"));
        m_server->send(QStringLiteral("2"));
        QTRY_COMPARE(m_server->frames.count(QStringLiteral("3")), pongs + 1);
        m_server->frames.removeAll(QStringLiteral("3"));
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
        QTest::addRow("http becomes ws") << "http://127.0.0.1:4000" << ""
                                         << "ws://127.0.0.1:4000/socket.io/?EIO=4&transport=websocket";
        QTest::addRow("token percent-encoded")
            << "http://h" << QString::fromUtf8("a+b/c=d e&f~g.h_i-j✓")
            << "ws://h/socket.io/?EIO=4&transport=websocket&token=a%2Bb%2Fc%3Dd%20e%26f~g.h_i-j%E2%9C%93";
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

    // The handshake, answered pings and a heartbeat of its own, and the token in no log line.
    void handshakeAndKeepAlive()
    {
        const QString token = QStringLiteral("SECRET_TOKEN_1234567890");
        m_client->setTimeScaleForTesting(0.004); // heartbeat every 100 ms
        LogCapture log;
        connectClient(false, token);
        QElapsedTimer clock;
        clock.start();
        m_server->send(QStringLiteral("40"));
        QTRY_VERIFY(m_client->isConnected());
        settle(); // the server's ping is answered with a pong
        QTRY_COMPARE(m_server->frames.count(QStringLiteral("42[\"ping\"]")), 3);
        QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_server->frames.count(QStringLiteral("40{\"token\":\"%1\"}").arg(token)), 1);
        QVERIFY(!log.rawLines().join('\n').contains(QLatin1String("SECRET_TOKEN")));
    }

    // Frames the client ignores or refuses, and events that ask for an acknowledgement: the
    // client answers those with their id, whether it acts on them or not.
    void frames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("answer"); // the client's frame in reply; empty: none
        QTest::addColumn<int>("delivered"); // notifications and tournament updates
        QTest::addRow("noop") << "6" << "" << "" << 0;
        QTest::addRow("binary event") << "451-[\"x\",{\"_placeholder\":true,\"num\":0}]"
                                      << "Ignoring a binary Socket.IO packet (type 5)" << "" << 0;
        QTest::addRow("other namespace") << "42/admin,[\"notification:new\",{}]" << "" << "" << 0;
        QTest::addRow("repeated open") << "0{\"sid\":\"s2\"}"
                                       << "Ignoring a repeated Engine.IO OPEN packet" << "" << 0;
        QTest::addRow("repeated connect") << "40{\"sid\":\"x\"}"
                                          << "Ignoring a repeated Socket.IO CONNECT" << "" << 0;
        QTest::addRow("ack id too long")
            << "421234567890123456[\"x\",{}]"
            << "Failed to parse Socket.IO event: acknowledgement id too long" << "" << 0;
        QTest::addRow("message too short") << "4" << "" << "" << 0;
        QTest::addRow("non-digit type") << "4x[\"notification:new\",{}]" << "" << "" << 0;
        QTest::addRow("unknown engine type") << "x" << "" << "" << 0;
        QTest::addRow("event not an array") << "42{}" << "Socket.IO event is not an array" << ""
                                            << 0;
        QTest::addRow("broken json") << "42[" << "Failed to parse Socket.IO event: " << "" << 0;
        QTest::addRow("acknowledged notification")
            << "421[\"notification:new\",{\"notification\":{\"title\":\"A\"}}]"
            << "🔔 Notification:" << "431[]" << 1;
        QTest::addRow("acknowledged tournament event")
            << "4207[\"match:updated\",{\"matchId\":\"m\"}]" << "" << "437[]" << 1;
        QTest::addRow("acknowledged unknown event") << "4299[\"chat\",{}]" << "" << "4399[]" << 0;
        QTest::addRow("acknowledged event without payload")
            << "423[\"x\"]" << "Socket.IO event array has less than 2 elements" << "433[]" << 0;
    }

    void frames()
    {
        QFETCH(QString, frame);
        QFETCH(QString, logged);
        QFETCH(QString, answer);
        QFETCH(int, delivered);
        connectClient();
        QSignalSpy notifications(m_client.get(), &WebSocketClient::notificationReceived);
        QSignalSpy updates(m_client.get(), &WebSocketClient::tournamentUpdateReceived);
        LogCapture log;
        m_server->send(frame);
        settle();

        QStringList lines = log.texts();
        lines.removeAll(QStringLiteral("💓 Received server PING, sending PONG"));
        QCOMPARE(lines.size(), logged.isEmpty() ? 0 : 1);
        if (!logged.isEmpty())
            QVERIFY2(lines.constFirst().startsWith(logged), qPrintable(lines.constFirst()));
        QCOMPARE(notifications.count() + updates.count(), delivered);
        QStringList sent({m_connectFrame});
        if (!answer.isEmpty())
            sent << answer;
        QCOMPARE(m_server->frames, sent);
    }

    // Every match notification type, and what a broken or hostile server may send as a
    // notification: the match types drive the overlay, no empty balloon, no badge reset by a
    // count that is not a number, no megabyte in the log.
    void notifications_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QVariantList>("shown"); // the balloon's type, title, message; empty: none
        QTest::addColumn<int>("matches");
        QTest::addColumn<QVariantList>("counts");
        const QString metadata = QStringLiteral("\"metadata\":{\"matchId\":\"m1\",\"tournamentId\":\"t1\"}");
        const auto typed = [&](const QString &type) {
            return QStringLiteral("{\"notification\":{\"type\":\"%1\",\"title\":\"t\","
                                  "\"message\":\"m\",%2},\"unreadCount\":1}")
                .arg(type, metadata);
        };
        for (const char *type : {"LOBBY_READY", "LOBBY_JOINED", "GAME_SCHEDULED",
                                 "MATCH_STARTING_SOON", "MATCH_UPDATED", "MATCH_CREATED",
                                 "GAME_COMPLETED"})
            QTest::addRow("%s", type) << typed(QLatin1String(type)) << QVariantList{type, "t", "m"}
                                      << 1 << QVariantList{1};
        QTest::addRow("lower case") << typed(QStringLiteral("lobby_ready"))
                                    << QVariantList{"lobby_ready", "t", "m"} << 0 << QVariantList{1};
        QTest::addRow("a string for data") << "\"str\"" << QVariantList() << 0 << QVariantList();
        QTest::addRow("no title nor message, counted")
            << "{\"notification\":{\"type\":\"SYSTEM\"},\"unreadCount\":4}" << QVariantList() << 0
            << QVariantList{4};
        QTest::addRow("match notice without texts")
            << QStringLiteral("{\"notification\":{\"type\":\"LOBBY_READY\",%1}}").arg(metadata)
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
        m_server->send(QStringLiteral("42[\"notification:new\",%1]").arg(payload));
        settle();
        QCOMPARE(notificationSpy.count(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty())
            QCOMPARE(notificationSpy.constFirst(), shown);
        QCOMPARE(matchSpy.count(), matches);
        if (matches) {
            QCOMPARE(matchSpy.constFirst().mid(1, 3), QVariantList({"m1", "", "t1"}));
            QCOMPARE(matchSpy.constFirst().at(4).toJsonObject().value("matchId"), "m1");
        }
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
        for (const char *name : {"match:updated", "bracket:updated", "tournament:status",
                                 "leaderboard:updated"})
            m_server->send(QStringLiteral("42[\"%1\",{\"tournamentId\":\"t1\",\"matchId\":\"m2\","
                                          "\"matchGameId\":\"g3\",\"x\":1}]")
                               .arg(QLatin1String(name)));
        m_server->send(QStringLiteral("42[\"tournament:subscribed\",{\"tournamentId\":\"t1\",\"success\":true}]"));
        m_server->send(QStringLiteral("42[\"tournament:subscribed\",{\"tournamentId\":\"t2\"}]"));
        settle();
        QCOMPARE(updates.count(), 4);
        QCOMPARE(updates[2].mid(0, 4), QVariantList({"tournament:status", "t1", "m2", "g3"}));
        QCOMPARE(updates[2][4].toJsonObject().value("x").toInt(), 1);
        QCOMPARE(subscribed, QList<QVariantList>({{"t1"}}));
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

    // The subscription reaches the server once the session is accepted, once per link, also
    // across a reconnection.
    void subscriptionSentOncePerLink_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addRow("queued before connecting") << "before";
        QTest::addRow("made while connected") << "after";
        // As the overlay does when it fetches the upcoming match on every connection.
        QTest::addRow("made again in a connected handler") << "handler";
    }

    void subscriptionSentOncePerLink()
    {
        QFETCH(QString, when);
        m_client->setTimeScaleForTesting(0.01);
        const QString t9 = QStringLiteral("t9");
        if (when == QLatin1String("handler"))
            connect(m_client.get(), &WebSocketClient::connected, this,
                    [&] { m_client->subscribeToTournament(t9); });
        if (when == QLatin1String("before"))
            m_client->subscribeToTournament(t9);
        connectClient();
        if (when == QLatin1String("after"))
            m_client->subscribeToTournament(t9);
        const QStringList expected({m_connectFrame, "42[\"subscribe:tournament\",\"t9\"]"});
        settle();
        QCOMPARE(m_server->frames, expected);
        m_server->frames.clear();

        QSignalSpy reconnected(m_client.get(), &WebSocketClient::connected);
        m_server->dropClient();
        QTRY_COMPARE(m_server->connections(), 2);
        QTRY_VERIFY(m_server->frames.contains(m_connectFrame));
        m_server->send(QStringLiteral("40"));
        QTRY_COMPARE(reconnected.count(), 1);
        settle();
        QCOMPARE(m_server->frames, expected);
    }

    // New credentials open a fresh link; the same ones, or a second connect, keep the first.
    void credentials_data()
    {
        QTest::addColumn<bool>("reconnect");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("linkToken"); // of the link in use afterwards
        QTest::addRow("reconnect with the same token") << true << "tok" << "tok";
        QTest::addRow("reconnect with a new token") << true << "tok2" << "tok2";
        QTest::addRow("connect again") << false << "other" << "tok";
    }

    void credentials()
    {
        QFETCH(bool, reconnect);
        QFETCH(QString, token);
        QFETCH(QString, linkToken);
        connectClient();
        m_server->frames.clear();
        if (reconnect)
            m_client->reconnectWithCredentials(token, QStringLiteral("u-2"));
        else
            m_client->connectToServer(m_server->url(), token, QString());
        const bool fresh = linkToken != QLatin1String("tok");
        QTRY_COMPARE(m_server->connections(), fresh ? 2 : 1);
        settle(); // the link in use answers
        QCOMPARE(m_server->frames, fresh ? QStringList({QStringLiteral("40{\"token\":\"%1\"}").arg(linkToken)})
                                         : QStringList());
        QVERIFY(m_server->requestUrls.constLast().query().endsWith("token=" + linkToken));
    }

    // Neither closing the link on purpose nor a refused session leads to reconnection attempts.
    void noReconnection_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addRow("disconnected by the application") << false;
        QTest::addRow("session refused") << true;
    }

    void noReconnection()
    {
        QFETCH(bool, refused);
        m_client->setTimeScaleForTesting(0.001); // back-off 1-60 ms, slow retry 300 ms
        connectClient(!refused);
        QSignalSpy rejected(m_client.get(), &WebSocketClient::authenticationFailed);
        QSignalSpy failed(m_client.get(), &WebSocketClient::reconnectFailed);
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        if (refused)
            m_server->send(QStringLiteral("44{\"message\":\"Unauthorized\"}"));
        else
            m_client->disconnectFromServer();
        QTRY_COMPARE(closed.count(), 1); // also a refused link is closed, not held open
        QCOMPARE(rejected, refused ? QList<QVariantList>({{"{\"message\":\"Unauthorized\"}"}})
                                   : QList<QVariantList>());
        QVERIFY(!m_client->isConnected());
        QTest::qWait(400); // longer than a first back-off step and than a slow retry
        QCOMPARE(m_server->connections(), 1);
        QCOMPARE(failed.count(), 0);
    }

    // A server that accepts and at once ends every session (41) climbs the whole back-off, then
    // is tried only on the slow schedule, which finds it once it works again.
    void serverEndingEverySessionIsNotHammered()
    {
        m_client->setTimeScaleForTesting(0.001); // back-off 1-60 ms, slow retry 300 ms
        m_server->connectReplies = {QStringLiteral("40{\"sid\":\"x\"}"), QStringLiteral("41")};
        QSignalSpy failed(m_client.get(), &WebSocketClient::reconnectFailed);
        m_client->connectToServer(m_server->url(), QStringLiteral("tok"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 5000);
        QCOMPARE(m_server->connections(), 11);
        QTest::qWait(700);
        QCOMPARE(m_server->connections(), 13); // two slow retries

        m_server->connectReplies = {QStringLiteral("40{\"sid\":\"y\"}")};
        QSignalSpy connectedSpy(m_client.get(), &WebSocketClient::connected);
        QTRY_COMPARE_WITH_TIMEOUT(connectedSpy.count(), 1, 2000);
        QCOMPARE(m_server->connections(), 14);
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
        QTRY_COMPARE(m_server->frames.count(m_connectFrame), 2);
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

    void delays()
    {
        const QList<int> delays = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000, 60000};
        for (int attempt = 1; attempt <= delays.size(); ++attempt)
            QCOMPARE(WebSocketClient::reconnectDelayMs(attempt), delays[attempt - 1]);
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
};

QTEST_GUILESS_MAIN(TestWebSocketClient)
#include "tst_websocketclient.moc"
