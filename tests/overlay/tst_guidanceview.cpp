// What the overlay draws, checked on its own rendering (the window grabbed, not the screen: the
// desktop has no compositor, so on screen its transparent pixels would show black).

#include "GuidanceRenderer.h"
#include "MatchData.h"
#include "OverlayState.h"
#include "OverlayWindow.h"
#include "QuickItems.h"

#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QColor radiantGreen(0x6d, 0xd4, 0x00);
const QColor direRed(0xd7, 0x37, 0x37);
const QColor fillPurple(0x9b, 0x59, 0xb6);
const QColor trackGrey(0x34, 0x49, 0x5e);
const QColor titleBlue(0x34, 0x98, 0xdb);

// Close enough in colour, for a pixel that is at least half opaque (the grab is converted to
// straight alpha, so a translucent item over nothing keeps its own colour).
bool isColour(QRgb pixel, const QColor &colour, int tolerance = 24)
{
    return qAlpha(pixel) >= 128 && qAbs(qRed(pixel) - colour.red()) <= tolerance
        && qAbs(qGreen(pixel) - colour.green()) <= tolerance
        && qAbs(qBlue(pixel) - colour.blue()) <= tolerance;
}

int countColour(const QImage &image, const QRect &area, const QColor &colour)
{
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (isColour(image.pixel(x, y), colour))
                ++count;
        }
    }
    return count;
}

// The smallest rectangle holding every pixel that is not fully transparent.
QRect drawnArea(const QImage &image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

} // namespace

