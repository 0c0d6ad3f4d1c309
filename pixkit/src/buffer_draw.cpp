// Elementary drawing: pixel, vertical line, line, filled box, outline.
// Everything clips to Area once per call; the inner loops then walk pointers
// without per-pixel checks.
#include <pixkit/buffer.h>

#include "line_walk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pixkit {

namespace {

// Pixel writers: replace, or XOR with the low 31 bits when bit 31 is set.
struct SetPixel {
    Pixel c;
    void operator()(Pixel* p) const { *p = c; }
};
struct XorPixel {
    Pixel c;
    void operator()(Pixel* p) const { *p ^= c; }
};

template <typename Fn> void WithWriter(Pixel c, Fn fn) {
    if (c & XorFlag)
        fn(XorPixel{c & ~XorFlag});
    else
        fn(SetPixel{c});
}

} // namespace

void Buffer::PutPixel(Pair<int> p, Pixel c) {
    if (Empty() || !Contains(p)) return;
    WithWriter(c, [&](auto put) { put(At(p.x, p.y)); });
}

void Buffer::VLine(int x, int y1, int y2, Pixel c) {
    if (Empty() || x < Area.Left || x > Area.Right) return;
    y1 = std::max(y1, Area.Top);
    y2 = std::min(y2, Area.Bottom);
    if (y2 < y1) return;
    Pixel* p = At(x, y1);
    const int n = y2 - y1 + 1;
    WithWriter(c, [&](auto put) {
        for (int i = 0; i < n; ++i, p += Pitch) put(p);
    });
}

void Buffer::Box(Rect r, Pixel c) {
    if (Empty()) return;
    const Rect k{std::max(r.Left, Area.Left), std::max(r.Top, Area.Top),
                 std::min(r.Right, Area.Right), std::min(r.Bottom, Area.Bottom)};
    if (k.Empty()) return;
    const int w = k.Right - k.Left + 1;
    Pixel* row = At(k.Left, k.Top);
    if (c & XorFlag) {
        const Pixel x = c & ~XorFlag;
        for (int y = k.Top; y <= k.Bottom; ++y, row += Pitch)
            for (int i = 0; i < w; ++i) row[i] ^= x;
    } else {
        for (int y = k.Top; y <= k.Bottom; ++y, row += Pitch) std::fill_n(row, w, c);
    }
}

void Buffer::Rectangle(Rect r, Pixel c) {
    if (r.Empty()) return;
    Box(Rect{r.Left, r.Top, r.Right, r.Top}, c);
    if (r.Top == r.Bottom) return;
    Box(Rect{r.Left, r.Bottom, r.Right, r.Bottom}, c);
    if (static_cast<std::int64_t>(r.Bottom) - r.Top + 1 <= 2) return;
    VLine(r.Left, r.Top + 1, r.Bottom - 1, c);
    if (r.Left != r.Right) VLine(r.Right, r.Top + 1, r.Bottom - 1, c);
}

void Buffer::Line(Pair<int> p1, Pair<int> p2, Pixel c) {
    if (Empty()) return;
    if (p1.x == p2.x) {
        VLine(p1.x, std::min(p1.y, p2.y), std::max(p1.y, p2.y), c);
        return;
    }
    if (p1.y == p2.y) {
        Box(Rect{std::min(p1.x, p2.x), p1.y, std::max(p1.x, p2.x), p1.y}, c);
        return;
    }
    detail::ClippedLine l;
    if (!detail::ClipLineWalk(p1, p2, Area, l)) return;
    Pixel* p = At(l.x, l.y);
    const std::ptrdiff_t majorStep = l.majorX + static_cast<std::ptrdiff_t>(l.majorY) * Pitch;
    const std::ptrdiff_t minorStep = l.minorX + static_cast<std::ptrdiff_t>(l.minorY) * Pitch;
    WithWriter(c, [&](auto put) {
        put(p);
        detail::WalkSteps(l, [&](bool carry) {
            p += majorStep;
            if (carry) p += minorStep;
            put(p);
        });
    });
}

} // namespace pixkit
