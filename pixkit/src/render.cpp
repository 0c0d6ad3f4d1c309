// Span lists of convex quadrilaterals: which pixels (or half-pixel samples)
// of each row a quadrilateral covers. The edge walk is done in single
// precision; docs/geometry.md gives the sampling rules.
#include <pixkit/buffer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace pixkit {

namespace {

// Sample heights: plain mode one sub-row per row at y + 1/2; supersampling
// two, at y + 1/4 and y + 3/4.
struct Sampling {
    int subRows;
    float f; // 1/2 or 1/4
};

// floor(v) limited to [lo, hi]; v may be any float, infinities included.
std::int64_t FloorClamp(double v, std::int64_t lo, std::int64_t hi) {
    if (!(v >= double(lo))) return lo; // also catches NaN
    if (v >= double(hi)) return hi;
    return static_cast<std::int64_t>(std::floor(v));
}

// Extents of the quadrilateral per sub-row, for the rows first..last.
struct SubRows {
    std::int64_t first, last;
    std::vector<float> lo, hi;
};

// Walks one edge downwards and widens the sub-rows whose sample height lies
// on it.
void WalkEdge(Pair<float> a, Pair<float> b, const Sampling& s, SubRows& rows) {
    if (a.y == b.y) return;
    if (a.y > b.y) std::swap(a, b);
    const float slope = (b.x - a.x) / (b.y - a.y);
    const std::int64_t first = FloorClamp(a.y + s.f, rows.first, rows.last + 1);
    const std::int64_t last = FloorClamp(b.y - s.f, rows.first - 1, rows.last);
    if (first > last) return;
    const float subStep = 1.0f / float(s.subRows);
    const float slopeStep = slope * subStep;
    float height = float(first) + s.f;
    float x = a.x + (height - a.y) * slope;
    for (std::int64_t sub = first * s.subRows; sub <= last * s.subRows + s.subRows - 1; ++sub) {
        // An upper sub-row above the edge's top or a lower one below its
        // bottom is not on the edge.
        if (height >= a.y && height <= b.y) {
            const auto i = std::size_t(sub - rows.first * s.subRows);
            rows.lo[i] = std::min(rows.lo[i], x);
            rows.hi[i] = std::max(rows.hi[i], x);
        }
        height += subStep;
        x += slopeStep;
    }
}

// Covered pixels of a sub-row in plain mode: centres in (lo, hi].
void PlainSpan(float lo, float hi, const Rect& area, std::int32_t* out) {
    out[0] = std::int32_t(FloorClamp(double(lo) + 0.5, area.Left, std::int64_t(area.Right) + 1));
    out[1] = std::int32_t(FloorClamp(double(hi) - 0.5, std::int64_t(area.Left) - 1, area.Right));
}

// Covered half-pixel sub-columns of a sub-row when supersampling; sub-column
// 2x samples x + 1/4, 2x + 1 samples x + 3/4.
void SuperSpan(float lo, float hi, const Rect& area, std::int32_t* out) {
    const std::int64_t g = FloorClamp(double(lo) + 0.25, area.Left, std::int64_t(area.Right) + 1);
    const std::int64_t l = FloorClamp(double(hi) - 0.25, std::int64_t(area.Left) - 1, area.Right);
    out[0] = std::int32_t(double(g) + 0.25 > lo ? 2 * g : 2 * g + 1);
    out[1] = std::int32_t(double(l) + 0.75 < hi ? 2 * l + 1 : 2 * l);
}

} // namespace

std::unique_ptr<std::int32_t[]> Buffer::Render(const Pair<double>* quad, Pair<int>& origin,
                                               int& rows, int mode) const {
    origin = {0, 0};
    rows = 0;
    if (Empty()) return nullptr;
    const Sampling s{mode != 0 ? 2 : 1, mode != 0 ? 0.25f : 0.5f};
    Pair<float> c[4];
    float yMin = std::numeric_limits<float>::infinity(), yMax = -yMin;
    for (int k = 0; k < 4; ++k) {
        c[k] = {float(quad[k].x), float(quad[k].y)};
        if (!std::isfinite(c[k].x) || !std::isfinite(c[k].y)) return nullptr;
        yMin = std::min(yMin, c[k].y);
        yMax = std::max(yMax, c[k].y);
    }
    // Only the rows the quadrilateral can touch, clipped to Area.
    SubRows sub;
    sub.first = FloorClamp(yMin + s.f, Area.Top, std::int64_t(Area.Bottom) + 1);
    sub.last = FloorClamp(yMax - s.f, std::int64_t(Area.Top) - 1, Area.Bottom);
    if (sub.first > sub.last) return nullptr;
    const auto n = std::size_t(sub.last - sub.first + 1) * std::size_t(s.subRows);
    // Every sub-row starts empty; infinities stay empty through the
    // conversion to columns even where floats cannot hold Right + 1.
    sub.lo.assign(n, std::numeric_limits<float>::infinity());
    sub.hi.assign(n, -std::numeric_limits<float>::infinity());
    for (int k = 0; k < 4; ++k) WalkEdge(c[k], c[(k + 1) % 4], s, sub);

    // Sub-row extents to covered columns, then drop the empty rows at both
    // ends.
    const int width = 2 * s.subRows;
    std::vector<std::int32_t> spans(n * 2);
    for (std::size_t i = 0; i < n; ++i)
        (mode != 0 ? SuperSpan : PlainSpan)(sub.lo[i], sub.hi[i], Area, &spans[2 * i]);
    const std::size_t rowCount = n / std::size_t(s.subRows);
    const auto covered = [&](std::size_t r) {
        for (int k = 0; k < width; k += 2)
            if (spans[r * width + k] <= spans[r * width + k + 1]) return true;
        return false;
    };
    std::size_t top = 0, bottom = rowCount;
    while (top < rowCount && !covered(top)) ++top;
    while (bottom > top && !covered(bottom - 1)) --bottom;
    if (top == bottom) return nullptr;

    std::int64_t left = std::int64_t(Area.Right) + 1;
    for (std::size_t r = top; r < bottom; ++r)
        for (int k = 0; k < width; k += 2) {
            const std::int32_t* e = &spans[r * width + k];
            if (e[0] <= e[1]) left = std::min<std::int64_t>(left, mode != 0 ? e[0] >> 1 : e[0]);
        }
    const std::size_t count = (bottom - top) * std::size_t(width);
    auto out = std::make_unique_for_overwrite<std::int32_t[]>(count);
    std::copy_n(spans.begin() + std::ptrdiff_t(top * width), count, out.get());
    origin = {int(left), int(sub.first + std::int64_t(top))};
    rows = int(bottom - top);
    return out;
}

} // namespace pixkit
