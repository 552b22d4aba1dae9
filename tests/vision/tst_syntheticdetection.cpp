#include "InvitationDetector.h"
#include "LobbyDetector.h"
#include "SyntheticScreen.h"

#include <QTest>

Q_DECLARE_METATYPE(cv::Size)

namespace {

SyntheticScreen::SlotMask maskOf(const QString &bits)
{
    SyntheticScreen::SlotMask mask{};
    for (int i = 0; i < SyntheticScreen::SlotCount; ++i)
        mask[size_t(i)] = bits.at(i) == QLatin1Char('1');
    return mask;
}

} // namespace

// The detectors with our template pictures on synthetic game screens: the whole way from a frame
// to the answers the overlay acts on.
class TestSyntheticDetection : public QObject
{
    Q_OBJECT

private:
    InvitationDetector m_invitation;
    LobbyDetector m_lobby;

    static void degrade(SyntheticScreen &screen, const QString &how)
    {
        if (how == QLatin1String("noise"))
            screen.setNoise(8);
        else if (how == QLatin1String("blur"))
            screen.setBlur(3);
        else if (how == QLatin1String("dark"))
            screen.setBrightness(-40);
        else if (how == QLatin1String("jpeg"))
            screen.setJpegQuality(60);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_invitation.loadTemplates(QStringLiteral(":/templates")));
        QVERIFY(m_lobby.loadTemplates(QStringLiteral(":/templates")));
    }

    void invitation_data()
    {
        QTest::addColumn<cv::Size>("resolution");
        QTest::addColumn<QString>("degradation");
        for (const cv::Size size : {cv::Size(1920, 1080), cv::Size(2560, 1440), cv::Size(3840, 2160)}) {
            for (const char *how : {"clean", "noise", "blur", "dark", "jpeg"})
                QTest::addRow("%dx%d %s", size.width, size.height, how) << size << QString(how);
        }
    }

    void invitation()
    {
        QFETCH(cv::Size, resolution);
        QFETCH(QString, degradation);
        SyntheticScreen screen(resolution);
        degrade(screen, degradation);

        QVERIFY(!m_invitation.detectInvitation(screen.renderBackground()));
        const cv::Mat frame = screen.renderInvitation();
        QVERIFY(m_invitation.detectInvitation(frame));
        const cv::Point accept = m_invitation.findAcceptButton(frame);
        const cv::Point expected = screen.acceptCentre();
        QVERIFY2(std::abs(accept.x - expected.x) <= 2 && std::abs(accept.y - expected.y) <= 2,
                 qPrintable(QStringLiteral("(%1, %2) instead of (%3, %4)")
                                .arg(accept.x).arg(accept.y).arg(expected.x).arg(expected.y)));
    }

    void smallestScreen()
    {
        // 1280 x 720 with the pictures at their own size: the search region (768 x 432) is smaller
        // than the popup both ways, so the popup is found in swapped mode, but the accept button
        // sits below the region's bottom edge (y 576) and cannot be found.
        SyntheticScreen screen(cv::Size(1280, 720));
        const cv::Mat frame = screen.renderInvitation();
        QVERIFY(m_invitation.detectInvitation(frame));
        QVERIFY(screen.acceptCentre().y > InvitationDetector::searchRegion(frame.size()).br().y);
        QCOMPARE(m_invitation.findAcceptButton(frame), cv::Point(-1, -1));
    }

    void lobby_data()
    {
        QTest::addColumn<cv::Size>("resolution");
        QTest::addColumn<QString>("occupied");
        QTest::addColumn<QString>("degradation");
        for (const cv::Size size : {cv::Size(1920, 1080), cv::Size(2560, 1440), cv::Size(3840, 2160)}) {
            QTest::addRow("%dx%d none taken", size.width, size.height) << size << "0000000000" << "clean";
            QTest::addRow("%dx%d four taken", size.width, size.height) << size << "1100010010" << "clean";
            QTest::addRow("%dx%d all taken", size.width, size.height) << size << "1111111111" << "clean";
            QTest::addRow("%dx%d noisy", size.width, size.height) << size << "1010101010" << "noise";
            QTest::addRow("%dx%d compressed", size.width, size.height) << size << "0111001110" << "jpeg";
        }
    }

    void lobby()
    {
        QFETCH(cv::Size, resolution);
        QFETCH(QString, occupied);
        QFETCH(QString, degradation);
        SyntheticScreen screen(resolution);
        degrade(screen, degradation);

        QVERIFY(!m_lobby.isInLobby(screen.renderInvitation()));
        const cv::Mat frame = screen.renderLobby(maskOf(occupied));
        QVERIFY(m_lobby.isInLobby(frame));
        const SyntheticScreen::SlotRects expected = screen.slotRects();
        // The header is matched at half resolution, so its box (and every slot) may sit one pixel
        // off where it was drawn at an odd coordinate.
        QCOMPARE(m_lobby.slotRegions().size(), SyntheticScreen::SlotCount);
        for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
            const cv::Rect found = m_lobby.slotRegions()[i];
            const cv::Rect drawn = expected[size_t(i)];
            QVERIFY2(std::abs(found.x - drawn.x) <= 2 && std::abs(found.y - drawn.y) <= 2
                         && found.size() == drawn.size(),
                     qPrintable(QStringLiteral("slot %1: (%2, %3, %4, %5) instead of (%6, %7, %8, %9)")
                                    .arg(i).arg(found.x).arg(found.y).arg(found.width).arg(found.height)
                                    .arg(drawn.x).arg(drawn.y).arg(drawn.width).arg(drawn.height)));
        }
        QCOMPARE(m_lobby.countOccupiedSlots(frame), int(occupied.count(QLatin1Char('1'))));
    }

    void interfaceScaleBeyondThePictures_data()
    {
        QTest::addColumn<cv::Size>("resolution");
        QTest::addColumn<double>("scale");
        QTest::addRow("4k at 2x") << cv::Size(3840, 2160) << 2.0;
        QTest::addRow("1440p at 1.33x") << cv::Size(2560, 1440) << 4.0 / 3.0;
    }

    // The pictures have one size; a game interface drawn larger is not recognised.
    void interfaceScaleBeyondThePictures()
    {
        QFETCH(cv::Size, resolution);
        QFETCH(double, scale);
        SyntheticScreen screen(resolution);
        screen.setScale(scale);
        QVERIFY(!m_invitation.detectInvitation(screen.renderInvitation()));
        QVERIFY(!m_lobby.isInLobby(screen.renderLobby(maskOf("1111100000"))));
    }
};

QTEST_GUILESS_MAIN(TestSyntheticDetection)
#include "tst_syntheticdetection.moc"
