#include "MatchWidgetData.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {

// JSON written with single quotes, to keep the tests readable.
QJsonObject record(QByteArray json)
{
    return QJsonDocument::fromJson(json.replace('\'', '"')).object();
}

QJsonObject tournamentMatch(int participants, const QString &type, const QJsonValue &round,
                            const QString &bracket)
{
    return QJsonObject{{"matchId", "m-1"},
                       {"lobbyId", ""},
                       {"startedAt", QJsonValue()},
                       {"tournament", QJsonObject{{"name", "Cup"},
                                                  {"participantCount", participants},
                                                  {"type", type}}},
                       {"match", QJsonObject{{"round", round}, {"bracket", bracket}}}};
}

} // namespace

class TestMatchWidgetData : public QObject
{
    Q_OBJECT

private slots:
    void roundLabels_data()
    {
        QTest::addColumn<int>("participants");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QJsonValue>("round");
        QTest::addColumn<QString>("bracket");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("label");
        const QString single = QStringLiteral("SINGLE_ELIMINATION");
        const QString dbl = QStringLiteral("DOUBLE_ELIMINATION");
        QTest::addRow("8, round 2") << 8 << single << QJsonValue("2") << "" << "en" << "Semi-Finals";
        QTest::addRow("8, round 1") << 8 << single << QJsonValue("1") << "" << "en" << "Quarter-Finals";
        QTest::addRow("16, round 1") << 16 << single << QJsonValue("1") << "" << "en" << "Round 1";
        QTest::addRow("3, round 2") << 3 << single << QJsonValue("2") << "" << "en" << "Finals";
        QTest::addRow("round as a number") << 4 << single << QJsonValue(2) << "" << "en" << "Quarter-Finals";
        QTest::addRow("round not numeric") << 16 << single << QJsonValue("x") << "" << "en" << "Round 0";
        QTest::addRow("double, WB 3") << 8 << dbl << QJsonValue("3") << "WB" << "en" << "Upper Finals";
        QTest::addRow("double, WB 2") << 8 << dbl << QJsonValue("2") << "WB" << "en" << "Upper Semi-Finals";
        QTest::addRow("double, WB 1") << 8 << dbl << QJsonValue("1") << "WB" << "en" << "WB Round 1";
        QTest::addRow("double, LB 4") << 8 << dbl << QJsonValue("4") << "LB" << "en" << "Lower Finals";
        QTest::addRow("double, LB 3") << 8 << dbl << QJsonValue("3") << "LB" << "en" << "Lower Semi-Finals";
        QTest::addRow("double, LB 2") << 8 << dbl << QJsonValue("2") << "LB" << "en" << "LB Round 2";
        QTest::addRow("double, GF") << 8 << dbl << QJsonValue("9") << "GF" << "en" << "Grand Finals";
        QTest::addRow("double, other bracket") << 8 << dbl << QJsonValue("3") << "XB" << "en" << "Finals";
        QTest::addRow("type is case-sensitive") << 8 << "double_elimination" << QJsonValue("1") << "GF" << "en" << "Quarter-Finals";
        QTest::addRow("two players") << 2 << single << QJsonValue("1") << "" << "en" << "";
        // The Persian quarter-final words carry a ZERO WIDTH NON-JOINER.
        QTest::addRow("Persian quarter-finals") << 8 << single << QJsonValue("1") << "" << "fa"
                                                << QString::fromUtf8("یک\u200cچهارم نهایی");
        QTest::addRow("Persian WB round") << 16 << dbl << QJsonValue("1") << "WB" << "fa"
                                          << QString::fromUtf8("WB راند 1");
        QTest::addRow("FA is not Persian") << 8 << single << QJsonValue("3") << "" << "FA" << "Finals";
    }

    void roundLabels()
    {
        QFETCH(int, participants);
        QFETCH(QString, type);
        QFETCH(QJsonValue, round);
        QFETCH(QString, bracket);
        QFETCH(QString, lang);
        QFETCH(QString, label);
        MatchWidgetData data;
        data.setLang(lang);
        data.updateFromLiveGame(tournamentMatch(participants, type, round, bracket));
        QCOMPARE(data.roundLabel(), label);

        // The language chosen after the record, from the other one.
        MatchWidgetData later;
        later.setLang(lang == QLatin1String("fa") ? QStringLiteral("en") : QStringLiteral("fa"));
        later.updateFromLiveGame(tournamentMatch(participants, type, round, bracket));
        later.setLang(lang);
        QCOMPARE(later.roundLabel(), label);
    }

