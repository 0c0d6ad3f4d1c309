// Zoom positions and the arithmetic of the zoomed view: factors, the packed
// m:q values the view control draws with, the mapping between view and
// image pixels, and the rectangles derived from them. No widgets here, so
// the rules can be tested on their own.
#pragma once

#include <pixkit/types.h>

#include <cstdint>
#include <string>

namespace kv {

inline constexpr int kMinZoom = -4;
inline constexpr int kMaxZoom = 32;
// The longer side of the displayed image never exceeds this many pixels.
inline constexpr int kMaxViewExtent = 32000;

// m view pixels show q image pixels.
struct ZoomRatio {
    int m = 1;
    int q = 1;
    double Factor() const { return double(m) / double(q); }
    friend bool operator==(const ZoomRatio&, const ZoomRatio&) = default;
};

// Positions 1..32 are whole factors; 0..-4 are 3/4, 2/3, 1/2, 1/3, 1/4.
// A position outside -4..32 is clamped first.
ZoomRatio RatioOfPosition(int position);
double FactorOfPosition(int position);

// Multiplier in the low 16 bits, divisor in the high 16 bits, as given to
// the view control: 0x00010000 + n for n >= 1, 0x00040003 for 3/4, ...
std::uint32_t PackedZoom(int position);
// Reduced by the greatest common divisor, a divisor of 1 stored as 0. A
// zero multiplier or divisor (not a valid zoom) becomes 1:1.
std::uint32_t ReducePacked(std::uint32_t packed);
// The ratio of a packed value (reduced or not).
ZoomRatio RatioOfPacked(std::uint32_t packed);

// The position for factor f: trunc(f) (at most 32) when f >= 1, else the
// first of 3/4, 2/3, 1/2, 1/3 that f reaches, else 1/4.
int PositionFromFactor(double f);

// "3/4", "2/3", ... for positions <= 0, else the whole factor.
std::string ZoomFactorText(int position);

// Image coordinate of view coordinate v: v * q / m truncated toward zero, so
// view positions -1 .. -(m/q - 1) map to 0 like those just right of it.
int ViewToImageCoord(int v, ZoomRatio r);

// The view control's size for an image extent: (extent / q) * m.
int ViewExtent(int imageExtent, ZoomRatio r);

// The screen rectangle (exclusive right and bottom) that covers the image
// rectangle (x1, y1)-(x2, y2) at factor f, one pixel wider on every side.
pixkit::Rect InvalidationRect(int x1, int y1, int x2, int y2, double f);

// Image rectangle (inclusive) seen through a client area of the given size
// scrolled to (sx, sy): the drawing view's area with clipping on (before it
// is intersected with the image).
pixkit::Rect VisibleImageRect(int clientW, int clientH, int sx, int sy, ZoomRatio r);

// The scroll position that keeps the image point under anchor (a position
// in the container) in place when the factor changes from last to now;
// oldViewLeft is where the view control stood before. Never negative.
int AnchoredScroll(int anchor, int oldViewLeft, double now, double last);

} // namespace kv
