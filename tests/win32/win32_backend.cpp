// The Win32 backend (Desktop_win.cpp, ProcessList_win.cpp) against windows and processes of this
// program's own: a table of cases, each through the backend's interface, judged by Win32 itself.
// One line per case; the exit code is the number that failed. With "--child" it only waits.
#include "Desktop.h"
#include "ProcessList.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Rect = Desktop::Rect;

std::string format(const char *pattern, ...)
{
    char text[256];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

std::string show(const std::optional<Rect> &r)
{
    return r ? format("(%d,%d)-(%d,%d)", r->left, r->top, r->right, r->bottom) : "nothing";
}

std::wstring wide(const std::string &utf8)
{
    std::wstring text(utf8.size(), L'\0');
    text.resize(std::size_t(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()),
                                                &text[0], int(text.size()))));
    return text;
}

// What every window paints at (x, y) of its client area: blue, green, red.
std::array<std::uint8_t, 3> patternPixel(int x, int y)
{
    return {std::uint8_t(x * 5), std::uint8_t(y * 3 + 1), std::uint8_t(x ^ y)};
}

LRESULT CALLBACK paintPattern(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    for (int y = paint.rcPaint.top; y < paint.rcPaint.bottom; ++y)
        for (int x = paint.rcPaint.left; x < paint.rcPaint.right; ++x) {
            const auto bgr = patternPixel(x, y);
            SetPixelV(dc, x, y, RGB(bgr[2], bgr[1], bgr[0]));
        }
    EndPaint(window, &paint);
    return 0;
}

