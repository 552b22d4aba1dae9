#include "DetectorFixture.h"
#include "InvitationDetector.h"
#include "LogCapture.h"
#include "TemplateMatcher.h"

#include <QTest>

Q_DECLARE_METATYPE(cv::Size)
Q_DECLARE_METATYPE(cv::Rect)

class TestInvitationDetector : public QObject
{
    Q_OBJECT

private:
    DetectorFixture m_pictures;
    InvitationDetector m_detector;

    // A 1920 x 1080 screen with `picture` pasted at `at`; by default the popup, centred.
    cv::Mat screenWith(const cv::Mat &picture, cv::Point at = cv::Point(574, 246)) const
    {
        cv::Mat screen = DetectorFixture::screen(cv::Size(1920, 1080));
        DetectorFixture::paste(screen, picture, at);
        return screen;
    }

    cv::Mat popup() const { return m_pictures.picture(QStringLiteral("invitation_popup.png")); }

private slots:
    void initTestCase() { QVERIFY(m_detector.loadTemplates(m_pictures.directory())); }

    void searchRegion_data()
    {
        QTest::addColumn<cv::Size>("screen");
        QTest::addColumn<cv::Rect>("region");
        QTest::addRow("1080p") << cv::Size(1920, 1080) << cv::Rect(384, 216, 1152, 648);
        QTest::addRow("odd size") << cv::Size(1366, 767) << cv::Rect(273, 153, 819, 460);
    }

    void searchRegion()
    {
        QFETCH(cv::Size, screen);
        QFETCH(cv::Rect, region);
        QCOMPARE(InvitationDetector::searchRegion(screen), region);
    }

    void threshold_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("score");
        QTest::addColumn<bool>("found");
        QTest::addRow("popup 0.66") << "invitation_popup.png" << 0.66 << true;
        QTest::addRow("popup 0.64") << "invitation_popup.png" << 0.64 << false;
        QTest::addRow("button 0.71") << "accept_button.png" << 0.71 << true;
        QTest::addRow("button 0.69") << "accept_button.png" << 0.69 << false;
    }

    void threshold()
    {
        QFETCH(QString, file);
        QFETCH(double, score);
        QFETCH(bool, found);
        const cv::Mat picture = m_pictures.picture(file);
        const cv::Mat blended = DetectorFixture::withScore(picture, score);
        const double reached = findTemplate(blended, picture, 2.0, 0.5).confidence;
        QVERIFY2(std::abs(reached - score) < 0.005, qPrintable(QString::number(reached)));

        if (file == QLatin1String("invitation_popup.png")) {
            QCOMPARE(m_detector.detectInvitation(screenWith(blended)), found);
        } else {
            // Inside the popup, which is all noise here, so any place in it will do; even
            // coordinates keep the halved grid of the region aligned with the picture's.
            cv::Mat screen = screenWith(popup());
            DetectorFixture::paste(screen, blended, cv::Point(800, 500));
            QCOMPARE(m_detector.findAcceptButton(screen),
                     found ? cv::Point(800 + 128, 500 + 30) : cv::Point(-1, -1));
        }
    }

    // Anything shaped like the button outside a popup is no button.
    void buttonWithoutPopup()
    {
        const cv::Mat button = m_pictures.picture(QStringLiteral("accept_button.png"));
        QCOMPARE(m_detector.findAcceptButton(screenWith(button, cv::Point(800, 500))),
                 cv::Point(-1, -1));
    }

    void popupOutsideTheCentralRegionIsMissed()
    {
        QVERIFY(!m_detector.detectInvitation(screenWith(popup(), cv::Point(574, 0))));
    }

    void smallScreenSearchesInsideThePicture()
    {
        // On 1280 x 720 the region (768 x 432) is smaller than the popup both ways: the region
        // is looked for inside the picture, and the centre reported is the region's.
        cv::Mat screen = DetectorFixture::screen(cv::Size(1280, 720));
        DetectorFixture::paste(screen, popup(), cv::Point(256 - 2, 144 - 78));
        LogCapture log;
        QVERIFY(m_detector.detectInvitation(screen));
        QVERIFY2(log.texts().constFirst().endsWith(QLatin1String(" at (640, 360)")),
                 qPrintable(log.texts().constFirst()));
    }

    // An empty screen says nothing; OpenCV's errors are logged and give neutral answers.
    void unreadableScreens()
    {
        LogCapture log;
        QVERIFY(!m_detector.detectInvitation(cv::Mat()));
        QCOMPARE(m_detector.findAcceptButton(cv::Mat()), cv::Point(-1, -1));
        QVERIFY(log.texts().isEmpty());
        const cv::Mat twoChannels(1080, 1920, CV_8UC2, cv::Scalar(1, 2));
        QVERIFY(!m_detector.detectInvitation(twoChannels));
        QCOMPARE(m_detector.findAcceptButton(twoChannels), cv::Point(-1, -1));
        QCOMPARE(log.texts().size(), 2);
        QVERIFY(log.texts()[0].startsWith(QLatin1String("Error detecting invitation: ")));
        QVERIFY(log.texts()[1].startsWith(QLatin1String("Error finding accept button: ")));
    }

    void missingTemplates()
    {
        DetectorFixture onlyButton;
        onlyButton.remove(QStringLiteral("invitation_popup.png"));
        InvitationDetector detector;
        QVERIFY(detector.loadTemplates(onlyButton.directory()));
        QVERIFY(!detector.detectInvitation(screenWith(popup())));
        QCOMPARE(detector.findAcceptButton(screenWith(popup())), cv::Point(-1, -1));

        onlyButton.remove(QStringLiteral("accept_button.png"));
        QVERIFY(!InvitationDetector().loadTemplates(onlyButton.directory()));
    }

    // In test mode each popup search reports itself and a found popup is saved; the button is
    // searched for only when asked for.
    void testModeReportsAndSaves()
    {
        QTemporaryDir temp;
        qputenv("TMPDIR", temp.path().toUtf8());
        qputenv("OVERLAY_TEST_MODE", "1");
        LogCapture log;
        QVERIFY(m_detector.detectInvitation(screenWith(popup())));
        QVERIFY(!m_detector.detectInvitation(DetectorFixture::screen(cv::Size(1920, 1080))));
        qunsetenv("OVERLAY_TEST_MODE");

        const QStringList tests = log.texts().filter(QStringLiteral("[TEST] "));
        QCOMPARE(tests.size(), 2);
        QVERIFY2(tests[0].startsWith(QLatin1String("[TEST] InvitationDetector [DETECTED] (confidence: "))
                     && tests[0].contains(QLatin1String(" - at (959, 539) - took ")),
                 qPrintable(tests[0]));
        QVERIFY2(tests[1].startsWith(QLatin1String("[TEST] InvitationDetector [NOT DETECTED]")),
                 qPrintable(tests[1]));
        QCOMPARE(QDir(temp.path() + "/OverlayDebug").entryList({"*_invitation_detected.png"}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestInvitationDetector)
#include "tst_invitationdetector.moc"
