// The per-channel mean of four pixels used by the supersampling paths:
// (sum + 2) div 4 for red, green and blue, with a zero top byte. Red and
// blue add up in two 16-bit lanes of one word and green in another, so the
// four pixels are summed without unpacking and no lane can carry into the
// next (4 x 255 + 2 < 2^16).
#pragma once

#include <pixkit/types.h>

namespace pixkit::detail {

inline Pixel Mean4(Pixel a, Pixel b, Pixel c, Pixel d) {
    const Pixel rb =
        (a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu) + (d & 0xFF00FFu) + 0x20002u;
    const Pixel g = (a & 0xFF00u) + (b & 0xFF00u) + (c & 0xFF00u) + (d & 0xFF00u) + 0x200u;
    return ((rb >> 2) & 0xFF00FFu) | ((g >> 2) & 0xFF00u);
}

} // namespace pixkit::detail
