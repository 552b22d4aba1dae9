#include "OverlayWindow.h"

#include "GuidanceRenderer.h"
#include "Log.h"
#include "MatchData.h"
#include "OverlayState.h"
#include "PlatformBridge.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlError>
#include <QScreen>
#include <QUrl>

namespace {

// The screen's whole area, when there is a primary screen at all; otherwise the window stays put.
void coverPrimaryScreen(QWindow *window)
{
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        window->setGeometry(primary->geometry());
}

} // namespace

OverlayWindow::OverlayWindow(PlatformBridge *bridge, QWindow *parent)
    : QQuickView(parent)
    , m_currentState(QStringLiteral("IDLE"))
    , m_language(QStringLiteral("en"))
    , m_guidanceRenderer(new GuidanceRenderer)
    , m_bridge(bridge)
{
    // Published before the scene is loaded, so that its first evaluation already finds them.
    QQmlContext *context = rootContext();
    context->setContextProperty(QStringLiteral("currentState"), m_currentState);
    context->setContextProperty(QStringLiteral("playerCount"), m_playerCount);
    context->setContextProperty(QStringLiteral("playerSide"), m_playerSide);
    context->setContextProperty(QStringLiteral("slotNumber"), m_slotNumber);
    context->setContextProperty(QStringLiteral("language"), m_language);
    context->setContextProperty(QStringLiteral("guidanceRenderer"), m_guidanceRenderer);

    setColor(Qt::transparent);
    // No task-bar entry, no frame, above the game, and every click and key goes to the window
    // below: the overlay must never take input away from the game.
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
             | Qt::WindowTransparentForInput);
    // Under X11 a window manager would put the window into a frame of its own, and that frame
    // catches the clicks the window lets through; it would also give the window the focus. An
    // unmanaged window has neither. (Windows has no such flag and needs none.)
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        setFlag(Qt::X11BypassWindowManagerHint);
    setResizeMode(QQuickView::SizeRootObjectToView);
    positionOnGameScreen();
    logDebug(QStringLiteral("Window transparency configured"));

    setSource(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    if (status() != QQuickView::Error) {
        logInfo(QStringLiteral("Overlay window initialized successfully"));
        return;
    }
    logError(QStringLiteral("Failed to load QML"));
    for (const QQmlError &error : errors())
        logError(QStringLiteral("QML Error: %1").arg(error.toString()));
}

OverlayWindow::~OverlayWindow()
{
    // The scene reads the renderer through a plain pointer; it goes first, so that nothing in it
    // can reach the renderer once that is deleted.
    setSource(QUrl());
    delete m_guidanceRenderer;
}

void OverlayWindow::showOverlay()
{
    show();
    raise();
    logInfo(QStringLiteral("Overlay shown"));
}

void OverlayWindow::hideOverlay()
{
    hide();
    logInfo(QStringLiteral("Overlay hidden"));
}

void OverlayWindow::updateState(int state)
{
    m_currentState = overlayStateName(state);
    rootContext()->setContextProperty(QStringLiteral("currentState"), m_currentState);
    logDebug(QStringLiteral("Overlay state updated: %1").arg(m_currentState));
}

void OverlayWindow::updatePlayerCount(int count)
{
    m_playerCount = count;
    rootContext()->setContextProperty(QStringLiteral("playerCount"), m_playerCount);
    logDebug(QStringLiteral("Player count updated: %1/10").arg(m_playerCount));
}

void OverlayWindow::updateMatchData(const MatchData *data)
{
    if (!data)
        return;
    m_playerSide = data->playerSide;
    m_slotNumber = data->slotNumber;
    m_language = data->language;
    QQmlContext *context = rootContext();
    context->setContextProperty(QStringLiteral("playerSide"), m_playerSide);
    context->setContextProperty(QStringLiteral("slotNumber"), m_slotNumber);
    context->setContextProperty(QStringLiteral("language"), m_language);
    logDebug(QStringLiteral("Match data updated: %1 - Slot %2 - Language: %3")
                 .arg(m_playerSide, QString::number(m_slotNumber), m_language));
}

void OverlayWindow::positionOnGameScreen()
{
    if (!m_bridge) {
        logWarn(QStringLiteral("Platform bridge not available, using primary screen"));
        coverPrimaryScreen(this);
        return;
    }
    // The bridge already falls back to the primary screen; null means there is no screen at all.
    QScreen *screen = m_bridge->getDota2Screen();
    if (!screen) {
        logWarn(QStringLiteral("Could not detect Dota 2 screen, using primary screen"));
        coverPrimaryScreen(this);
        return;
    }
    const QRect geometry = screen->geometry();
    setGeometry(geometry);
    logInfo(QStringLiteral("Overlay positioned on Dota 2 screen: %1 (%2x%3)")
                .arg(screen->name(), QString::number(geometry.width()),
                     QString::number(geometry.height())));
}
