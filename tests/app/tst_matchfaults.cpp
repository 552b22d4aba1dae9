#include "MatchRun.h"
#include "MatchTestCase.h"
#include "PlatformSimulator.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

// Faults in the middle of a match played through real processes: the platform's socket goes
// away, the game is minimised, the game is closed.
class TestMatchFaults : public MatchTestCase
{
    Q_OBJECT

private:

    static int countSince(const MatchRun &run, int from, const QString &text)
    {
        return int(run.launcher().texts().mid(from).count(text));
    }

    QStringList subscriptions()
    {
        const QJsonArray clients =
            m_simulator.control("GET", QStringLiteral("/__control/socket/clients")).array();
        QStringList tournaments;
        for (const QJsonValue &client : clients) {
            for (const QJsonValue &id : client.toObject().value(QLatin1String("tournaments")).toArray())
                tournaments << id.toString();
        }
        return tournaments;
    }

private slots:
    // The slot is taken while the socket is down; once it is back, the subscription and the
    // live game poll bring the server's record, and the flow goes on.
    void socketLostWhileJoiningSlot()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        QVERIFY(run.playToLobby(MatchDriver::Setup()));
        QCOMPARE(subscriptions(), QStringList{QStringLiteral("t-demo-cup")});

        m_simulator.control("POST", QStringLiteral("/__control/socket/stop"));
        QTRY_VERIFY_WITH_TIMEOUT(subscriptions().isEmpty(), 5000);
        const int slot = run.driver().slotsToTake().at(0);
        QVERIFY(MatchRun::clickAt(run.driver().slotRect(slot).center()));
        QCOMPARE(run.driver().waitForSlot(5000), slot);
        QTest::qWait(1500);
        QVERIFY(!run.launcher().texts().contains(QStringLiteral("State transition: 4 -> 5")));

        m_simulator.control("POST", QStringLiteral("/__control/socket/start"));
        QVERIFY(run.waitForTransition(4, 5, 20000));
        QVERIFY(run.launcher().texts().contains(
            QStringLiteral("Server confirmed user in slot 2 (0-based: 1) on Radiant")));
        QTRY_COMPARE(subscriptions(), QStringList{QStringLiteral("t-demo-cup")});
        QVERIFY(run.driver().fillLobby(100));
        QVERIFY(run.waitForTransition(5, 6));
        QCOMPARE(run.secretInLog(QStringLiteral("demo1234")), QString());
    }

    // The lobby step pauses while the game is minimised: the overlay is hidden once and shown once.
    void gameMinimisedAndRestored()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        QVERIFY(run.playToLobby(MatchDriver::Setup()));
        const int mark = int(run.launcher().texts().size());
        QCOMPARE(run.game().command(QStringLiteral("minimize")), QStringLiteral("ok"));
        QVERIFY(run.launcher().waitForText(QStringLiteral("Overlay hidden"), 5000));
        QTest::qWait(1000); // two ticks: hidden once, not on every tick
        QCOMPARE(run.game().command(QStringLiteral("show-window")), QStringLiteral("ok"));
        QCOMPARE(run.game().command(QStringLiteral("raise")), QStringLiteral("ok"));
        QTRY_COMPARE(countSince(run, mark, QStringLiteral("Overlay shown")), 1);
        QTest::qWait(1000);
        QCOMPARE(countSince(run, mark, QStringLiteral("Overlay hidden")), 1);
        QCOMPARE(countSince(run, mark, QStringLiteral("Overlay shown")), 1);
        QVERIFY(run.launcher().texts().mid(mark).filter(QStringLiteral("State transition")).isEmpty());

        const int slot = run.driver().slotsToTake().at(3);
        QVERIFY(MatchRun::clickAt(run.driver().slotRect(slot).center()));
        QCOMPARE(run.driver().waitForSlot(5000), slot);
        QVERIFY(run.waitForTransition(4, 5));
        QCOMPARE(run.secretInLog(QStringLiteral("demo1234")), QString());
    }

    // Closing the game in the lobby goes back to waiting for it; a new game starts the flow over.
    void gameClosedInTheLobby()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        QVERIFY(run.playToLobby(MatchDriver::Setup()));
        run.driver().closeGame();
        QVERIFY(run.waitForTransition(4, 1, 5000));
        QVERIFY(run.driver().openGame());
        QVERIFY(run.waitForTransition(1, 2));
        QVERIFY(run.driver().invite());
        QVERIFY(run.waitForTransition(2, 3));
        QCOMPARE(run.secretInLog(QStringLiteral("demo1234")), QString());
    }
};

QTEST_MAIN(TestMatchFaults)
#include "tst_matchfaults.moc"
