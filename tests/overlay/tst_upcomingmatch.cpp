#include "ControllerHarness.h"
#include "HttpTestServer.h"
#include "LiveMatchWindow.h"
#include "MatchNotification.h"
#include "MatchWidgetData.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

namespace {

QJsonObject participant(const QJsonArray &userIds, const QJsonArray &captains, const QString &name)
{
    return QJsonObject{{"userIds", userIds}, {"captainUserIds", captains}, {"name", name},
                       {"avatar", name.toLower() + ".png"}};
}

QJsonObject slotEntry(const QString &userId, const QJsonValue &slotNumber, const QString &team)
{
    QJsonObject entry{{"userId", userId}, {"team", team}};
    if (!slotNumber.isUndefined())
        entry.insert("slotNumber", slotNumber);
    return entry;
}

// A socket payload of the user's match m-4 against Night Owls, starting now.
QJsonObject matchEvent(const ControllerHarness &h)
{
    return QJsonObject{
        {"matchId", "m-4"},
        {"scheduledTime", h.now().toString(Qt::ISODate)},
        {"participant1", participant({"u-1"}, {}, "Night Owls")},
        {"participant2", participant({ControllerHarness::userId()}, {}, "Red Foxes")},
        {"participant2Side", "Dire"},
    };
}

bool widgetShown(ControllerHarness &h)
{
    return h.controller().liveMatchWindow()->isVisible();
}

} // namespace

// The next match from the live-game endpoint and the socket: pending match, live-match widget,
// switching matches and the server's record of the player's slot.
class TestUpcomingMatch : public QObject
{
    Q_OBJECT

private slots:
    // The user's side, captaincy and opponent as the widget gets them; no side: not the user's.
    void conversionOfSocketPayloads_data()
    {
        QTest::addColumn<QString>("userId");
        QTest::addColumn<QString>("side");
        QTest::addColumn<bool>("captain");
        QTest::addColumn<QString>("opponent");
        QTest::addRow("first participant") << "u-2" << "Radiant" << false << "Red Foxes";
        QTest::addRow("second participant's captain") << "u-7" << "Dire" << true << "Night Owls";
        QTest::addRow("in neither") << "u-5" << "" << false << "";
        // Ids that are no strings read as blank ones; a blank user id names nobody.
        QTest::addRow("no user id, ids no strings") << "" << "" << false << "";
    }

    void conversionOfSocketPayloads()
    {
        QFETCH(QString, userId);
        QFETCH(QString, side);
        QFETCH(bool, captain);
        QFETCH(QString, opponent);
        QJsonObject payload{
            {"matchGameId", "g-3"},
            {"matchId", "m-1"},
            {"scheduledTime", "2026-12-06T20:00:00Z"},
            {"participant1", participant({"u-1", "u-2"}, {"u-1"}, "Night Owls")},
            {"participant1Side", "Radiant"},
            {"participant2", participant({"u-7", "u-8"}, {"u-7"}, "Red Foxes")},
            {"participant2Side", "Dire"},
        };
        if (userId.isEmpty())
            payload["participant1"] = participant({1, 2}, {}, "Night Owls");
        const QJsonObject expected{
            {"id", "g-3"},
            {"matchId", "m-1"},
            {"scheduledTime", "2026-12-06T20:00:00Z"},
            {"userSide", side},
            {"isCaptain", captain},
            {"opponent", QJsonObject{{"name", opponent}, {"avatar", opponent.toLower() + ".png"}}},
        };
        QCOMPARE(parseMatchNotification(payload, userId), side.isEmpty() ? QJsonObject() : expected);
    }

