#include "MatchData.h"
#include "OverlayState.h"

#include <QTest>

class TestOverlayTypes : public QObject
{
    Q_OBJECT

private slots:
    void stateNames_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("name");
        const QStringList names = {"IDLE",         "WAITING_FOR_GAME",    "WAITING_FOR_INVITATION",
                                   "ACCEPTING_INVITATION", "JOINING_SLOT", "WAITING_FOR_PLAYERS",
                                   "MATCH_READY",  "IN_GAME"};
        for (int value = 0; value < names.size(); ++value)
            QTest::addRow("%d", value) << value << names[value];
        QTest::addRow("8") << 8 << QString();
        QTest::addRow("-1") << -1 << QString();
    }

    void stateNames()
    {
        QFETCH(int, value);
        QFETCH(QString, name);
        QCOMPARE(overlayStateName(value), name);
    }

    void validity_data()
    {
        QTest::addColumn<QString>("matchId");
        QTest::addColumn<QString>("userSide");
        QTest::addColumn<bool>("received");
        QTest::addColumn<bool>("valid");
        QTest::addRow("complete") << "m-1" << "Radiant" << true << true;
        QTest::addRow("no time") << "m-1" << "Radiant" << false << false;
        QTest::addRow("no id") << "" << "Radiant" << true << false;
        QTest::addRow("no side") << "m-1" << "" << true << false;
    }

    void validity()
    {
        QFETCH(QString, matchId);
        QFETCH(QString, userSide);
        QFETCH(bool, received);
        QFETCH(bool, valid);
        MatchData match;
        match.matchId = matchId;
        match.userSide = userSide;
        if (received)
            match.receivedAt = QDateTime::currentDateTime();
        QCOMPARE(match.isValid(), valid);
    }

    void expiry_data()
    {
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("expired");
        QTest::addRow("just made") << 0 << false;
        QTest::addRow("30 min 59 s") << 30 * 60 + 59 << false;
        QTest::addRow("31 min") << 31 * 60 << true;
        QTest::addRow("5 min in the future") << -5 * 60 << false;
    }

    void expiry()
    {
        QFETCH(int, ageSeconds);
        QFETCH(bool, expired);
        const QDateTime now(QDate(2026, 12, 6), QTime(12, 0, 0));
        MatchData match;
        match.receivedAt = now.addSecs(-ageSeconds);
        QCOMPARE(match.isExpired(30, now), expired);
    }

    void sidesIgnoreCase_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::addRow("upper and lower") << "RADIANT" << "radiant" << true;
        QTest::addRow("different") << "Radiant" << "Dire" << false;
        QTest::addRow("padded is different") << "radiant " << "radiant" << false;
    }

    void sidesIgnoreCase()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(isSameSide(a, b), same);
    }
};

QTEST_GUILESS_MAIN(TestOverlayTypes)
#include "tst_overlaytypes.moc"
