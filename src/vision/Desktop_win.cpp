// The desktop on Windows: user32 for windows and monitors, gdi32 for the screen copy. Only Win32
// headers and standard C++ here, so that this file also builds where there is no Windows Qt (with
// mingw-w64, run under Wine by tests/win32).
#include "Desktop.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <utility>

namespace {

HWND toHandle(Desktop::WindowId window)
{
    return reinterpret_cast<HWND>(window);
}

Desktop::WindowId toId(HWND handle)
{
    return reinterpret_cast<Desktop::WindowId>(handle);
}

std::string utf8FromWide(const wchar_t *text, int units)
{
    if (units <= 0)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string narrow(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, units, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

// Releases a GDI resource when the capture leaves its scope, whichever way it leaves.
template <typename Release>
class Releaser
{
public:
    explicit Releaser(Release release)
        : m_release(std::move(release))
    {
    }
    ~Releaser() { m_release(); }
    Releaser(const Releaser &) = delete;
    Releaser &operator=(const Releaser &) = delete;

private:
    Release m_release;
};

template <typename Release>
Releaser<Release> releaseLater(Release release)
{
    return Releaser<Release>(std::move(release));
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
    return TRUE; // all of them: the caller applies its own rules to the whole list
}

std::string titleOf(HWND window)
{
    wchar_t title[256] = {};
    const int units = GetWindowTextW(window, title, 256);
    return utf8FromWide(title, units);
}

class WindowsDesktop final : public Desktop
{
public:
    // EnumWindows visits every top-level window, hidden ones too, in the order FindWindowW
    // searches them, so every one is enumerated.
    std::vector<TopLevelWindow> topLevelWindows() override
    {
        std::vector<HWND> handles;
        EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&handles));
        std::vector<TopLevelWindow> windows;
        windows.reserve(handles.size());
        for (const HWND handle : handles)
            windows.push_back(TopLevelWindow{toId(handle), titleOf(handle), true});
        return windows;
    }

    WindowState windowState(WindowId window) override
    {
        return WindowState{titleOf(toHandle(window)), IsWindowVisible(toHandle(window)) != FALSE};
    }

    WindowId foregroundWindow() override
    {
        return toId(GetForegroundWindow());
    }

    std::optional<Rect> clientRect(WindowId window) override
    {
        RECT client;
        if (!GetClientRect(toHandle(window), &client))
            return std::nullopt;
        POINT topLeft{client.left, client.top};
        POINT bottomRight{client.right, client.bottom};
        if (!ClientToScreen(toHandle(window), &topLeft)
            || !ClientToScreen(toHandle(window), &bottomRight))
            return std::nullopt;
        return Rect{int(topLeft.x), int(topLeft.y), int(bottomRight.x), int(bottomRight.y)};
    }

    Monitor monitorOf(WindowId window) override
    {
        Monitor result;
        const HMONITOR monitor = MonitorFromWindow(toHandle(window), MONITOR_DEFAULTTONEAREST);
        if (!monitor) {
            result.status = MonitorStatus::NoMonitor;
            return result;
        }
        MONITORINFO info = {};
        info.cbSize = sizeof(MONITORINFO); // 40
        if (!GetMonitorInfoW(monitor, &info)) {
            result.status = MonitorStatus::NoMonitorInfo;
            return result;
        }
        result.status = MonitorStatus::Found;
        result.rect = Rect{int(info.rcMonitor.left), int(info.rcMonitor.top),
                           int(info.rcMonitor.right), int(info.rcMonitor.bottom)};
        return result;
    }

    CaptureStatus grabScreen(const Rect &area, std::uint8_t *target, std::size_t stride) override
    {
        const int width = area.width();
        const int height = area.height();
        if (width <= 0 || height <= 0)
            return CaptureStatus::Failed;

        const HDC screen = GetDC(nullptr);
        if (!screen)
            return CaptureStatus::NoScreen;
        const auto releaseScreen = releaseLater([screen] { ReleaseDC(nullptr, screen); });

        const HDC memory = CreateCompatibleDC(screen);
        if (!memory)
            return CaptureStatus::Failed;
        const auto deleteMemory = releaseLater([memory] { DeleteDC(memory); });

        const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        if (!bitmap)
            return CaptureStatus::Failed;
        // Declared after the memory DC, so deleted before it, and never while selected into it.
        const auto deleteBitmap = releaseLater([bitmap] { DeleteObject(bitmap); });

        const HGDIOBJ previous = SelectObject(memory, bitmap);
        if (!previous || previous == HGDI_ERROR)
            return CaptureStatus::Failed;
        const BOOL copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        // GetDIBits wants the bitmap selected into no device context.
        SelectObject(memory, previous);
        if (!copied)
            return CaptureStatus::Failed;

        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER); // 40
        format.bmiHeader.biWidth = width;
        format.bmiHeader.biHeight = -height; // top row first
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 24;
        format.bmiHeader.biCompression = BI_RGB;

        // DIB rows are padded to a multiple of 4 bytes. Where that padding is nil and the
        // caller's rows are as long, the DIB is the target itself; otherwise it goes through a
        // buffer of its own, row by row.
        const std::size_t rowBytes = std::size_t(width) * 3;
        const std::size_t dibStride = ((std::size_t(width) * 24 + 31) / 32) * 4;
        if (dibStride == rowBytes && stride == rowBytes) {
            const int rows = GetDIBits(screen, bitmap, 0, UINT(height), target, &format,
                                       DIB_RGB_COLORS);
            return rows == height ? CaptureStatus::Captured : CaptureStatus::Failed;
        }
        std::vector<std::uint8_t> dib(dibStride * std::size_t(height));
        const int rows = GetDIBits(screen, bitmap, 0, UINT(height), dib.data(), &format,
                                   DIB_RGB_COLORS);
        if (rows != height)
            return CaptureStatus::Failed;
        for (int y = 0; y < height; ++y)
            std::memcpy(target + std::size_t(y) * stride, dib.data() + std::size_t(y) * dibStride,
                        rowBytes);
        return CaptureStatus::Captured;
    }
};

} // namespace

std::unique_ptr<Desktop> createDesktop()
{
    return std::make_unique<WindowsDesktop>();
}
