#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// A reply from xcb, freed with its holder.
struct FreeWithC
{
    void operator()(void *memory) const { std::free(memory); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeWithC>;

// Waits for the reply of one request; null when the server answered with an error instead, such
// as BadWindow for a window that has closed since it was listed. Taking the error here keeps it
// away from Xlib's error handler, which would end the process.
template <typename T, typename Cookie>
Reply<T> collect(xcb_connection_t *connection, Cookie cookie,
                 T *(*wait)(xcb_connection_t *, Cookie, xcb_generic_error_t **))
{
    xcb_generic_error_t *error = nullptr;
    Reply<T> reply(wait(connection, cookie, &error));
    if (!error)
        return reply;
    std::free(error);
    return nullptr;
}
