#include "DesktopActions.h"
#include "FakeGame.h"
#include "GuidanceRenderer.h"
#include "LogCapture.h"
#include "MatchData.h"
#include "OverlayState.h"
#include "OverlayWindow.h"
#include "PlatformBridge.h"

#include <QGuiApplication>
#include <QImage>
#include <QQmlContext>
#include <QQuickItem>
#include <QScreen>
#include <QTest>

namespace {

QVariant contextValue(const OverlayWindow &overlay, const char *name)
{
    return overlay.rootContext()->contextProperty(QString::fromLatin1(name));
}

QQuickItem *sceneItem(const OverlayWindow &overlay, const char *objectName)
{
    QQuickItem *root = overlay.rootObject();
    return root ? root->findChild<QQuickItem *>(QString::fromLatin1(objectName)) : nullptr;
}

QString geometryArgument(const QRect &rect)
{
    return QStringLiteral("%1x%2+%3+%4").arg(rect.width()).arg(rect.height()).arg(rect.x()).arg(rect.y());
}

QStringList screenNames()
{
    QStringList names;
    for (const QScreen *screen : QGuiApplication::screens())
        names << screen->name();
    return names;
}

} // namespace

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

    void constructionPublishesAndLogs()
    {
        LogCapture log;
        OverlayWindow overlay(nullptr);
        QCOMPARE(log.texts(), QStringList({"Platform bridge not available, using primary screen",
                                           "Window transparency configured",
                                           "Overlay window initialized successfully"}));

        // The six context properties, with their types: the scene compares them as such.
        QCOMPARE(contextValue(overlay, "currentState"), QVariant(QStringLiteral("IDLE")));
        QCOMPARE(contextValue(overlay, "playerCount"), QVariant(0));
        QCOMPARE(contextValue(overlay, "playerSide"), QVariant(QString()));
        QCOMPARE(contextValue(overlay, "slotNumber"), QVariant(0));
        QCOMPARE(contextValue(overlay, "language"), QVariant(QStringLiteral("en")));
        QObject *renderer = contextValue(overlay, "guidanceRenderer").value<QObject *>();
        QVERIFY(renderer);
        QCOMPARE(renderer, overlay.guidanceRenderer());
        QCOMPARE(overlay.guidanceRenderer()->parent(), nullptr);

        // A transparent, frameless, always-on-top tool window that takes no input, built but
        // not shown.
        QVERIFY(overlay.flags().testFlags(Qt::Tool | Qt::FramelessWindowHint
                                          | Qt::WindowStaysOnTopHint
                                          | Qt::WindowTransparentForInput));
        // On X11 also unmanaged: a window manager's frame would catch the clicks.
        QVERIFY(overlay.flags().testFlag(Qt::X11BypassWindowManagerHint));
        QCOMPARE(overlay.color(), QColor(Qt::transparent));
        QCOMPARE(overlay.resizeMode(), QQuickView::SizeRootObjectToView);
        QCOMPARE(overlay.source(), QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(overlay.status(), QQuickView::Ready);
        QVERIFY(!overlay.isVisible());

        // The scene: the root follows the window and takes no input; the guidance view reads
        // the published values.
        QQuickItem *root = overlay.rootObject();
        QVERIFY(root);
        QCOMPARE(root->size(), QSizeF(1920, 1080));
        QVERIFY(!root->isEnabled());
        QQuickItem *view = sceneItem(overlay, "guidanceView");
        QVERIFY(view);
        QCOMPARE(view->size(), QSizeF(1920, 1080));
        QCOMPARE(view->property("state").toString(), QStringLiteral("IDLE"));
        QCOMPARE(view->property("lang").toString(), QStringLiteral("en"));
        QVERIFY(!view->isVisible());
    }

    void updateState_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("drawn");
        const QStringList names = {"IDLE",         "WAITING_FOR_GAME",    "WAITING_FOR_INVITATION",
                                   "ACCEPTING_INVITATION", "JOINING_SLOT", "WAITING_FOR_PLAYERS",
                                   "MATCH_READY",  "IN_GAME"};
        for (int value = 0; value < names.size(); ++value)
            QTest::addRow("%d", value) << value << names[value]
                                       << (value != IDLE && value != IN_GAME);
        QTest::addRow("8") << 8 << QString() << true;
        QTest::addRow("9") << 9 << QString() << true;
        QTest::addRow("-1") << -1 << QString() << true;
    }

    void updateState()
    {
        QFETCH(int, value);
        QFETCH(QString, name);
        QFETCH(bool, drawn);
        OverlayWindow overlay(nullptr);
        // Start from another state, so that every row is a change.
        overlay.updateState(value == MATCH_READY ? WAITING_FOR_GAME : MATCH_READY);
        LogCapture log;
        overlay.updateState(value);
        QCOMPARE(contextValue(overlay, "currentState"), QVariant(name));
        QCOMPARE(log.texts(), QStringList({QStringLiteral("Overlay state updated: ") + name}));
        QCOMPARE(LogLine::parse(log.rawLines().value(0)).tag, QStringLiteral("DEBUG"));

        QQuickItem *view = sceneItem(overlay, "guidanceView");
        QVERIFY(view);
        QCOMPARE(view->property("state").toString(), name);
        QCOMPARE(view->isVisible(), drawn);
    }

    void updatePlayerCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addRow("3") << 3;
        QTest::addRow("0") << 0;
        QTest::addRow("10") << 10;
    }

    void updatePlayerCount()
    {
        QFETCH(int, count);
        OverlayWindow overlay(nullptr);
        overlay.updatePlayerCount(7);
        LogCapture log;
        overlay.updatePlayerCount(count);
        QCOMPARE(contextValue(overlay, "playerCount"), QVariant(count));
        QCOMPARE(log.texts(), QStringList({QStringLiteral("Player count updated: %1/10").arg(count)}));
        QCOMPARE(sceneItem(overlay, "guidanceView")->property("players").toInt(), count);
    }

    void updateMatchData_data()
    {
        QTest::addColumn<QString>("side");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("line");
        QTest::addRow("Persian") << "Radiant" << 4 << "fa"
                                 << "Match data updated: Radiant - Slot 4 - Language: fa";
        QTest::addRow("no slot yet") << "dire" << -1 << "en"
                                     << "Match data updated: dire - Slot -1 - Language: en";
        // Texts that look like placeholders are copied as they are.
        QTest::addRow("placeholder-like side") << "%2 side" << 0 << "%1"
                                               << "Match data updated: %2 side - Slot 0 - Language: %1";
        QTest::addRow("empty record") << "" << -1 << "en"
                                      << "Match data updated:  - Slot -1 - Language: en";
    }

    void updateMatchData()
    {
        QFETCH(QString, side);
        QFETCH(int, slot);
        QFETCH(QString, language);
        QFETCH(QString, line);
        OverlayWindow overlay(nullptr);
        MatchData match;
        match.matchId = QStringLiteral("m-1");
        match.userSide = QStringLiteral("Dire");
        match.playerSide = side;
        match.slotNumber = slot;
        match.language = language;
        LogCapture log;
        overlay.updateMatchData(&match);
        QCOMPARE(log.texts(), QStringList({line}));
        QCOMPARE(contextValue(overlay, "playerSide"), QVariant(side));
        QCOMPARE(contextValue(overlay, "slotNumber"), QVariant(slot));
        QCOMPARE(contextValue(overlay, "language"), QVariant(language));
        QQuickItem *view = sceneItem(overlay, "guidanceView");
        QCOMPARE(view->property("side").toString(), side);
        QCOMPARE(view->property("slot").toInt(), slot);

        // Copied, not referenced: changing the record later changes nothing.
        match.playerSide = QStringLiteral("changed");
        match.slotNumber = 9;
        match.language = QStringLiteral("de");
        QCOMPARE(contextValue(overlay, "playerSide"), QVariant(side));
        QCOMPARE(contextValue(overlay, "slotNumber"), QVariant(slot));
        QCOMPARE(contextValue(overlay, "language"), QVariant(language));
        // The other fields are not published.
        QVERIFY(!contextValue(overlay, "userSide").isValid());
        QVERIFY(!contextValue(overlay, "matchId").isValid());
    }

    void updateMatchDataWithNull()
    {
        OverlayWindow overlay(nullptr);
        MatchData match;
        match.playerSide = QStringLiteral("Radiant");
        match.slotNumber = 2;
        match.language = QStringLiteral("fa");
        overlay.updateMatchData(&match);
        LogCapture log;
        overlay.updateMatchData(nullptr);
        QVERIFY(log.texts().isEmpty());
        QCOMPARE(contextValue(overlay, "playerSide"), QVariant(QStringLiteral("Radiant")));
        QCOMPARE(contextValue(overlay, "slotNumber"), QVariant(2));
        QCOMPARE(contextValue(overlay, "language"), QVariant(QStringLiteral("fa")));
    }

    void showAndHide()
    {
        OverlayWindow overlay(nullptr);
        LogCapture log;
        overlay.showOverlay();
        QVERIFY(QTest::qWaitForWindowExposed(&overlay));
        overlay.showOverlay();
        // Covering the whole screen, where the window manager really put it.
        QTRY_COMPARE(overlay.geometry(), QRect(0, 0, 1920, 1080));
        // Shown without taking the focus away from the game.
        QTest::qWait(200);
        QVERIFY(!overlay.isActive());
        QVERIFY(QGuiApplication::focusWindow() != &overlay);

        overlay.hideOverlay();
        QVERIFY(!overlay.isVisible());
        overlay.hideOverlay();
        QCOMPARE(log.texts(), QStringList({"Overlay shown", "Overlay shown", "Overlay hidden",
                                           "Overlay hidden"}));
        // The published values outlive hiding and showing.
        overlay.updateState(MATCH_READY);
        overlay.showOverlay();
        QVERIFY(QTest::qWaitForWindowExposed(&overlay));
        QCOMPARE(contextValue(overlay, "currentState"), QVariant(QStringLiteral("MATCH_READY")));
    }

    void primaryScreenWithoutBridge()
    {
        OverlayWindow overlay(nullptr);
        overlay.setGeometry(100, 100, 300, 200);
        LogCapture log;
        overlay.positionOnGameScreen();
        QCOMPARE(log.texts(), QStringList({"Platform bridge not available, using primary screen"}));
        QCOMPARE(LogLine::parse(log.rawLines().value(0)).tag, QStringLiteral("WARN"));
        QCOMPARE(overlay.geometry(), QGuiApplication::primaryScreen()->geometry());
    }

    // No game window: the bridge answers with the primary screen, which the overlay covers.
    void primaryScreenThroughBridgeWithoutGame()
    {
        PlatformBridge bridge;
        LogCapture log;
        OverlayWindow overlay(&bridge);
        const QScreen *primary = QGuiApplication::primaryScreen();
        QCOMPARE(log.texts().mid(0, 2),
                 QStringList({"Dota 2 window not found, using primary screen",
                              QStringLiteral("Overlay positioned on Dota 2 screen: %1 (1920x1080)")
                                  .arg(primary->name())}));
        QCOMPARE(LogLine::parse(log.rawLines().value(1)).tag, QStringLiteral("INFO"));
        QCOMPARE(overlay.geometry(), primary->geometry());
    }

    // With two monitors, the overlay covers the one that shows the game, and follows the game
    // when it moves to the other one.
    void followsTheGameAcrossScreens_data()
    {
        QTest::addColumn<QRect>("first");
        QTest::addColumn<QString>("firstScreen");
        QTest::addColumn<QRect>("second");
        QTest::addColumn<QString>("secondScreen");
        QTest::addRow("right, then left") << QRect(1200, 200, 400, 300) << "corvanta-right"
                                          << QRect(100, 200, 400, 300) << "corvanta-left";
        QTest::addRow("left, then right") << QRect(100, 100, 640, 480) << "corvanta-left"
                                          << QRect(1100, 300, 640, 480) << "corvanta-right";
    }

    void followsTheGameAcrossScreens()
    {
        QFETCH(QRect, first);
        QFETCH(QString, firstScreen);
        QFETCH(QRect, second);
        QFETCH(QString, secondScreen);
        TwoMonitors monitors;
        QVERIFY(monitors.isSet());
        QTRY_COMPARE_WITH_TIMEOUT(screenNames(), QStringList({"corvanta-left", "corvanta-right"}),
                                  10000);
        const auto geometryOf = [](const QString &name) {
            for (const QScreen *screen : QGuiApplication::screens()) {
                if (screen->name() == name)
                    return screen->geometry();
            }
            return QRect();
        };

        FakeGame game;
        QVERIFY(game.start({"--geometry", geometryArgument(first)}));
        PlatformBridge bridge;
        LogCapture log;
        {
            OverlayWindow overlay(&bridge);
            const QString placed = QStringLiteral("Overlay positioned on Dota 2 screen: %1 (960x1080)");
            QCOMPARE(log.texts().mid(0, 2),
                     QStringList({QStringLiteral("Dota 2 found on screen: %1 (960x1080)").arg(firstScreen),
                                  placed.arg(firstScreen)}));
            QCOMPARE(overlay.geometry(), geometryOf(firstScreen));
            overlay.showOverlay();
            QVERIFY(QTest::qWaitForWindowExposed(&overlay));
            QTRY_COMPARE(overlay.geometry(), geometryOf(firstScreen));
            QCOMPARE(overlay.screen()->name(), firstScreen);

            QCOMPARE(game.command(QStringLiteral("geometry ") + geometryArgument(second)),
                     QStringLiteral("ok"));
            // The window manager moves the game in its own time; the next positioning finds it.
            const auto positionedOn = [&] {
                log.clear();
                overlay.positionOnGameScreen();
                return log.texts().value(0);
            };
            QTRY_COMPARE(positionedOn(),
                         QStringLiteral("Dota 2 found on screen: %1 (960x1080)").arg(secondScreen));
            QCOMPARE(log.texts(),
                     QStringList({QStringLiteral("Dota 2 found on screen: %1 (960x1080)").arg(secondScreen),
                                  placed.arg(secondScreen)}));
            QTRY_COMPARE(overlay.geometry(), geometryOf(secondScreen));
            QCOMPARE(overlay.screen()->name(), secondScreen);
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
        QVERIFY(game.start({"--geometry", geometryArgument(client)}));
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
            QQuickItem *panel = sceneItem(overlay, "acceptingInvitationPanel");
            QVERIFY(panel && panel->isVisible());
            const QPoint target = panel->mapRectToScene(QRectF(0, 0, panel->width(), panel->height()))
                                      .center()
                                      .toPoint();
            QCOMPARE(target, QPoint(960, 340));
            QVERIFY(client.contains(target));
            // The overlay draws the panel there ...
            const QImage drawn = overlay.grabWindow().convertToFormat(QImage::Format_ARGB32);
            QVERIFY(qAlpha(drawn.pixel(target)) > 128);
            // ... and is what the screen shows there, above the game, whose own colour shows
            // beside the panel (the desktop has no compositor: there the overlay's transparent
            // pixels show black instead).
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
            const QString click = game.nextClick();
            if (transparentForInput) {
                QCOMPARE(click, QStringLiteral("click %1 %2 1")
                                    .arg(target.x() - client.x())
                                    .arg(target.y() - client.y()));
            } else {
                QCOMPARE(click, QString());
            }
            // Showing the overlay and clicking through it never made it the active window.
            QVERIFY(!overlay.isActive());
        }
        runShell(QStringLiteral("xdotool mousemove 1900 1060"));
        game.quit();
    }
};

QTEST_MAIN(TestOverlayWindow)
#include "tst_overlaywindow.moc"
