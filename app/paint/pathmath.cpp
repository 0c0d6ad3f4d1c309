#include "paint/pathmath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace kv {

using pixkit::Pair;

int ArrowLength(int index) {
    static constexpr int kLengths[] = {0, 6, 16, 35, 60};
    return index >= 0 && index <= 4 ? kLengths[index] : 0;
}

Pair<int> ArrowPoint(Pair<int> tip, Pair<int> from, double angle, double length) {
    const double dx = double(from.x) - tip.x, dy = double(from.y) - tip.y;
    const double norm = std::sqrt(dx * dx + dy * dy);
    const double m = norm == 0 ? 0 : length / norm;
    const double a = angle * std::numbers::pi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    return {tip.x + static_cast<int>(std::trunc((dx * c - dy * s) * m)),
            tip.y + static_cast<int>(std::trunc((dx * s + dy * c) * m))};
}

Pair<int> CurvePoint(Pair<int> s, Pair<int> c, Pair<int> e, double t) {
    const double a = (1 - t) * (1 - t), b = 2 * t * (1 - t), d = t * t;
    return {static_cast<int>(std::trunc(a * s.x + b * c.x + d * e.x)),
            static_cast<int>(std::trunc(a * s.y + b * c.y + d * e.y))};
}

int CurveLength(Pair<int> s, Pair<int> c, Pair<int> e) {
    int length = 0;
    Pair<int> prev = s;
    for (int k = 1; k <= kCurveSegments; ++k) {
        const Pair<int> q = CurvePoint(s, c, e, double(k) / kCurveSegments);
        length += std::max(std::abs(q.x - prev.x), std::abs(q.y - prev.y));
        prev = q;
    }
    return length;
}

Pair<int> ControlPoint(Pair<int> s, Pair<int> e, Pair<int> p) {
    // The halving truncates toward zero, as C++ integer division does.
    return {2 * p.x - (s.x + e.x) / 2, 2 * p.y - (s.y + e.y) / 2};
}

double SpacingFor(int mode, double value, double length, bool curve) {
    switch (mode) {
    case smPixels:
        return value;
    case smCount: {
        const int count = static_cast<int>(value);
        // One stamp (or none asked for): only the start; a spacing past the
        // end stamps it once instead of dividing by zero.
        if (count <= 1) return length + 1;
        return (curve ? length - 0.05 : length) / (count - 1);
    }
    default:
        return 1;
    }
}

int SnapAxis(int v, GridAxis axis) {
    const std::int64_t d = std::max(axis.Delta, 1);
    const std::int64_t o = std::max(axis.Pos, 0) % d;
    const std::int64_t n = std::int64_t(v) + d / 2 - o;
    // Floor division, so that positions left of or above the image snap to
    // their nearest line too.
    const std::int64_t q = n >= 0 ? n / d : -((-n + d - 1) / d);
    return static_cast<int>(o + d * q);
}

} // namespace kv
