#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The operating system's desktop as the game-window logic (PlatformBridge) needs it: top-level
// windows, their titles, visibility and client areas, the focused window, monitors, and the
// pixels of the screen. Plain C++ only, so that the Win32 backend compiles without Qt; the rules
// built on these operations live above this interface and are written once.
//
// One backend is compiled in, chosen by CMake: Desktop_win.cpp (Win32: user32 and gdi32) or
// Desktop_x11.cpp (X11: Xlib, MIT-SHM, RandR). All calls belong on one thread (the GUI thread).
class Desktop
{
public:
    // A top-level window: the HWND on Windows, the X window id on X11. Zero is "no window".
    using WindowId = std::uintptr_t;
    static constexpr WindowId NoWindow = 0;

    // A rectangle in screen coordinates; right and bottom lie just outside it, as in a Win32 RECT.
    struct Rect
    {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;

        int width() const { return right - left; }
        int height() const { return bottom - top; }
        bool operator==(const Rect &other) const
        {
            return left == other.left && top == other.top && right == other.right
                && bottom == other.bottom;
        }
        bool operator!=(const Rect &other) const { return !(*this == other); }
    };

    enum class MonitorStatus {
        Found,
        NoMonitor,     // no monitor could be chosen for the window
        NoMonitorInfo, // a monitor was chosen, but its rectangle could not be read
    };

    struct Monitor
    {
        MonitorStatus status = MonitorStatus::NoMonitor;
        Rect rect; // the whole monitor (not its work area); valid only when Found
    };

    enum class CaptureStatus {
        Captured,
        NoScreen, // the screen itself is out of reach: no screen DC, no X display
        Failed,   // the screen was there, but copying from it failed
    };

    // Screen pixels, top row first, three bytes per pixel in blue, green, red order. Rows may be
    // padded: row y starts at bytes[y * stride] (the Win32 DIB pads each row to 4 bytes).
    struct Pixels
    {
        int width = 0;
        int height = 0;
        std::size_t stride = 0; // at least width * 3
        std::vector<std::uint8_t> bytes; // at least (height - 1) * stride + width * 3
    };

    virtual ~Desktop() = default;
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Titles are UTF-8 throughout.

    // A top-level window whose title equals `title`, visible or not, or NoWindow (FindWindowW:
    // letter case is ignored, as Windows compares window names).
    virtual WindowId findWindowByTitle(const std::string &title) = 0;
    // Every top-level window in enumeration order, the topmost first (EnumWindows order).
    virtual std::vector<WindowId> topLevelWindows() = 0;
    // The window's title; empty when it has none or the window is gone.
    virtual std::string windowTitle(WindowId window) = 0;
    // Windows: the WS_VISIBLE style (a minimised window stays visible). X11: the window is
    // viewable, so a minimised (iconified) or withdrawn window is not.
    virtual bool isWindowVisible(WindowId window) = 0;
    // The window with the keyboard focus, or NoWindow.
    virtual WindowId foregroundWindow() = 0;
    // The client area in screen coordinates; nothing when it cannot be read (for example, the
    // window has just closed). A window that shows no client area (minimised) has zero size.
    virtual std::optional<Rect> clientRect(WindowId window) = 0;
    // The monitor showing the window, or the one nearest to it.
    virtual Monitor monitorOf(WindowId window) = 0;
    // What the screen shows in `area` (everything above the game included), into `pixels`.
    virtual CaptureStatus grabScreen(const Rect &area, Pixels &pixels) = 0;

protected:
    Desktop() = default;
};

// The compiled-in backend. The X11 one connects to $DISPLAY at its first use.
//
// Test seam of the X11 backend: CORVANTA_X11_CAPTURE, read when the backend is created, picks how
// pixels are copied: unset or empty, MIT-SHM with XGetImage as fallback; "shm", MIT-SHM only (a
// capture fails when shared memory does not work); "xgetimage", plain XGetImage only.
std::unique_ptr<Desktop> createDesktop();
