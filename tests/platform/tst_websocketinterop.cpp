#include "PlatformSimulator.h"
#include "WebSocketClient.h"

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

    QJsonArray clients(PlatformSimulator &simulator)
    {
        return simulator.control("GET", QStringLiteral("/__control/socket/clients")).array();
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

    // Several server pings later the link is still up (every one was answered), and an event
    // that asks for an acknowledgement arrives as signals and is answered.
    void staysUpAndAcknowledgesAPush()
    {
        connectAndWait();
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        QTest::qWait(1500);
        QCOMPARE(closed.count(), 0);
        QSignalSpy notifications(m_client.get(), &WebSocketClient::notificationReceived);
        QSignalSpy matches(m_client.get(), &WebSocketClient::matchNotificationReceived);
        QSignalSpy counts(m_client.get(), &WebSocketClient::unreadCountChanged);
        const QJsonObject notification{
            {"type", "LOBBY_READY"},
            {"title", QString::fromUtf8("Lobby ready ✅")},
            {"message", "Join now"},
            {"metadata", QJsonObject{{"matchId", "m-7"}, {"tournamentId", "t-3"}}}};
        const QJsonObject answer =
            m_simulator
                .control("POST", QStringLiteral("/__control/socket/emit"),
                         QJsonDocument(QJsonObject{
                             {"event", "notification:new"},
                             {"data", QJsonObject{{"notification", notification}, {"unreadCount", 2}}},
                             {"ack", true}}))
                .object();
        QCOMPARE(answer.value("acknowledged").toInt(), 1);
        QCOMPARE(notifications, QList<QVariantList>({{"LOBBY_READY", QString::fromUtf8("Lobby ready ✅"),
                                                      "Join now"}}));
        QCOMPARE(matches.constFirst().mid(0, 4), QVariantList({"LOBBY_READY", "m-7", "", "t-3"}));
        QCOMPARE(counts, QList<QVariantList>({{2}}));
    }

    void wrongTokenIsRefused()
    {
        QSignalSpy rejected(m_client.get(), &WebSocketClient::authenticationFailed);
        m_client->connectToServer(m_simulator.url(), QStringLiteral("forged"), QString());
        QTRY_COMPARE(rejected.count(), 1);
        QCOMPARE(rejected.constFirst().constFirst().toString(),
                 QStringLiteral("{\"message\":\"Unauthorized\"}"));
        // The refused link is closed at once rather than kept alive by pings.
        QTRY_COMPARE_WITH_TIMEOUT(links(), 0, 1000);
    }

    // However the server lets a link end, the client notices and comes back with one new session.
    void endedLinkIsReplaced_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addRow("session ended, socket left open") << "kick";
        QTest::addRow("socket dropped") << "drop";
        // Closed within a second: the handshake announced a ping at least every 500 ms.
        QTest::addRow("server falls silent") << "silence";
    }

    void endedLinkIsReplaced()
    {
        QFETCH(QString, control);
        connectAndWait();
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        QSignalSpy connected(m_client.get(), &WebSocketClient::connected);
        m_simulator.control("POST", "/__control/socket/" + control);
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
        QTRY_COMPARE(clients(m_simulator).size(), 1);
        QCOMPARE(links(), 1);
    }

    // Fifty restarts of the socket endpoint, with the client's timers a hundred times faster
    // (and a server that pings too rarely to matter): every restart is followed by one
    // reconnection that carries the tournament subscription once.
    void manyEndpointRestarts()
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

        const int restarts = 10;
        for (int restart = 1; restart <= restarts; ++restart) {
            // Up long enough that the back-off starts over (a minute, scaled).
            QTest::qWait(WebSocketClient::StableLinkMs / 100 + 50);
            simulator.control("POST", QStringLiteral("/__control/socket/stop"));
            QTest::qWait(30);
            simulator.control("POST", QStringLiteral("/__control/socket/start"));
            QTRY_COMPARE_WITH_TIMEOUT(subscribed.count(), restart + 1, 5000);
        }

        QMap<QString, int> subscriptionsPerLink;
        for (const QJsonValue &value :
             simulator.control("GET", QStringLiteral("/__control/socket/events")).array()) {
            const QJsonObject event = value.toObject();
            if (event.value("event").toString() == QLatin1String("subscribe:tournament"))
                ++subscriptionsPerLink[event.value("id").toString()];
        }
        QCOMPARE(subscriptionsPerLink.size(), restarts + 1);
        QCOMPARE(subscriptionsPerLink.values(), QList<int>(restarts + 1, 1));
        QTRY_COMPARE(clients(simulator).at(0).toObject().value("tournaments").toArray(),
                     QJsonArray({"t-soak"}));
    }
};

QTEST_GUILESS_MAIN(TestWebSocketInterop)
#include "tst_websocketinterop.moc"
