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

bool near(const cv::Point &found, const cv::Point &truth)
{
    return std::abs(found.x - truth.x) <= 3 && std::abs(found.y - truth.y) <= 3;
}

QString pointText(const cv::Point &found, const cv::Point &truth)
{
    return QStringLiteral("(%1, %2) instead of (%3, %4)").arg(found.x).arg(found.y).arg(truth.x).arg(truth.y);
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
            screen.setNoise(30);
        else if (how == QLatin1String("blur"))
            screen.setBlur(7);
        else if (how == QLatin1String("jpeg"))
            screen.setJpegQuality(20);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_invitation.loadTemplates(QStringLiteral(":/templates")));
        QVERIFY(m_lobby.loadTemplates(QStringLiteral(":/templates")));
    }

    // Every screen shape and both conventions of drawing the interface: in proportion to the
    // screen's height, or at the pictures' own size; and a few percent off either.
    void everyScreen_data()
    {
        QTest::addColumn<cv::Size>("resolution");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("degradation");
        const auto row = [](cv::Size size, double scale, const char *how) {
            QTest::addRow("%dx%d at %.3f %s", size.width, size.height, scale, how)
                << size << scale << QString(how);
        };
        const cv::Size shapes[] = {{1280, 720}, {1600, 900},  {1920, 1080}, {1920, 1200},
                                   {2560, 1080}, {2560, 1440}, {3440, 1440}, {3840, 2160}};
        for (const cv::Size size : shapes) {
            const double proportional = size.height / 1080.0;
            row(size, proportional, "clean");
            if (size.height > 1080)
                row(size, 1.0, size.height == 1440 ? "noise" : "clean");
        }
        row({1920, 1080}, 0.97, "clean");
        row({1920, 1080}, 1.03, "jpeg");
        row({1920, 1080}, 1.0, "blur");
        row({1280, 720}, 0.69, "noise");
        row({2560, 1440}, 1.333 * 1.03, "clean");
        row({3840, 2160}, 2.0, "jpeg");
        row({3840, 2160}, 1.94, "blur");
    }

    void everyScreen()
    {
        QFETCH(cv::Size, resolution);
        QFETCH(double, scale);
        QFETCH(QString, degradation);
        SyntheticScreen screen(resolution);
        screen.setScale(scale);
        degrade(screen, degradation);

        QVERIFY(!m_invitation.detectInvitation(screen.renderBackground()));
        const InvitationDetector::Invitation invitation = m_invitation.detect(screen.renderInvitation());
        QVERIFY(invitation.visible);
        QVERIFY2(near(invitation.acceptButton, screen.acceptCentre()),
                 qPrintable(pointText(invitation.acceptButton, screen.acceptCentre())));

        QVERIFY(!m_lobby.isInLobby(screen.renderInvitation()));
        const QString taken = QStringLiteral("1100010010");
        const cv::Mat frame = screen.renderLobby(maskOf(taken));
        QVERIFY(m_lobby.isInLobby(frame));
        const QList<cv::Rect> found = m_lobby.slotRegions();
        QCOMPARE(found.size(), SyntheticScreen::SlotCount);
        for (int i = 0; i < SyntheticScreen::SlotCount; ++i) {
            const cv::Rect drawn = screen.slotRects()[size_t(i)];
            QVERIFY2(near(found[i].tl(), drawn.tl()) && near(found[i].br(), drawn.br()),
                     qPrintable(QStringLiteral("slot %1: ").arg(i)
                                + pointText(found[i].tl(), drawn.tl())));
        }
        QCOMPARE(m_lobby.countOccupiedSlots(frame), int(taken.count(QLatin1Char('1'))));
    }

    // Another program's notification over the game: a covered slot is not counted as taken, and
    // a covered ACCEPT gives no point at all, never the DECLINE button beside it.
    void coveredByAToast_data()
    {
        QTest::addColumn<cv::Size>("resolution");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("share"); // of the slot panel's width
        QTest::addRow("1280x720, 0.75 of the panel") << cv::Size(1280, 720) << 720 / 1080.0 << 0.75;
        QTest::addRow("1920x1080, 0.25 of the panel") << cv::Size(1920, 1080) << 1.0 << 0.25;
        QTest::addRow("3840x2160, 0.75 of the panel") << cv::Size(3840, 2160) << 2.0 << 0.75;
        QTest::addRow("3840x2160 at own size, 0.50 of the panel") << cv::Size(3840, 2160) << 1.0 << 0.5;
    }

    void coveredByAToast()
    {
        QFETCH(cv::Size, resolution);
        QFETCH(double, scale);
        QFETCH(double, share);
        SyntheticScreen screen(resolution);
        screen.setScale(scale);
        // Over the lower three rows, from the panel's right edge.
        const SyntheticScreen::SlotRects places = screen.slotRects();
        const cv::Rect panel = places[0] | places[9];
        const int width = int(panel.width * share);
        screen.setToast(cv::Rect(panel.br().x - width, places[2].y, width,
                                 places[4].br().y - places[2].y));
        const QString taken = QStringLiteral("1010010100");
        const cv::Mat frame = screen.renderLobby(maskOf(taken));
        QVERIFY(m_lobby.isInLobby(frame));
        QVERIFY(m_lobby.countOccupiedSlots(frame) <= int(taken.count(QLatin1Char('1'))));

        const cv::Rect accept = screen.acceptRect();
        screen.setToast(cv::Rect(accept.tl() - cv::Point(10, 10), accept.size() + cv::Size(20, 20)));
        const InvitationDetector::Invitation invitation =
            m_invitation.detect(screen.renderInvitation());
        QVERIFY(invitation.visible);
        QCOMPARE(invitation.acceptButton, cv::Point(-1, -1));
    }
};

QTEST_GUILESS_MAIN(TestSyntheticDetection)
#include "tst_syntheticdetection.moc"
