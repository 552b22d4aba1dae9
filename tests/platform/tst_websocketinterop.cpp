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

    // Several server pings later the link is still up (every one was answered), and an event
    // that asks for an acknowledgement arrives as signals and is answered.
    void staysUpAndAcknowledgesAPush()
    {
        connectAndWait();
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        QTest::qWait(1500);
        QCOMPARE(closed.count(), 0);
        QSignalSpy notifications(m_client.get(), &WebSocketClient::notificationReceived);
        QSignalSpy counts(m_client.get(), &WebSocketClient::unreadCountChanged);
        const QJsonObject notification{{"type", "LOBBY_READY"},
                                       {"title", QString::fromUtf8("Lobby ready ✅")},
                                       {"message", "Join now"}};
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

    // However the server lets a link end, the client notices and comes back with one new session,
    // which carries the tournament subscription once (as the overlay subscribes on every link).
    void endedLinkIsReplaced_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addRow("session ended, socket left open") << "kick";
        QTest::addRow("socket dropped") << "drop";
        // Closed within a second: the handshake announced a ping at least every 500 ms.
        QTest::addRow("server falls silent") << "silence";
        QTest::addRow("endpoint restarted") << "stop";
    }

    void endedLinkIsReplaced()
    {
        QFETCH(QString, control);
        connect(m_client.get(), &WebSocketClient::connected, this,
                [this] { m_client->subscribeToTournament(QStringLiteral("t-1")); });
        QSignalSpy subscribed(m_client.get(), &WebSocketClient::tournamentSubscribed);
        connectAndWait();
        QTRY_COMPARE(subscribed.count(), 1);
        QSignalSpy closed(m_client.get(), &WebSocketClient::disconnected);
        m_simulator.control("POST", "/__control/socket/" + control);
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 1000);
        m_simulator.control("POST", QStringLiteral("/__control/socket/start"));
        QTRY_COMPARE_WITH_TIMEOUT(subscribed.count(), 2, 5000);
        QTRY_COMPARE(clients().size(), 1);
        QCOMPARE(links(), 1);
        QCOMPARE(clients().at(0).toObject().value("tournaments").toArray(), QJsonArray({"t-1"}));

        QMap<QString, int> subscriptionsPerLink;
        for (const QJsonValue &value :
             m_simulator.control("GET", QStringLiteral("/__control/socket/events")).array()) {
            const QJsonObject event = value.toObject();
            if (event.value("event").toString() == QLatin1String("subscribe:tournament"))
                ++subscriptionsPerLink[event.value("id").toString()];
        }
        QCOMPARE(subscriptionsPerLink.values(), QList<int>({1, 1}));
    }
};

QTEST_GUILESS_MAIN(TestWebSocketInterop)
#include "tst_websocketinterop.moc"
