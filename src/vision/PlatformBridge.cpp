#include "PlatformBridge.h"

#include "Log.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>

#include <utility>

namespace {

const QString gameTitle = QStringLiteral("Dota 2");

// Windows reads titles into 256 UTF-16 units, one of them the terminating zero; a longer title
// is cut there before any rule sees it, on every platform alike.
constexpr qsizetype titleUnits = 255;

QString cutTitle(const std::string &title)
{
    return QString::fromStdString(title).left(titleUnits);
}

bool isGameTitle(const QString &title)
{
    return title.compare(gameTitle, Qt::CaseInsensitive) == 0;
}

} // namespace

PlatformBridge::PlatformBridge()
    : PlatformBridge(createDesktop())
{
}

PlatformBridge::PlatformBridge(std::unique_ptr<Desktop> desktop)
    : m_desktop(std::move(desktop))
{
    logInfo(QStringLiteral("PlatformBridge initialized using Qt cross-platform APIs"));
}

PlatformBridge::~PlatformBridge() = default;

PlatformBridge::GameWindow PlatformBridge::findGameWindow(TitleRule rule) const
{
    if (m_remembered != Desktop::NoWindow) {
        const Desktop::WindowState state = m_desktop->windowState(m_remembered);
        if (isGameTitle(cutTitle(state.title)))
            return GameWindow{m_remembered, state.visible};
    }
    return searchGameWindow(rule);
}

PlatformBridge::GameWindow PlatformBridge::searchGameWindow(TitleRule rule) const
{
    const std::vector<Desktop::TopLevelWindow> windows = m_desktop->topLevelWindows();

    // The exact title first, hidden or not, enumerated or not, as FindWindowW looks it up.
    for (const Desktop::TopLevelWindow &window : windows) {
        if (isGameTitle(cutTitle(window.title))) {
            m_remembered = window.id;
            return GameWindow{window.id, m_desktop->windowState(window.id).visible};
        }
    }
    m_remembered = Desktop::NoWindow;

    // The equal match's own walk through the enumeration could only meet a title seen above.
    if (rule == TitleRule::Equal)
        return GameWindow{};

    // The first visible window in enumeration order whose title contains the name. Visibility
    // is asked of the few whose title fits.
    for (const Desktop::TopLevelWindow &window : windows) {
        if (!window.enumerated || !cutTitle(window.title).contains(gameTitle, Qt::CaseInsensitive))
            continue;
        const Desktop::WindowState state = m_desktop->windowState(window.id);
        if (state.visible && cutTitle(state.title).contains(gameTitle, Qt::CaseInsensitive))
            return GameWindow{window.id, true};
    }
    return GameWindow{};
}

cv::Mat PlatformBridge::captureDota2Window() const
{
    const Desktop::WindowId window = findGameWindow(TitleRule::Containing).id;
    if (window == Desktop::NoWindow) {
        logDebug(QStringLiteral("Dota 2 window not found"));
        return cv::Mat();
    }

    const std::optional<Desktop::Rect> client = m_desktop->clientRect(window);
    if (!client) {
        logError(QStringLiteral("Failed to get Dota 2 client rect"));
        return cv::Mat();
    }
    const int width = client->width();
    const int height = client->height();
    if (width <= 0 || height <= 0) {
        // A minimised game window ends here.
        logError(QStringLiteral("Invalid Dota 2 window dimensions"));
        return cv::Mat();
    }

    // The backend writes the pixels straight into the image's unpadded rows.
    cv::Mat image(height, width, CV_8UC3);
    switch (m_desktop->grabWindow(window, *client, image.data, image.step[0])) {
    case Desktop::CaptureStatus::Captured:
        return image;
    case Desktop::CaptureStatus::NoScreen:
        logError(QStringLiteral("Failed to get screen DC"));
        return cv::Mat();
    case Desktop::CaptureStatus::Failed:
        break;
    }
    logError(QStringLiteral("Failed to capture Dota 2 window pixels"));
    return cv::Mat();
}

namespace {

// The screen that is `monitor` (pixels of the desktop): the toolkit keeps a screen's top-left in
// pixels and divides only its size by the device pixel ratio.
QScreen *screenOf(const Desktop::Rect &monitor)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        const QRect geometry = screen->geometry();
        const qreal ratio = screen->devicePixelRatio();
        if (geometry.topLeft() == QPoint(monitor.left, monitor.top)
            && qAbs(geometry.width() * ratio - monitor.width()) < 1.0
            && qAbs(geometry.height() * ratio - monitor.height()) < 1.0)
            return screen;
    }
    return nullptr;
}

} // namespace

QPointF FramePlacement::toOverlay(const QPointF &framePoint) const
{
    return (framePoint + QPointF(offset)) / devicePixelRatio;
}

QRectF FramePlacement::toOverlay(const QRectF &frameRect) const
{
    return QRectF(toOverlay(frameRect.topLeft()), frameRect.size() / devicePixelRatio);
}

QScreen *PlatformBridge::getDota2Screen() const
{
    QScreen *primary = QGuiApplication::primaryScreen();

    const Desktop::WindowId window = findGameWindow(TitleRule::Containing).id;
    if (window == Desktop::NoWindow) {
        logDebug(QStringLiteral("Dota 2 window not found, using primary screen"));
        return primary;
    }

    const Desktop::Monitor monitor = m_desktop->monitorOf(window);
    switch (monitor.status) {
    case Desktop::MonitorStatus::Found:
        break;
    case Desktop::MonitorStatus::NoMonitor:
        logDebug(QStringLiteral("Could not get monitor for Dota 2 window, using primary screen"));
        return primary;
    case Desktop::MonitorStatus::NoMonitorInfo:
        logDebug(QStringLiteral("Could not get monitor info, using primary screen"));
        return primary;
    }

    QScreen *screen = screenOf(monitor.rect);
    if (!screen) {
        logDebug(QStringLiteral("Could not match Dota 2 monitor to QScreen, using primary screen"));
        return primary;
    }
    const QRect geometry = screen->geometry();
    logInfo(QStringLiteral("Dota 2 found on screen: %1 (%2x%3)")
                .arg(screen->name())
                .arg(geometry.width())
                .arg(geometry.height()));
    return screen;
}

FramePlacement PlatformBridge::framePlacement() const
{
    FramePlacement placement;
    const Desktop::WindowId window = findGameWindow(TitleRule::Containing).id;
    if (window == Desktop::NoWindow)
        return placement;
    const std::optional<Desktop::Rect> client = m_desktop->clientRect(window);
    const Desktop::Monitor monitor = m_desktop->monitorOf(window);
    if (!client || monitor.status != Desktop::MonitorStatus::Found)
        return placement;
    placement.offset = QPoint(client->left - monitor.rect.left, client->top - monitor.rect.top);
    if (const QScreen *screen = screenOf(monitor.rect))
        placement.devicePixelRatio = screen->devicePixelRatio();
    return placement;
}

bool PlatformBridge::isDota2Foreground() const
{
    const Desktop::WindowId window = m_desktop->foregroundWindow();
    if (window == Desktop::NoWindow)
        return false;
    return isGameTitle(cutTitle(m_desktop->windowState(window).title));
}

bool PlatformBridge::isDota2WindowVisible() const
{
    const GameWindow game = findGameWindow(TitleRule::Equal);
    return game.id != Desktop::NoWindow && game.visible;
}

bool PlatformBridge::isDota2WindowOpen() const
{
    return findGameWindow(TitleRule::Equal).id != Desktop::NoWindow;
}
