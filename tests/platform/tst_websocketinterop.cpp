#include "LogCapture.h"
#include "PlatformSimulator.h"
#include "WebSocketClient.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The socket client against the real socket.io server of the platform simulator, at real speed.
class TestWebSocketInterop : public QObject
{
    Q_OBJECT

private:
    PlatformSimulator m_simulator;
    std::unique_ptr<WebSocketClient> m_client;
    QString m_token;

    QJsonArray clients()
    {
        return m_simulator.control("GET", QStringLiteral("/__control/socket/clients")).array();
    }

    int links()
    {
        return m_simulator.control("GET", QStringLiteral("/__control/socket/links"))
            .object()
            .value("links")
            .toInt(-1);
    }

    void connectAndWait()
    {
        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        m_client->connectToServer(m_simulator.url(), m_token, QStringLiteral("u-1001"));
        QTRY_COMPARE(connected.count(), 1);
    }

private slots:
    void initTestCase()
    {
        // The server pings every 300 ms and gives 200 ms for the answer.
        QVERIFY(m_simulator.start({"--ping-interval", "300", "--ping-timeout", "200"}));
        m_token = m_simulator.tokenFor(QStringLiteral("player@corvanta.test"));
    }

    void init()
    {
        m_simulator.reset();
        m_client = std::make_unique<WebSocketClient>();
    }

    void cleanup()
    {
        m_client.reset();
        m_simulator.control("POST", QStringLiteral("/__control/socket/start"));
    }

    void connectsAndStaysUp()
    {
        connectAndWait();
        QTRY_COMPARE(clients().size(), 1);
        QCOMPARE(clients().at(0).toObject().value("email").toString(),
                 QStringLiteral("player@corvanta.test"));
        // Several server pings later the link is still up: every one was answered.
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        QTest::qWait(1500);
        QCOMPARE(closed.count(), 0);
        QVERIFY(m_client->isConnected());
    }

    void pushedNotificationArrivesAsSignals()
    {
        connectAndWait();
        QSignalSpy notifications(m_client.get(), &WebSocketClient::notificationReceived);
        QSignalSpy matches(m_client.get(), &WebSocketClient::matchNotificationReceived);
        QSignalSpy counts(m_client.get(), &WebSocketClient::unreadCountChanged);
        const QJsonObject notification{
            {"type", "LOBBY_READY"},
            {"title", QString::fromUtf8("Lobby ready ✅")},
            {"message", "Join now"},
            {"metadata", QJsonObject{{"matchId", "m-7"}, {"tournamentId", "t-3"}}}};
        m_simulator.control("POST", QStringLiteral("/__control/socket/notify"),
                            QJsonDocument(QJsonObject{{"email", "player@corvanta.test"},
                                                      {"notification", notification}}));
        QTRY_COMPARE(counts.count(), 1);
        QCOMPARE(notifications.constFirst(),
                 QVariantList({"LOBBY_READY", QString::fromUtf8("Lobby ready ✅"), "Join now"}));
        QCOMPARE(matches.constFirst().mid(0, 4), QVariantList({"LOBBY_READY", "m-7", "", "t-3"}));
        QCOMPARE(counts.constFirst().constFirst().toInt(), 2); // one unread before, one new
    }

    void wrongTokenIsRefused()
    {
        QSignalSpy rejected(m_client.get(), &WebSocketClient::authenticationFailed);
        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        m_client->connectToServer(m_simulator.url(), QStringLiteral("forged"), QString());
        QTRY_COMPARE(rejected.count(), 1);
        QCOMPARE(rejected.constFirst().constFirst().toString(),
                 QStringLiteral("{\"message\":\"Unauthorized\"}"));
        // The refused link is closed at once rather than kept alive by pings.
        QTRY_COMPARE_WITH_TIMEOUT(links(), 0, 1000);
        QTest::qWait(1500); // longer than the first back-off step
        QCOMPARE(connected.count(), 0);
        QCOMPARE(links(), 0);
    }

    void eventAskingForAnAckIsDeliveredAndAnswered()
    {
        connectAndWait();
        QSignalSpy notifications(m_client.get(), &WebSocketClient::notificationReceived);
        const QJsonObject data{{"notification", QJsonObject{{"type", "SYSTEM"}, {"title", "Ack me"}}},
                               {"unreadCount", 1}};
        const QJsonObject answer =
            m_simulator
                .control("POST", QStringLiteral("/__control/socket/emit"),
                         QJsonDocument(QJsonObject{{"event", "notification:new"},
                                                   {"data", data},
                                                   {"ack", true}}))
                .object();
        QCOMPARE(answer.value("acknowledged").toInt(), 1);
        QCOMPARE(notifications.count(), 1);
        QCOMPARE(notifications.constFirst().at(1).toString(), QStringLiteral("Ack me"));
    }

