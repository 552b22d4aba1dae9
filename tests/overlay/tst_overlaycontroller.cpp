#include "ControllerHarness.h"
#include "OverlayWindow.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using Event = std::function<void(ControllerHarness &)>;

void emitNotification(ControllerHarness &h, const QString &type,
                      const QJsonObject &payload = QJsonObject())
{
    emit h.socket().matchNotificationReceived(type, QString(), QString(), QString(), payload);
}

// A notification's metadata naming the user in the first participant, starting now.
QJsonObject payloadFor(const ControllerHarness &h)
{
    return QJsonObject{
        {"matchId", "m-1"},
        {"scheduledTime", h.now().toString(Qt::ISODate)},
        {"participant1", QJsonObject{{"userIds", QJsonArray{ControllerHarness::userId()}}}},
        {"participant1Side", "Radiant"},
        {"participant2", QJsonObject{{"userIds", QJsonArray{"u-9"}}, {"name", "Night Owls"}}},
        {"participant2Side", "Dire"},
    };
}

} // namespace

Q_DECLARE_METATYPE(Event)

// The state machine driven through its slots, its tick and real detections on synthetic game
// screens.
class TestOverlayController : public QObject
{
    Q_OBJECT

private slots:
    void transitions_data()
    {
        QTest::addColumn<OverlayState>("from");
        QTest::addColumn<Event>("event");
        QTest::addColumn<OverlayState>("to");
        QTest::addColumn<QStringList>("statuses");

        const auto slotReport = [](const QString &side, int slot) {
            return Event([=](ControllerHarness &h) { h.controller().handleSlotOccupied(side, slot); });
        };
        const auto tickAfter = [](qint64 seconds) {
            return Event([=](ControllerHarness &h) { h.advance(seconds * 1000); h.tick(); });
        };
        const auto notification = [](const QString &type) {
            return Event([=](ControllerHarness &h) { emitNotification(h, type); });
        };
        const Event detectBackground = [](ControllerHarness &h) { h.detect(h.screens().renderBackground()); };

        QTest::addRow("1 expiry after 31 minutes") << WAITING_FOR_PLAYERS << tickAfter(31 * 60)
                                                   << IDLE << QStringList{"STATE_0", "MATCH_EXPIRED"};
        QTest::addRow("1 no expiry at 30:59") << WAITING_FOR_PLAYERS << tickAfter(30 * 60 + 59)
                                              << WAITING_FOR_PLAYERS << QStringList();
        QTest::addRow("2 pending match and the game")
            << IDLE << Event([](ControllerHarness &h) {
                   h.showGame(h.screens().renderBackground());
                   h.upcoming(h.liveMatch());
                   h.tick();
               })
            << WAITING_FOR_INVITATION << QStringList{"GAME_DETECTED", "STATE_2"};
        QTest::addRow("2 pending match, user already in the lobby")
            << IDLE << Event([](ControllerHarness &h) {
                   h.showGame(h.lobby(0));
                   emitNotification(h, "LOBBY_JOINED", payloadFor(h));
                   h.tick();
               })
            << JOINING_SLOT << QStringList{"GAME_DETECTED", "STATE_4"};
        QTest::addRow("3 the game appears")
            << WAITING_FOR_GAME << Event([](ControllerHarness &h) {
                   h.showGame(h.screens().renderBackground());
                   h.tick();
               })
            << WAITING_FOR_INVITATION << QStringList{"GAME_DETECTED", "STATE_2"};
        QTest::addRow("4 the game window goes")
            << ACCEPTING_INVITATION << Event([](ControllerHarness &h) {
                   h.desktop().visible = false;
                   h.tick();
               })
            << WAITING_FOR_GAME << QStringList{"STATE_1"};
        QTest::addRow("5 joining without a valid record")
            << IDLE << Event([](ControllerHarness &h) {
                   QJsonObject sideless = h.liveMatch();
                   sideless.remove("userSide");
                   h.showGame(h.screens().renderBackground());
                   h.upcoming(sideless);
                   h.tick();
                   h.controller().handleLobbyJoined();
                   h.clear();
                   h.tick();
               })
            << IDLE << QStringList{"STATE_0"};
        QTest::addRow("6 the server confirms a correct slot")
            << JOINING_SLOT << Event([](ControllerHarness &h) {
                   h.upcoming(h.liveMatch("m-1", 3, "Radiant"));
                   h.tick();
               })
            << WAITING_FOR_PLAYERS << QStringList{"STATE_5"};
        QTest::addRow("7 invitation found")
            << WAITING_FOR_INVITATION
            << Event([](ControllerHarness &h) { h.detect(h.screens().renderInvitation()); })
            << ACCEPTING_INVITATION << QStringList{"INVITATION_DETECTED", "STATE_3"};
        QTest::addRow("8 invitation declined")
            << ACCEPTING_INVITATION << detectBackground << WAITING_FOR_INVITATION << QStringList{"INVITATION_DECLINED", "STATE_2"};
        QTest::addRow("9 lobby entered")
            << ACCEPTING_INVITATION << Event([](ControllerHarness &h) { h.detect(h.lobby(3)); })
            << JOINING_SLOT << QStringList{"LOBBY_ENTERED", "STATE_4"};
        QTest::addRow("10 all ten players")
            << WAITING_FOR_PLAYERS << Event([](ControllerHarness &h) { h.detect(h.lobby(10)); })
            << MATCH_READY << QStringList{"ALL_PLAYERS_JOINED", "STATE_6"};
        QTest::addRow("11 the lobby screen goes") << MATCH_READY << detectBackground << IN_GAME << QStringList{"STATE_7", "IN_GAME"};
        QTest::addRow("13 match start, in a slot")
            << WAITING_FOR_GAME
            << Event([](ControllerHarness &h) { h.controller().handleMatchStart(h.record(true, 0)); })
            << WAITING_FOR_PLAYERS << QStringList{"STATE_5"};
        QTest::addRow("13 invalid match start")
            << WAITING_FOR_GAME << Event([](ControllerHarness &h) {
                   MatchData sideless = h.record(true, 0);
                   sideless.userSide.clear();
                   h.controller().handleMatchStart(sideless);
               })
            << WAITING_FOR_GAME << QStringList();
        const Event lobbyJoined = [](ControllerHarness &h) { h.controller().handleLobbyJoined(); };
        QTest::addRow("14 lobby joined") << ACCEPTING_INVITATION << lobbyJoined << JOINING_SLOT
                                         << QStringList{"STATE_4"};
        QTest::addRow("14 lobby joined while idle") << IDLE << lobbyJoined << IDLE << QStringList();
        const Event lobbyLeft = [](ControllerHarness &h) { h.controller().handleLobbyLeft(); };
        QTest::addRow("15 lobby left after the game")
            << IN_GAME << lobbyLeft << IDLE << QStringList{"STATE_0", "MATCH_ENDED"};
        QTest::addRow("16 lobby left") << JOINING_SLOT << lobbyLeft << WAITING_FOR_INVITATION
                                       << QStringList{"STATE_2"};
        QTest::addRow("16 lobby left while idle") << IDLE << lobbyLeft << IDLE << QStringList();
        QTest::addRow("17 dashboard reports a correct slot")
            << WAITING_FOR_INVITATION << slotReport("radiant", 2) << WAITING_FOR_PLAYERS
            << QStringList{"STATE_5"};
        QTest::addRow("18 dashboard reports the other side")
            << WAITING_FOR_INVITATION << slotReport("Dire", 2) << JOINING_SLOT
            << QStringList{"STATE_4"};
        QTest::addRow("18 slot 0 is the captain's") << WAITING_FOR_PLAYERS << slotReport("radiant", 0)
                                                    << JOINING_SLOT << QStringList{"STATE_4"};
        QTest::addRow("18 already joining")
            << JOINING_SLOT << slotReport("Dire", 2) << JOINING_SLOT << QStringList();
        QTest::addRow("18 no record") << IDLE << slotReport("Dire", 2) << IDLE << QStringList();
        const Event gameStarted = [](ControllerHarness &h) { h.controller().handleGameStarted(); };
        QTest::addRow("19 game started") << MATCH_READY << gameStarted << IN_GAME
                                         << QStringList{"STATE_7", "IN_GAME"};
        QTest::addRow("19 game started too early")
            << JOINING_SLOT << gameStarted << JOINING_SLOT << QStringList();
        QTest::addRow("20 game completed")
            << WAITING_FOR_PLAYERS << notification("GAME_COMPLETED") << IDLE << QStringList{"STATE_0", "IDLE"};
        QTest::addRow("21 lobby joined notification")
            << WAITING_FOR_INVITATION << notification("LOBBY_JOINED") << JOINING_SLOT << QStringList{"LOBBY_ENTERED", "STATE_4"};
        QTest::addRow("23 the server no longer lists the user")
            << WAITING_FOR_PLAYERS
            << Event([](ControllerHarness &h) { h.upcoming(h.liveMatch("m-1")); })
            << JOINING_SLOT << QStringList{"STATE_4"};
        QTest::addRow("25 stop") << IN_GAME
                                 << Event([](ControllerHarness &h) { h.controller().stop(); })
                                 << IDLE << QStringList{"STATE_0"};
    }