    void lobbyStatus_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("started");
        QTest::addRow("lobby, not started") << QByteArray("{'lobbyId':'L1','startedAt':null}") << "ready" << false;
        QTest::addRow("lobby, started") << QByteArray("{'lobbyId':'L1','startedAt':'2026-12-06T10:00:00Z'}") << "playing" << true;
        QTest::addRow("empty lobby id, started") << QByteArray("{'lobbyId':'','startedAt':'x'}") << "creating" << true;
        QTest::addRow("no lobby id") << QByteArray("{'startedAt':null}") << "creating" << false;
        QTest::addRow("no startedAt counts as started") << QByteArray("{'lobbyId':'L1'}") << "playing" << true;
        QTest::addRow("lobby id not a string") << QByteArray("{'lobbyId':42,'startedAt':null}") << "creating" << false;
    }

    void lobbyStatus()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, status);
        QFETCH(bool, started);
        MatchWidgetData data;
        data.updateFromLiveGame(record(json));
        QCOMPARE(data.lobbyStatus(), status);
        QCOMPARE(data.isStarted(), started);
        QVERIFY(data.hasMatch());
    }

    void fieldsFromARecord()
    {
        MatchWidgetData data;
        QSignalSpy changed(&data, &MatchWidgetData::dataChanged);
        data.updateFromLiveGame(record("{'matchId':'m-9','gameNumber':2, 'scheduledTime':'2026-12-06T12:00:00Z','userSide':'RADIANT', 'tournament':{'name':'Weekly Cup'}, 'opponent':{'name':'Team Sable','avatar':'https://corvanta.gg/a.png'}}"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(data.gameNumber(), 2);
        QCOMPARE((QStringList{data.matchId(), data.scheduledTime(), data.userSide(),
                              data.tournamentName(), data.opponentName(), data.opponentAvatar()}),
                 (QStringList{"m-9", "2026-12-06T12:00:00Z", "RADIANT", "Weekly Cup", "Team Sable",
                              "https://corvanta.gg/a.png"}));
        // No participant count: a two-sided competition, no round label.
        QVERIFY(data.isCompetition());
        QVERIFY(data.roundLabel().isEmpty());
    }

    void membersOfTheWrongType()
    {
        MatchWidgetData data;
        data.updateFromLiveGame(record("{'matchId':7,'scheduledTime':false,'userSide':['R'], 'gameNumber':'3','tournament':{'name':{'x':1},'participantCount':'8'}, 'opponent':'Team'}"));
        QVERIFY(data.hasMatch());
        QVERIFY(data.matchId().isEmpty() && data.scheduledTime().isEmpty() && data.userSide().isEmpty());
        QVERIFY(data.tournamentName().isEmpty() && data.opponentName().isEmpty());
        QCOMPARE(data.gameNumber(), 1);
        QVERIFY(data.isCompetition()); // a count that is not a number reads as the default 2
    }

    void clearingEmitsOnce_data()
    {
        QTest::addColumn<bool>("viaEmptyRecord");
        QTest::addRow("clear()") << false;
        QTest::addRow("empty record") << true;
    }

    void clearingEmitsOnce()
    {
        QFETCH(bool, viaEmptyRecord);
        MatchWidgetData data;
        data.setLang(QStringLiteral("fa"));
        data.updateFromLiveGame(tournamentMatch(8, "SINGLE", "3", ""));
        QVERIFY(data.hasMatch());
        QSignalSpy changed(&data, &MatchWidgetData::dataChanged);
        if (viaEmptyRecord)
            data.updateFromLiveGame(QJsonObject());
        else
            data.clear();
        QCOMPARE(changed.count(), 1);
        QVERIFY(!data.hasMatch());
        QVERIFY(data.matchId().isEmpty() && data.roundLabel().isEmpty());
        QCOMPARE(data.lobbyStatus(), QStringLiteral("creating"));
        QCOMPARE(data.gameNumber(), 1);
        QCOMPARE(data.lang(), QStringLiteral("fa")); // the language stays
    }
};

QTEST_GUILESS_MAIN(TestMatchWidgetData)
#include "tst_matchwidgetdata.moc"
