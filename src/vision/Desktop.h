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
// Desktop_x11.cpp (X11: Xlib and xcb, MIT-SHM, RandR; a thread of its own takes the server's
// change notifications). All calls belong on one thread (the GUI thread).
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

    // What the game-window rules read of a window, read together.
    struct WindowState
    {
        std::string title; // UTF-8; empty when the window has none or is gone
        // Windows: the WS_VISIBLE style (a minimised window stays visible). X11: the window is
        // viewable, so a minimised (iconified) or withdrawn window is not.
        bool visible = false;
    };

    struct TopLevelWindow
    {
        WindowId id = NoWindow;
        std::string title; // as in WindowState
        // Visited by the enumeration (EnumWindows). False for a window that only a lookup by
        // title would find (FindWindowW finds hidden windows too): on X11, a child of the root
        // that the window manager does not manage, such as a withdrawn window.
        bool enumerated = true;
    };

    virtual ~Desktop() = default;
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Every top-level window with its title: first the enumerated ones in EnumWindows order, the
    // topmost first, then any others a lookup by title would find, the topmost first. The titles
    // are read in the same pass. Visibility is left out: the rules need it of one window or two.
    // On X11 the list is read again only after the server has reported a change to it (a window
    // opened, closed, restacked or retitled); until then a call costs one round trip.
    virtual std::vector<TopLevelWindow> topLevelWindows() = 0;
    // One window's title and visibility, read together (one round trip on X11); a window that is
    // gone has no title and is not visible.
    virtual WindowState windowState(WindowId window) = 0;
    // The window with the keyboard focus, or NoWindow.
    virtual WindowId foregroundWindow() = 0;
    // The client area in screen coordinates; nothing when it cannot be read (for example, the
    // window has just closed). A window that shows no client area (minimised) has zero size.
    virtual std::optional<Rect> clientRect(WindowId window) = 0;
    // The monitor showing the window, or the one nearest to it.
    virtual Monitor monitorOf(WindowId window) = 0;
    // What the screen shows in `area` (everything above the game included), written as
    // area.height() rows of area.width() pixels, top row first, three bytes per pixel in blue,
    // green, red order, row y at target + y * stride (stride at least width * 3). Nothing else
    // of that memory is written; where the area lies beyond the screen's edges its pixels are
    // black, as the screen DC gives them there. On failure the rows hold anything.
    virtual CaptureStatus grabScreen(const Rect &area, std::uint8_t *target,
                                     std::size_t stride) = 0;
    // What the game sees of `window`'s client area, `area` as clientRect gave it, written as
    // grabScreen writes it. Windows above the game that the system composes on top of it (the
    // overlay) are left out where the system keeps them apart; by default, what the screen shows.
    virtual CaptureStatus grabWindow(WindowId window, const Rect &area, std::uint8_t *target,
                                     std::size_t stride)
    {
        (void)window;
        return grabScreen(area, target, stride);
    }

protected:
    Desktop() = default;
};

// The compiled-in backend. The X11 one connects to $DISPLAY at its first use.
//
// Test seam of the X11 backend: CORVANTA_X11_CAPTURE, read when the backend is created, picks how
// pixels are copied: unset or empty, MIT-SHM with XGetImage as fallback; "shm", MIT-SHM only (a
// capture fails when shared memory does not work); "xgetimage", plain XGetImage only.
std::unique_ptr<Desktop> createDesktop();
