#pragma once

#include <X11/Xlib.h>

// Any window may close between two requests about it; the X error that follows must not reach
// Xlib's default handler, which ends the process. The questions about windows go through xcb and
// take their errors with their replies (collect() in X11Reply.h); the trap is for what still goes through
// Xlib (RandR, MIT-SHM, XGetImage). A trap catches the errors of its display while it lives and
// hands those of other connections (the toolkit's) to the handler it replaced. Requests with a
// reply report their errors before they return; for those without one (MIT-SHM attach and
// detach), failed() waits for the server first.
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
