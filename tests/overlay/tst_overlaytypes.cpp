#include "MatchData.h"
#include "OverlayState.h"

#include <QTest>

class TestOverlayTypes : public QObject
{
    Q_OBJECT

private slots:
    // The names themselves reach the scene (tst_overlaywindow, tst_guidanceview).
    void noNameOutOfRange()
    {
        QCOMPARE(overlayStateName(8), QString());
        QCOMPARE(overlayStateName(-1), QString());
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
