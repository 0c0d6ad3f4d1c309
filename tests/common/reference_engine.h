// Plain reference implementations of the compositing and geometry paths,
// written for clarity: one pixel at a time from the formulas of
// docs/geometry.md, with no tables, no incremental stepping and no row
// tricks. Tests compare the fast paths against them.
#pragma once

#include <pixkit/buffer.h>

#include "reference_draw.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace testref {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

// A copy of every pixel of b's Area, addressed by b's coordinates.
struct Snapshot {
    pixkit::Rect area{0, 0, -1, -1};
    std::vector<Pixel> px;

    explicit Snapshot(const Buffer& b) : area(b.Area) {
        for (int y = area.Top; y <= area.Bottom; ++y)
            for (int x = area.Left; x <= area.Right; ++x) px.push_back(*b.At(x, y));
    }
    bool Has(std::int64_t x, std::int64_t y) const {
        return x >= area.Left && x <= area.Right && y >= area.Top && y <= area.Bottom;
    }
    Pixel At(std::int64_t x, std::int64_t y) const {
        return px[std::size_t((y - area.Top) * (area.Right - area.Left + 1) + (x - area.Left))];
    }
};

// A w x h buffer filled with FillPattern, masked (the default clears the
// top byte, as the averaging paths expect).
inline Buffer MakePattern(int w, int h, std::uint32_t seed, Pixel mask = 0x00FFFFFF) {
    Buffer b;
    b.Alloc({w, h});
    FillPattern(b, seed);
    b.Bool(1, mask);
    return b;
}

inline std::vector<Pixel> Pixels(const Buffer& b) {
    return Snapshot(b).px;
}

inline Pixel Mean4(Pixel a, Pixel b, Pixel c, Pixel d) {
    Pixel out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const Pixel sum = ((a >> shift) & 255) + ((b >> shift) & 255) + ((c >> shift) & 255) +
                          ((d >> shift) & 255);
        out |= ((sum + 2) / 4) << shift;
    }
    return out;
}

// Copy as if the source were read completely first.
inline void Copy(Buffer& dst, const Snapshot& src, Pair<int> off, Pixel key) {
    for (int y = dst.Area.Top; y <= dst.Area.Bottom; ++y)
        for (int x = dst.Area.Left; x <= dst.Area.Right; ++x) {
            const std::int64_t sx = std::int64_t(x) - off.x, sy = std::int64_t(y) - off.y;
            if (!src.Has(sx, sy)) continue;
            const Pixel v = src.At(sx, sy);
            if (key == pixkit::NoKey || v != key) *dst.At(x, y) = v;
        }
}

// Scale: source index floor((i + phase) * n / size) along one axis, for
// sample index i counted from the unclipped (possibly mirrored) corner, with
// the step rounded down to 32.32 as the fast path holds it.
inline std::int64_t ScaleSample(std::int64_t i, std::int64_t n, std::int64_t size, int quarter) {
    const unsigned __int128 step = (static_cast<unsigned __int128>(n) << 32) / std::uint64_t(size);
    // quarter: 2 = centre (i + 1/2), 1 = i + 1/4, 3 = i + 3/4 (as 1/4 + 1/2).
    const unsigned __int128 at = quarter == 2   ? i * step + (step >> 1)
                                 : quarter == 1 ? i * step + (step >> 2)
                                                : i * step + (step >> 2) + (step >> 1);
    return std::int64_t(at >> 32);
}

inline void Scale(Buffer& dst, const Snapshot& src, Pair<int> size, Pair<int> pos, Pixel key,
                  bool super) {
    const std::int64_t W = std::llabs(size.x), H = std::llabs(size.y);
    const std::int64_t w = src.area.Right - src.area.Left + 1;
    const std::int64_t h = src.area.Bottom - src.area.Top + 1;
    for (std::int64_t ty = pos.y; ty < pos.y + H; ++ty)
        for (std::int64_t tx = pos.x; tx < pos.x + W; ++tx) {
            if (!(tx >= dst.Area.Left && tx <= dst.Area.Right && ty >= dst.Area.Top &&
                  ty <= dst.Area.Bottom))
                continue;
            const std::int64_t i = size.x < 0 ? pos.x + W - 1 - tx : tx - pos.x;
            const std::int64_t j = size.y < 0 ? pos.y + H - 1 - ty : ty - pos.y;
            Pixel& d = *dst.At(int(tx), int(ty));
            const auto sample = [&](int qx, int qy) {
                return src.At(src.area.Left + ScaleSample(i, w, W, qx),
                              src.area.Top + ScaleSample(j, h, H, qy));
            };
            if (!super) {
                const Pixel v = sample(2, 2);
                if (key == pixkit::NoKey || v != key) d = v;
                continue;
            }
            const auto pick = [&](Pixel v) { return key != pixkit::NoKey && v == key ? d : v; };
            d = Mean4(pick(sample(1, 1)), pick(sample(3, 1)), pick(sample(1, 3)),
                      pick(sample(3, 3)));
        }
}

} // namespace testref
