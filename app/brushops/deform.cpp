#include "brushops/deform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

// Every rule is written once for the Up-and-Down variants, whose columns
// move vertically: "moved" is the axis the lines move along (y), "step"
// the axis the lines follow each other on (x). Left-and-Right exchanges
// the two.
namespace {

constexpr double kHalfPi = 1.5707963267948966;

bool MovesColumns(DeformKind kind) {
    return kind == DeformKind::BendUpDown || kind == DeformKind::ShearUpDown;
}

bool IsBend(DeformKind kind) {
    return kind == DeformKind::BendUpDown || kind == DeformKind::BendLeftRight;
}

// A pair seen as (step, moved) and back.
struct Axes {
    bool columns;
    int Step(Pair<int> p) const { return columns ? p.x : p.y; }
    int Moved(Pair<int> p) const { return columns ? p.y : p.x; }
    Pair<int> Make(int step, int moved) const {
        return columns ? Pair<int>{step, moved} : Pair<int>{moved, step};
    }
};

// How far the deformed brush's moved side starts before the anchor's.
int OriginShift(DeformKind kind, int anchor, int side, int p) {
    if (IsBend(kind)) return std::min(p - (side >> 1) - anchor, 0);
    return p < anchor + side - 1 ? p - (side - 1) - anchor : 0;
}

int Growth(DeformKind kind, int anchor, int side, int p) {
    const int reach = IsBend(kind) ? anchor + (side >> 1) : anchor + side - 1;
    return std::abs(reach - p);
}

// Line index of brush (a column when columns) drawn with its first pixel
// at pos.
void DrawLine(Buffer& dst, Buffer& brush, bool columns, int index, Pair<int> pos, Pixel key) {
    const pixkit::Rect r = columns ? pixkit::Rect{brush.Area.Left + index, brush.Area.Top,
                                                  brush.Area.Left + index, brush.Area.Bottom}
                                   : pixkit::Rect{brush.Area.Left, brush.Area.Top + index,
                                                  brush.Area.Right, brush.Area.Top + index};
    Buffer line(brush, r, false);
    dst.Copy(line, pos, key);
}

// The sine arch: line j of n moves toward the pointer by up to |g|, most
// at the peak line k; f is 1 when the pointer lies before the middle.
void DrawBend(Buffer& dst, Buffer& brush, const Axes& ax, Pair<int> anchor, Pair<int> p,
              Pair<int> at, Pixel key) {
    const Pair<int> size{brush.Width(), brush.Height()};
    const int n = ax.Step(size), m = ax.Moved(size);
    const int a = ax.Step(anchor), ps = ax.Step(p);
    const int g = ax.Moved(anchor) + (m >> 1) - ax.Moved(p);
    const int k = ps > a ? (ps < a + n ? ps - a : n - 2) : 1;
    const double f = ax.Moved(p) - (m >> 1) < ax.Moved(anchor) ? 1 : 0;
    for (int j = 0; j < n; ++j) {
        const double wave =
            j < k ? std::sin(kHalfPi * j / (k + 1)) : std::cos(kHalfPi * (j - k) / (n - k + 1));
        const Pair<int> o = ax.Make(j, int((f - wave) * g));
        DrawLine(dst, brush, ax.columns, j, {at.x + o.x, at.y + o.y}, key);
    }
}

// The integer line from (0, 0) to (n - 1, d) by Bresenham steps: each
// step draws the line of its step coordinate at its moved coordinate, so
// in the steep case a line repeats at every moved position in between.
void DrawShear(Buffer& dst, Buffer& brush, const Axes& ax, Pair<int> anchor, Pair<int> p,
               Pair<int> at, Pixel key) {
    const Pair<int> size{brush.Width(), brush.Height()};
    const int dx = ax.Step(size) - 1, m = ax.Moved(size);
    const int d = ax.Moved(p) - (ax.Moved(anchor) + m - 1);
    const int dy = std::abs(d), dir = d < 0 ? -1 : 1;
    const int shift = d < 0 ? d : 0; // the deformed brush starts that far before the anchor
    auto draw = [&](int x, int y) {
        const Pair<int> o = ax.Make(x, y - shift);
        DrawLine(dst, brush, ax.columns, x, {at.x + o.x, at.y + o.y}, key);
    };
    int x = 0, y = 0;
    if (dy <= dx) {
        for (int e = 2 * dy - dx;; ++x) {
            draw(x, y);
            if (x == dx) break;
            if (e >= 0) {
                y += dir;
                e += 2 * dy - 2 * dx;
            } else {
                e += 2 * dy;
            }
        }
    } else {
        for (int e = 2 * dx - dy;; y += dir) {
            draw(x, y);
            if (y == d) break;
            if (e >= 0) {
                ++x;
                e += 2 * dx - 2 * dy;
            } else {
                e += 2 * dx;
            }
        }
    }
}

} // namespace

Pair<int> DeformStart(DeformKind kind, Pair<int> anchor, Pair<int> size) {
    if (IsBend(kind)) return {anchor.x + (size.x >> 1), anchor.y + (size.y >> 1)};
    return {anchor.x + size.x - 1, anchor.y + size.y - 1};
}

Pair<int> DeformOrigin(DeformKind kind, Pair<int> anchor, Pair<int> size, Pair<int> p) {
    const Axes ax{MovesColumns(kind)};
    const int shift = OriginShift(kind, ax.Moved(anchor), ax.Moved(size), ax.Moved(p));
    return ax.Make(ax.Step(anchor), ax.Moved(anchor) + shift);
}

Pair<int> DeformSize(DeformKind kind, Pair<int> anchor, Pair<int> size, Pair<int> p) {
    const Axes ax{MovesColumns(kind)};
    const int grow = Growth(kind, ax.Moved(anchor), ax.Moved(size), ax.Moved(p));
    return ax.Make(ax.Step(size), ax.Moved(size) + grow);
}

void DrawDeformed(DeformKind kind, Buffer& dst, Buffer& brush, Pair<int> anchor, Pair<int> p,
                  Pair<int> at, Pixel key) {
    if (brush.Empty()) return;
    const Axes ax{MovesColumns(kind)};
    if (IsBend(kind))
        DrawBend(dst, brush, ax, anchor, p, at, key);
    else
        DrawShear(dst, brush, ax, anchor, p, at, key);
}

} // namespace kv
