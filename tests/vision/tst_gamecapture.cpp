#include "FakeGame.h"
#include "InvitationDetector.h"
#include "LobbyDetector.h"
#include "PlatformBridge.h"
#include "SyntheticScreen.h"

#include <QTest>

// From the game's window on the screen to the detectors' answers: the fake game shows synthetic
// game screens full-screen, the real capture takes them, the detectors read them.
class TestGameCapture : public QObject
{
    Q_OBJECT

private:
    FakeGame m_game;
    PlatformBridge m_bridge;
    InvitationDetector m_invitation;
    LobbyDetector m_lobby;
    const SyntheticScreen m_expected{cv::Size(1920, 1080)};

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs the virtual desktop of scripts/test");
        QVERIFY(m_invitation.loadTemplates(QStringLiteral(":/templates")));
        QVERIFY(m_lobby.loadTemplates(QStringLiteral(":/templates")));
        QVERIFY(m_game.start({QStringLiteral("--geometry"), QStringLiteral("1920x1080+0+0")}));
        QCOMPARE(m_game.command(QStringLiteral("fullscreen")), QStringLiteral("ok"));
    }

    void cleanupTestCase()
    {
        m_game.quit();
    }

    void invitationOnScreen()
    {
        QCOMPARE(m_game.command(QStringLiteral("screen invitation")), QStringLiteral("ok"));
        const cv::Mat frame = m_bridge.captureDota2Window();
        QCOMPARE(frame.size(), cv::Size(1920, 1080));
        QVERIFY(m_invitation.detectInvitation(frame));
        const cv::Point accept = m_invitation.findAcceptButton(frame);
        const cv::Point expected = m_expected.acceptCentre();
        QVERIFY2(std::abs(accept.x - expected.x) <= 2 && std::abs(accept.y - expected.y) <= 2,
                 qPrintable(QStringLiteral("(%1, %2)").arg(accept.x).arg(accept.y)));
        QVERIFY(!m_lobby.isInLobby(frame));
    }

    void lobbyOnScreen_data()
    {
        QTest::addColumn<QString>("taken");
        QTest::addRow("four") << "1100010010";
        QTest::addRow("all") << "1111111111";
    }

    void lobbyOnScreen()
    {
        QFETCH(QString, taken);
        QCOMPARE(m_game.command(QStringLiteral("screen lobby ") + taken), QStringLiteral("ok"));
        const cv::Mat frame = m_bridge.captureDota2Window();
        QVERIFY(!m_invitation.detectInvitation(frame));
        QVERIFY(m_lobby.isInLobby(frame));
        QCOMPARE(m_lobby.countOccupiedSlots(frame), int(taken.count(QLatin1Char('1'))));
    }
};

QTEST_MAIN(TestGameCapture)
#include "tst_gamecapture.moc"
