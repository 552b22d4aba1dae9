// The desktop on X11, through Xlib on a display connection of its own: the window manager's
// client lists (EWMH) for the top-level windows, RandR monitors, and MIT-SHM (or plain
// XGetImage) for the pixels of the root window.
#include "Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Any window may close between two requests about it; the X error that follows must not reach
// Xlib's default handler, which ends the process. A trap catches the errors of its display while
// it lives and hands those of other connections (the toolkit's) to the handler it replaced.
// Requests with a reply report their errors before they return; for those without one (MIT-SHM
// attach and detach), failed() waits for the server first.
class XErrorTrap
{
public:
    explicit XErrorTrap(Display *display)
        : m_display(display)
        , m_outer(s_innermost)
    {
        if (!m_outer)
            s_previousHandler = XSetErrorHandler(handleError);
        s_innermost = this;
    }

    ~XErrorTrap()
    {
        s_innermost = m_outer;
        if (!m_outer)
            XSetErrorHandler(s_previousHandler);
    }

    XErrorTrap(const XErrorTrap &) = delete;
    XErrorTrap &operator=(const XErrorTrap &) = delete;

    bool failed()
    {
        XSync(m_display, False);
        return m_failed;
    }

    // Without waiting: enough after a request that has a reply.
    bool caught() const { return m_failed; }

private:
    static int handleError(Display *display, XErrorEvent *event)
    {
        for (XErrorTrap *trap = s_innermost; trap; trap = trap->m_outer) {
            if (trap->m_display == display) {
                trap->m_failed = true;
                return 0;
            }
        }
        return s_previousHandler ? s_previousHandler(display, event) : 0;
    }

    static inline XErrorTrap *s_innermost = nullptr;
    static inline XErrorHandler s_previousHandler = nullptr;

    Display *m_display;
    XErrorTrap *m_outer;
    bool m_failed = false;
};

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

// FindWindowW ignores case; so does the direct lookup here. ASCII letters suffice for the titles
// looked up directly.
bool equalIgnoringAsciiCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = (unsigned char)a[i];
        const unsigned char y = (unsigned char)b[i];
        const unsigned char lowerX = (x >= 'A' && x <= 'Z') ? (unsigned char)(x + 32) : x;
        const unsigned char lowerY = (y >= 'A' && y <= 'Z') ? (unsigned char)(y + 32) : y;
        if (lowerX != lowerY)
            return false;
    }
    return true;
}

// One colour channel of a TrueColor pixel: where its bits are and how to widen or narrow them to
// eight.
struct Channel
{
    unsigned long mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(unsigned long channelMask)
        : mask(channelMask)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1UL))
            ++shift;
        while (bits < int(sizeof(unsigned long) * 8) - shift && ((mask >> (shift + bits)) & 1UL))
            ++bits;
    }

    std::uint8_t value(unsigned long pixel) const
    {
        if (!bits)
            return 0;
        const unsigned long raw = (pixel & mask) >> shift;
        if (bits >= 8)
            return std::uint8_t(raw >> (bits - 8));
        const unsigned long top = (1UL << bits) - 1;
        return std::uint8_t((raw * 255 + top / 2) / top);
    }
};

