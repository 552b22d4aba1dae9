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

// Close enough in colour, for a pixel that is at least half opaque (the grab is converted to
// straight alpha, so a translucent item over nothing keeps its own colour).
bool isColour(QRgb pixel, const QColor &colour, int tolerance = 24)
{
    return qAlpha(pixel) >= 128 && qAbs(qRed(pixel) - colour.red()) <= tolerance
        && qAbs(qGreen(pixel) - colour.green()) <= tolerance
        && qAbs(qBlue(pixel) - colour.blue()) <= tolerance;
}

template<typename Test>
int countPixels(const QImage &image, const QRect &area, Test test)
{
    int count = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

int countColour(const QImage &image, const QRect &area, const QColor &colour)
{
    return countPixels(image, area, [&colour](QRgb pixel) { return isColour(pixel, colour); });
}

// Pixels that are not fully transparent.
int drawnPixels(const QImage &image, const QRect &area)
{
    return countPixels(image, area, [](QRgb pixel) { return qAlpha(pixel) != 0; });
}

const char *const statePanels[] = {"waitingForGamePanel",      "waitingForInvitationPanel",
                                   "acceptingInvitationPanel", "joiningSlotPanel",
                                   "waitingForPlayersPanel",   "matchReadyPanel"};

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
        return found ? found->mapRectToScene(QRectF(0, 0, found->width(), found->height())).toAlignedRect()
                     : QRect();
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

    // Each state shows its own panel and nothing else's, and says what to do in the bottom
    // panel, in the title's colour. "fa" (exactly) selects Persian. The side word ignores case,
    // the colour does not: "Radiant" is named RADIANT but drawn in the other side's red.
    void stateTexts_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("side");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QColor>("colour");
        QTest::addRow("joining, RADIANT")
            << int(JOINING_SLOT) << "RADIANT" << 2 << "en" << "joiningSlotPanel"
            << "Join RADIANT Team - Slot 2" << "Join RADIANT Team" << radiantGreen;
        QTest::addRow("joining, Radiant, Persian")
            << int(JOINING_SLOT) << "Radiant" << 2 << "fa" << "joiningSlotPanel"
            << "به تیم رادیانت بپیوندید - اسلات 2" << "به تیم رادیانت بپیوندید" << direRed;
        QTest::addRow("joining, no slot yet")
            << int(JOINING_SLOT) << "dire" << -1 << "en" << "joiningSlotPanel" << "Join DIRE Team"
            << "Join DIRE Team" << direRed;
        QTest::addRow("waiting for the game, de")
            << int(WAITING_FOR_GAME) << "dire" << 3 << "de" << "waitingForGamePanel"
            << "⏳ Waiting for Dota 2..." << "⏳ Waiting for Dota 2" << QColor(0xf3, 0x9c, 0x12);
        QTest::addRow("waiting for the invitation, fa")
            << int(WAITING_FOR_INVITATION) << "dire" << 3 << "fa" << "waitingForInvitationPanel"
            << "⏳ در انتظار دعوتنامه لابی..." << "⏳ در انتظار دعوتنامه لابی" << QColor(0xf3, 0x9c, 0x12);
        QTest::addRow("accepting, FA")
            << int(ACCEPTING_INVITATION) << "dire" << 3 << "FA" << "acceptingInvitationPanel"
            << "✓ Click ACCEPT to join the lobby" << "✓ Accept Lobby Invitation"
            << QColor(0x2e, 0xcc, 0x71);
        QTest::addRow("players, fa")
            << int(WAITING_FOR_PLAYERS) << "dire" << 3 << "fa" << "waitingForPlayersPanel"
            << "در انتظار بازیکنان (7/10)" << "در انتظار بازیکنان (7/10)" << fillPurple;
        QTest::addRow("match ready, en")
            << int(MATCH_READY) << "dire" << 3 << "en" << "matchReadyPanel" << "✓ Match Ready!"
            << "✓ Match Ready!" << QColor(0x27, 0xae, 0x60);
        // No panel of its own: only the bottom panel, with the tables' last row.
        for (const auto &[language, title] :
             {std::pair("en", "Corvanta Tournament"), std::pair("fa", "تورنومنت Corvanta")})
            QTest::addRow("unknown state, %s", language)
                << 9 << "RADIANT" << 1 << language << "" << "" << title << QColor(0x34, 0x98, 0xdb);
    }

    void stateTexts()
    {
        QFETCH(int, state);
        QFETCH(QString, side);
        QFETCH(int, slot);
        QFETCH(QString, language);
        QFETCH(QString, panel);
        QFETCH(QString, heading);
        QFETCH(QString, title);
        QFETCH(QColor, colour);
        setMatch(side, slot, language);
        m_overlay->updatePlayerCount(7);
        m_overlay->updateState(state);

        for (const char *name : statePanels)
            QVERIFY2(item(name)->isVisible() == (panel == QLatin1String(name)), name);
        if (!panel.isEmpty()) {
            // The panel's first line (its column's first child).
            const QQuickItem *shown = item(panel.toLatin1().constData());
            QCOMPARE(shown->childItems().value(0)->childItems().value(0)->property("text").toString(),
                     heading);
        }
        QCOMPARE(item("bottomTitle")->property("text").toString(), title);

        const QImage image = grab();
        const int titlePixels = countColour(image, areaOf("bottomTitle"), colour);
        QVERIFY2(titlePixels > 100, qPrintable(QString::number(titlePixels)));
        // The description is drawn too. (A short Persian line at 16 px has few pixels of the full
        // colour: its strokes are thin.)
        const int description = countColour(image, areaOf("bottomDescription"), QColor(0xec, 0xf0, 0xf1));
        QVERIFY2(description > 20, qPrintable(QString::number(description)));
        if (panel.isEmpty()) {
            // 40 % of the width, centred; 8 % of the height plus 11 tall, at the bottom edge.
            QCOMPARE(areaOf("bottomPanel"), QRect(576, 982, 768, 98));
            QCOMPARE(drawnPixels(image, image.rect()), drawnPixels(image, areaOf("bottomPanel")));
        }
    }

    // The join panel 100 px from the top, its line in the side's colour; the frame pulsing around
    // it, border 5; the slot frame at the renderer's rectangle, border 4, empty inside.
    void joiningSlotFrames()
    {
        setMatch(QStringLiteral("RADIANT"), 2, QStringLiteral("en"));
        const QRectF slotArea(1012, 282, 422, 297);
        m_overlay->guidanceRenderer()->setBoundingBox(slotArea);
        m_overlay->updateState(JOINING_SLOT);
        // The pulsing frame is sampled while it is well visible.
        QTRY_VERIFY(item("joinFrame")->opacity() > 0.6);
        const QImage image = grab();

        QCOMPARE(areaOf("joiningSlotPanel"), QRect(610, 100, 700, 120));
        QVERIFY(countColour(image, areaOf("joinLine"), radiantGreen) > 300);
        QCOMPARE(countColour(image, areaOf("joinLine"), direRed), 0);
        QVERIFY(isColour(image.pixel(607, 160), radiantGreen));
        QCOMPARE(areaOf("slotFrame"), slotArea.toRect());
        QVERIFY(isColour(image.pixel(1014, 430), radiantGreen));
        QCOMPARE(qAlpha(image.pixel(1030, 430)), 0);
    }

    // The fill is (players / 10) of the 400 px track, reached frame by frame; on the middle row,
    // left of the centred text, the fill's colour ends exactly there and the track's follows.
    void progressBar()
    {
        m_overlay->updateState(WAITING_FOR_PLAYERS);
        QQuickItem *fill = item("progressFill");
        QTRY_COMPARE(fill->width(), qreal(0));
        QList<qreal> widths;
        QObject recording;
        connect(fill, &QQuickItem::widthChanged, &recording, [&] { widths << fill->width(); });
        m_overlay->updatePlayerCount(3);
        QTRY_COMPARE(fill->width(), qreal(120));
        QVERIFY2(widths.size() >= 5, qPrintable(QString::number(widths.size())));
        QVERIFY(std::is_sorted(widths.begin(), widths.end()));
        QCOMPARE(item("progressText")->property("text").toString(), QStringLiteral("3/10 players"));

        const QRect track = areaOf("progressTrack");
        const QImage image = grab();
        const int row = track.top() + 15;
        int filled = 0;
        while (filled < 140 && isColour(image.pixel(track.left() + filled, row), fillPurple))
            ++filled;
        QCOMPARE(filled, 120);
        QVERIFY(isColour(image.pixel(track.left() + 130, row), trackGrey));
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
        // Something is drawn in between, so that an empty picture is not an unrendered one.
        m_overlay->updateState(WAITING_FOR_GAME);
        QVERIFY(drawnPixels(grab(), QRect(0, 0, 1920, 1080)) > 0);
        m_overlay->updateState(state);
        QCOMPARE(drawnPixels(grab(), QRect(0, 0, 1920, 1080)), 0);
    }

    // The hand's fingertip, 25 px right of and 10 px below the picture's corner, is where the
    // renderer points. The picture (light grey and white) is drawn around there, nowhere far.
    void pointerHand()
    {
        m_overlay->updateState(ACCEPTING_INVITATION);
        m_overlay->guidanceRenderer()->setPointer(QPointF(811, 762));
        QQuickItem *hand = item("pointerHand");
        QTRY_COMPARE(hand->opacity(), 1.0);
        QCOMPARE(areaOf("pointerHand"), QRect(786, 752, 64, 64));

        const QImage image = grab();
        const auto light = [](QRgb pixel) {
            return qAlpha(pixel) > 200 && qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
        };
        QVERIFY(countPixels(image, QRect(786, 752, 64, 64), light) > 800);
        QCOMPARE(countPixels(image, QRect(300, 600, 300, 300), light), 0);
        m_overlay->guidanceRenderer()->hidePointer();
        QVERIFY(!hand->isVisible());
    }

    // The bottom panel folds down to its tab and back when the tab is clicked. Inside the
    // overlay no click reaches it, so the view is shown on its own here, also without the
    // values the overlay window publishes.
    void bottomPanelFolds()
    {
        QQuickView window;
        window.setResizeMode(QQuickView::SizeRootObjectToView);
        window.setSource(QUrl(QStringLiteral("qrc:/qml/GuidanceView.qml")));
        QCOMPARE(window.status(), QQuickView::Ready);
        window.resize(1000, 500);
        window.rootObject()->setProperty("state", QStringLiteral("WAITING_FOR_GAME"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto find = [&window](const char *name) {
            return quickItem(window, QString::fromLatin1(name));
        };
        // Without a language the texts are English; without a renderer there is no hand.
        QCOMPARE(find("bottomTitle")->property("text").toString(),
                 QStringLiteral("⏳ Waiting for Dota 2"));
        QVERIFY(!find("pointerHand")->isVisible());

        QQuickItem *panel = find("bottomPanel");
        const qreal open = 500 * 0.08 + 11;
        QTRY_COMPARE(panel->height(), open); // animated from the view's first, empty size
        QVERIFY(clickItem(window, QStringLiteral("bottomTab")));
        QVERIFY(!find("bottomContent")->isVisible());
        QTRY_COMPARE(panel->height(), 22.0);
        QVERIFY(clickItem(window, QStringLiteral("bottomTab")));
        QVERIFY(find("bottomContent")->isVisible());
        QTRY_COMPARE(panel->height(), open);
    }
};

QTEST_MAIN(TestGuidanceView)
#include "tst_guidanceview.moc"
