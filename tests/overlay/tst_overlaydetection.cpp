#include "ControllerHarness.h"
#include "GuidanceRenderer.h"
#include "OverlayWindow.h"

#include <QRegularExpression>
#include <QTest>
#include <QThreadPool>

#include <memory>

namespace {

// Within 2 px of `wanted` moved by `offset`.
bool near(const QRectF &box, const cv::Rect &wanted, const cv::Point &offset = cv::Point())
{
    return qAbs(box.left() - (wanted.x + offset.x)) <= 2 && qAbs(box.top() - (wanted.y + offset.y)) <= 2
        && qAbs(box.width() - wanted.width) <= 2 && qAbs(box.height() - wanted.height) <= 2;
}

} // namespace

// Captures, detection workers and guidance placement, with the real detectors on 1920 x 1080
// synthetic game screens.
class TestOverlayDetection : public QObject
{
    Q_OBJECT

private slots:
    void throttleAndOneWorkerPerDetector()
    {
        ControllerHarness h;
        h.driveTo(WAITING_FOR_INVITATION);
        h.showGame(h.screens().renderInvitation());
        h.advance(500);
        h.tick();
        QCOMPARE(h.desktop().grabs, 1);
        h.advance(400);
        h.tick();
        QCOMPARE(h.desktop().grabs, 1); // 400 ms after the last detection: not due
        h.advance(100);
        h.tick();
        QCOMPARE(h.desktop().grabs, 2); // due, but the first worker has not reported yet
        h.settle();
        QCOMPARE(h.log().texts().filter(QRegularExpression("^Invitation popup detected! Confidence")).size(),
                 1);
        QCOMPARE(h.controller().state(), ACCEPTING_INVITATION);
    }

    void pointerFollowsTheAcceptButtonOnEveryTick()
    {
        ControllerHarness h;
        h.driveTo(ACCEPTING_INVITATION);
        GuidanceRenderer *guidance = h.controller().overlayWindow()->guidanceRenderer();
        const cv::Point accept = h.screens().acceptCentre();
        for (int i = 0; i < 3; ++i) {
            guidance->hidePointer();
            h.tick(); // not due: the pointer is placed before the throttle
            QVERIFY(guidance->showPointer());
            QVERIFY((guidance->pointerPosition() - QPointF(accept.x, accept.y)).manhattanLength()
                    <= 2);
        }
        QCOMPARE(h.desktop().grabs, 1);
    }

    // A windowed game: the hand and the frame go up with the detection's answer (not a tick
    // later), offset by where the game's client area lies on the screen, and follow the window
    // when it moves.
    void guidanceComesWithTheAnswerInAWindowedGame()
    {
        ControllerHarness h;
        h.desktop().origin = cv::Point(160, 90);
        SyntheticScreen windowed(cv::Size(1600, 900));
        windowed.setScale(900 / 1080.0);
        h.driveTo(WAITING_FOR_INVITATION);
        GuidanceRenderer *guidance = h.controller().overlayWindow()->guidanceRenderer();
        h.detect(windowed.renderInvitation());
        QCOMPARE(h.controller().state(), ACCEPTING_INVITATION);
        QVERIFY(guidance->showPointer());
        const cv::Point accept = windowed.acceptCentre() + h.desktop().origin;
        QVERIFY((guidance->pointerPosition() - QPointF(accept.x, accept.y)).manhattanLength() <= 2);

        h.desktop().origin = cv::Point(40, 30);
        h.detect(windowed.renderLobby(SyntheticScreen::SlotMask{}));
        QCOMPARE(h.controller().state(), JOINING_SLOT);
        QVERIFY(!guidance->showPointer());
        QVERIFY(guidance->showBoundingBox());
        QVERIFY(near(guidance->boundingBox(), windowed.slotRects()[1] | windowed.slotRects()[4],
                     h.desktop().origin));
    }

    void boxFramesTheSlotsToTake_data()
    {
        QTest::addColumn<bool>("captain");
        QTest::addColumn<QString>("side");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addRow("Radiant captain") << true << "Radiant" << 0 << 0;
        QTest::addRow("Radiant player") << false << "RADIANT" << 1 << 4;
        QTest::addRow("Dire captain") << true << "Dire" << 5 << 5;
        QTest::addRow("Dire player") << false << "dire" << 6 << 9;
    }

    void boxFramesTheSlotsToTake()
    {
        QFETCH(bool, captain);
        QFETCH(QString, side);
        QFETCH(int, first);
        QFETCH(int, last);

        ControllerHarness h;
        h.showGame(h.lobby(2));
        h.controller().handleMatchStart(h.record(true, -1, captain, side));
        h.settle();
        h.tick();
        GuidanceRenderer *guidance = h.controller().overlayWindow()->guidanceRenderer();
        QVERIFY(guidance->showBoundingBox());
        const SyntheticScreen::SlotRects rects = h.screens().slotRects();
        QVERIFY(near(guidance->boundingBox(), rects[std::size_t(first)] | rects[std::size_t(last)]));

        // The server puts the player into his side's first slot: right for a captain only.
        h.upcoming(h.liveMatch("m-1", 1, side));
        h.tick();
        h.settle();
        QCOMPARE(h.controller().state(), captain ? WAITING_FOR_PLAYERS : JOINING_SLOT);
        QCOMPARE(guidance->showBoundingBox(), !captain);
    }

    void boxClearedOnceTheLobbyIsGone()
    {
        ControllerHarness h;
        h.driveTo(JOINING_SLOT);
        h.tick();
        GuidanceRenderer *guidance = h.controller().overlayWindow()->guidanceRenderer();
        QVERIFY(guidance->showBoundingBox());
        h.showGame(h.screens().renderBackground());
        h.settle();
        h.tick(); // judged on the last result, the lobby; this frame's result is pending
        QVERIFY(guidance->showBoundingBox());
        h.settle();
        h.tick();
        QVERIFY(!guidance->showBoundingBox());
        QCOMPARE(h.controller().state(), JOINING_SLOT);
    }

    void countsPlayersUntilAllTenAreIn()
    {
        ControllerHarness h;
        h.driveTo(WAITING_FOR_PLAYERS);
        for (const int taken : {7, 7, 9, 10})
            h.detect(h.lobby(taken));
        // Published on each change only.
        QCOMPARE(h.log().texts().filter(QRegularExpression("^Player count updated: ")),
                 QStringList({"Player count updated: 7/10", "Player count updated: 9/10",
                              "Player count updated: 10/10"}));
        QCOMPARE(h.controller().state(), MATCH_READY);
    }

    void destructionWaitsForWorkersInFlight()
    {
        auto h = std::make_unique<ControllerHarness>();
        h->driveTo(ACCEPTING_INVITATION);
        h->showGame(h->lobby(0));
        h->advance(1000);
        h->tick(); // both detections start on this frame
        h.reset();
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    }
};

QTEST_MAIN(TestOverlayDetection)
#include "tst_overlaydetection.moc"
