#include "X11Pixels.h"

#include <cstring>

namespace {

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

} // namespace

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
        if (bgrBytes && image.width > 0) {
            // Four bytes stored per pixel, the fourth (padding) overwritten by the next pixel's
            // blue: one load and one store each instead of three. The row's last pixel stores
            // three, so that nothing past the row is written.
            const int last = image.width - 1;
            for (int x = 0; x < last; ++x)
                std::memcpy(row + std::size_t(x) * 3, source + std::size_t(x) * 4, 4);
            std::memcpy(row + std::size_t(last) * 3, source + std::size_t(last) * 4, 3);
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
