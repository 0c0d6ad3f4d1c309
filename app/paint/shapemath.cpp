#include "paint/shapemath.h"

#include "paint/stamper.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

namespace kv {

using pixkit::Pair;

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

const std::array<int, kSineEntries>& SineTable() {
    static const std::array<int, kSineEntries> table = [] {
        std::array<int, kSineEntries> t{};
        for (int i = 0; i < kSineEntries; ++i)
            t[std::size_t(i)] =
                static_cast<int>(std::trunc(512.0 * std::sin(2 * std::numbers::pi * i / 1024.0)));
        return t;
    }();
    return table;
}

int Radius(double v) {
    // Far beyond any image; keeps the conversion defined.
    return static_cast<int>(std::min(std::trunc(std::abs(v) + 0.5), 1e9));
}

} // namespace

Pair<int> ConstrainSquare(Pair<int> first, Pair<int> p) {
    const int e = std::abs(p.x - first.x), f = std::abs(p.y - first.y);
    if (e < f) return {first.x + f * Sign(p.x - first.x), p.y};
    return {p.x, first.y + e * Sign(p.y - first.y)};
}

int SineEntry(int i) {
    return SineTable()[std::size_t(i)];
}

int CircleRadius(Pair<int> d) {
    return Radius(std::sqrt(double(d.x) * d.x + double(d.y) * d.y));
}

Pair<int> EllipseRadii(Pair<int> d) {
    return {Radius(std::numbers::sqrt2 * d.x), Radius(std::numbers::sqrt2 * d.y)};
}

int SegmentCount(int rx, int ry) {
    // 16 * 2^k passes 1008 from k = 6 on; the cap comes before the shift so
    // that large radii cannot overflow it.
    const int k = std::max(rx, ry) / 32;
    return k >= 6 ? 1024 : 16 << std::max(k, 0);
}

std::vector<Pair<int>> EllipseVertices(Pair<int> c, int rx, int ry) {
    const int n = SegmentCount(rx, ry);
    std::vector<Pair<int>> v;
    v.reserve(std::size_t(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const int k = (i * (1024 / n)) % 1024;
        // Division truncates toward zero, as C++ integer division does.
        v.push_back({c.x - static_cast<int>(std::int64_t(rx) * SineEntry(k) / 512),
                     c.y - static_cast<int>(std::int64_t(ry) * SineEntry(k + 256) / 512)});
    }
    return v;
}

int OutlineLength(const std::vector<Pair<int>>& v) {
    int length = 0;
    for (std::size_t i = 1; i < v.size(); ++i)
        length += std::max(std::abs(v[i].x - v[i - 1].x), std::abs(v[i].y - v[i - 1].y));
    return length;
}

std::vector<Span> EllipseSpans(Pair<int> c, int rx, int ry) {
    const std::vector<Pair<int>> v = EllipseVertices(c, rx, ry);
    const int top = c.y - ry;
    // The widest reach per row: the spans of one row are nested around cx.
    std::vector<int> left(std::size_t(2) * ry + 1, c.x + 1);
    const std::size_t half = (v.size() - 1) / 2;
    for (std::size_t i = 1; i <= half; ++i) {
        bool first = true;
        WalkSpaced(v[i - 1], v[i], kOnePixel, kOnePixel, [&](Pair<int> p) {
            if (std::exchange(first, false)) return;
            const std::int64_t row = std::int64_t(p.y) - top;
            if (row < 0 || row >= std::int64_t(left.size())) return;
            left[std::size_t(row)] = std::min(left[std::size_t(row)], p.x);
        });
    }
    std::vector<Span> spans;
    for (std::size_t row = 0; row < left.size(); ++row)
        if (left[row] <= c.x) spans.push_back({top + int(row), left[row], 2 * c.x - left[row]});
    return spans;
}

} // namespace kv
