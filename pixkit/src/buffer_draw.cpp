// Elementary drawing: pixel, vertical line, line, filled box, outline.
// Everything clips to Area once per call; the inner loops then walk pointers
// without per-pixel checks.
#include <pixkit/buffer.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pixkit {

namespace {

using i128 = __int128;

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

int Outcode(const Rect& a, Pair<int> p) {
    return (p.x < a.Left ? 1 : 0) | (p.x > a.Right ? 2 : 0) | (p.y < a.Top ? 4 : 0) |
           (p.y > a.Bottom ? 8 : 0);
}

// The line walk of docs/pixels.md: one step per unit of the major axis, the
// minor coordinate carried as a 32-bit fraction that starts at one half (or
// just below one for exact diagonals) and moves the minor coordinate each
// time adding the increment carries out of 32 bits. After k steps the minor
// coordinate has moved Carries(k) times, which lets clipping jump straight to
// the first and last visible steps of the unclipped line.
struct LineWalk {
    std::int64_t major0, minor0; // start coordinates on each axis
    int majorSign, minorSign;
    std::int64_t steps; // last step index; steps + 1 pixels in all
    std::uint64_t inc;  // < 2^32
    std::uint64_t frac0;

    i128 Carries(std::int64_t k) const { return (static_cast<i128>(frac0) + i128(k) * inc) >> 32; }

    // First step whose carry count reaches n (n >= 0).
    std::int64_t FirstWithCarries(i128 n) const {
        const i128 need = (n << 32) - static_cast<i128>(frac0);
        if (need <= 0) return 0;
        return static_cast<std::int64_t>((need + inc - 1) / inc);
    }
    // Last step whose carry count is at most n, or -1 when none is.
    std::int64_t LastWithCarries(i128 n) const {
        const i128 limit = ((n + 1) << 32) - 1 - static_cast<i128>(frac0);
        if (limit < 0) return -1;
        return static_cast<std::int64_t>(std::min<i128>(limit / inc, steps));
    }
};

// Range of steps k whose coordinate start + sign * count(k) lies in [lo, hi],
// expressed as a range of counts.
void CountRange(std::int64_t start, int sign, std::int64_t lo, std::int64_t hi, std::int64_t& cmin,
                std::int64_t& cmax) {
    if (sign > 0) {
        cmin = lo - start;
        cmax = hi - start;
    } else {
        cmin = start - hi;
        cmax = start - lo;
    }
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
    if (Outcode(Area, p1) & Outcode(Area, p2)) return;

    const std::int64_t dx = std::abs(static_cast<std::int64_t>(p2.x) - p1.x);
    const std::int64_t dy = std::abs(static_cast<std::int64_t>(p2.y) - p1.y);
    const bool yMajor = dx < dy;
    const int sx = p2.x > p1.x ? 1 : -1;
    const int sy = p2.y > p1.y ? 1 : -1;
    const std::int64_t major = std::max(dx, dy);
    const std::int64_t minor = std::min(dx, dy);

    LineWalk w{};
    w.major0 = yMajor ? p1.y : p1.x;
    w.minor0 = yMajor ? p1.x : p1.y;
    w.majorSign = yMajor ? sy : sx;
    w.minorSign = yMajor ? sx : sy;
    w.steps = major;
    if (dx == dy) {
        w.inc = 0xFFFFFFFFu;
        w.frac0 = 0xFFFFFFFEu;
    } else {
        w.inc = (static_cast<std::uint64_t>(minor) << 32) / static_cast<std::uint64_t>(major);
        w.frac0 = 0x80000000u;
    }

    // Steps inside Area along the major axis ...
    std::int64_t kFirst, kLast;
    CountRange(w.major0, w.majorSign, yMajor ? Area.Top : Area.Left,
               yMajor ? Area.Bottom : Area.Right, kFirst, kLast);
    kFirst = std::max<std::int64_t>(kFirst, 0);
    kLast = std::min(kLast, w.steps);
    // ... and along the minor axis, through the carry counts.
    std::int64_t cMin, cMax;
    CountRange(w.minor0, w.minorSign, yMajor ? Area.Left : Area.Top,
               yMajor ? Area.Right : Area.Bottom, cMin, cMax);
    if (cMax < 0) return;
    kFirst = std::max(kFirst, w.FirstWithCarries(std::max<std::int64_t>(cMin, 0)));
    kLast = std::min(kLast, w.LastWithCarries(cMax));
    if (kFirst > kLast) return;

    const std::int64_t majorAt = w.major0 + w.majorSign * kFirst;
    const std::int64_t minorAt =
        w.minor0 + w.minorSign * static_cast<std::int64_t>(w.Carries(kFirst));
    Pixel* p = yMajor ? At(static_cast<int>(minorAt), static_cast<int>(majorAt))
                      : At(static_cast<int>(majorAt), static_cast<int>(minorAt));
    const std::ptrdiff_t pitch = Pitch;
    const std::ptrdiff_t majorStep = yMajor ? w.majorSign * pitch : w.majorSign;
    const std::ptrdiff_t minorStep = yMajor ? w.minorSign : w.minorSign * pitch;
    const auto inc = static_cast<std::uint32_t>(w.inc);
    auto frac = static_cast<std::uint32_t>(w.frac0 + static_cast<std::uint64_t>(kFirst) * w.inc);
    const std::int64_t count = kLast - kFirst;

    WithWriter(c, [&](auto put) {
        put(p);
        for (std::int64_t k = 0; k < count; ++k) {
            const std::uint32_t before = frac;
            frac += inc;
            p += majorStep;
            if (frac < before) p += minorStep;
            put(p);
        }
    });
}

} // namespace pixkit
