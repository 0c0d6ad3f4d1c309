// Value types shared by every part of the pixel library.
#pragma once

#include <cstdint>

namespace pixkit {

// A pixel or colour: 0xTTRRGGBB. In memory the bytes are blue, green, red,
// top byte, the layout of a 32-bit top-down DIB. The top byte is not a colour
// channel (see docs/pixels.md for its meanings).
using Pixel = std::uint32_t;

// Bit 31 of a colour passed to a drawing operation selects XOR drawing.
inline constexpr Pixel XorFlag = 0x80000000u;
// The value of a transparent brush pixel: black with top byte 1.
inline constexpr Pixel TransparentMarker = 0x01000000u;
// As a key, copies every pixel (no colour is transparent).
inline constexpr Pixel NoKey = 0xFFFFFFFFu;

template <typename T> struct Pair {
    T x;
    T y;
    friend bool operator==(const Pair&, const Pair&) = default;
};

// An inclusive rectangle: columns Left..Right, rows Top..Bottom.
struct Rect {
    std::int32_t Left;
    std::int32_t Top;
    std::int32_t Right;
    std::int32_t Bottom;

    bool Empty() const { return Right < Left || Bottom < Top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Passed in Rect::Left to the view constructor: "the whole area".
inline constexpr std::int32_t WholeArea = -2147483647;

} // namespace pixkit
