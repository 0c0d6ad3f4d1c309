// Analytic clipping of the line walk (docs/pixels.md). After k steps the
// minor coordinate has moved Carries(k) times, which lets clipping jump
// straight to the first and last visible steps of the unclipped line.
#include "line_walk.h"

#include <algorithm>
#include <cstdlib>

namespace pixkit::detail {

namespace {

using i128 = __int128;

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

int Outcode(const Rect& a, Pair<int> p) {
    return (p.x < a.Left ? 1 : 0) | (p.x > a.Right ? 2 : 0) | (p.y < a.Top ? 4 : 0) |
           (p.y > a.Bottom ? 8 : 0);
}

} // namespace

bool ClipLineWalk(Pair<int> p1, Pair<int> p2, const Rect& clip, ClippedLine& out) {
    if (clip.Empty() || (Outcode(clip, p1) & Outcode(clip, p2))) return false;

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

    // Steps inside the clip along the major axis ...
    std::int64_t kFirst, kLast;
    CountRange(w.major0, w.majorSign, yMajor ? clip.Top : clip.Left,
               yMajor ? clip.Bottom : clip.Right, kFirst, kLast);
    kFirst = std::max<std::int64_t>(kFirst, 0);
    kLast = std::min(kLast, w.steps);
    // ... and along the minor axis, through the carry counts.
    std::int64_t cMin, cMax;
    CountRange(w.minor0, w.minorSign, yMajor ? clip.Left : clip.Top,
               yMajor ? clip.Right : clip.Bottom, cMin, cMax);
    if (cMax < 0) return false;
    kFirst = std::max(kFirst, w.FirstWithCarries(std::max<std::int64_t>(cMin, 0)));
    kLast = std::min(kLast, w.LastWithCarries(cMax));
    if (kFirst > kLast) return false;

    const std::int64_t majorAt = w.major0 + w.majorSign * kFirst;
    const std::int64_t minorAt =
        w.minor0 + w.minorSign * static_cast<std::int64_t>(w.Carries(kFirst));
    out.x = static_cast<int>(yMajor ? minorAt : majorAt);
    out.y = static_cast<int>(yMajor ? majorAt : minorAt);
    out.count = kLast - kFirst;
    out.inc = static_cast<std::uint32_t>(w.inc);
    out.frac = static_cast<std::uint32_t>(w.frac0 + static_cast<std::uint64_t>(kFirst) * w.inc);
    out.majorX = yMajor ? 0 : w.majorSign;
    out.majorY = yMajor ? w.majorSign : 0;
    out.minorX = yMajor ? w.minorSign : 0;
    out.minorY = yMajor ? 0 : w.minorSign;
    return true;
}

} // namespace pixkit::detail