    void noMatchOrAStartedOne_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addRow("liveGame null") << QJsonObject{{"liveGame", QJsonValue::Null}};
        QTest::addRow("started")
            << QJsonObject{{"liveGame", QJsonObject{{"matchId", "m-1"},
                                                    {"startedAt", "2026-12-06T19:00:00Z"}}}};
    }

    void noMatchOrAStartedOne()
    {
        QFETCH(QJsonObject, answer);
        ControllerHarness h;
        h.upcoming(h.liveMatch());
        QVERIFY(widgetShown(h));
        h.upcoming(answer);
        QVERIFY(!widgetShown(h));
        QVERIFY(!h.controller().liveMatchWindow()->matchWidgetData()->hasMatch());
        QVERIFY(h.controller().pendingMatch().isEmpty());
    }

    void widgetFromThreeMinutesBeforeTheStart_data()
    {
        QTest::addColumn<QJsonValue>("startsIn"); // seconds, or a text for the start time
        QTest::addColumn<bool>("kept");
        QTest::addRow("181 s ahead") << QJsonValue(181) << false;
        QTest::addRow("180 s ahead") << QJsonValue(180) << true;
        QTest::addRow("unreadable start time") << QJsonValue("tomorrow") << true;
    }

    void widgetFromThreeMinutesBeforeTheStart()
    {
        QFETCH(QJsonValue, startsIn);
        QFETCH(bool, kept);
        ControllerHarness h;
        QJsonObject match = h.liveMatch();
        match["scheduledTime"] = startsIn.isString()
            ? startsIn.toString()
            : h.now().addSecs(startsIn.toInt()).toUTC().toString(Qt::ISODate);
        h.upcoming(QJsonObject{{"liveGame", match}});
        QCOMPARE(h.controller().pendingMatch().isEmpty(), !kept);
        QCOMPARE(widgetShown(h), kept);
    }

    // Another match due now replaces the one being guided; one further off leaves it be.
    void anotherMatchWhileJoiningTheSlot_data()
    {
        QTest::addColumn<int>("startsIn");
        QTest::addColumn<bool>("switched");
        QTest::addRow("due now: switch") << 0 << true;
        QTest::addRow("an hour ahead: kept for later") << 3600 << false;
    }

    void anotherMatchWhileJoiningTheSlot()
    {
        QFETCH(int, startsIn);
        QFETCH(bool, switched);
        ControllerHarness h;
        h.driveTo(JOINING_SLOT);
        h.closeGame();
        QJsonObject next = h.liveMatch("m-2");
        next["scheduledTime"] = h.now().addSecs(startsIn).toString(Qt::ISODate);
        h.upcoming(next);
        const MatchData *guided = h.controller().matchData();
        QCOMPARE(guided ? guided->matchId : QString(), QString(switched ? "" : "m-1"));
        QCOMPARE(h.controller().state(), switched ? IDLE : JOINING_SLOT);
        QCOMPARE(h.controller().pendingMatch().value("matchId").toString(), QString(switched ? "m-2" : ""));
        QCOMPARE(widgetShown(h), switched);
    }

    // The server's slot numbers are one-based; 0 is none. The player's side follows the
    // server's record when it names a slot.
    void serverSlotRecord_data()
    {
        QTest::addColumn<int>("slotBefore");
        QTest::addColumn<QJsonArray>("occupied");
        QTest::addColumn<int>("slotAfter");
        QTest::addColumn<QString>("sideAfter");
        const QString me = ControllerHarness::userId();
        QTest::addRow("confirmed in slot 3")
            << -1 << QJsonArray{slotEntry("u-9", 1, "Dire"), slotEntry(me, 3, "Radiant")} << 2
            << "Radiant";
        QTest::addRow("already known") << 2 << QJsonArray{slotEntry(me, 3, "Radiant")} << 2 << "Dire";
        QTest::addRow("slot 0 of the server")
            << 2 << QJsonArray{slotEntry(me, 0, "Radiant")} << -1 << "Radiant";
        QTest::addRow("no slot number")
            << 2 << QJsonArray{slotEntry(me, QJsonValue(), "Radiant")} << 2 << "Dire";
        QTest::addRow("left the slot") << 2 << QJsonArray{slotEntry("u-9", 1, "Dire")} << -1 << "Dire";
    }

    void serverSlotRecord()
    {
        QFETCH(int, slotBefore);
        QFETCH(QJsonArray, occupied);
        QFETCH(int, slotAfter);
        QFETCH(QString, sideAfter);
        ControllerHarness h;
        h.driveTo(JOINING_SLOT);
        if (slotBefore >= 0)
            h.upcoming(h.liveMatch("m-1", slotBefore + 1, "Dire"));
        QJsonObject match = h.liveMatch();
        match["occupiedSlots"] = occupied;
        h.upcoming(match);
        QCOMPARE(h.controller().matchData()->slotNumber, slotAfter);
        QCOMPARE(h.controller().matchData()->playerSide, sideAfter);
        QCOMPARE(h.controller().state(), JOINING_SLOT);
    }

    void socketMatchEventsReachTheWidget_data()
    {
        QTest::addColumn<bool>("tournamentEvent");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("shown");
        QTest::addRow("MATCH_CREATED") << false << "MATCH_CREATED" << true;
        QTest::addRow("MATCH_UPDATED is no source") << false << "MATCH_UPDATED" << false;
        QTest::addRow("match:updated") << true << "match:updated" << true;
        QTest::addRow("match:deleted") << true << "match:deleted" << false;
    }

    void socketMatchEventsReachTheWidget()
    {
        QFETCH(bool, tournamentEvent);
        QFETCH(QString, type);
        QFETCH(bool, shown);
        ControllerHarness h;
        const QJsonObject payload = matchEvent(h);
        if (tournamentEvent)
            emit h.socket().tournamentUpdateReceived(type, "t-1", "m-4", "g-1", payload);
        else
            emit h.socket().matchNotificationReceived(type, "m-4", "g-1", "t-1", payload);
        QCOMPARE(widgetShown(h), shown);
        MatchWidgetData *widget = h.controller().liveMatchWindow()->matchWidgetData();
        QCOMPARE(widget->opponentName(), QString(shown ? "Night Owls" : ""));
        QCOMPARE(widget->userSide(), QString(shown ? "Dire" : ""));
    }

    void failedRequestKeepsThePendingMatch()
    {
        ControllerHarness h;
        const auto failures = [&h] {
            return h.log().texts().filter(QRegularExpression("^No upcoming match: ")).size();
        };
        QTRY_COMPARE(failures(), 1); // the request of start(): the REST client's port is closed
        h.upcoming(h.liveMatch());
        h.clear();
        h.controller().fetchUpcomingMatch();
        QTRY_COMPARE(failures(), 1);
        QCOMPARE(h.controller().pendingMatch().value("matchId").toString(), QStringLiteral("m-1"));
        QVERIFY(widgetShown(h));
    }

    // "No match" asked before a socket event announced one, and answered after it, is the older
    // word; asked after the event, it is the newer one.
    void liveGameAnswerAgainstASocketEvent_data()
    {
        QTest::addColumn<bool>("eventWhileAsking");
        QTest::addRow("event while the answer is on its way") << true;
        QTest::addRow("event before the question") << false;
    }

    void liveGameAnswerAgainstASocketEvent()
    {
        QFETCH(bool, eventWhileAsking);
        HttpTestServer platform;
        QVERIFY(platform.listen());
        HttpTestServer::Reply slowNoMatch;
        slowNoMatch.body = R"({"liveGame":null})";
        slowNoMatch.byteIntervalMs = 10;
        platform.setReply(slowNoMatch);
        ControllerHarness h(ControllerHarness::ManualTimeScale, false, platform.baseUrl().toUtf8());
        const auto announce = [&h] {
            emit h.socket().matchNotificationReceived("LOBBY_READY", "m-4", "g-1", "t-1",
                                                      matchEvent(h));
        };
        if (!eventWhileAsking)
            announce();
        h.controller().fetchUpcomingMatch();
        if (eventWhileAsking) {
            QTRY_COMPARE(platform.requests().size(), 1);
            announce();
        }
        QVERIFY(widgetShown(h));
        const QRegularExpression answerTaken(
            QStringLiteral("^(handleUpcomingMatch matchData: \\{\"liveGame\"|Live-game answer)"));
        QTRY_COMPARE(h.log().texts().filter(answerTaken).size(), 1);
        QCOMPARE(widgetShown(h), eventWhileAsking);
        QCOMPARE(h.controller().pendingMatch().isEmpty(), !eventWhileAsking);
    }

    void secretsOfTheRecordStayOutOfTheLog()
    {
        ControllerHarness h;
        QJsonObject match = h.liveMatch();
        match["lobbyPassword"] = "hunter2";
        match["lobby"] = QJsonObject{{"joinToken", "t0k3n"}};
        h.upcoming(QJsonObject{{"liveGame", match}});
        const QString all = h.log().rawLines().join('\n');
        QVERIFY(all.contains(QLatin1String("lobbyPassword")));
        QVERIFY(!all.contains(QLatin1String("hunter2")));
        QVERIFY(!all.contains(QLatin1String("t0k3n")));
    }
};

QTEST_MAIN(TestUpcomingMatch)
#include "tst_upcomingmatch.moc"
