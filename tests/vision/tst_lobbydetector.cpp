#include "DetectorFixture.h"
#include "LobbyDetector.h"
#include "LogCapture.h"
#include "TemplateMatcher.h"

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

    // The slots of the area (left, 189, 856, 261): a header box of width 930 whose bottom is at
    // 189, and the coach header's top at 450. The area's left is the header's x plus 37.
    static QList<cv::Rect> exampleSlots(int left = 1047)
    {
        QList<cv::Rect> rects;
        for (const int x : {left, left + 432}) {
            for (const int y : {194, 248, 302, 356, 410})
                rects.append(cv::Rect(x, y, 424, 44));
        }
        return rects;
    }

    // The header at (980, 100): 20 pixels into the right half, its slot area starts at x = 1017.
    cv::Mat lobbyScreen(cv::Point header = cv::Point(980, 100), int coachY = 450) const
    {
        cv::Mat screen = DetectorFixture::screen(cv::Size(1920, 1080));
        DetectorFixture::paste(screen, m_pictures.picture("lobby_header.png"), header);
        DetectorFixture::paste(screen, m_pictures.picture("lobby_coach_header.png"),
                               cv::Point(1030, coachY));
        return screen;
    }

    // Fills slot i of the example layout with a slot picture blended to `score`. The slot
    // (424 x 44) is lower than the pictures, so the matcher shrinks them to the slot's height;
    // draw them the same way.
    void fillSlot(cv::Mat &screen, int i, double score, const char *file = "slot_empty.png") const
    {
        const cv::Rect slot = exampleSlots(1017).at(i);
        const cv::Mat picture = m_pictures.picture(file);
        const double fit = double(slot.height) / picture.rows;
        cv::Mat fitted;
        cv::resize(picture, fitted, cv::Size(), fit, fit, cv::INTER_AREA);
        DetectorFixture::paste(screen, DetectorFixture::withScore(fitted, score), slot.tl());
    }

    void load(LobbyDetector &detector) const { detector.loadTemplates(m_pictures.directory()); }

