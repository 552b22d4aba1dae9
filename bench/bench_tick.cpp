// What one tick of the overlay controller costs the GUI thread in desktop questions, state by
// state, on a desktop of 60 other windows, with the game absent and present. Ours is
// PlatformBridge; the baseline, measured in the same run, is the lookup it replaced, kept here: a
// fresh search through every top-level window for each question, one synchronous round trip per
// window and property, and a capture through a zero-filled buffer copied once more into the image.
//
// Needs an X display of 1920 x 1080 or larger with a window manager (EWMH), for example the
// private desktop of scripts/lib/desktop.sh:
//     source scripts/lib/desktop.sh && start_desktop && build/bench/bench_tick; stop_desktop
// The program makes its own windows: 60 plain ones and, for "present", one titled "Dota 2" of
// 1920 x 1080 that has the focus (full-screen when the screen is exactly that size).
#include "PlatformBridge.h"

#include <QString>
#include <QtGlobal>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int otherWindows = 60;
const char *const gameTitle = "Dota 2";

Atom atom(Display *display, const char *name)
{
    return XInternAtom(display, name, False);
}

// A root property of window ids, as Xlib hands them out.
std::vector<Window> rootWindowList(Display *display, Atom property, bool *present = nullptr)
{
    if (present)
        *present = false;
    std::vector<Window> windows;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1L << 20, False,
                           XA_WINDOW, &type, &format, &count, &remaining, &data)
            == Success
        && type == XA_WINDOW && format == 32) {
        if (present)
            *present = true;
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

bool waitFor(const std::function<bool()> &condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The desktop the questions are asked on, made through a connection of its own.
class Scene
{
public:
    bool open()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return false;
        m_clientList = atom(m_display, "_NET_CLIENT_LIST");
        m_activeWindow = atom(m_display, "_NET_ACTIVE_WINDOW");
        const int screen = DefaultScreen(m_display);
        m_screenWidth = DisplayWidth(m_display, screen);
        m_screenHeight = DisplayHeight(m_display, screen);
        for (int i = 0; i < otherWindows; ++i) {
            const std::string title = "Document " + std::to_string(i + 1) + " - Text editor";
            m_others.push_back(
                createWindow(title, 40 + (i % 10) * 60, 40 + (i / 10) * 60, 480, 320, false));
        }
        if (!waitUntilManaged(m_others.back(), true))
            return false;
        return activate(m_others.back());
    }

    ~Scene()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    bool screenFits() const { return m_screenWidth >= 1920 && m_screenHeight >= 1080; }

    // The game's window shown and focused, or gone with another window focused.
    bool setGame(bool present)
    {
        if (present == (m_game != 0))
            return true;
        if (!present) {
            XDestroyWindow(m_display, m_game);
            const Window gone = m_game;
            m_game = 0;
            return waitUntilManaged(gone, false) && activate(m_others.back());
        }
        const bool fullScreen = m_screenWidth == 1920 && m_screenHeight == 1080;
        m_game = createWindow(gameTitle, 0, 0, 1920, 1080, fullScreen);
        return waitUntilManaged(m_game, true) && activate(m_game);
    }

private:
    Window createWindow(const std::string &title, int x, int y, int width, int height,
                        bool fullScreen)
    {
        const int screen = DefaultScreen(m_display);
        const Window window = XCreateSimpleWindow(m_display, RootWindow(m_display, screen), x, y,
                                                  unsigned(width), unsigned(height), 0,
                                                  BlackPixel(m_display, screen),
                                                  WhitePixel(m_display, screen));
        // Titled as toolkits title their windows: both the old property and the EWMH one.
        XStoreName(m_display, window, title.c_str());
        XChangeProperty(m_display, window, atom(m_display, "_NET_WM_NAME"),
                        atom(m_display, "UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(title.data()), int(title.size()));
        XSizeHints hints = {};
        hints.flags = USPosition | USSize;
        hints.x = x;
        hints.y = y;
        hints.width = width;
        hints.height = height;
        XSetWMNormalHints(m_display, window, &hints);
        if (fullScreen) {
            const Atom state = atom(m_display, "_NET_WM_STATE_FULLSCREEN");
            XChangeProperty(m_display, window, atom(m_display, "_NET_WM_STATE"), XA_ATOM, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char *>(&state), 1);
        }
        XMapWindow(m_display, window);
        XSync(m_display, False);
        return window;
    }

    bool waitUntilManaged(Window window, bool managed)
    {
        return waitFor([&] {
            const std::vector<Window> list = rootWindowList(m_display, m_clientList);
            return (std::find(list.begin(), list.end(), window) != list.end()) == managed;
        });
    }

    // As a pager asks the window manager to focus a window.
    bool activate(Window window)
    {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = m_activeWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, DefaultRootWindow(m_display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XSync(m_display, False);
        return waitFor([&] {
            const std::vector<Window> active = rootWindowList(m_display, m_activeWindow);
            return !active.empty() && active.front() == window;
        });
    }

    Display *m_display = nullptr;
    Atom m_clientList = 0;
    Atom m_activeWindow = 0;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    std::vector<Window> m_others;
    Window m_game = 0;
};

// The three questions a tick asks.
class Questions
{
public:
    virtual ~Questions() = default;
    virtual bool foreground() = 0;
    virtual bool visible() = 0;
    virtual cv::Mat capture() = 0;
};

class Ours final : public Questions
{
public:
    bool foreground() override { return m_bridge.isDota2Foreground(); }
    bool visible() override { return m_bridge.isDota2WindowVisible(); }
    cv::Mat capture() override { return m_bridge.captureDota2Window(); }

private:
    PlatformBridge m_bridge;
};

// The lookup and capture as they were before the bridge remembered the game window and asked
// about windows in batches: every question searches afresh, one synchronous request at a time.
class Baseline final : public Questions
{
public:
    Baseline()
        : m_display(XOpenDisplay(nullptr))
        , m_root(DefaultRootWindow(m_display))
        , m_stacking(atom(m_display, "_NET_CLIENT_LIST_STACKING"))
        , m_clientList(atom(m_display, "_NET_CLIENT_LIST"))
        , m_activeWindow(atom(m_display, "_NET_ACTIVE_WINDOW"))
        , m_netWmName(atom(m_display, "_NET_WM_NAME"))
        , m_utf8String(atom(m_display, "UTF8_STRING"))
    {
    }

    ~Baseline() override
    {
        if (m_shmImage) {
            XShmDetach(m_display, &m_shmInfo);
            XSync(m_display, False);
            m_shmImage->data = nullptr;
            XDestroyImage(m_shmImage);
            shmdt(m_shmInfo.shmaddr);
        }
        XCloseDisplay(m_display);
    }

    bool foreground() override
    {
        bool present = false;
        const std::vector<Window> active = rootWindowList(m_display, m_activeWindow, &present);
        if (!present || active.empty())
            return false;
        return QString::fromStdString(titleOf(active.front()))
                   .left(255)
                   .compare(QLatin1String(gameTitle), Qt::CaseInsensitive)
            == 0;
    }

    bool visible() override
    {
        const Window window = findGame(false);
        return window != 0 && isVisible(window);
    }

    cv::Mat capture() override
    {
        const Window window = findGame(true);
        XWindowAttributes attributes;
        int x = 0;
        int y = 0;
        Window child = 0;
        if (!window || !XGetWindowAttributes(m_display, window, &attributes)
            || !XTranslateCoordinates(m_display, window, attributes.root, 0, 0, &x, &y, &child)
            || attributes.map_state != IsViewable)
            return cv::Mat();
        Window root = 0;
        int rootX = 0;
        int rootY = 0;
        unsigned int rootWidth = 0;
        unsigned int rootHeight = 0;
        unsigned int border = 0;
        unsigned int depth = 0;
        XGetGeometry(m_display, m_root, &root, &rootX, &rootY, &rootWidth, &rootHeight, &border,
                     &depth);
        const int width = std::min(attributes.width, int(rootWidth) - x);
        const int height = std::min(attributes.height, int(rootHeight) - y);
        if (x < 0 || y < 0 || width <= 0 || height <= 0)
            return cv::Mat(); // not measured: the benchmark's game lies on the screen

        // Rows padded to 4 bytes in a zero-filled buffer, as the Windows DIB is.
        const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
        std::vector<std::uint8_t> bytes(stride * std::size_t(height), 0);
        if (!ensureShmImage(width, height)
            || !XShmGetImage(m_display, m_root, m_shmImage, x, y, AllPlanes))
            return cv::Mat();
        for (int row = 0; row < height; ++row) {
            const auto *source = reinterpret_cast<const std::uint8_t *>(m_shmImage->data)
                + std::size_t(row) * std::size_t(m_shmImage->bytes_per_line);
            std::uint8_t *target = bytes.data() + std::size_t(row) * stride;
            for (int column = 0; column < width; ++column) {
                target[column * 3] = source[column * 4];
                target[column * 3 + 1] = source[column * 4 + 1];
                target[column * 3 + 2] = source[column * 4 + 2];
            }
        }
        cv::Mat image(height, width, CV_8UC3);
        for (int row = 0; row < height; ++row)
            std::memcpy(image.ptr(row), bytes.data() + std::size_t(row) * stride,
                        std::size_t(width) * 3);
        return image;
    }

private:
    Window findGame(bool containing)
    {
        // The direct lookup: managed windows, then the root's other children, by exact title.
        std::vector<Window> candidates = enumerated();
        for (const Window child : rootChildren()) {
            if (std::find(candidates.begin(), candidates.end(), child) == candidates.end())
                candidates.push_back(child);
        }
        for (const Window window : candidates) {
            if (equalIgnoringAsciiCase(titleOf(window), gameTitle))
                return window;
        }
        // The enumeration: the first visible window whose title fits.
        for (const Window window : enumerated()) {
            if (!isVisible(window))
                continue;
            const QString title = QString::fromStdString(titleOf(window)).left(255);
            const QLatin1String name(gameTitle);
            const bool fits = containing ? title.contains(name, Qt::CaseInsensitive)
                                         : title.compare(name, Qt::CaseInsensitive) == 0;
            if (fits)
                return window;
        }
        return 0;
    }

    std::vector<Window> enumerated()
    {
        bool present = false;
        std::vector<Window> windows = rootWindowList(m_display, m_stacking, &present);
        if (present) {
            std::reverse(windows.begin(), windows.end());
            return windows;
        }
        windows = rootWindowList(m_display, m_clientList, &present);
        if (present)
            return windows;
        windows = rootChildren();
        std::reverse(windows.begin(), windows.end());
        return windows;
    }

    std::vector<Window> rootChildren()
    {
        std::vector<Window> windows;
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(m_display, m_root, &root, &parent, &children, &count) && children)
            windows.assign(children, children + count);
        if (children)
            XFree(children);
        std::reverse(windows.begin(), windows.end());
        return windows;
    }

    bool readText(Window window, Atom property, Atom &type, std::string &text)
    {
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        const int status = XGetWindowProperty(m_display, window, property, 0, 1024, False,
                                              AnyPropertyType, &type, &format, &count,
                                              &remaining, &data);
        const bool found = status == Success && type != 0 && format == 8;
        if (found)
            text.assign(reinterpret_cast<const char *>(data), count);
        if (data)
            XFree(data);
        return found;
    }

    // Latin-1 and compound-text titles are not decoded: the benchmark's windows use UTF-8.
    std::string titleOf(Window window)
    {
        Atom type = 0;
        std::string title;
        if ((readText(window, m_netWmName, type, title) && type == m_utf8String)
            || readText(window, XA_WM_NAME, type, title))
            return title;
        return std::string();
    }

    bool isVisible(Window window)
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(m_display, window, &attributes)
            && attributes.map_state == IsViewable;
    }

    bool ensureShmImage(int width, int height)
    {
        if (m_shmImage && m_shmImage->width == width && m_shmImage->height == height)
            return true;
        if (m_shmImage)
            return false; // one size is enough here
        const int screen = DefaultScreen(m_display);
        XImage *image = XShmCreateImage(m_display, DefaultVisual(m_display, screen),
                                        unsigned(DefaultDepth(m_display, screen)), ZPixmap,
                                        nullptr, &m_shmInfo, unsigned(width), unsigned(height));
        if (!image || image->bits_per_pixel != 32)
            return false;
        const std::size_t size = std::size_t(image->bytes_per_line) * std::size_t(height);
        m_shmInfo.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        m_shmInfo.shmaddr = image->data = static_cast<char *>(shmat(m_shmInfo.shmid, nullptr, 0));
        m_shmInfo.readOnly = False;
        XShmAttach(m_display, &m_shmInfo);
        XSync(m_display, False);
        shmctl(m_shmInfo.shmid, IPC_RMID, nullptr);
        m_shmImage = image;
        return true;
    }

    Display *m_display;
    Window m_root;
    Atom m_stacking;
    Atom m_clientList;
    Atom m_activeWindow;
    Atom m_netWmName;
    Atom m_utf8String;
    XShmSegmentInfo m_shmInfo{};
    XImage *m_shmImage = nullptr;
};

// A tick's questions, as the controller asks them in each state.
enum class Tick {
    IdleWithPendingMatch,  // isDota2WindowVisible
    WaitingForGame,        // isDota2Foreground, then, when it is, isDota2WindowVisible
    DetectionNotDue,       // isDota2Foreground, isDota2WindowVisible
    DetectionWithCapture,  // and then isDota2Foreground again and, when it is, the capture
};

void askTick(Questions &questions, Tick tick)
{
    switch (tick) {
    case Tick::IdleWithPendingMatch:
        benchmark::DoNotOptimize(questions.visible());
        return;
    case Tick::WaitingForGame:
        if (questions.foreground())
            benchmark::DoNotOptimize(questions.visible());
        return;
    case Tick::DetectionNotDue:
    case Tick::DetectionWithCapture:
        benchmark::DoNotOptimize(questions.foreground());
        benchmark::DoNotOptimize(questions.visible());
        if (tick == Tick::DetectionWithCapture && questions.foreground()) {
            const cv::Mat frame = questions.capture();
            benchmark::DoNotOptimize(frame.data);
        }
        return;
    }
}

// Made once and kept, as the controller keeps its bridge.
Scene *scene = nullptr;
Questions *ours = nullptr;
Questions *baseline = nullptr;

void tickCost(benchmark::State &state, Questions *questions, Tick tick, bool gamePresent)
{
    if (!scene->setGame(gamePresent)) {
        state.SkipWithError("the window manager did not show or remove the game window");
        return;
    }
    // Both ways must give the same answers on this desktop before either is timed.
    if (ours->foreground() != gamePresent || ours->visible() != gamePresent
        || baseline->foreground() != gamePresent || baseline->visible() != gamePresent
        || ours->capture().size() != baseline->capture().size()) {
        state.SkipWithError("the answers differ from what the desktop shows");
        return;
    }
    for (auto _ : state)
        askTick(*questions, tick);
}

void registerTicks()
{
    struct Named
    {
        const char *name;
        Tick tick;
    };
    const Named ticks[] = {
        {"IDLE_with_pending_match", Tick::IdleWithPendingMatch},
        {"WAITING_FOR_GAME", Tick::WaitingForGame},
        {"detection_states_not_due", Tick::DetectionNotDue},
        {"detection_due_or_JOINING_SLOT", Tick::DetectionWithCapture},
    };
    for (const Named &named : ticks) {
        for (const bool present : {false, true}) {
            const std::string name =
                std::string(named.name) + (present ? "/game_present" : "/game_absent");
            const Tick tick = named.tick;
            for (const bool isOurs : {true, false}) {
                const std::string full = name + (isOurs ? "/ours" : "/baseline");
                const auto run = [tick, present, isOurs](benchmark::State &state) {
                    tickCost(state, isOurs ? ours : baseline, tick, present);
                };
                benchmark::RegisterBenchmark(full.c_str(), run)->Unit(benchmark::kMicrosecond);
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    Scene desktop;
    if (!desktop.open()) {
        std::fprintf(stderr, "bench_tick needs an X display with a window manager (see the top of "
                             "bench_tick.cpp)\n");
        return 1;
    }
    if (!desktop.screenFits()) {
        std::fprintf(stderr, "bench_tick needs a screen of 1920 x 1080 or larger\n");
        return 1;
    }
    scene = &desktop;
    // The bridge logs a line when created; not wanted between the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    Ours bridge;
    Baseline before;
    ours = &bridge;
    baseline = &before;
    std::printf("%d other windows. IDLE without a pending match and IN_GAME ask nothing.\n"
                "The detection states (WAITING_FOR_INVITATION, ACCEPTING_INVITATION,\n"
                "WAITING_FOR_PLAYERS, MATCH_READY) capture 1920x1080 when detection is due;\n"
                "JOINING_SLOT captures on every tick.\n",
                otherWindows);
    registerTicks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
