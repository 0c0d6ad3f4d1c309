#include "paint/airbrush.h"

#include "paint/brush.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

int AirbrushStrength(int intensity) {
    return static_cast<int>(std::clamp(intensity * 2.4 + 12, -1e6, 1e6));
}

namespace {

int ClampAlpha(int o) {
    return o < 0 ? 0 : (o > 256 ? 256 : o);
}

// m = trunc(sqrt(dist / L) * e) for the pixels h - i from the centre column,
// i = 0..h: no draws in this loop, so it runs on vectors.
[[gnu::noinline]] void RowFade(int h, double dy2, double span, int e, int* __restrict fade) {
    for (int i = 0; i < h + 1; ++i) {
        const double dx = h - i;
        fade[i] = static_cast<int>(std::sqrt(std::sqrt(dy2 + dx * dx) / span) * e);
    }
}

// The alphas of one row of half width h, dy rows from the centre, in image
// order (alpha[0] is the left end).
void RowAlphas(int dy, int h, int e, PaintRandom& rnd, int* fade, int* alpha) {
    const double dy2 = double(dy) * dy;
    // L from the unclipped span end: never 0, since the radius is at least 1.
    RowFade(h, dy2, std::trunc(std::sqrt(dy2 + double(h) * h)), e, fade);
    for (int i = 0; i <= h; ++i) {
        const int o = static_cast<int>(rnd() % 5) + e - fade[i] - 2;
        alpha[i] = ClampAlpha(o);
        if (i == h) break;
        alpha[2 * h - i] = ClampAlpha(o - static_cast<int>(rnd() % 5) + 2);
    }
}

// Blends colour into count pixels at p with the given alphas; two channels
// share one multiplication, which truncates each exactly as the per-channel
// formula does.
void BlendRow(Pixel* p, const int* alpha, int count, Pixel colour) {
    const std::uint32_t rb = colour & 0xFF00FF, g = colour & 0xFF00;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t o = static_cast<std::uint32_t>(alpha[i]), q = 256 - o;
        const std::uint32_t v = p[i];
        p[i] = (v & 0xFF000000) | ((((v & 0xFF00FF) * q + rb * o) >> 8) & 0xFF00FF) |
               ((((v & 0xFF00) * q + g * o) >> 8) & 0xFF00);
    }
}

} // namespace

Rect AirbrushStep(Buffer& view, Pair<int> c, int r, int intensity, Pixel colour, PaintRandom& rnd) {
    r = std::max(1, r);
    const int e = AirbrushStrength(intensity);
    std::vector<int> half;
    DiscHalfWidths(r, half);
    std::vector<int> alpha(2 * static_cast<std::size_t>(r) + 1), fade(alpha.size());
    const Rect& a = view.Area;
    for (int dy = -r; dy <= r; ++dy) {
        const int h = half[static_cast<std::size_t>(std::abs(dy))];
        const std::int64_t y = std::int64_t(c.y) + dy;
        const std::int64_t xl = std::int64_t(c.x) - h;
        const std::int64_t from = std::max<std::int64_t>(xl, a.Left);
        const std::int64_t to = std::min<std::int64_t>(std::int64_t(c.x) + h, a.Right);
        if (view.Empty() || y < a.Top || y > a.Bottom || from > to) {
            rnd.discard(2 * static_cast<unsigned long long>(h) + 1);
            continue;
        }
        RowAlphas(dy, h, e, rnd, fade.data(), alpha.data());
        BlendRow(view.At(static_cast<int>(from), static_cast<int>(y)), alpha.data() + (from - xl),
                 static_cast<int>(to - from + 1), colour & 0xFFFFFF);
    }
    return {c.x - r, c.y - r, c.x + r, c.y + r};
}

} // namespace kv