// A framed top-level window whose client area lies at `client`, in screen coordinates.
HWND openWindow(const std::string &title, const Rect &client, int showCommand)
{
    RECT frame{client.left, client.top, client.right, client.bottom};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const HWND window = CreateWindowExW(0, L"CorvantaPattern", wide(title).c_str(),
                                        WS_OVERLAPPEDWINDOW, frame.left, frame.top,
                                        frame.right - frame.left, frame.bottom - frame.top,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

// Runs `attempt` until it finds nothing wrong, for two seconds at most, handling this program's
// messages in between: Wine passes focus changes and painted pixels on asynchronously.
std::string eventually(const std::function<std::string()> &attempt)
{
    std::string wrong;
    for (DWORD start = GetTickCount(); !(wrong = attempt()).empty(); Sleep(20)) {
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&message);
        if (GetTickCount() - start > 2000)
            break;
    }
    return wrong;
}

struct TestWindow
{
    std::string title;
    Rect client;
    int showCommand;
    HWND handle = nullptr;
    Desktop::WindowId id() const { return Desktop::WindowId(handle); }
};

// The game's window first, its client area 301 pixels wide: the DIB rows of its capture are
// padded, the image's rows must not be. A minimised window shows no client area.
std::vector<TestWindow> windows = {
    {"Dota 2", {60, 40, 361, 241}, SW_SHOWNORMAL},
    {"Dota 2 - Launcher", {480, 40, 680, 160}, SW_SHOWNOACTIVATE},
    {"DOTA 2", {480, 260, 680, 380}, SW_SHOWMINNOACTIVE},
    {u8"Dota 2 \u2013 \u0441\u043a\u0440\u044b\u0442\u043e", {480, 460, 680, 580}, SW_HIDE},
};
const TestWindow &game = windows[0];
std::unique_ptr<Desktop> desktop;

// A capture of `area` of the game's window into rows `slack` bytes longer than its pixels: what
// differs from the pattern, or a byte written past a row's pixels.
std::string captureMismatch(const Rect &area, std::size_t slack)
{
    const std::size_t stride = std::size_t(area.width()) * 3 + slack;
    std::vector<std::uint8_t> image(stride * std::size_t(area.height()), 0xA5);
    if (desktop->grabWindow(game.id(), area, image.data(), stride)
        != Desktop::CaptureStatus::Captured)
        return "the capture failed";
    for (int y = 0; y < area.height(); ++y) {
        const std::uint8_t *row = &image[std::size_t(y) * stride];
        for (int x = 0; x < area.width(); ++x) {
            const auto want = patternPixel(area.left - game.client.left + x,
                                           area.top - game.client.top + y);
            if (!std::equal(want.begin(), want.end(), row + x * 3))
                return format("pixel (%d,%d) is %d,%d,%d, painted %d,%d,%d", x, y, row[x * 3],
                              row[x * 3 + 1], row[x * 3 + 2], want[0], want[1], want[2]);
        }
        if (std::any_of(row + area.width() * 3, row + stride, [](int b) { return b != 0xA5; }))
            return format("row %d written past its pixels", y);
    }
    return std::string();
}

// The process list while a copy of this program named `name` runs, and after it has ended.
std::string processCase(const std::string &name)
{
    wchar_t self[MAX_PATH], folder[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = folder + wide(name);
    std::wstring commandLine = L"\"" + path + L"\" --child";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CopyFileW(self, path.c_str(), FALSE)
        || !CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process))
        return "could not start " + name;
    const auto listed = [&] {
        const std::vector<std::string> names = runningProcessNames();
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const bool listedWhileRunning = listed();
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const bool listedAfter = listed();
    DeleteFileW(path.c_str());
    return !listedWhileRunning ? name + " not listed while it runs"
                               : listedAfter ? name + " still listed after it ended" : "";
}

// Each case's name, and what it finds wrong: nothing when it passes.
const std::vector<std::pair<const char *, std::function<std::string()>>> cases = {
    {"each window listed once with its exact title, FindWindowW's window first", [] {
         for (const TestWindow &window : windows) {
             int count = 0;
             Desktop::WindowId first = Desktop::NoWindow;
             for (const Desktop::TopLevelWindow &w : desktop->topLevelWindows()) {
                 count += w.id == window.id() && w.enumerated && w.title == window.title;
                 if (!first && lstrcmpiW(wide(w.title).c_str(), wide(window.title).c_str()) == 0)
                     first = w.id;
             }
             const HWND found = FindWindowW(nullptr, wide(window.title).c_str());
             if (count != 1 || first != Desktop::WindowId(found))
                 return format("\"%s\" listed %d times, or not first", window.title.c_str(), count);
         }
         return std::string();
     }},
    {"each window's title, visible (minimised too) as IsWindowVisible says", [] {
         for (const TestWindow &window : windows) {
             const Desktop::WindowState state = desktop->windowState(window.id());
             const bool visible = IsWindowVisible(window.handle) != FALSE;
             if (state.title != window.title || state.visible != visible
                 || visible == (window.showCommand == SW_HIDE))
                 return format("\"%s\" reads as \"%s\", visible %d", window.title.c_str(),
                               state.title.c_str(), state.visible);
         }
         return std::string();
     }},
    {"each window's client area in screen coordinates, empty when minimised", [] {
         for (const TestWindow &window : windows) {
             const bool minimised = IsIconic(window.handle) != FALSE;
             const Rect want = minimised ? Rect{} : window.client;
             const std::optional<Rect> got = desktop->clientRect(window.id());
             if (!got || (minimised ? got->width() || got->height() : *got != want)
                 || minimised != (window.showCommand == SW_SHOWMINNOACTIVE))
                 return format("\"%s\": ", window.title.c_str()) + show(got) + ", not "
                     + show(want);
         }
         return std::string();
     }},
    {"the foreground window follows the activation", [] {
         for (const TestWindow *window : {&windows[1], &windows[0]}) {
             SetForegroundWindow(window->handle);
             const std::string wrong = eventually([&] {
                 return desktop->foregroundWindow() == window->id()
                         && GetForegroundWindow() == window->handle
                     ? std::string()
                     : format("\"%s\" activated, not the foreground", window->title.c_str());
             });
             if (!wrong.empty())
                 return wrong;
         }
         return std::string();
     }},
    {"the monitor of a window on the screen, and of one beyond it", [] {
         const Rect screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
         const HWND beyond = openWindow("beyond", {4000, 3000, 4100, 3100}, SW_SHOWNOACTIVATE);
         const Desktop::Monitor nearest = desktop->monitorOf(Desktop::WindowId(beyond));
         DestroyWindow(beyond);
         for (const Desktop::Monitor &monitor : {desktop->monitorOf(game.id()), nearest})
             if (monitor.status != Desktop::MonitorStatus::Found || monitor.rect != screen)
                 return format("status %d, ", int(monitor.status)) + show(monitor.rect)
                     + ", the screen " + show(screen);
         return std::string();
     }},
    {"capture of the client area, rows of width * 3 bytes",
     [] { return eventually([] { return captureMismatch(game.client, 0); }); }},
    {"capture into longer rows writes only the pixels",
     [] { return eventually([] { return captureMismatch(game.client, 7); }); }},
    {"capture 300 pixels wide (DIB rows unpadded)",
     [] { return eventually([] { return captureMismatch({61, 41, 361, 141}, 0); }); }},
    {"a window closed after its lookup", [] {
         const HWND closed = openWindow("Dota 2", {60, 400, 260, 500}, SW_SHOWNORMAL);
         const Desktop::WindowId id = Desktop::WindowId(closed);
         const std::optional<Rect> client = desktop->clientRect(id);
         DestroyWindow(closed);
         const Desktop::WindowState state = desktop->windowState(id);
         if (!client || !state.title.empty() || state.visible || desktop->clientRect(id))
             return std::string("once closed, it has a title, visibility or client area");
         // The screen copy goes on: it copies what the screen shows there now.
         std::uint8_t pixels[2 * 3];
         return desktop->grabWindow(id, {client->left, client->top, client->left + 2,
                                         client->top + 1}, pixels, sizeof pixels)
                 == Desktop::CaptureStatus::Captured
             ? std::string()
             : "once closed, its screen area was not captured";
     }},
    {"dota2.exe listed while it runs, and not after", [] { return processCase("dota2.exe"); }},
    {"a non-ASCII executable name comes back as UTF-8",
     [] { return processCase(u8"dota2_\u0442\u0435\u0441\u0442_\u00fc.exe"); }},
};

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "--child") {
        Sleep(60000);
        return 0;
    }
    const WNDCLASSW windowClass{0, paintPattern, 0, 0, GetModuleHandleW(nullptr), nullptr,
                                nullptr, nullptr, nullptr, L"CorvantaPattern"};
    RegisterClassW(&windowClass);
    for (TestWindow &window : windows) {
        if (!(window.handle = openWindow(window.title, window.client, window.showCommand))) {
            std::printf("win32_backend: no window could be opened (no display?)\n");
            return 1;
        }
    }
    desktop = createDesktop();

    int failed = 0;
    for (const auto &[name, run] : cases) {
        const std::string wrong = run();
        failed += !wrong.empty();
        std::printf("%s %s%s%s\n", wrong.empty() ? "PASS" : "FAIL", name, wrong.empty() ? "" : ": ",
                    wrong.c_str());
    }
    std::printf("win32_backend: %d of %zu cases failed\n", failed, cases.size());
    return failed;
}