    void transitions()
    {
        QFETCH(OverlayState, from);
        QFETCH(Event, event);
        QFETCH(OverlayState, to);
        QFETCH(QStringList, statuses);

        ControllerHarness h;
        h.driveTo(from);
        QCOMPARE(h.controller().state(), from);

        QSignalSpy changes(&h.controller(), &OverlayController::stateChanged);
        event(h);
        h.settle();

        QCOMPARE(h.controller().state(), to);
        QCOMPARE(h.statuses(), statuses);
        // Only a transition is announced, and it arms the watchdog for the states that wait.
        const bool transition = from != to || statuses.contains(QStringLiteral("STATE_%1").arg(int(to)));
        QCOMPARE(changes.isEmpty(), !transition);
        const QTimer *watchdog = h.controller().findChild<QTimer *>(QStringLiteral("stateTimeoutTimer"));
        if (transition)
            QCOMPARE(watchdog->isActive(), to != IDLE && to != IN_GAME);
    }

    // The real watchdog, at a thousandth of the time: five minutes after the last transition,
    // not after the last call that left the state as it was.
    void watchdogFiresAfterTheLastTransition()
    {
        ControllerHarness h(0.001);
        h.controller().handleMatchStart(h.record(false, -1));
        QElapsedTimer sinceTransition;
        sinceTransition.start();
        QTest::qWait(150);
        h.controller().handleMatchStart(h.record(false, -1)); // WAITING_FOR_GAME again
        QTRY_COMPARE_WITH_TIMEOUT(h.controller().state(), WAITING_FOR_INVITATION, 1000);
        QVERIFY2(sinceTransition.elapsed() >= 285 && sinceTransition.elapsed() < 430,
                 qPrintable(QString::number(sinceTransition.elapsed())));
        QCOMPARE(h.statuses(), QStringList({"STATE_1", "TIMEOUT", "STATE_2"}));

        // Timing out into the same state is no transition, and nothing re-arms the watchdog.
        h.clear();
        QTRY_COMPARE_WITH_TIMEOUT(h.statuses(), QStringList({"TIMEOUT"}), 1000);
        QTest::qWait(400);
        QCOMPARE(h.statuses(), QStringList({"TIMEOUT"}));
    }

