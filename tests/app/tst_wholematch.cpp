#include "DesktopActions.h"
#include "MatchRun.h"
#include "MatchTestCase.h"
#include "PlatformSimulator.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QTest>

#include <optional>

// Whole matches through real processes: the launcher binary, the platform simulator and the fake
// game, played by the match driver, with the test as the player clicking through the overlay.
class TestWholeMatch : public MatchTestCase
{
    Q_OBJECT

private:

    static QRect unionOf(const MatchDriver &driver, const QList<int> &seats)
    {
        QRect box;
        for (int slot : seats)
            box = box.isNull() ? driver.slotRect(slot) : box.united(driver.slotRect(slot));
        return box;
    }

    // The lobby is found at half resolution, so the box may lie a pixel or two off the slots'
    // own edges (three where the interface is scaled): each edge within 3 px.
    static bool closeTo(const QRect &found, const QRect &wanted)
    {
        const QMargins slack(3, 3, 3, 3);
        return (wanted + slack).contains(found) && (found + slack).contains(wanted);
    }

    static QString boxText(const QRect &box)
    {
        return QStringLiteral("box %1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height());
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

    // Most of the square the hand is drawn in, just below and right of where it points, differs
    // from what the game shows there.
    static bool handShownAt(const MatchRun &run, const QPoint &point)
    {
        QTest::qWait(600); // the hand fades in
        const QRect hand(point.x() - 25, point.y() - 10, 64, 64);
        return MatchRun::drawnShare(MatchRun::grabScreen(), run.invitationFrame(), hand) > 0.2;
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
            QVERIFY2(handShownAt(run, accept), "no hand at the accept button");
            // Beside it, over DECLINE, the game shows through.
            const QRect decline(accept.x() + 255, accept.y() - 10, 64, 64);
            QVERIFY2(MatchRun::drawnShare(MatchRun::grabScreen(), run.invitationFrame(), decline) < 0.02,
                     "the overlay hides the game beside the hand");
        }
        QVERIFY(MatchRun::clickAt(run.lastPointer()));
        QVERIFY(driver.waitForAccept(5000));
        QVERIFY(run.waitForTransition(3, 4));

        const QRect box = unionOf(driver, driver.slotsToTake());
        QTRY_VERIFY2(closeTo(run.lastBox(), box), qPrintable(boxText(run.lastBox())));
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
        // The confirmation may come after the transition: the dashboard's page passes its
        // messages on at its next poll.
        QVERIFY(run.launcher().waitForText(confirmed, 5000));

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
        const QRegularExpression endLines(QStringLiteral("^(%1)$").arg(end.join('|')));
        QCOMPARE(run.launcher().texts().filter(endLines), end);
    }

private slots:
    // Wherever the game lies on the desktop, a click where the hand points accepts and the frame
    // encloses the slots to take: a window at an offset with its interface drawn in proportion,
    // full-screen on a second monitor of another size, and under display scaling.
    void placedOnTheDesktop_data()
    {
        QTest::addColumn<QRect>("window"); // empty: full-screen on the primary screen
        QTest::addColumn<double>("interfaceScale");
        QTest::addColumn<QRect>("secondMonitor"); // the game full-screen there; empty: none
        QTest::addColumn<QString>("scaleFactor"); // the launcher's QT_SCALE_FACTOR
        QTest::newRow("windowed") << QRect(160, 90, 1600, 900) << 900 / 1080.0 << QRect() << QString();
        const QRect right(640, 0, 1280, 720);
        QTest::newRow("second monitor") << right << 720 / 1080.0 << right << QString();
        QTest::newRow("display scaling 1.5") << QRect() << 1.0 << QRect() << QStringLiteral("1.5");
    }

    void placedOnTheDesktop()
    {
        QFETCH(QRect, window);
        QFETCH(double, interfaceScale);
        QFETCH(QRect, secondMonitor);
        QFETCH(QString, scaleFactor);
        std::optional<TwoMonitors> monitors;
        if (!secondMonitor.isEmpty()) {
            monitors.emplace(QRect(0, 0, secondMonitor.left(), 1080), secondMonitor);
            QVERIFY(monitors->isSet());
            QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 10000);
        }
        MatchRun run(&m_simulator);
        if (!scaleFactor.isEmpty())
            run.launcher().setVariable(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
        run.setOverlayScreen(secondMonitor.topLeft(), scaleFactor.isEmpty() ? 1.0 : scaleFactor.toDouble());
        QVERIFY(run.startSignedIn(QStringLiteral("player@corvanta.test"), QStringLiteral("demo1234")));
        MatchDriver::Setup setup;
        setup.window = window;
        setup.fullScreen = !secondMonitor.isEmpty();
        setup.interfaceScale = interfaceScale;
        QVERIFY(run.playToInvitation(setup));
        // The hand is where the launcher says it is on the desktop, not only in its log.
        QVERIFY2(handShownAt(run, run.lastPointer()), "no hand where the launcher points");
        QVERIFY(run.acceptWhereTheHandPoints());
        const QRect box = unionOf(run.driver(), run.driver().slotsToTake());
        QTRY_VERIFY2(closeTo(run.lastBox(), box), qPrintable(boxText(run.lastBox())));
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