    // The server ends the session and leaves the WebSocket open: the client closes it and
    // comes back with a new session.
    void endedSessionIsReplaced()
    {
        connectAndWait();
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        QElapsedTimer clock;
        clock.start();
        m_simulator.control("POST", QStringLiteral("/__control/socket/kick"));
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 1000);
        const qint64 closedAfter = clock.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
        qInfo("session ended: link closed after %lld ms, new session after %lld ms", closedAfter,
              clock.elapsed());
        QTRY_COMPARE(clients().size(), 1);
        QCOMPARE(links(), 1);
    }

    void endpointRestartedRestoresTheSubscription()
    {
        connectAndWait();
        QSignalSpy subscribed(m_client.get(), &WebSocketClient::tournamentSubscribed);
        m_client->subscribeToTournament(QStringLiteral("t-1"));
        QTRY_COMPARE(subscribed.count(), 1);

        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        m_simulator.control("POST", QStringLiteral("/__control/socket/stop"));
        QTRY_VERIFY(closed.count() >= 1);
        QElapsedTimer down;
        down.start();
        QTest::qWait(1500); // the first retry (after 1 s) finds the endpoint down
        QVERIFY(closed.count() >= 2);
        m_simulator.control("POST", QStringLiteral("/__control/socket/start"));
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
        qInfo("reconnected %lld ms after the endpoint went down (up again after 1500 ms)",
              down.elapsed());
        QTRY_COMPARE(subscribed.count(), 2);
        QTRY_COMPARE(clients().size(), 1);
        QCOMPARE(clients().at(0).toObject().value("tournaments").toArray(),
                 QJsonArray({"t-1"}));
    }

    void droppedClientReconnects()
    {
        connectAndWait();
        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        QElapsedTimer clock;
        clock.start();
        m_simulator.control("POST", QStringLiteral("/__control/socket/drop"));
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
        qInfo("reconnected %lld ms after the server dropped the link", clock.elapsed());
        QVERIFY(clock.elapsed() >= 900); // the first back-off step is one second
    }

    void silentLinkIsDetectedAndRecovered()
    {
        connectAndWait();
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        m_simulator.control("POST", QStringLiteral("/__control/socket/silence"));
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 3000);
        const qint64 detected = clock.elapsed();
        QVERIFY(log.texts().contains(
            QStringLiteral("⚠️ No ping from the server for 500 ms, closing the connection")));
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
        qInfo("silent link closed after %lld ms, working again after %lld ms", detected,
              clock.elapsed());
        QVERIFY(detected <= 1000);
        QTRY_COMPARE(clients().size(), 1);
    }

    // Fifty restarts of the socket endpoint, with the client's timers a hundred times faster
    // (and a server that pings too rarely to matter): every restart is followed by one
    // reconnection that carries the tournament subscription once.
    void fiftyEndpointRestarts()
    {
        PlatformSimulator simulator;
        QVERIFY(simulator.start({"--ping-interval", "100000", "--ping-timeout", "20000"}));
        WebSocketClient client;
        client.setTimeScaleForTesting(0.01);
        // As the overlay does: subscribe whenever the link comes up.
        connect(&client, &WebSocketClient::connected, this,
                [&client] { client.subscribeToTournament(QStringLiteral("t-soak")); });
        QSignalSpy subscribed(&client, &WebSocketClient::tournamentSubscribed);
        client.connectToServer(simulator.url(), simulator.tokenFor(QStringLiteral("player@corvanta.test")),
                               QStringLiteral("u-1001"));
        QTRY_COMPARE(subscribed.count(), 1);

        const int restarts = 50;
        QElapsedTimer clock;
        clock.start();
        qint64 longestMs = 0;
        for (int restart = 1; restart <= restarts; ++restart) {
            // Up long enough that the back-off starts over (a minute, scaled).
            QTest::qWait(WebSocketClient::StableLinkMs / 100 + 50);
            simulator.control("POST", QStringLiteral("/__control/socket/stop"));
            QTest::qWait(30);
            QElapsedTimer down;
            down.start();
            simulator.control("POST", QStringLiteral("/__control/socket/start"));
            QTRY_COMPARE_WITH_TIMEOUT(subscribed.count(), restart + 1, 5000);
            longestMs = qMax(longestMs, down.elapsed());
        }

        QMap<QString, int> subscriptionsPerLink;
        const QJsonArray events =
            simulator.control("GET", QStringLiteral("/__control/socket/events")).array();
        for (const QJsonValue &value : events) {
            const QJsonObject event = value.toObject();
            if (event.value("event").toString() == QLatin1String("subscribe:tournament"))
                ++subscriptionsPerLink[event.value("id").toString()];
        }
        qInfo("%d restarts in %lld ms, each subscribed again within %lld ms", restarts,
              clock.elapsed(), longestMs);
        QCOMPARE(subscriptionsPerLink.size(), restarts + 1);
        for (int count : subscriptionsPerLink)
            QCOMPARE(count, 1);
        QTRY_COMPARE(simulator.control("GET", QStringLiteral("/__control/socket/clients"))
                         .array()
                         .at(0)
                         .toObject()
                         .value("tournaments")
                         .toArray(),
                     QJsonArray({"t-soak"}));
    }
};

QTEST_GUILESS_MAIN(TestWebSocketInterop)
#include "tst_websocketinterop.moc"
