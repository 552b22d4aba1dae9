#include "WindowPing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

WindowPing::WindowPing(quint32 window)
    : m_window(window)
{
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;
    // The toolkit sends the answer to the root window, for whoever listens to its own changes.
    const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    m_protocols = internAtom(m_connection, "WM_PROTOCOLS");
    m_ping = internAtom(m_connection, "_NET_WM_PING");
    m_valid = m_protocols != xcb_atom_t(XCB_ATOM_NONE) && m_ping != xcb_atom_t(XCB_ATOM_NONE);
}

WindowPing::~WindowPing()
{
    xcb_disconnect(m_connection);
}

int WindowPing::roundTripMs(int timeoutMs)
{
    if (!m_valid)
        return -1;
    xcb_client_message_event_t ping;
    std::memset(&ping, 0, sizeof ping);
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = m_window;
    ping.type = m_protocols;
    ping.data.data32[0] = m_ping;
    ping.data.data32[1] = ++m_serial; // stands in for the timestamp, which comes back unchanged
    ping.data.data32[2] = m_window;
    QElapsedTimer clock;
    clock.start();
    xcb_send_event(m_connection, 0, m_window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&ping));
    xcb_flush(m_connection);
    while (clock.elapsed() < timeoutMs) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const auto *answer = reinterpret_cast<xcb_client_message_event_t *>(event);
            const bool ours = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE
                && answer->data.data32[0] == m_ping && answer->data.data32[1] == m_serial;
            std::free(event);
            if (ours)
                return int(clock.elapsed());
        }
        QCoreApplication::processEvents();
        QThread::usleep(500);
    }
    return -1;
}