// A 24- or 32-bit ZPixmap into blue-green-red rows at `target`, `stride` bytes apart.
bool convertToBgr(const XImage &image, const Visual &visual, std::uint8_t *target,
                  std::size_t stride)
{
    if (image.format != ZPixmap || (image.bits_per_pixel != 24 && image.bits_per_pixel != 32))
        return false;
    const int bytesPerPixel = image.bits_per_pixel / 8;
    const Channel red(image.red_mask ? image.red_mask : visual.red_mask);
    const Channel green(image.green_mask ? image.green_mask : visual.green_mask);
    const Channel blue(image.blue_mask ? image.blue_mask : visual.blue_mask);
    if (!red.bits || !green.bits || !blue.bits)
        return false;
    const bool leastFirst = image.byte_order == LSBFirst;
    // The common layout: eight bits each, blue in the lowest byte, least significant byte first.
    const bool bgrBytes = leastFirst && red.mask == 0xFF0000 && green.mask == 0xFF00
        && blue.mask == 0xFF;

    for (int y = 0; y < image.height; ++y) {
        const auto *source = reinterpret_cast<const std::uint8_t *>(image.data)
            + std::size_t(y) * std::size_t(image.bytes_per_line);
        std::uint8_t *row = target + std::size_t(y) * stride;
        if (bgrBytes && bytesPerPixel == 3) {
            std::memcpy(row, source, std::size_t(image.width) * 3);
            continue;
        }
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t *bytes = source + std::size_t(x) * std::size_t(bytesPerPixel);
            std::uint8_t *out = row + std::size_t(x) * 3;
            if (bgrBytes) {
                out[0] = bytes[0];
                out[1] = bytes[1];
                out[2] = bytes[2];
                continue;
            }
            unsigned long pixel = 0;
            for (int i = 0; i < bytesPerPixel; ++i) {
                const unsigned long byte = leastFirst ? bytes[i] : bytes[bytesPerPixel - 1 - i];
                pixel |= byte << (8 * i);
            }
            out[0] = blue.value(pixel);
            out[1] = green.value(pixel);
            out[2] = red.value(pixel);
        }
    }
    return true;
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
        if (!m_display)
            return;
        releaseShm();
        XCloseDisplay(m_display);
    }

    WindowId findWindowByTitle(const std::string &title) override
    {
        if (!display())
            return NoWindow;
        // Managed windows first, topmost first; then the root's own children, where withdrawn
        // (hidden) windows live, which Windows would still find.
        std::vector<Window> candidates;
        for (const WindowId window : topLevelWindows())
            candidates.push_back(Window(window));
        std::vector<Window> children = rootChildren();
        std::reverse(children.begin(), children.end());
        for (const Window child : children) {
            if (std::find(candidates.begin(), candidates.end(), child) == candidates.end())
                candidates.push_back(child);
        }
        for (const Window window : candidates) {
            if (equalIgnoringAsciiCase(windowTitle(window), title))
                return window;
        }
        return NoWindow;
    }

    std::vector<WindowId> topLevelWindows() override
    {
        if (!display())
            return {};
        // The stacking list runs bottom to top; Windows enumerates the topmost first. An empty
        // list is an answer (no managed windows); only a missing one means no window manager.
        bool present = false;
        std::vector<Window> windows = windowList(m_root, m_atoms.clientListStacking, &present);
        if (present) {
            std::reverse(windows.begin(), windows.end());
        } else {
            windows = windowList(m_root, m_atoms.clientList, &present);
            if (!present) {
                // No window manager: the root's children are the top-level windows.
                windows = rootChildren();
                std::reverse(windows.begin(), windows.end());
            }
        }
        return std::vector<WindowId>(windows.begin(), windows.end());
    }

    std::string windowTitle(WindowId window) override
    {
        if (!display() || window == NoWindow)
            return std::string();
        Atom type = 0;
        std::string title;
        if (readText(Window(window), m_atoms.netWmName, type, title) && type == m_atoms.utf8String)
            return title;
        if (!readText(Window(window), XA_WM_NAME, type, title))
            return std::string();
        if (type == m_atoms.utf8String)
            return title;
        if (type == XA_STRING)
            return utf8FromLatin1(reinterpret_cast<const unsigned char *>(title.data()),
                                  title.size());
        return fromCompoundText(type, title);
    }

    bool isWindowVisible(WindowId window) override
    {
        XWindowAttributes attributes;
        return display() && window != NoWindow && readAttributes(Window(window), attributes)
            && attributes.map_state == IsViewable;
    }

    WindowId foregroundWindow() override
    {
        if (!display())
            return NoWindow;
        bool present = false;
        const std::vector<Window> active = windowList(m_root, m_atoms.netActiveWindow, &present);
        if (present)
            return active.empty() ? NoWindow : active.front();
        // No window manager to say: the window holding the input focus.
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        return focus == PointerRoot ? NoWindow : focus;
    }

    std::optional<Rect> clientRect(WindowId window) override
    {
        if (!display() || window == NoWindow)
            return std::nullopt;
        XWindowAttributes attributes;
        Rect rect;
        if (!readGeometry(Window(window), attributes, rect))
            return std::nullopt;
        // An unmapped or minimised window shows no client area.
        if (attributes.map_state != IsViewable)
            rect = Rect{rect.left, rect.top, rect.left, rect.top};
        return rect;
    }

    Monitor monitorOf(WindowId window) override
    {
        Monitor result;
        XWindowAttributes attributes;
        Rect rect;
        if (!display() || window == NoWindow || !readGeometry(Window(window), attributes, rect))
            return result; // NoMonitor
        const std::vector<Rect> monitors = monitorRects();
        if (monitors.empty()) {
            result.status = MonitorStatus::NoMonitorInfo;
            return result;
        }

        // The monitor holding the window's centre (the first one listed, should monitors
        // overlap), else the one nearest to that centre.
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

    CaptureStatus grabScreen(const Rect &area, Pixels &pixels) override
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

        // Rows padded to 4 bytes like a Windows DIB; what lies beyond the screen's edges stays
        // black, as the screen DC gives it there.
        Pixels copy;
        copy.width = width;
        copy.height = height;
        copy.stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
        copy.bytes.assign(copy.stride * std::size_t(height), 0);

        const int left = std::max(area.left, screen->left);
        const int top = std::max(area.top, screen->top);
        const int right = std::min(area.right, screen->right);
        const int bottom = std::min(area.bottom, screen->bottom);
        if (right > left && bottom > top) {
            std::uint8_t *target = copy.bytes.data() + std::size_t(top - area.top) * copy.stride
                + std::size_t(left - area.left) * 3;
            if (!copyScreen(left, top, right - left, bottom - top, target, copy.stride))
                return CaptureStatus::Failed;
        }
        pixels = std::move(copy);
        return CaptureStatus::Captured;
    }

