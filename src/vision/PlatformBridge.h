#pragma once

#include "Desktop.h"

#include <opencv2/core.hpp>

#include <memory>

class QScreen;

// The overlay's only contact with the desktop: finds the game window by its title, tells whether
// it is visible or focused, which QScreen shows it, and copies its client area into an image.
// Every call looks the window up afresh, so the game may start, move or close between calls.
//
// What is kept between calls is only the desktop connection (the X display and its shared-memory
// segment on X11); no window, size or screen is remembered. Calls belong on the GUI thread.
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
    // The screen whose geometry equals the game's monitor, else the primary screen (null only
    // when there is none).
    QScreen *getDota2Screen() const;
    // The focused window's title equals "Dota 2", ignoring case.
    bool isDota2Foreground() const;
    // A window titled exactly "Dota 2" (ignoring case) exists and is visible.
    bool isDota2WindowVisible() const;

private:
    enum class TitleRule { Containing, Equal };

    Desktop::WindowId findGameWindow(TitleRule rule) const;

    std::unique_ptr<Desktop> m_desktop;
};
