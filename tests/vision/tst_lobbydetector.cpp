#include "DetectorFixture.h"
#include "LobbyDetector.h"
#include "LogCapture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgproc.hpp>

Q_DECLARE_METATYPE(cv::Point)

class TestLobbyDetector : public QObject
{
    Q_OBJECT

private:
    DetectorFixture m_pictures;

    // The slots below a header box of width 930 at x = 980 whose bottom is at 189, down to the
    // coach header's top at 450: the area (1017, 189, 856, 261).
    static QList<cv::Rect> exampleSlots()
    {
        QList<cv::Rect> rects;
        for (const int x : {1017, 1017 + 432}) {
            for (const int y : {194, 248, 302, 356, 410})
                rects.append(cv::Rect(x, y, 424, 44));
        }
        return rects;
    }

    // Either header blended to its score; a score of 0 leaves it out.
    cv::Mat lobbyScreen(cv::Point header = cv::Point(980, 100), int coachY = 450,
                        double headerScore = 1, double coachScore = 1) const
    {
        cv::Mat screen = DetectorFixture::screen(cv::Size(1920, 1080));
        const auto paste = [&](const char *file, double score, cv::Point at) {
            const cv::Mat picture = m_pictures.picture(file);
            if (score > 0)
                DetectorFixture::paste(screen, score < 1 ? DetectorFixture::withScore(picture, score)
                                                         : picture, at);
        };
        paste("lobby_header.png", headerScore, header);
        paste("lobby_coach_header.png", coachScore, cv::Point(1030, coachY));
        return screen;
    }

    // Slot i of the example layout filled with a picture blended to `score`, shrunk to the slot's
    // height (44) as the matcher shrinks it.
    void fillSlot(cv::Mat &screen, int i, double score, const char *file = "slot_empty.png") const
    {
        const cv::Rect slot = exampleSlots().at(i);
        const cv::Mat picture = m_pictures.picture(file);
        const double fit = double(slot.height) / picture.rows;
        cv::Mat fitted;
        cv::resize(picture, fitted, cv::Size(), fit, fit, cv::INTER_AREA);
        DetectorFixture::paste(screen, DetectorFixture::withScore(fitted, score), slot.tl());
    }

    void load(LobbyDetector &detector) const { QVERIFY(detector.loadTemplates(m_pictures.directory())); }

private slots:
    // Both headers, each in its part of the screen and like its picture from 0.7, give the slots
    // below the header; a screen that is no lobby leaves the set-up's slot regions as they were.
    void headers_data()
    {
        QTest::addColumn<cv::Point>("header");
        QTest::addColumn<int>("coachY");
        QTest::addColumn<double>("headerScore");
        QTest::addColumn<double>("coachScore");
        QTest::addColumn<bool>("found");
        const cv::Point inPlace(980, 100);
        QTest::addRow("header too low") << cv::Point(980, 300) << 450 << 1.0 << 1.0 << false;
        QTest::addRow("coach too low") << inPlace << 640 << 1.0 << 1.0 << false;
        QTest::addRow("header in the left half") << cv::Point(20, 100) << 450 << 1.0 << 1.0 << false;
        QTest::addRow("no coach header") << inPlace << 450 << 1.0 << 0.0 << false;
        // Even coordinates keep the halved grid aligned with the picture's.
        QTest::addRow("header 0.71") << inPlace << 450 << 0.71 << 1.0 << true;
        QTest::addRow("header 0.69") << inPlace << 450 << 0.69 << 1.0 << false;
        QTest::addRow("coach 0.71") << inPlace << 450 << 1.0 << 0.71 << true;
        QTest::addRow("coach 0.69") << inPlace << 450 << 1.0 << 0.69 << false;
    }

    void headers()
    {
        QFETCH(cv::Point, header);
        QFETCH(int, coachY);
        QFETCH(double, headerScore);
        QFETCH(double, coachScore);
        QFETCH(bool, found);
        LobbyDetector detector;
        load(detector);
        QVERIFY(detector.isInLobby(lobbyScreen()));
        QCOMPARE(detector.isInLobby(lobbyScreen(header, coachY, headerScore, coachScore)), found);
        QCOMPARE(detector.slotRegions(), exampleSlots());
    }

