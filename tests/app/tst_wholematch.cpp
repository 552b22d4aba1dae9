#include "MatchRun.h"
#include "PlatformSimulator.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QTest>

// Whole matches through real processes: the launcher binary, the platform simulator and the fake
// game, played by the match driver, with the test as the player clicking through the overlay.
class TestWholeMatch : public QObject
{
    Q_OBJECT

private:
    PlatformSimulator m_simulator;

    static QRect unionOf(const MatchDriver &driver, const QList<int> &seats)
    {
        QRect box;
        for (int slot : seats)
            box = box.isNull() ? driver.slotRect(slot) : box.united(driver.slotRect(slot));
        return box;
    }

    // The lobby is found at half resolution, so the box may lie a pixel off the slots' own edges.
    static bool closeTo(const QRect &found, const QRect &wanted)
    {
        return qAbs(found.left() - wanted.left()) <= 2 && qAbs(found.top() - wanted.top()) <= 2
            && qAbs(found.right() - wanted.right()) <= 2
            && qAbs(found.bottom() - wanted.bottom()) <= 2;
    }

    // The overlay's frame follows the box's edge: most of a 4 px band inside the box is drawn on.
    // It pulses between 30 % and full opacity, so the best of a few grabs counts.
    static double frameShare(const QImage &lobby, const QRect &box)
    {
        double best = 0;
        for (int i = 0; i < 3; ++i) {
            const QImage screen = MatchRun::grabScreen();
            const double top = MatchRun::drawnShare(screen, lobby, QRect(box.left() + 8, box.top(), box.width() - 16, 4));
            const double left = MatchRun::drawnShare(screen, lobby, QRect(box.left(), box.top() + 8, 4, box.height() - 16));
            best = qMax(best, qMin(top, left));
            QTest::qWait(400);
        }
        return best;
    }

    static QString serverConfirmed(int slot, const QString &side)
    {
        return QStringLiteral("Server confirmed user in slot %1 (0-based: %2) on %3")
            .arg(slot % 5 + 1)
            .arg(slot % 5)
            .arg(side);
    }

    // From the invitation to the end of the match, the test playing the player; with `look`, the
    // hand and the box are checked on the screen as well. `confirmed` is the line by which the
    // launcher learns where the player sits.
    static void playLobby(MatchRun &run, int slot, bool look, const QString &confirmed)
    {
        MatchDriver &driver = run.driver();
        QVERIFY(driver.invite());
        QVERIFY(run.waitForTransition(2, 3));
        const QPoint accept = driver.acceptRect().center();
        QTRY_COMPARE(run.lastPointer(), accept);
        if (look) {
            QTest::qWait(600); // the hand fades in
            const QRect hand(accept.x() - 25, accept.y() - 10, 64, 64);
            const QImage screen = MatchRun::grabScreen();
            QVERIFY2(MatchRun::drawnShare(screen, run.invitationFrame(), hand) > 0.2,
                     "no hand at the accept button");
            // Beside it, over DECLINE, the game shows through.
            QVERIFY2(MatchRun::drawnShare(screen, run.invitationFrame(), hand.translated(280, 0)) < 0.02,
                     "the overlay hides the game beside the hand");
        }
        QVERIFY(MatchRun::clickAt(run.lastPointer()));
        QVERIFY(driver.waitForAccept(5000));
        QVERIFY(run.waitForTransition(3, 4));

        const QRect box = unionOf(driver, driver.slotsToTake());
        QTRY_VERIFY2(closeTo(run.lastBox(), box), qPrintable(QStringLiteral("box %1,%2 %3x%4")
            .arg(run.lastBox().x()).arg(run.lastBox().y()).arg(run.lastBox().width()).arg(run.lastBox().height())));
        if (look) {
            const QImage lobby = run.lobbyFrame(QStringLiteral("0000000000"));
            QVERIFY2(frameShare(lobby, box) > 0.6, "no frame around the slots to take");
            QList<int> others; // the same seats on the other side
            for (int seat : driver.slotsToTake())
                others << (seat + 5) % 10;
            QVERIFY2(frameShare(lobby, unionOf(driver, others)) < 0.1, "a frame on the other side");
        }
        QVERIFY(box.contains(driver.slotRect(slot).center()));
        QVERIFY(MatchRun::clickAt(driver.slotRect(slot).center()));
        QCOMPARE(driver.waitForSlot(5000), slot);
        QVERIFY(run.waitForTransition(4, 5));
        QVERIFY(run.launcher().texts().contains(confirmed));

        QVERIFY(driver.fillLobby(150));
        QVERIFY(run.waitForTransition(5, 6));
        QVERIFY(run.launcher().texts().contains(QStringLiteral("Player count updated: 10/10")));
        QVERIFY(driver.startMatch());
        QVERIFY(run.waitForTransition(6, 7));
        if (look) {
            QTest::qWait(300);
            QImage map(MatchRun::grabScreen().size(), QImage::Format_RGB32);
            map.fill(QColor(38, 58, 34));
            QVERIFY2(MatchRun::drawnShare(MatchRun::grabScreen(), map, map.rect()) < 0.001,
                     "something is drawn over the game");
        }
        QVERIFY(driver.completeMatch());
        QVERIFY(run.waitForTransition(7, 0));
        const QStringList end = {"Game has started!", "Overlay hidden - player is in game",
                                 "Game completed"};
        QCOMPARE(run.launcher().texts().filter(QRegularExpression(
                     QStringLiteral("^(Game has started!|Overlay hidden - player is in game|Game completed)$"))),
                 end);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs the virtual desktop of scripts/test");
        QVERIFY(m_simulator.start());
    }