private:
    struct Atoms
    {
        Atom clientListStacking = 0;
        Atom clientList = 0;
        Atom netActiveWindow = 0;
        Atom netWmName = 0;
        Atom utf8String = 0;
    };

    // Opened at the first use; tried again at the next call while there is no X server.
    Display *display()
    {
        if (m_display)
            return m_display;
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return nullptr;
        m_screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, m_screen);
        char *names[] = {const_cast<char *>("_NET_CLIENT_LIST_STACKING"),
                         const_cast<char *>("_NET_CLIENT_LIST"),
                         const_cast<char *>("_NET_ACTIVE_WINDOW"),
                         const_cast<char *>("_NET_WM_NAME"), const_cast<char *>("UTF8_STRING")};
        Atom atoms[5] = {};
        XInternAtoms(m_display, names, 5, False, atoms);
        m_atoms = Atoms{atoms[0], atoms[1], atoms[2], atoms[3], atoms[4]};
        return m_display;
    }

    // A property of 32-bit window ids; `present` tells a missing property from an empty one.
    std::vector<Window> windowList(Window window, Atom property, bool *present = nullptr)
    {
        if (present)
            *present = false;
        std::vector<Window> windows;
        XErrorTrap trap(m_display);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        const int status = XGetWindowProperty(m_display, window, property, 0, 1L << 20, False,
                                              XA_WINDOW, &type, &format, &count, &remaining,
                                              &data);
        if (status == Success && !trap.caught() && type == XA_WINDOW && format == 32) {
            if (present)
                *present = true;
            // Xlib hands out 32-bit items as longs.
            const auto *items = reinterpret_cast<const unsigned long *>(data);
            for (unsigned long i = 0; i < count; ++i) {
                if (items[i] != 0)
                    windows.push_back(Window(items[i]));
            }
        }
        if (data)
            XFree(data);
        return windows;
    }

    std::vector<Window> rootChildren()
    {
        std::vector<Window> windows;
        XErrorTrap trap(m_display);
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(m_display, m_root, &root, &parent, &children, &count) && children)
            windows.assign(children, children + count);
        if (children)
            XFree(children);
        return windows;
    }

    // An 8-bit text property of any type (the type is returned); false when it is missing.
    bool readText(Window window, Atom property, Atom &type, std::string &text)
    {
        XErrorTrap trap(m_display);
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        // 4 KiB: more than the 255 UTF-16 units of a title that the rules above look at.
        const int status = XGetWindowProperty(m_display, window, property, 0, 1024, False,
                                              AnyPropertyType, &type, &format, &count,
                                              &remaining, &data);
        const bool found = status == Success && !trap.caught() && type != 0 && format == 8;
        if (found)
            text.assign(reinterpret_cast<const char *>(data), count);
        if (data)
            XFree(data);
        return found;
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

    bool readAttributes(Window window, XWindowAttributes &attributes)
    {
        XErrorTrap trap(m_display);
        return XGetWindowAttributes(m_display, window, &attributes) && !trap.caught();
    }

    // The window's inside (no border) in root coordinates, whatever its map state.
    bool readGeometry(Window window, XWindowAttributes &attributes, Rect &rect)
    {
        XErrorTrap trap(m_display);
        if (!XGetWindowAttributes(m_display, window, &attributes) || trap.caught())
            return false;
        int x = 0;
        int y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(m_display, window, attributes.root, 0, 0, &x, &y, &child)
            || trap.caught())
            return false;
        rect = Rect{x, y, x + attributes.width, y + attributes.height};
        return true;
    }

    std::optional<Rect> rootRect()
    {
        XErrorTrap trap(m_display);
        Window root = 0;
        int x = 0;
        int y = 0;
        unsigned int width = 0;
        unsigned int height = 0;
        unsigned int border = 0;
        unsigned int depth = 0;
        if (!XGetGeometry(m_display, m_root, &root, &x, &y, &width, &height, &border, &depth)
            || trap.caught())
            return std::nullopt;
        return Rect{0, 0, int(width), int(height)};
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

    bool copyScreen(int x, int y, int width, int height, std::uint8_t *target, std::size_t stride)
    {
        if (m_mode != CaptureMode::XGetImageOnly) {
            if (copyWithShm(x, y, width, height, target, stride))
                return true;
            if (m_mode == CaptureMode::ShmOnly)
                return false;
        }
        return copyWithGetImage(x, y, width, height, target, stride);
    }

    bool copyWithShm(int x, int y, int width, int height, std::uint8_t *target, std::size_t stride)
    {
        if (!ensureShmImage(width, height))
            return false;
        XErrorTrap trap(m_display);
        if (!XShmGetImage(m_display, m_root, m_shmImage, x, y, AllPlanes) || trap.caught())
            return false;
        return convertToBgr(*m_shmImage, *DefaultVisual(m_display, m_screen), target, stride);
    }

    bool copyWithGetImage(int x, int y, int width, int height, std::uint8_t *target,
                          std::size_t stride)
    {
        XErrorTrap trap(m_display);
        XImage *image = XGetImage(m_display, m_root, x, y, unsigned(width), unsigned(height),
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
