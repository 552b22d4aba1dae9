// The desktop on X11, through a display connection of its own: the window manager's client lists
// (EWMH) for the top-level windows, RandR monitors, and MIT-SHM (or plain XGetImage) for the
// pixels of the root window.
//
// Questions about windows go out through xcb: every request of a question is sent first and the
// replies are collected after, so that a question costs a round trip or two however many windows
// it is about. The list of top-level windows with their titles, hundreds of requests on a busy
// desktop, is kept and read again only once the server has reported a change (WindowWatch).
#include "Desktop.h"
#include "X11ErrorTrap.h"
#include "X11Pixels.h"
#include "X11Reply.h"
#include "X11WindowWatch.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

enum class CaptureMode { ShmWithFallback, ShmOnly, XGetImageOnly };

CaptureMode captureModeFromEnvironment()
{
    const char *value = std::getenv("CORVANTA_X11_CAPTURE");
    if (value && std::strcmp(value, "shm") == 0)
        return CaptureMode::ShmOnly;
    if (value && std::strcmp(value, "xgetimage") == 0)
        return CaptureMode::XGetImageOnly;
    return CaptureMode::ShmWithFallback;
}

std::string utf8FromLatin1(const unsigned char *text, std::size_t length)
{
    std::string utf8;
    utf8.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            utf8.push_back(char(c));
        } else {
            utf8.push_back(char(0xC0 | (c >> 6)));
            utf8.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

class X11Desktop final : public Desktop
{
public:
    X11Desktop()
        : m_mode(captureModeFromEnvironment())
    {
    }

    ~X11Desktop() override
    {
        // The watch first, as it was started after the display: closed the other way round,
        // Xvfb was seen to drop the next connection made.
        m_watch.reset();
        if (!m_display)
            return;
        releaseShm();
        XCloseDisplay(m_display);
    }

    std::vector<TopLevelWindow> topLevelWindows() override
    {
        if (!display())
            return {};
        // Started at the first listing, and tried again at the next one should it fail.
        if (!m_watch)
            m_watch = WindowWatch::start(xcb_window_t(m_root),
                                         {m_atoms.clientListStacking, m_atoms.clientList},
                                         {XCB_ATOM_WM_NAME, m_atoms.netWmName});
        const std::optional<std::uint64_t> changes = m_watch ? m_watch->changes() : std::nullopt;
        if (!changes)
            return readTopLevelWindows(m_xcb, nullptr);
        // Nothing the listing shows has changed since it was read (the count was taken before
        // it): it still holds.
        if (!m_listing || m_listingChanges != *changes) {
            m_listing = readTopLevelWindows(m_watch->connection(), m_watch.get());
            m_listingChanges = *changes;
        }
        return *m_listing;
    }

    WindowState windowState(WindowId window) override
    {
        if (!display() || window == NoWindow)
            return WindowState{};
        return collectState(requestState(xcb_window_t(window)));
    }

    WindowId foregroundWindow() override
    {
        if (!display())
            return NoWindow;
        bool present = false;
        const std::vector<xcb_window_t> active =
            windowList(m_xcb, requestWindowList(m_xcb, m_atoms.netActiveWindow), &present);
        if (present)
            return active.empty() ? NoWindow : active.front();
        // No window manager to say: the window holding the input focus.
        const Reply<xcb_get_input_focus_reply_t> focus =
            collect(m_xcb, xcb_get_input_focus(m_xcb), xcb_get_input_focus_reply);
        if (!focus || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT)
            return NoWindow;
        return focus->focus;
    }

    std::optional<Rect> clientRect(WindowId window) override
    {
        if (!display() || window == NoWindow)
            return std::nullopt;
        std::optional<Placement> placement = placementOf(xcb_window_t(window));
        if (!placement)
            return std::nullopt;
        // An unmapped or minimised window shows no client area.
        Rect &rect = placement->rect;
        if (!placement->viewable)
            rect = Rect{rect.left, rect.top, rect.left, rect.top};
        return rect;
    }

    Monitor monitorOf(WindowId window) override
    {
        Monitor result;
        if (!display() || window == NoWindow)
            return result; // NoMonitor
        const std::optional<Placement> placement = placementOf(xcb_window_t(window));
        if (!placement)
            return result;
        const std::vector<Rect> monitors = monitorRects();
        if (monitors.empty()) {
            result.status = MonitorStatus::NoMonitorInfo;
            return result;
        }

        // The monitor holding the window's centre (the first one listed, should monitors
        // overlap), else the one nearest to that centre.
        const Rect &rect = placement->rect;
        const long centreX = rect.left + rect.width() / 2;
        const long centreY = rect.top + rect.height() / 2;
        long long bestDistance = std::numeric_limits<long long>::max();
        for (const Rect &monitor : monitors) {
            const long dx = centreX < monitor.left ? monitor.left - centreX
                : centreX >= monitor.right         ? centreX - (monitor.right - 1)
                                                   : 0;
            const long dy = centreY < monitor.top ? monitor.top - centreY
                : centreY >= monitor.bottom       ? centreY - (monitor.bottom - 1)
                                                  : 0;
            const long long distance = (long long)dx * dx + (long long)dy * dy;
            if (distance < bestDistance) {
                bestDistance = distance;
                result.rect = monitor;
            }
        }
        result.status = MonitorStatus::Found;
        return result;
    }

    // Under a compositing manager every top-level window keeps its own pixels off screen, and
    // reading the game's window gives just the game, without the overlay above it, as the screen
    // DC gives it on Windows, where layered windows stay out of the copy. Without one, reading the
    // window gives what the screen shows there. A window the server cannot read (not viewable,
    // gone) is read from the screen.
    CaptureStatus grabWindow(WindowId window, const Rect &area, std::uint8_t *target,
                             std::size_t stride) override
    {
        return grab(Window(window), area, target, stride);
    }

    CaptureStatus grabScreen(const Rect &area, std::uint8_t *target, std::size_t stride) override
    {
        return grab(None, area, target, stride);
    }

private:
    CaptureStatus grab(Window window, const Rect &area, std::uint8_t *target, std::size_t stride)
    {
        if (!display())
            return CaptureStatus::NoScreen;
        const int width = area.width();
        const int height = area.height();
        if (width <= 0 || height <= 0)
            return CaptureStatus::Failed;
        const std::optional<Rect> screen = rootRect();
        if (!screen)
            return CaptureStatus::NoScreen;

        // What lies beyond the screen's edges is black, as the screen DC gives it there; only
        // those parts are cleared, the rest is written once, by the copy.
        const int left = std::min(std::max(area.left, screen->left), area.right);
        const int top = std::min(std::max(area.top, screen->top), area.bottom);
        const int right = std::max(std::min(area.right, screen->right), left);
        const int bottom = std::max(std::min(area.bottom, screen->bottom), top);
        const std::size_t rowBytes = std::size_t(width) * 3;
        const std::size_t leftBytes = std::size_t(left - area.left) * 3;
        const std::size_t rightBytes = std::size_t(area.right - right) * 3;
        for (int y = 0; y < height; ++y) {
            std::uint8_t *row = target + std::size_t(y) * stride;
            if (y < top - area.top || y >= bottom - area.top || right == left) {
                std::memset(row, 0, rowBytes);
                continue;
            }
            std::memset(row, 0, leftBytes);
            std::memset(row + rowBytes - rightBytes, 0, rightBytes);
        }
        if (right == left || bottom == top)
            return CaptureStatus::Captured;
        std::uint8_t *inside = target + std::size_t(top - area.top) * stride + leftBytes;
        if (window != None
            && copyFrom(window, left - area.left, top - area.top, right - left, bottom - top,
                        inside, stride))
            return CaptureStatus::Captured;
        return copyFrom(m_root, left, top, right - left, bottom - top, inside, stride)
            ? CaptureStatus::Captured
            : CaptureStatus::Failed;
    }

    struct Atoms
    {
        xcb_atom_t clientListStacking = 0;
        xcb_atom_t clientList = 0;
        xcb_atom_t netActiveWindow = 0;
        xcb_atom_t netWmName = 0;
        xcb_atom_t utf8String = 0;
    };

    // A window's state, asked for and not yet answered.
    struct StateRequest
    {
        xcb_get_property_cookie_t netWmName;
        xcb_get_property_cookie_t wmName;
        xcb_get_window_attributes_cookie_t attributes;
    };

    // The window's inside (no border) in root coordinates, whatever its map state.
    struct Placement
    {
        Rect rect;
        bool viewable = false;
    };

    // The lists and the root's children in one round trip, then the titles in two more. With
    // a watch, the windows are watched before their titles are read, on the watch's connection:
    // the server handles the two in that order, so no change of a title can fall between them.
    std::vector<TopLevelWindow> readTopLevelWindows(xcb_connection_t *connection,
                                                    WindowWatch *watch)
    {
        const xcb_get_property_cookie_t stackingCookie =
            requestWindowList(connection, m_atoms.clientListStacking);
        const xcb_get_property_cookie_t clientListCookie =
            requestWindowList(connection, m_atoms.clientList);
        const xcb_query_tree_cookie_t treeCookie = xcb_query_tree(connection, xcb_window_t(m_root));
        bool stackingPresent = false;
        bool clientListPresent = false;
        std::vector<xcb_window_t> stacking =
            windowList(connection, stackingCookie, &stackingPresent);
        const std::vector<xcb_window_t> clientList =
            windowList(connection, clientListCookie, &clientListPresent);
        std::vector<xcb_window_t> children;
        if (const Reply<xcb_query_tree_reply_t> tree =
                collect(connection, treeCookie, xcb_query_tree_reply)) {
            const xcb_window_t *first = xcb_query_tree_children(tree.get());
            children.assign(first, first + xcb_query_tree_children_length(tree.get()));
        }
        // Children come bottom to top, as does the stacking list; Windows enumerates the topmost
        // first.
        std::reverse(children.begin(), children.end());

        // An empty list is an answer (no managed windows); only a missing one means no window
        // manager, and then the root's children are the top-level windows. _NET_CLIENT_LIST is in
        // mapping order.
        std::vector<xcb_window_t> windows;
        if (stackingPresent) {
            std::reverse(stacking.begin(), stacking.end());
            windows = std::move(stacking);
        } else if (clientListPresent) {
            windows = clientList;
        } else {
            windows = children;
        }
        const std::size_t enumerated = windows.size();

        // Then the root's own children, where withdrawn (hidden) windows live, which Windows would
        // still find by their title.
        std::vector<xcb_window_t> sorted = windows;
        std::sort(sorted.begin(), sorted.end());
        for (const xcb_window_t child : children) {
            if (!std::binary_search(sorted.begin(), sorted.end(), child))
                windows.push_back(child);
        }

        if (watch)
            watch->watchTitles(windows);
        const std::vector<std::string> titles = titlesOf(connection, windows);
        std::vector<TopLevelWindow> list;
        list.reserve(windows.size());
        for (std::size_t i = 0; i < windows.size(); ++i)
            list.push_back(TopLevelWindow{WindowId(windows[i]), titles[i], i < enumerated});
        return list;
    }

    // Opened at the first use; tried again at the next call while there is no X server.
    Display *display()
    {
        if (m_display)
            return m_display;
        // Xvfb now and then drops a connection made just after another client left; a second
        // try at once gets through.
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return nullptr;
        m_xcb = XGetXCBConnection(m_display);
        m_screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, m_screen);
        char *names[] = {const_cast<char *>("_NET_CLIENT_LIST_STACKING"),
                         const_cast<char *>("_NET_CLIENT_LIST"),
                         const_cast<char *>("_NET_ACTIVE_WINDOW"),
                         const_cast<char *>("_NET_WM_NAME"), const_cast<char *>("UTF8_STRING")};
        Atom atoms[5] = {};
        XInternAtoms(m_display, names, 5, False, atoms);
        m_atoms = Atoms{xcb_atom_t(atoms[0]), xcb_atom_t(atoms[1]), xcb_atom_t(atoms[2]),
                        xcb_atom_t(atoms[3]), xcb_atom_t(atoms[4])};
        return m_display;
    }

    // A property of the root holding window ids.
    xcb_get_property_cookie_t requestWindowList(xcb_connection_t *connection, xcb_atom_t property)
    {
        return xcb_get_property(connection, 0, xcb_window_t(m_root), property, XCB_ATOM_WINDOW, 0,
                                1U << 20);
    }

    // `present` tells a missing property from an empty one.
    std::vector<xcb_window_t> windowList(xcb_connection_t *connection,
                                         xcb_get_property_cookie_t cookie, bool *present)
    {
        *present = false;
        std::vector<xcb_window_t> windows;
        const Reply<xcb_get_property_reply_t> reply =
            collect(connection, cookie, xcb_get_property_reply);
        if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32)
            return windows;
        *present = true;
        const auto *items = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        for (int i = 0; i < count; ++i) {
            if (items[i] != 0)
                windows.push_back(items[i]);
        }
        return windows;
    }

    // 1024 units of 4 bytes: more than the 255 UTF-16 units of a title that the rules look at.
    static xcb_get_property_cookie_t requestText(xcb_connection_t *connection,
                                                 xcb_window_t window, xcb_atom_t property)
    {
        return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                1024);
    }

    // For one window both title properties are asked for at once, with the attributes: waiting
    // for the first to learn whether the second is needed would cost a round trip.
    StateRequest requestState(xcb_window_t window)
    {
        return StateRequest{requestText(m_xcb, window, m_atoms.netWmName),
                            requestText(m_xcb, window, XCB_ATOM_WM_NAME),
                            xcb_get_window_attributes(m_xcb, window)};
    }

    // For many, the server's time per request counts more than a round trip: first the EWMH
    // title of every window, then the old one only of those without it (window manager frames,
    // helper windows, programs that set only the old one).
    std::vector<std::string> titlesOf(xcb_connection_t *connection,
                                      const std::vector<xcb_window_t> &windows)
    {
        std::vector<xcb_get_property_cookie_t> cookies;
        cookies.reserve(windows.size());
        for (const xcb_window_t window : windows)
            cookies.push_back(requestText(connection, window, m_atoms.netWmName));
        std::vector<std::string> titles(windows.size());
        std::vector<std::size_t> untitled;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const Reply<xcb_get_property_reply_t> reply =
                collect(connection, cookies[i], xcb_get_property_reply);
            if (isUtf8Text(reply.get()))
                titles[i] = bytesOf(reply.get());
            else
                untitled.push_back(i);
        }
        cookies.clear();
        for (const std::size_t i : untitled)
            cookies.push_back(requestText(connection, windows[i], XCB_ATOM_WM_NAME));
        for (std::size_t k = 0; k < untitled.size(); ++k) {
            const Reply<xcb_get_property_reply_t> reply =
                collect(connection, cookies[k], xcb_get_property_reply);
            titles[untitled[k]] = oldTitleOf(reply.get());
        }
        return titles;
    }

    // Every reply is collected, also those not needed, so that none is left behind in xcb.
    WindowState collectState(const StateRequest &request)
    {
        const Reply<xcb_get_property_reply_t> netWmName =
            collect(m_xcb, request.netWmName, xcb_get_property_reply);
        const Reply<xcb_get_property_reply_t> wmName =
            collect(m_xcb, request.wmName, xcb_get_property_reply);
        const Reply<xcb_get_window_attributes_reply_t> attributes =
            collect(m_xcb, request.attributes, xcb_get_window_attributes_reply);
        WindowState state;
        state.visible = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        state.title = titleOf(netWmName.get(), wmName.get());
        return state;
    }

    static bool isText(const xcb_get_property_reply_t *reply)
    {
        return reply && reply->type != XCB_NONE && reply->format == 8;
    }

    bool isUtf8Text(const xcb_get_property_reply_t *reply) const
    {
        return isText(reply) && reply->type == m_atoms.utf8String;
    }

    static std::string bytesOf(const xcb_get_property_reply_t *reply)
    {
        return std::string(static_cast<const char *>(xcb_get_property_value(reply)),
                           std::size_t(xcb_get_property_value_length(reply)));
    }

    // _NET_WM_NAME when it is UTF-8 text, else WM_NAME in whichever text type it comes.
    std::string titleOf(const xcb_get_property_reply_t *netWmName,
                        const xcb_get_property_reply_t *wmName)
    {
        return isUtf8Text(netWmName) ? bytesOf(netWmName) : oldTitleOf(wmName);
    }

    std::string oldTitleOf(const xcb_get_property_reply_t *wmName)
    {
        if (!isText(wmName))
            return std::string();
        const std::string bytes = bytesOf(wmName);
        if (wmName->type == m_atoms.utf8String)
            return bytes;
        if (wmName->type == XCB_ATOM_STRING)
            return utf8FromLatin1(reinterpret_cast<const unsigned char *>(bytes.data()),
                                  bytes.size());
        return fromCompoundText(Atom(wmName->type), bytes);
    }

    std::string fromCompoundText(Atom type, const std::string &bytes)
    {
        XTextProperty property;
        property.value = reinterpret_cast<unsigned char *>(const_cast<char *>(bytes.data()));
        property.encoding = type;
        property.format = 8;
        property.nitems = bytes.size();
        char **list = nullptr;
        int count = 0;
        std::string text;
        if (Xutf8TextPropertyToTextList(m_display, &property, &list, &count) >= Success && list) {
            for (int i = 0; i < count; ++i)
                text += list[i];
        }
        if (list)
            XFreeStringList(list);
        return text;
    }

    // The map state, the size and the position, asked for together.
    std::optional<Placement> placementOf(xcb_window_t window)
    {
        const xcb_get_window_attributes_cookie_t attributesCookie =
            xcb_get_window_attributes(m_xcb, window);
        const xcb_get_geometry_cookie_t geometryCookie = xcb_get_geometry(m_xcb, window);
        const xcb_translate_coordinates_cookie_t originCookie =
            xcb_translate_coordinates(m_xcb, window, xcb_window_t(m_root), 0, 0);
        const Reply<xcb_get_window_attributes_reply_t> attributes =
            collect(m_xcb, attributesCookie, xcb_get_window_attributes_reply);
        const Reply<xcb_get_geometry_reply_t> geometry =
            collect(m_xcb, geometryCookie, xcb_get_geometry_reply);
        const Reply<xcb_translate_coordinates_reply_t> origin =
            collect(m_xcb, originCookie, xcb_translate_coordinates_reply);
        if (!attributes || !geometry || !origin || !origin->same_screen)
            return std::nullopt;
        Placement placement;
        placement.rect = Rect{origin->dst_x, origin->dst_y, origin->dst_x + geometry->width,
                              origin->dst_y + geometry->height};
        placement.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        return placement;
    }

    std::optional<Rect> rootRect()
    {
        const Reply<xcb_get_geometry_reply_t> geometry =
            collect(m_xcb, xcb_get_geometry(m_xcb, xcb_window_t(m_root)), xcb_get_geometry_reply);
        if (!geometry)
            return std::nullopt;
        return Rect{0, 0, int(geometry->width), int(geometry->height)};
    }

    // RandR's monitors in its order; without RandR 1.5 or without any monitor, the X screen is
    // the one monitor (the toolkit then shows it as its one screen as well).
    std::vector<Rect> monitorRects()
    {
        std::vector<Rect> rects;
        int eventBase = 0;
        int errorBase = 0;
        int major = 0;
        int minor = 0;
        if (XRRQueryExtension(m_display, &eventBase, &errorBase)
            && XRRQueryVersion(m_display, &major, &minor) && (major > 1 || minor >= 5)) {
            XErrorTrap trap(m_display);
            int count = 0;
            XRRMonitorInfo *monitors = XRRGetMonitors(m_display, m_root, True, &count);
            if (monitors && !trap.caught()) {
                for (int i = 0; i < count; ++i)
                    rects.push_back(Rect{monitors[i].x, monitors[i].y,
                                         monitors[i].x + monitors[i].width,
                                         monitors[i].y + monitors[i].height});
            }
            if (monitors)
                XRRFreeMonitors(monitors);
        }
        if (rects.empty()) {
            if (const std::optional<Rect> root = rootRect())
                rects.push_back(*root);
        }
        return rects;
    }

    // From the root (the screen) or from one window, in that drawable's coordinates.
    bool copyFrom(Window source, int x, int y, int width, int height, std::uint8_t *target,
                  std::size_t stride)
    {
        if (m_mode != CaptureMode::XGetImageOnly) {
            if (copyWithShm(source, x, y, width, height, target, stride))
                return true;
            if (m_mode == CaptureMode::ShmOnly)
                return false;
        }
        return copyWithGetImage(source, x, y, width, height, target, stride);
    }

    bool copyWithShm(Window source, int x, int y, int width, int height, std::uint8_t *target,
                     std::size_t stride)
    {
        if (!ensureShmImage(width, height))
            return false;
        XErrorTrap trap(m_display);
        if (!XShmGetImage(m_display, source, m_shmImage, x, y, AllPlanes) || trap.caught())
            return false;
        return convertToBgr(*m_shmImage, *DefaultVisual(m_display, m_screen), target, stride);
    }

    bool copyWithGetImage(Window source, int x, int y, int width, int height,
                          std::uint8_t *target, std::size_t stride)
    {
        XErrorTrap trap(m_display);
        XImage *image = XGetImage(m_display, source, x, y, unsigned(width), unsigned(height),
                                  AllPlanes, ZPixmap);
        if (!image)
            return false;
        const bool converted = !trap.caught()
            && convertToBgr(*image, *DefaultVisual(m_display, m_screen), target, stride);
        XDestroyImage(image);
        return converted;
    }

    // One shared segment, kept while the captured size stays the same (the game's client area
    // rarely changes), replaced when it does.
    bool ensureShmImage(int width, int height)
    {
        if (m_shmImage && m_shmImage->width == width && m_shmImage->height == height)
            return true;
        releaseShm();
        if (m_shmBroken || !XShmQueryExtension(m_display)) {
            m_shmBroken = true;
            return false;
        }

        XImage *image = XShmCreateImage(m_display, DefaultVisual(m_display, m_screen),
                                        unsigned(DefaultDepth(m_display, m_screen)), ZPixmap,
                                        nullptr, &m_shmInfo, unsigned(width), unsigned(height));
        if (!image)
            return false;
        const std::size_t size = std::size_t(image->bytes_per_line) * std::size_t(image->height);
        m_shmInfo.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (m_shmInfo.shmid < 0) {
            XDestroyImage(image);
            return false;
        }
        void *address = shmat(m_shmInfo.shmid, nullptr, 0);
        if (address == reinterpret_cast<void *>(-1)) {
            shmctl(m_shmInfo.shmid, IPC_RMID, nullptr);
            XDestroyImage(image);
            return false;
        }
        m_shmInfo.shmaddr = image->data = static_cast<char *>(address);
        m_shmInfo.readOnly = False;

        bool attached = false;
        {
            XErrorTrap trap(m_display);
            attached = XShmAttach(m_display, &m_shmInfo) && !trap.failed();
        }
        // The server has attached (or refused) by now; marked for removal, the segment goes away
        // with its last user, even if this process does not end cleanly.
        shmctl(m_shmInfo.shmid, IPC_RMID, nullptr);
        if (!attached) {
            // A server that cannot share memory with us (another machine, another IPC
            // namespace) will not learn it later either.
            m_shmBroken = true;
            image->data = nullptr;
            XDestroyImage(image);
            shmdt(address);
            return false;
        }
        m_shmImage = image;
        return true;
    }

    void releaseShm()
    {
        if (!m_shmImage)
            return;
        {
            XErrorTrap trap(m_display);
            XShmDetach(m_display, &m_shmInfo);
            trap.failed(); // the server lets go before the segment is unmapped here
        }
        m_shmImage->data = nullptr;
        XDestroyImage(m_shmImage);
        m_shmImage = nullptr;
        shmdt(m_shmInfo.shmaddr);
        m_shmInfo = XShmSegmentInfo{};
    }

    const CaptureMode m_mode;
    Display *m_display = nullptr;
    xcb_connection_t *m_xcb = nullptr; // the same connection, for pipelined requests
    std::unique_ptr<WindowWatch> m_watch;
    std::optional<std::vector<TopLevelWindow>> m_listing;
    std::uint64_t m_listingChanges = 0;
    int m_screen = 0;
    Window m_root = 0;
    Atoms m_atoms;

    XShmSegmentInfo m_shmInfo{};
    XImage *m_shmImage = nullptr;
    bool m_shmBroken = false;
};

} // namespace

std::unique_ptr<Desktop> createDesktop()
{
    return std::make_unique<X11Desktop>();
}