    void init()
    {
        m_simulator.reset();
    }

    // LOBBY_READY 150 seconds ahead, a player on Radiant signed in through the login window.
    void typicalMatch()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startAndSignIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        MatchDriver &driver = run.driver();
        const QImage before = MatchRun::grabScreen();
        QVERIFY(driver.announce(MatchDriver::Setup()));
        QVERIFY(run.launcher().waitForText(QStringLiteral("LiveMatchWindow shown")));
        QTest::qWait(500);
        // The widget, 620 px wide, sits in the bottom-right corner.
        const QRect corner(before.width() - 300, before.height() - 120, 200, 60);
        QVERIFY2(MatchRun::drawnShare(MatchRun::grabScreen(), before, corner) > 0.2, "no widget");

        QVERIFY(driver.openGame());
        QVERIFY(run.waitForTransition(0, 2));
        QVERIFY(run.launcher().texts().contains(QStringLiteral("LiveMatchWindow hidden")));
        const int slot = driver.slotsToTake().at(1);
        playLobby(run, slot, true, serverConfirmed(slot, QStringLiteral("Radiant")));
        QCOMPARE(run.secretInLog(QStringLiteral("demo1234")), QString());
    }

    void captainOnDire()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("captain@corvanta.test"), QStringLiteral("captain1234")));
        MatchDriver::Setup setup;
        setup.email = QStringLiteral("captain@corvanta.test");
        setup.side = QStringLiteral("Dire");
        setup.captain = true;
        QVERIFY(run.driver().announce(setup));
        QVERIFY(run.launcher().waitForText(QStringLiteral("LiveMatchWindow shown")));
        QVERIFY(run.driver().openGame());
        QVERIFY(run.waitForTransition(0, 2));
        QCOMPARE(run.driver().slotsToTake(), QList<int>{5});
        playLobby(run, 5, false, serverConfirmed(5, QStringLiteral("Dire")));
        QCOMPARE(run.secretInLog(QStringLiteral("captain1234")), QString());
    }

    // The dashboard page announces the match and relays the slot; the socket brings no match.
    void matchFromTheDashboard()
    {
        MatchRun run(&m_simulator);
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        MatchDriver::Setup setup;
        setup.announce = QStringLiteral("dashboard");
        QVERIFY(run.driver().announce(setup));
        QVERIFY(run.launcher().waitForText(QStringLiteral("Match ready event from dashboard"), 20000));
        QVERIFY(run.waitForTransition(0, 1));
        QVERIFY(run.driver().openGame());
        QVERIFY(run.waitForTransition(1, 2));
        const int slot = run.driver().slotsToTake().at(2);
        playLobby(run, slot, false, QStringLiteral("Slot occupied: Radiant - Slot %1").arg(slot % 5));
        QCOMPARE(run.secretInLog(QStringLiteral("demo1234")), QString());
    }
};

QTEST_MAIN(TestWholeMatch)
#include "tst_wholematch.moc"