// Runs on the virtual desktop that scripts/test provides (1920 x 1080).
class TestGuidanceView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<OverlayWindow> m_overlay;

    QQuickItem *item(const char *objectName) const
    {
        return quickItem(*m_overlay, QString::fromLatin1(objectName));
    }

    // Where an item is drawn, in window pixels.
    QRect areaOf(const char *objectName) const
    {
        const QQuickItem *found = item(objectName);
        if (!found)
            return QRect();
        return found->mapRectToScene(QRectF(0, 0, found->width(), found->height())).toAlignedRect();
    }

    QImage grab() const
    {
        return m_overlay->grabWindow().convertToFormat(QImage::Format_ARGB32);
    }

    void setMatch(const QString &side, int slot, const QString &language)
    {
        MatchData match;
        match.playerSide = side;
        match.slotNumber = slot;
        match.language = language;
        m_overlay->updateMatchData(&match);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs the X server of scripts/test");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void init()
    {
        m_overlay = std::make_unique<OverlayWindow>(nullptr);
        m_overlay->showOverlay();
        QVERIFY(QTest::qWaitForWindowExposed(m_overlay.get()));
        QTRY_COMPARE(m_overlay->geometry(), QRect(0, 0, 1920, 1080));
    }

    void cleanup()
    {
        m_overlay.reset();
    }

    // The side word ignores case, the colour does not: "Radiant" is named RADIANT but drawn in
    // the other side's red.
    void joiningSlotLine_data()
    {
        QTest::addColumn<QString>("side");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("otherColour");
        QTest::addColumn<int>("slot");
        QTest::addRow("RADIANT") << "RADIANT" << "en" << "Join RADIANT Team - Slot 2"
                                 << "Join RADIANT Team" << radiantGreen << direRed << 2;
        QTest::addRow("Radiant") << "Radiant" << "en" << "Join RADIANT Team - Slot 2"
                                 << "Join RADIANT Team" << direRed << radiantGreen << 2;
        QTest::addRow("dire") << "dire" << "en" << "Join DIRE Team - Slot 2" << "Join DIRE Team"
                              << direRed << radiantGreen << 2;
        QTest::addRow("RADIANT, Persian")
            << "RADIANT" << "fa" << "به تیم رادیانت بپیوندید - اسلات 2" << "به تیم رادیانت بپیوندید"
            << radiantGreen << direRed << 2;
        QTest::addRow("Radiant, Persian")
            << "Radiant" << "fa" << "به تیم رادیانت بپیوندید - اسلات 2" << "به تیم رادیانت بپیوندید"
            << direRed << radiantGreen << 2;
        QTest::addRow("dire, Persian") << "dire" << "fa" << "به تیم دایر بپیوندید - اسلات 2"
                                       << "به تیم دایر بپیوندید" << direRed << radiantGreen << 2;
        // No slot known yet (-1): the line names the side only.
        QTest::addRow("dire, no slot yet") << "dire" << "en" << "Join DIRE Team" << "Join DIRE Team"
                                           << direRed << radiantGreen << -1;
        QTest::addRow("dire, Persian, no slot yet")
            << "dire" << "fa" << "به تیم دایر بپیوندید" << "به تیم دایر بپیوندید" << direRed
            << radiantGreen << -1;
    }

    void joiningSlotLine()
    {
        QFETCH(QString, side);
        QFETCH(QString, language);
        QFETCH(QString, line);
        QFETCH(QString, title);
        QFETCH(QColor, colour);
        QFETCH(QColor, otherColour);
        QFETCH(int, slot);
        setMatch(side, slot, language);
        const QRectF slotArea(1012, 282, 422, 297);
        m_overlay->guidanceRenderer()->setBoundingBox(slotArea);
        m_overlay->updateState(JOINING_SLOT);

        QQuickItem *joinLine = item("joinLine");
        QVERIFY(joinLine && joinLine->isVisible());
        QCOMPARE(joinLine->property("text").toString(), line);
        QCOMPARE(item("bottomTitle")->property("text").toString(), title);

        // The pulsing frame around the panel is sampled while it is well visible.
        QQuickItem *joinFrame = item("joinFrame");
        QTRY_VERIFY(joinFrame->opacity() > 0.6);
        const QImage image = grab();

        // The panel: 700 x 120, 100 px from the top, centred; the line is in it, in the side's
        // colour and never in the other one.
        QCOMPARE(areaOf("joiningSlotPanel"), QRect(610, 100, 700, 120));
        const QRect lineArea = areaOf("joinLine");
        QVERIFY(QRect(610, 100, 700, 120).contains(lineArea));
        QVERIFY2(countColour(image, lineArea, colour) > 300,
                 qPrintable(QString::number(countColour(image, lineArea, colour))));
        QCOMPARE(countColour(image, lineArea, otherColour), 0);
        // The frame around the panel, 710 x 130 from 95 px, border 5: its left edge.
        QCOMPARE(areaOf("joinFrame"), QRect(605, 95, 710, 130));
        QVERIFY(isColour(image.pixel(607, 160), colour));
        // The bottom title, in the same colour.
        const QRect titleArea = areaOf("bottomTitle");
        QVERIFY(countColour(image, titleArea, colour) > 100);
        QCOMPARE(countColour(image, titleArea, otherColour), 0);
        // The slot frame at the renderer's rectangle, border 4, in the side's colour.
        QCOMPARE(areaOf("slotFrame"), slotArea.toRect());
        QVERIFY(isColour(image.pixel(1014, 430), colour));
        QCOMPARE(qAlpha(image.pixel(1030, 430)), 0); // transparent inside
    }

    // The fill is (players / 10) of the 400 px track; on the middle row, left of the centred
    // text, the fill's colour ends exactly there.
    void progressBarFill_data()
    {
        QTest::addColumn<int>("players");
        QTest::addColumn<int>("fill");
        QTest::addRow("0") << 0 << 0;
        QTest::addRow("1") << 1 << 40;
        QTest::addRow("3") << 3 << 120;
    }

    void progressBarFill()
    {
        QFETCH(int, players);
        QFETCH(int, fill);
        m_overlay->updateState(WAITING_FOR_PLAYERS);
        m_overlay->updatePlayerCount(players);
        QTRY_COMPARE(item("progressFill")->width(), qreal(fill));
        QCOMPARE(item("progressText")->property("text").toString(),
                 QStringLiteral("%1/10 players").arg(players));

        const QRect track = areaOf("progressTrack");
        QCOMPARE(track.size(), QSize(400, 30));
        QCOMPARE(track.center().x(), 960 - 1); // centred (QRect's centre rounds down)
        const QImage image = grab();
        const int row = track.top() + 15;
        int filled = 0;
        while (filled < 140 && isColour(image.pixel(track.left() + filled, row), fillPurple))
            ++filled;
        QCOMPARE(filled, fill);
        // The track shows from there up to the text.
        for (int x = track.left() + fill + 1; x < track.left() + 140; ++x)
            QVERIFY2(isColour(image.pixel(x, row), trackGrey), qPrintable(QString::number(x)));
    }

    void progressBarAnimates()
    {
        m_overlay->updateState(WAITING_FOR_PLAYERS);
        QQuickItem *fill = item("progressFill");
        QTRY_COMPARE(fill->width(), qreal(0));
        QList<qreal> widths;
        connect(fill, &QQuickItem::widthChanged, this, [&] { widths << fill->width(); });
        m_overlay->updatePlayerCount(5);
        QTRY_COMPARE_WITH_TIMEOUT(fill->width(), qreal(200), 2000);
        // Through many widths in between, frame by frame, not at once. (How long it takes on
        // the clock says little here: the threaded render loop advances animations by a
        // nominal 16.7 ms per frame, and the virtual display shows frames faster than that.)
        QVERIFY2(widths.size() >= 10, qPrintable(QString::number(widths.size())));
        // The first step is a fraction of the way (how large depends on the frames a loaded
        // machine drops).
        QVERIFY(widths.first() > 0 && widths.first() < 100);
        QVERIFY(std::is_sorted(widths.begin(), widths.end()));
    }

    // Before a match and once the game runs the overlay draws nothing at all, not even the
    // hand or the slot frame the renderer is asked to show.
    void nothingDrawn_data()
    {
        QTest::addColumn<int>("state");
        QTest::addRow("IDLE") << int(IDLE);
        QTest::addRow("IN_GAME") << int(IN_GAME);
    }

    void nothingDrawn()
    {
        QFETCH(int, state);
        m_overlay->guidanceRenderer()->setPointer(QPointF(400, 300));
        m_overlay->guidanceRenderer()->setBoundingBox(QRectF(100, 100, 300, 200));
        m_overlay->updatePlayerCount(4);
        // Something is drawn in between, so that an empty picture is not an unrendered one.
        m_overlay->updateState(WAITING_FOR_GAME);
        QVERIFY(!drawnArea(grab()).isEmpty());
        m_overlay->updateState(state);
        QCOMPARE(drawnArea(grab()), QRect());
    }

    // An unknown state has no panel of its own; only the bottom panel, with the last row of
    // the tables, across the bottom of the screen.
    void unknownState_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addRow("English") << "en" << "Kestrava Tournament" << "Follow the on-screen instructions";
        QTest::addRow("Persian") << "fa" << "تورنومنت Kestrava" << "دستورالعملهای روی صفحه را دنبال کنید";
    }

    void unknownState()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        QFETCH(QString, description);
        setMatch(QStringLiteral("RADIANT"), 1, language);
        m_overlay->updateState(9);
        QCOMPARE(item("bottomTitle")->property("text").toString(), title);
        QCOMPARE(item("bottomDescription")->property("text").toString(), description);
        for (const char *panel : {"waitingForGamePanel", "waitingForInvitationPanel",
                                  "acceptingInvitationPanel", "joiningSlotPanel", "joinFrame",
                                  "waitingForPlayersPanel", "matchReadyPanel"})
            QVERIFY2(!item(panel)->isVisible(), panel);

        // 40 % of the width, centred; 8 % of the height plus 11 tall, at the bottom edge.
        const QRect bottom = areaOf("bottomPanel");
        QCOMPARE(bottom, QRect(576, 982, 768, 98));
        const QImage image = grab();
        const QRect drawn = drawnArea(image);
        QVERIFY(!drawn.isEmpty());
        QVERIFY2(bottom.contains(drawn), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(drawn.x())
                                                     .arg(drawn.y()).arg(drawn.width()).arg(drawn.height())));
        QVERIFY(countColour(image, areaOf("bottomTitle"), titleBlue) > 100);
    }

    // "fa" selects Persian; anything else, also nothing, English.
    void languages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addRow("fa, waiting for the game")
            << "fa" << int(WAITING_FOR_GAME) << "⏳ در انتظار دوتا 2"
            << "لطفاً دوتا 2 را اجرا کنید تا ادامه دهید";
        QTest::addRow("de, waiting for the game")
            << "de" << int(WAITING_FOR_GAME) << "⏳ Waiting for Dota 2"
            << "Please launch Dota 2 to continue";
        QTest::addRow("empty, waiting for the game")
            << "" << int(WAITING_FOR_GAME) << "⏳ Waiting for Dota 2"
            << "Please launch Dota 2 to continue";
        QTest::addRow("FA, accepting") << "FA" << int(ACCEPTING_INVITATION)
                                       << "✓ Accept Lobby Invitation"
                                       << "Click the ACCEPT button to join the tournament lobby";
        QTest::addRow("fa, accepting") << "fa" << int(ACCEPTING_INVITATION)
                                       << "✓ دعوتنامه لابی را بپذیرید"
                                       << "روی دکمه قبول کلیک کنید تا به لابی تورنومنت بپیوندید";
        QTest::addRow("fa, players") << "fa" << int(WAITING_FOR_PLAYERS)
                                     << "در انتظار بازیکنان (7/10)"
                                     << "منتظر بمانید تا همه بازیکنان قبل از شروع بازی به لابی بپیوندند";
        QTest::addRow("en, match ready") << "en" << int(MATCH_READY) << "✓ Match Ready!"
                                         << "All players ready - match starting soon!";
        QTest::addRow("fa, match ready") << "fa" << int(MATCH_READY) << "✓ بازی آماده است!"
                                         << "همه بازیکنان آماده هستند - بازی به زودی شروع میشود!";
    }

    void languages()
    {
        QFETCH(QString, language);
        QFETCH(int, state);
        QFETCH(QString, title);
        QFETCH(QString, description);
        setMatch(QStringLiteral("dire"), 3, language);
        m_overlay->updatePlayerCount(7);
        m_overlay->updateState(state);
        QCOMPARE(item("bottomTitle")->property("text").toString(), title);
        QCOMPARE(item("bottomDescription")->property("text").toString(), description);
        // The description is drawn, not only set. (A short Persian line at 16 px has few pixels
        // of the full colour: its strokes are thin.)
        const int drawn = countColour(grab(), areaOf("bottomDescription"), QColor(0xec, 0xf0, 0xf1));
        QVERIFY2(drawn > 20, qPrintable(QString::number(drawn)));
    }

    // The hand's fingertip, 25 px right of and 10 px below the picture's corner, is where the
    // renderer points; hiding it hides the picture.
    void pointerHand()
    {
        m_overlay->updateState(ACCEPTING_INVITATION);
        m_overlay->guidanceRenderer()->setPointer(QPointF(811, 762));
        QQuickItem *hand = item("pointerHand");
        QVERIFY(hand->isVisible());
        QTRY_COMPARE(hand->opacity(), 1.0);
        QCOMPARE(areaOf("pointerHand"), QRect(786, 752, 64, 64));

        // The hand is light grey and white, drawn around its own box (it sways and swells a
        // little), and nowhere far from it.
        const QImage image = grab();
        const auto lightPixels = [&image](const QRect &area) {
            int count = 0;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    if (qAlpha(pixel) > 200 && qRed(pixel) > 200 && qGreen(pixel) > 200
                        && qBlue(pixel) > 200)
                        ++count;
                }
            }
            return count;
        };
        QVERIFY(lightPixels(QRect(786, 752, 64, 64)) > 800);
        QCOMPARE(lightPixels(QRect(300, 600, 300, 300)), 0);

        m_overlay->guidanceRenderer()->setPointer(QPointF(200, 650));
        QCOMPARE(areaOf("pointerHand"), QRect(175, 640, 64, 64));
        m_overlay->guidanceRenderer()->hidePointer();
        QVERIFY(!hand->isVisible());
        QCOMPARE(lightPixels(QRect(175, 640, 64, 64)), 0);
    }

    // The bottom panel folds down to its tab and back when the tab is clicked. Inside the
    // overlay no click reaches it, so the view is shown on its own here, also without the
    // values the overlay window publishes.
    void bottomPanelCollapses()
    {
        QQuickView window;
        window.setResizeMode(QQuickView::SizeRootObjectToView);
        window.setSource(QUrl(QStringLiteral("qrc:/qml/GuidanceView.qml")));
        QCOMPARE(window.status(), QQuickView::Ready);
        window.resize(1000, 500);
        QQuickItem *view = window.rootObject();
        view->setProperty("state", QStringLiteral("WAITING_FOR_GAME"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Without a language the texts are English; without a renderer no hand and no frame.
        QCOMPARE(view->property("lang").toString(), QStringLiteral("en"));
        const auto find = [view](const char *name) {
            return view->findChild<QQuickItem *>(QString::fromLatin1(name));
        };
        QCOMPARE(find("bottomTitle")->property("text").toString(),
                 QStringLiteral("⏳ Waiting for Dota 2"));
        QVERIFY(!find("pointerHand")->isVisible());
        QVERIFY(!find("slotFrame")->isVisible());

        QQuickItem *panel = find("bottomPanel");
        QQuickItem *tab = find("bottomTab");
        QCOMPARE(panel->width(), 400.0);
        // (Its height animates from the view's first, empty size.)
        QTRY_COMPARE(panel->height(), 500 * 0.08 + 11);
        QCOMPARE(tab->size(), QSizeF(48, 22));
        QCOMPARE(find("bottomTabArrow")->property("text").toString(), QStringLiteral("\u25BC"));
        QVERIFY(find("bottomContent")->isVisible());

        const QPoint tabCentre =
            tab->mapToScene(QPointF(tab->width() / 2, tab->height() / 2)).toPoint();
        QTest::mouseClick(&window, Qt::LeftButton, {}, tabCentre);
        QVERIFY(view->property("bottomPanelCollapsed").toBool());
        QVERIFY(!find("bottomContent")->isVisible());
        QCOMPARE(find("bottomTabArrow")->property("text").toString(), QStringLiteral("\u25B2"));
        // Folding takes 200 ms, down to the tab's height.
        QVERIFY(panel->height() > 22);
        QTRY_COMPARE(panel->height(), 22.0);

        const QPoint foldedTab =
            tab->mapToScene(QPointF(tab->width() / 2, tab->height() / 2)).toPoint();
        QTest::mouseClick(&window, Qt::LeftButton, {}, foldedTab);
        QVERIFY(!view->property("bottomPanelCollapsed").toBool());
        QTRY_COMPARE(panel->height(), 500 * 0.08 + 11);
        QVERIFY(find("bottomContent")->isVisible());
    }
};

QTEST_MAIN(TestGuidanceView)
#include "tst_guidanceview.moc"