    void expiryFromInGameShowsTheOverlayAgain()
    {
        ControllerHarness h;
        h.driveTo(IN_GAME);
        QVERIFY(!h.controller().overlayWindow()->isVisible());
        h.advance(31 * 60 * 1000);
        h.tick();
        QCOMPARE(h.controller().state(), IDLE);
        QVERIFY(!h.controller().matchData());
        QVERIFY(h.controller().overlayWindow()->isVisible());
    }

    // Another window in front pauses the lobby step; a closed game sends the flow back to waiting
    // for the game. Either way the overlay is hidden once and shown once when the game is back.
    void overlayHidesOnceWhileTheGameIsNotInFront_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("whileAway");
        QTest::addColumn<int>("whenBack");
        QTest::addRow("another window in front") << false << int(JOINING_SLOT) << int(JOINING_SLOT);
        // The record says the player joined the lobby, so the game's return skips to the slot.
        QTest::addRow("game closed") << true << int(WAITING_FOR_GAME) << int(JOINING_SLOT);
    }

    void overlayHidesOnceWhileTheGameIsNotInFront()
    {
        QFETCH(bool, closed);
        QFETCH(int, whileAway);
        QFETCH(int, whenBack);
        ControllerHarness h;
        h.driveTo(JOINING_SLOT);
        h.settle();
        const int grabsBefore = h.desktop().grabs;
        if (closed)
            h.closeGame();
        else
            h.desktop().focused = false;
        for (int i = 0; i < 10; ++i) {
            h.advance(500);
            h.tick();
        }
        QCOMPARE(h.log().count(QStringLiteral("Overlay hidden")), 1);
        QVERIFY(!h.controller().overlayWindow()->isVisible());
        QCOMPARE(h.desktop().grabs, grabsBefore);
        QCOMPARE(int(h.controller().state()), whileAway);

        if (closed)
            h.showGame(h.lobby(0));
        h.desktop().focused = true;
        for (int i = 0; i < 3; ++i) {
            h.advance(500);
            h.tick();
        }
        QCOMPARE(h.log().count(QStringLiteral("Overlay shown")), 1);
        QVERIFY(h.controller().overlayWindow()->isVisible());
        QCOMPARE(int(h.controller().state()), whenBack);
        h.settle();
    }
};

QTEST_MAIN(TestOverlayController)
#include "tst_overlaycontroller.moc"
