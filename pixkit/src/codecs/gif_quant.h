// The palette builder of the GIF writer: a variance-driven box split of the
// RGB cube, whose split tree then gives every pixel its palette index.
#pragma once

#include <pixkit/buffer.h>

#include <array>

namespace pixkit {

struct GifPalette {
    std::array<Pixel, 256> Colours{}; // 0x00RRGGBB
    int Count = 0;
};

// Builds a palette of at most maxColours (1..256) entries for the pixels of
// b's Area, using work as scratch (reallocated to b's size when it does not
// fit), and writes each pixel's palette index into its top byte. Raises
// EInvalidImage when work cannot be allocated.
GifPalette QuantizeToTopBytes(Buffer& b, Buffer& work, int maxColours = 256);

// The entry nearest to c by squared RGB distance (the first of equals).
int NearestEntry(const GifPalette& pal, Pixel c);

} // namespace pixkit
