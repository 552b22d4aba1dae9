#pragma once

#include "Desktop.h"

#include <QPoint>
#include <QPointF>
#include <QRectF>

#include <opencv2/core.hpp>

#include <memory>

class QScreen;

// The overlay's only contact with the desktop: finds the game window by its title, tells whether
// it is visible or focused, which QScreen shows it, and copies its client area into an image.
// The game may start, move, be retitled, hidden or closed at any time; each call sees the desktop
// as it is then.
//
// Finding the game. A window titled exactly "Dota 2" (ignoring case), hidden or not, comes first,
// as FindWindowW finds it; the capture and screen lookups then fall back to the first visible
// window in enumeration order whose title contains "Dota 2" (ignoring case), such as
// "Dota 2 - Tools". Titles are cut to the 255 UTF-16 units Windows reads.
//
// The window found by its exact title is remembered: the next call reads that one window's title
// and state again (one round trip on X11) instead of searching every top-level window, and
// searches only once the window is gone or no longer titled so. What a search would find differs
// only where two windows are both titled exactly "Dota 2": the remembered one stays the answer
// while it keeps that title. A window found by the containing match is not remembered, since a
// window opened later with the exact title takes precedence, and only a search can tell.
//
// Kept between calls: that window, and the desktop connection (on X11 the X display, its
// shared-memory segment, and the list of top-level windows, read again once the server reports a
// change); no size or screen. Calls belong on the GUI thread.
// How the pixels of a capture lie on the game's screen: the client area's offset from the
// screen's top-left, in pixels, and the screen's device pixel ratio. The overlay covers that
// screen in device-independent coordinates, so a frame pixel p is at (p + offset) / ratio there.
// Without a game window or a screen to tell: no offset, ratio 1.
struct FramePlacement
{
    QPoint offset;
    qreal devicePixelRatio = 1.0;

    QPointF toOverlay(const QPointF &framePoint) const;
    QRectF toOverlay(const QRectF &frameRect) const;
};

class PlatformBridge
{
public:
    // The compiled-in desktop backend.
    PlatformBridge();
    // Any desktop: tests script one to reach every rule and failure without a real window.
    explicit PlatformBridge(std::unique_ptr<Desktop> desktop);
    ~PlatformBridge();
    PlatformBridge(const PlatformBridge &) = delete;
    PlatformBridge &operator=(const PlatformBridge &) = delete;

    // The game's client area: CV_8UC3, blue-green-red, width x height of the client area, rows
    // unpadded, pixel (0, 0) at the client area's top-left. Empty on any failure.
    cv::Mat captureDota2Window() const;
    // The screen that is the game's monitor, else the primary screen (null only when there is
    // none).
    QScreen *getDota2Screen() const;
    // Where the pixels of the next capture lie in the overlay's coordinates on the game's screen.
    FramePlacement framePlacement() const;
    // The focused window's title equals "Dota 2", ignoring case.
    bool isDota2Foreground() const;
    // A window titled exactly "Dota 2" (ignoring case) exists and is visible.
    bool isDota2WindowVisible() const;
    // A window titled exactly "Dota 2" (ignoring case) exists, shown, minimised or hidden.
    bool isDota2WindowOpen() const;

private:
    enum class TitleRule { Containing, Equal };

    struct GameWindow
    {
        Desktop::WindowId id = Desktop::NoWindow;
        bool visible = false;
    };

    GameWindow findGameWindow(TitleRule rule) const;
    GameWindow searchGameWindow(TitleRule rule) const;

    std::unique_ptr<Desktop> m_desktop;
    // The window last found by its exact title, or NoWindow: a shortcut for the lookups, which
    // is why the const calls may change it.
    mutable Desktop::WindowId m_remembered = Desktop::NoWindow;
};
