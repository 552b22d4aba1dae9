#include "PlatformBridge.h"

#include "Log.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>

#include <cstring>
#include <utility>

namespace {

const QString gameTitle = QStringLiteral("Dota 2");

// Windows reads titles into 256 UTF-16 units, one of them the terminating zero; a longer title
// is cut there before any rule sees it, on every platform alike.
constexpr qsizetype titleUnits = 255;

QString titleOf(Desktop &desktop, Desktop::WindowId window)
{
    return QString::fromStdString(desktop.windowTitle(window)).left(titleUnits);
}

bool pixelsCover(const Desktop::Pixels &pixels, int width, int height)
{
    const std::size_t rowBytes = std::size_t(width) * 3;
    return pixels.width == width && pixels.height == height && pixels.stride >= rowBytes
        && pixels.bytes.size() >= pixels.stride * std::size_t(height - 1) + rowBytes;
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

Desktop::WindowId PlatformBridge::findGameWindow(TitleRule rule) const
{
    const Desktop::WindowId direct = m_desktop->findWindowByTitle(gameTitle.toStdString());
    if (direct != Desktop::NoWindow)
        return direct;

    // The first visible window in enumeration order whose title fits the rule.
    for (const Desktop::WindowId window : m_desktop->topLevelWindows()) {
        if (!m_desktop->isWindowVisible(window))
            continue;
        const QString title = titleOf(*m_desktop, window);
        const bool fits = rule == TitleRule::Containing
            ? title.contains(gameTitle, Qt::CaseInsensitive)
            : title.compare(gameTitle, Qt::CaseInsensitive) == 0;
        if (fits)
            return window;
    }
    return Desktop::NoWindow;
}

cv::Mat PlatformBridge::captureDota2Window() const
{
    const Desktop::WindowId window = findGameWindow(TitleRule::Containing);
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

    Desktop::Pixels pixels;
    switch (m_desktop->grabScreen(*client, pixels)) {
    case Desktop::CaptureStatus::Captured:
        break;
    case Desktop::CaptureStatus::NoScreen:
        logError(QStringLiteral("Failed to get screen DC"));
        return cv::Mat();
    case Desktop::CaptureStatus::Failed:
        logError(QStringLiteral("Failed to capture Dota 2 window pixels"));
        return cv::Mat();
    }
    if (!pixelsCover(pixels, width, height)) {
        logError(QStringLiteral("Failed to capture Dota 2 window pixels"));
        return cv::Mat();
    }

    // Rows of the screen copy may be padded (the DIB pads to 4 bytes); the image's rows are not.
    cv::Mat image(height, width, CV_8UC3);
    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.ptr(y), pixels.bytes.data() + std::size_t(y) * pixels.stride, rowBytes);
    return image;
}

QScreen *PlatformBridge::getDota2Screen() const
{
    QScreen *primary = QGuiApplication::primaryScreen();

    const Desktop::WindowId window = findGameWindow(TitleRule::Containing);
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

    // Monitor pixels against the screens' device-independent geometry: under display scaling
    // the two differ and nothing matches, which is why the fallback is the primary screen.
    const QRect monitorRect(monitor.rect.left, monitor.rect.top, monitor.rect.width(),
                            monitor.rect.height());
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        const QRect geometry = screen->geometry();
        if (geometry == monitorRect) {
            logInfo(QStringLiteral("Dota 2 found on screen: %1 (%2x%3)")
                        .arg(screen->name())
                        .arg(geometry.width())
                        .arg(geometry.height()));
            return screen;
        }
    }
    logDebug(QStringLiteral("Could not match Dota 2 monitor to QScreen, using primary screen"));
    return primary;
}

bool PlatformBridge::isDota2Foreground() const
{
    const Desktop::WindowId window = m_desktop->foregroundWindow();
    if (window == Desktop::NoWindow)
        return false;
    return titleOf(*m_desktop, window).compare(gameTitle, Qt::CaseInsensitive) == 0;
}

bool PlatformBridge::isDota2WindowVisible() const
{
    const Desktop::WindowId window = findGameWindow(TitleRule::Equal);
    return window != Desktop::NoWindow && m_desktop->isWindowVisible(window);
}
