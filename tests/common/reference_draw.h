// Plain reference implementations used by tests to check the fast paths.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace testref {

// The pixels of the unclipped line from p1 to p2, in walk order, computed
// step by step with the 32-bit fraction and no clipping at all.
inline std::vector<pixkit::Pair<int>> LinePixels(pixkit::Pair<int> p1, pixkit::Pair<int> p2) {
    std::vector<pixkit::Pair<int>> out;
    const std::int64_t dx = std::llabs(std::int64_t(p2.x) - p1.x);
    const std::int64_t dy = std::llabs(std::int64_t(p2.y) - p1.y);
    const int sx = p2.x >= p1.x ? 1 : -1, sy = p2.y >= p1.y ? 1 : -1;
    const bool yMajor = dx < dy;
    const std::int64_t major = yMajor ? dy : dx, minor = yMajor ? dx : dy;
    std::uint32_t inc, frac;
    if (major == 0) {
        inc = 0;
        frac = 0;
    } else if (dx == dy) {
        inc = 0xFFFFFFFFu;
        frac = 0xFFFFFFFEu;
    } else {
        inc = static_cast<std::uint32_t>((std::uint64_t(minor) << 32) / std::uint64_t(major));
        frac = 0x80000000u;
    }
    std::int64_t x = p1.x, y = p1.y;
    for (std::int64_t k = 0; k <= major; ++k) {
        out.push_back({int(x), int(y)});
        const std::uint64_t sum = std::uint64_t(frac) + inc;
        frac = static_cast<std::uint32_t>(sum);
        const bool carry = (sum >> 32) != 0;
        if (yMajor) {
            y += sy;
            if (carry) x += sx;
        } else {
            x += sx;
            if (carry) y += sy;
        }
    }
    return out;
}

// A deterministic pseudo-random generator for reproducible tests.
struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 11);
    }
    int Range(int lo, int hi) { return lo + static_cast<int>(Next() % std::uint32_t(hi - lo + 1)); }
};

// Fills every pixel of b's Area with a value derived from its position.
inline void FillPattern(pixkit::Buffer& b, std::uint32_t seed = 1) {
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            *b.At(x, y) = (std::uint32_t(x) * 2654435761u) ^ (std::uint32_t(y) * 40503u) ^ seed;
}

} // namespace testref