private slots:
    void loadsFourTemplates()
    {
        LobbyDetector detector;
        LogCapture log;
        QVERIFY(detector.loadTemplates(m_pictures.directory()));
        const QString dir = m_pictures.directory();
        QCOMPARE(log.texts(),
                 QStringList({"Loaded lobby header template: " + dir + "/lobby_header.png (grayscale)",
                              "Loaded lobby coach header template: " + dir + "/lobby_coach_header.png (grayscale)",
                              "Loaded occupied slot template: " + dir + "/slot_occupied.png (grayscale)",
                              "Loaded empty slot template: " + dir + "/slot_empty.png (grayscale)"}));
    }

    void slotRegionsOfTheExample()
    {
        LobbyDetector detector;
        load(detector);
        LogCapture log;
        detector.calculateSlotRegions(cv::Rect(1047, 189, 856, 261));
        QVERIFY(detector.slotRegionsCalculated());
        QCOMPARE(detector.slotRegions(), exampleSlots());
        QCOMPARE(log.texts(), QStringList({"Calculated 10 slot regions"}));
    }

    void lobbyFoundFromItsHeaders()
    {
        LobbyDetector detector;
        load(detector);
        LogCapture log;
        QVERIFY(detector.isInLobby(lobbyScreen()));
        QCOMPARE(detector.slotRegions(), exampleSlots(1017));
        const QString line = log.texts().constFirst();
        QVERIFY2(line.startsWith(QLatin1String("Lobby detected! Both headers detected - Regular: "))
                     && line.contains(QLatin1String(" at (1445, 144), Coach: "))
                     && line.endsWith(QLatin1String(" at (1470, 480)")),
                 qPrintable(line));
    }

    void headerSearchRegions_data()
    {
        QTest::addColumn<cv::Point>("header");
        QTest::addColumn<int>("coachY");
        QTest::addColumn<bool>("found");
        QTest::addRow("both in place") << cv::Point(980, 100) << 450 << true;
        QTest::addRow("header below the top 30 percent") << cv::Point(980, 300) << 600 << false;
        QTest::addRow("coach below the top 60 percent") << cv::Point(980, 100) << 640 << false;
        QTest::addRow("header in the left half") << cv::Point(20, 100) << 450 << false;
    }

    void headerSearchRegions()
    {
        QFETCH(cv::Point, header);
        QFETCH(int, coachY);
        QFETCH(bool, found);
        LobbyDetector detector;
        load(detector);
        QCOMPARE(detector.isInLobby(lobbyScreen(header, coachY)), found);
    }

    void headerThreshold_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("score");
        QTest::addColumn<bool>("found");
        QTest::addRow("header 0.71") << "lobby_header.png" << 0.71 << true;
        QTest::addRow("header 0.69") << "lobby_header.png" << 0.69 << false;
        QTest::addRow("coach 0.71") << "lobby_coach_header.png" << 0.71 << true;
        QTest::addRow("coach 0.69") << "lobby_coach_header.png" << 0.69 << false;
    }

    void headerThreshold()
    {
        QFETCH(QString, file);
        QFETCH(double, score);
        QFETCH(bool, found);
        const bool isHeader = file == QLatin1String("lobby_header.png");
        cv::Mat screen = DetectorFixture::screen(cv::Size(1920, 1080));
        // Even coordinates keep the halved grid aligned with the picture's.
        const cv::Mat header = m_pictures.picture("lobby_header.png");
        const cv::Mat coach = m_pictures.picture("lobby_coach_header.png");
        DetectorFixture::paste(screen, isHeader ? DetectorFixture::withScore(header, score) : header,
                               cv::Point(980, 100));
        DetectorFixture::paste(screen, isHeader ? coach : DetectorFixture::withScore(coach, score),
                               cv::Point(1030, 450));
        LobbyDetector detector;
        load(detector);
        QCOMPARE(detector.isInLobby(screen), found);
    }

    void oneHeaderIsNotALobby()
    {
        LobbyDetector detector;
        load(detector);
        QVERIFY(detector.isInLobby(lobbyScreen()));
        cv::Mat onlyHeader = DetectorFixture::screen(cv::Size(1920, 1080));
        DetectorFixture::paste(onlyHeader, m_pictures.picture("lobby_header.png"), cv::Point(980, 100));
        QVERIFY(!detector.isInLobby(onlyHeader));
        QCOMPARE(detector.slotRegions(), exampleSlots(1017)); // the last regions stay
    }

    void occupiedRule()
    {
        // Empty from 0.25 against the empty picture; below that, taken only from 0.4 against the
        // taken picture. A slot like neither (here: 0.23 and 0.05 like the empty one, 0.38 like
        // the taken one, or plain noise) is covered by something and not counted.
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
        LogCapture log;
        QCOMPARE(detector.countOccupiedSlots(screen), 3);
        QCOMPARE(log.texts(), QStringList({"Counted 3 occupied slots"}));
    }

    void coachAboveTheHeaderCountsNothing()
    {
        LobbyDetector detector;
        load(detector);
        cv::Mat screen = DetectorFixture::screen(cv::Size(1920, 1080));
        DetectorFixture::paste(screen, m_pictures.picture("lobby_header.png"), cv::Point(980, 200));
        DetectorFixture::paste(screen, m_pictures.picture("lobby_coach_header.png"), cv::Point(1030, 40));
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
        LogCapture log;
        QVERIFY(withoutEmpty.isInLobby(lobbyScreen()));
        QVERIFY(!withoutEmpty.slotRegionsCalculated());
        QVERIFY(withoutEmpty.slotRegions().isEmpty());
        QVERIFY(log.texts().contains(
            QStringLiteral("Empty slot template not loaded, cannot calculate slot regions")));
        QCOMPARE(withoutEmpty.countOccupiedSlots(lobbyScreen()), 0);
        QCOMPARE(log.texts().constLast(), QStringLiteral("Empty slot template not loaded, cannot count slots"));

        for (const char *file : {"lobby_header.png", "lobby_coach_header.png", "slot_occupied.png"})
            pictures.remove(QLatin1String(file));
        LobbyDetector none;
        log.clear();
        QVERIFY(!none.loadTemplates(pictures.directory()));
        QCOMPARE(log.texts().size(), 4);
        log.clear();
        QVERIFY(!none.isInLobby(lobbyScreen()));
        QCOMPARE(log.texts(), QStringList({"No lobby header templates loaded, cannot detect lobby"}));
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
        QVERIFY2(tests[0].startsWith(QLatin1String("[TEST] LobbyDetector [DETECTED]"))
                     && tests[0].contains(QLatin1String(" - Both headers detected - Regular: ")),
                 qPrintable(tests[0]));
        QVERIFY2(tests[1].startsWith(QLatin1String("[TEST] SlotCounter [DETECTED] (confidence: 40%) - 4 occupied slots - took ")),
                 qPrintable(tests[1]));
        QVERIFY2(tests[2].startsWith(QLatin1String("[TEST] LobbyDetector [NOT DETECTED]"))
                     && tests[2].contains(QLatin1String("Regular: ")),
                 qPrintable(tests[2]));
        const QDir debug(temp.path() + "/OverlayDebug");
        QCOMPARE(debug.entryList({"*_lobby_detected.png"}).size(), 1);
        QCOMPARE(debug.entryList({"*_slots_count_4.png"}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLobbyDetector)
#include "tst_lobbydetector.moc"
