#pragma once

#include <QtGlobal>

struct xcb_connection_t;

// How long a program takes to answer the window manager's ping (_NET_WM_PING) on one of its
// windows. The toolkit answers it on the GUI thread, between other events, so the delay is how
// long that thread is kept from its event loop.
class WindowPing
{
public:
    explicit WindowPing(quint32 window);
    ~WindowPing();
    WindowPing(const WindowPing &) = delete;
    WindowPing &operator=(const WindowPing &) = delete;

    bool isValid() const { return m_valid; }
    // Sends one ping and waits for its answer, processing this program's own events meanwhile;
    // the delay in milliseconds, or -1 after timeoutMs without an answer.
    int roundTripMs(int timeoutMs);

private:
    xcb_connection_t *m_connection = nullptr;
    quint32 m_window;
    quint32 m_root = 0;
    quint32 m_protocols = 0;
    quint32 m_ping = 0;
    quint32 m_serial = 0;
    bool m_valid = false;
};