    void occupiedRule()
    {
        // Empty from 0.25 like the empty picture, else taken from 0.4 like the taken one; a slot
        // like neither (0.23 or 0.05 empty-like, 0.38 taken-like, or noise) is covered, not counted.
        cv::Mat screen = lobbyScreen();
        const QList<double> empty = {0.9, 0.25, 0.23, 0.05};
        for (int i = 0; i < empty.size(); ++i)
            fillSlot(screen, i, empty[i]);
        const QList<double> taken = {0.9, 0.45, 0.42, 0.38};
        for (int i = 0; i < taken.size(); ++i)
            fillSlot(screen, 4 + i, taken[i], "slot_occupied.png");
        LobbyDetector detector;
        load(detector);
        QVERIFY(detector.isInLobby(screen));
        QCOMPARE(detector.countOccupiedSlots(screen), 3);
    }

    void coachAboveTheHeaderCountsNothing()
    {
        const cv::Mat screen = lobbyScreen(cv::Point(980, 200), 40);
        LobbyDetector detector;
        load(detector);
        QVERIFY(detector.isInLobby(screen));
        QCOMPARE(detector.slotRegions().size(), 10);
        QVERIFY(detector.slotRegions().constFirst().height <= 0);
        QCOMPARE(detector.countOccupiedSlots(screen), 0);
    }

    void countingBeforeAnyLobby()
    {
        LobbyDetector detector;
        load(detector);
        LogCapture log;
        QCOMPARE(detector.countOccupiedSlots(lobbyScreen()), 0);
        QCOMPARE(log.texts(), QStringList({"Slot regions not calculated, call isInLobby first"}));
    }

    void missingTemplates()
    {
        DetectorFixture pictures;
        pictures.remove("slot_empty.png");
        LobbyDetector withoutEmpty;
        withoutEmpty.loadTemplates(pictures.directory());
        QVERIFY(withoutEmpty.isInLobby(lobbyScreen()));
        QVERIFY(withoutEmpty.slotRegions().isEmpty());
        QCOMPARE(withoutEmpty.countOccupiedSlots(lobbyScreen()), 0);

        for (const char *file : {"lobby_header.png", "lobby_coach_header.png", "slot_occupied.png"})
            pictures.remove(QLatin1String(file));
        LobbyDetector none;
        QVERIFY(!none.loadTemplates(pictures.directory()));
        QVERIFY(!none.isInLobby(lobbyScreen()));
    }

    void openCvErrorsBecomeNeutralResults()
    {
        LobbyDetector detector;
        load(detector);
        QVERIFY(detector.isInLobby(lobbyScreen()));
        const cv::Mat twoChannels(1080, 1920, CV_8UC2, cv::Scalar(1, 2));
        LogCapture log;
        QVERIFY(!detector.isInLobby(twoChannels));
        QCOMPARE(detector.countOccupiedSlots(twoChannels), 0);
        QCOMPARE(log.texts().size(), 2);
        QVERIFY(log.texts()[0].startsWith(QLatin1String("Error detecting lobby: ")));
        QVERIFY(log.texts()[1].startsWith(QLatin1String("Error counting slots: ")));
    }

    void testModeReportsAndSaves()
    {
        QTemporaryDir temp;
        qputenv("TMPDIR", temp.path().toUtf8());
        qputenv("OVERLAY_TEST_MODE", "true");
        cv::Mat screen = lobbyScreen();
        for (int i = 0; i < 10; ++i)
            fillSlot(screen, i, 0.9, i < 4 ? "slot_occupied.png" : "slot_empty.png");
        LobbyDetector detector;
        load(detector);
        LogCapture log;
        QVERIFY(detector.isInLobby(screen));
        QCOMPARE(detector.countOccupiedSlots(screen), 4);
        QVERIFY(!detector.isInLobby(DetectorFixture::screen(cv::Size(1920, 1080))));
        qunsetenv("OVERLAY_TEST_MODE");

        const QStringList tests = log.texts().filter(QStringLiteral("[TEST] "));
        QCOMPARE(tests.size(), 3);
        QVERIFY2(tests[0].startsWith(QLatin1String("[TEST] LobbyDetector [DETECTED]")), qPrintable(tests[0]));
        QVERIFY2(tests[1].startsWith(QLatin1String("[TEST] SlotCounter [DETECTED] (confidence: 40%) - 4 occupied slots")),
                 qPrintable(tests[1]));
        QVERIFY2(tests[2].startsWith(QLatin1String("[TEST] LobbyDetector [NOT DETECTED]")), qPrintable(tests[2]));
        const QDir debug(temp.path() + "/OverlayDebug");
        QCOMPARE(debug.entryList({"*_lobby_detected.png"}).size(), 1);
        QCOMPARE(debug.entryList({"*_slots_count_4.png"}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLobbyDetector)
#include "tst_lobbydetector.moc"
