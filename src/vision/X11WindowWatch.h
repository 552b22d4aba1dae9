#pragma once

#include "X11Reply.h"

#include <xcb/xcb.h>

#include <sys/eventfd.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// Counts the changes to the desktop that could alter the list of top-level windows or a title
// in it, so that an unchanged list need not be read again: a search through every window costs
// the server hundreds of requests, a look at the count one round trip.
//
// It has an xcb connection of its own, on which it selects, on the root, the notifications of
// its children (created, destroyed, reparented, restacked) and of its properties (the window
// manager's client lists), and on each listed window those of its properties (the titles). The
// notifications are taken off the connection by a thread of its own as they come, so that none
// pile up in the server while nobody asks, for hours on end; changes() takes, in the caller's
// thread, those that had arrived by its round trip. Both count under one mutex, so whatever
// preceded the round trip is counted when changes() returns. xcb lets several threads use one
// connection.
class WindowWatch
{
public:
    // Null when there is no connection to be had or no thread to be started.
    static std::unique_ptr<WindowWatch> start(xcb_window_t root, std::vector<xcb_atom_t> rootLists,
                                              std::vector<xcb_atom_t> titles)
    {
        xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return nullptr; // tried again at the next listing
        }
        const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0) {
            xcb_disconnect(connection);
            return nullptr;
        }
        std::unique_ptr<WindowWatch> watch(
            new WindowWatch(connection, wake, root, std::move(rootLists), std::move(titles)));
        const std::uint32_t mask =
            XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        try {
            watch->m_thread = std::thread([raw = watch.get()] { raw->takeNotifications(); });
        } catch (const std::system_error &) {
            return nullptr;
        }
        return watch;
    }

    ~WindowWatch()
    {
        if (m_thread.joinable()) {
            const std::uint64_t one = 1;
            while (write(m_wake, &one, sizeof one) < 0 && errno == EINTR) {
            }
            m_thread.join();
        }
        close(m_wake);
        xcb_disconnect(m_connection);
    }

    WindowWatch(const WindowWatch &) = delete;
    WindowWatch &operator=(const WindowWatch &) = delete;

    xcb_connection_t *connection() const { return m_connection; }

    // The number of changes so far, all that the server made before this call included; nothing
    // when the connection has broken.
    std::optional<std::uint64_t> changes()
    {
        free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        if (xcb_connection_has_error(m_connection))
            return std::nullopt;
        const std::lock_guard<std::mutex> lock(m_mutex);
        while (xcb_generic_event_t *event = xcb_poll_for_queued_event(m_connection))
            count(event);
        return m_changes;
    }

    // Title changes of these windows count from now on: requests on this connection that come
    // after see them. A window closed meanwhile makes an error, which arrives as a notification
    // and is dropped. Windows no longer listed are forgotten, so that an id used again is watched
    // again.
    void watchTitles(const std::vector<xcb_window_t> &windows)
    {
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        std::vector<xcb_window_t> watched = windows;
        std::sort(watched.begin(), watched.end());
        for (const xcb_window_t window : watched) {
            if (!std::binary_search(m_watched.begin(), m_watched.end(), window))
                xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
        }
        m_watched = std::move(watched);
    }

private:
    WindowWatch(xcb_connection_t *connection, int wake, xcb_window_t root,
                std::vector<xcb_atom_t> rootLists, std::vector<xcb_atom_t> titles)
        : m_connection(connection)
        , m_wake(wake)
        , m_root(root)
        , m_rootLists(std::move(rootLists))
        , m_titles(std::move(titles))
    {
    }

    void takeNotifications()
    {
        pollfd descriptors[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0},
                                 {m_wake, POLLIN, 0}};
        for (;;) {
            if (poll(descriptors, 2, -1) < 0 && errno != EINTR)
                return;
            if (descriptors[1].revents)
                return;
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
                    count(event);
                if (xcb_connection_has_error(m_connection))
                    return;
            }
            // At most 50 wakes a second, also while the user drags a window about; the socket
            // may also stay readable a moment while the caller's thread reads a reply off it.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // Called with the mutex held; frees the event.
    void count(xcb_generic_event_t *event)
    {
        if (isChange(*event))
            ++m_changes;
        free(event);
    }

    bool isChange(const xcb_generic_event_t &event) const
    {
        switch (event.response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY: {
            const auto &property = reinterpret_cast<const xcb_property_notify_event_t &>(event);
            const std::vector<xcb_atom_t> &atoms =
                property.window == m_root ? m_rootLists : m_titles;
            return std::find(atoms.begin(), atoms.end(), property.atom) != atoms.end();
        }
        // The root's children: which there are, and their order.
        case XCB_CREATE_NOTIFY:
        case XCB_DESTROY_NOTIFY:
        case XCB_REPARENT_NOTIFY:
        case XCB_CONFIGURE_NOTIFY:
        case XCB_CIRCULATE_NOTIFY:
            return true;
        default:
            return false; // errors of watchTitles() among them
        }
    }

    xcb_connection_t *const m_connection;
    const int m_wake; // written once, to end the thread
    const xcb_window_t m_root;
    const std::vector<xcb_atom_t> m_rootLists;
    const std::vector<xcb_atom_t> m_titles;
    std::vector<xcb_window_t> m_watched; // sorted; the caller's thread only
    std::thread m_thread;
    std::mutex m_mutex;
    std::uint64_t m_changes = 0; // guarded by m_mutex
};
