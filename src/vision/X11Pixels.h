#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>

// A 24- or 32-bit ZPixmap into blue-green-red rows at `target`, `stride` bytes apart; false for
// any other layout. Needs no X server: the image and visual are plain structures.
bool convertToBgr(const XImage &image, const Visual &visual, std::uint8_t *target,
                  std::size_t stride);
