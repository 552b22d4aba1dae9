#include "DesktopActions.h"
#include "FakeGame.h"
#include "MatchData.h"
#include "OverlayState.h"
#include "OverlayWindow.h"
#include "PlatformBridge.h"
#include "QuickItems.h"

#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>
#include <QScreen>
#include <QTest>

// Runs on the virtual desktop that scripts/test provides (1920 x 1080, a window manager, no
// compositor).
class TestOverlayWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "this test needs the X server of scripts/test");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    // A transparent, frameless, always-on-top window that takes no input and, on X11, is not
    // managed (a window manager's frame would catch the clicks); built hidden, shown over the
    // whole screen where the window manager really put it.
    void shownOverTheWholeScreen()
    {
        OverlayWindow overlay(nullptr);
        QVERIFY(overlay.flags().testFlags(Qt::Tool | Qt::FramelessWindowHint
                                          | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput
                                          | Qt::X11BypassWindowManagerHint));
        QCOMPARE(overlay.status(), QQuickView::Ready);
        QVERIFY(!overlay.isVisible());
        QVERIFY(!overlay.rootObject()->isEnabled());
        overlay.showOverlay();
        QVERIFY(QTest::qWaitForWindowExposed(&overlay));
        QTRY_COMPARE(overlay.geometry(), QRect(0, 0, 1920, 1080));
        QCOMPARE(quickItem(overlay, "guidanceView")->size(), QSizeF(1920, 1080));
        overlay.hideOverlay();
        QVERIFY(!overlay.isVisible());
    }

    // The state reaches the scene by name, the record's side and slot as they are (the texts drawn
    // from them: tst_guidanceview); changing the record later, or a null one, changes nothing.
    void publishesToTheScene()
    {
        OverlayWindow overlay(nullptr);
        QQuickItem *view = quickItem(overlay, "guidanceView");
        overlay.updateState(WAITING_FOR_PLAYERS);
        QCOMPARE(view->property("state").toString(), QStringLiteral("WAITING_FOR_PLAYERS"));
        MatchData match;
        match.playerSide = QStringLiteral("Radiant");
        match.slotNumber = 4;
        overlay.updateMatchData(&match);
        match.playerSide = QStringLiteral("changed");
        overlay.updateMatchData(nullptr);
        QCOMPARE(view->property("side").toString(), QStringLiteral("Radiant"));
        QCOMPARE(view->property("slot").toInt(), 4);
    }

    // Without a bridge, or with one that finds no game window: the primary screen.
    void primaryScreenWithoutGame()
    {
        const QRect primary = QGuiApplication::primaryScreen()->geometry();
        OverlayWindow alone(nullptr);
        alone.setGeometry(100, 100, 300, 200);
        alone.positionOnGameScreen();
        QCOMPARE(alone.geometry(), primary);
        PlatformBridge bridge;
        OverlayWindow bridged(&bridge);
        QCOMPARE(bridged.geometry(), primary);
    }

    // With two monitors, the overlay covers the one that shows the game (not the primary one),
    // and follows the game when it moves to the other one.
    void followsTheGameAcrossScreens()
    {
        TwoMonitors monitors;
        QVERIFY(monitors.isSet());
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 10000);
        const QRect left(0, 0, 960, 1080);
        const QRect right(960, 0, 960, 1080);
        QVERIFY(QGuiApplication::primaryScreen()->geometry() != right);

        FakeGame game;
        QVERIFY(game.start({"--geometry", "400x300+1200+200"}));
        PlatformBridge bridge;
        {
            OverlayWindow overlay(&bridge);
            QCOMPARE(overlay.geometry(), right);
            overlay.showOverlay();
            QVERIFY(QTest::qWaitForWindowExposed(&overlay));
            QTRY_COMPARE(overlay.geometry(), right);
            QCOMPARE(overlay.screen()->name(), QStringLiteral("corvanta-right"));

            QCOMPARE(game.command(QStringLiteral("geometry 400x300+100+200")), QStringLiteral("ok"));
            // The window manager moves the game in its own time; a later positioning finds it.
            QTRY_COMPARE((overlay.positionOnGameScreen(), overlay.geometry()), left);
            QTRY_COMPARE(overlay.screen()->name(), QStringLiteral("corvanta-left"));
        }
        game.quit();
    }

    // The overlay draws a panel over the game, and a real click on that panel still reaches
    // the game, also after the game has been raised or made full-screen. The same window made to
    // accept input swallows the click, which shows that the check can tell the two apart.
    void clicksPassThroughToTheGame_data()
    {
        QTest::addColumn<bool>("transparentForInput");
        QTest::addColumn<QString>("gameCommand"); // sent to the game once the overlay is shown
        QTest::addRow("windowed game") << true << "";
        QTest::addRow("game raised") << true << "raise";
        QTest::addRow("full-screen game") << true << "fullscreen";
        QTest::addRow("overlay taking input") << false << "";
    }

    void clicksPassThroughToTheGame()
    {
        QFETCH(bool, transparentForInput);
        QFETCH(QString, gameCommand);
        QRect client(100, 100, 1280, 720);
        const QColor fill(200, 40, 40);
        FakeGame game;
        QVERIFY(game.start({"--geometry", "1280x720+100+100"}));
        QCOMPARE(game.command(QStringLiteral("fill %1 %2 %3").arg(fill.red()).arg(fill.green()).arg(fill.blue())),
                 QStringLiteral("ok"));
        {
            OverlayWindow overlay(nullptr);
            if (!transparentForInput)
                overlay.setFlags(overlay.flags() & ~Qt::WindowTransparentForInput);
            overlay.updateState(ACCEPTING_INVITATION);
            overlay.showOverlay();
            QVERIFY(QTest::qWaitForWindowExposed(&overlay));
            QTRY_COMPARE(overlay.geometry(), QRect(0, 0, 1920, 1080));
            if (!gameCommand.isEmpty())
                QCOMPARE(game.command(gameCommand), QStringLiteral("ok"));
            if (gameCommand == QLatin1String("fullscreen"))
                client = QRect(0, 0, 1920, 1080);

            // The panel's centre, inside the game's window.
            QQuickItem *panel = quickItem(overlay, "acceptingInvitationPanel");
            QVERIFY(panel && panel->isVisible());
            const QPoint target = centreOf(*panel);
            QVERIFY(client.contains(target));
            // The overlay draws the panel there, and the screen shows it above the game (with no
            // compositor, the overlay's transparent pixels would show black instead).
            const QImage drawn = overlay.grabWindow().convertToFormat(QImage::Format_ARGB32);
            QVERIFY(qAlpha(drawn.pixel(target)) > 128);
            const auto screenAt = [](const QPoint &point) {
                return QGuiApplication::primaryScreen()
                    ->grabWindow(0, point.x(), point.y(), 1, 1)
                    .toImage()
                    .pixelColor(0, 0);
            };
            QTRY_VERIFY(screenAt(target) != fill);
            QTRY_VERIFY(screenAt(target) != QColor(Qt::black));

            QCOMPARE(runShell(QStringLiteral("xdotool mousemove --sync %1 %2 click 1")
                                  .arg(target.x())
                                  .arg(target.y())),
                     0);
            const QString through =
                QStringLiteral("click %1 %2 1").arg(target.x() - client.x()).arg(target.y() - client.y());
            QCOMPARE(game.nextClick(), transparentForInput ? through : QString());
            // Showing the overlay and clicking through it never made it the active window.
            QVERIFY(!overlay.isActive());
        }
        runShell(QStringLiteral("xdotool mousemove 1900 1060"));
        game.quit();
    }
};

QTEST_MAIN(TestOverlayWindow)
#include "tst_overlaywindow.moc"
