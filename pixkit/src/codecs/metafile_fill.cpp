// The scanline polygon filler of the metafile players. Each row is sampled
// at its pixel centres: the edges crossing the row's centre line are kept
// in an active list, their crossings sorted, and the spans between them
// filled under the alternate (even-odd) or winding rule. No anti-aliasing.
#include "metafile_dc.h"

#include <algorithm>
#include <cmath>

namespace pixkit {

namespace {

struct Edge {
    double yTop, yBottom; // yTop < yBottom
    double x0, y0, dxdy;
    int dir; // +1 downward, -1 upward
};

struct Crossing {
    double x;
    int dir;
};

std::vector<Edge> BuildEdges(const std::vector<std::vector<Pair<double>>>& polys) {
    std::vector<Edge> edges;
    for (const auto& poly : polys) {
        const std::size_t n = poly.size();
        for (std::size_t i = 0; n >= 2 && i < n; ++i) {
            const Pair<double> a = poly[i], b = poly[(i + 1) % n];
            if (a.y == b.y || !std::isfinite(a.x + a.y + b.x + b.y)) continue;
            const bool down = a.y < b.y;
            const Pair<double> top = down ? a : b, bottom = down ? b : a;
            edges.push_back({top.y, bottom.y, top.x, top.y, (bottom.x - top.x) / (bottom.y - top.y),
                             down ? 1 : -1});
        }
    }
    std::sort(edges.begin(), edges.end(),
              [](const Edge& p, const Edge& q) { return p.yTop < q.yTop; });
    return edges;
}

// Fills the pixels whose centres lie in [xa, xb) on row y.
std::int64_t Span(Buffer& t, int y, double xa, double xb, const MetaPaint& c) {
    const double first = std::ceil(xa - 0.5), last = std::ceil(xb - 0.5) - 1;
    const int l = ClampToInt(first, t.Area.Left, t.Area.Right + 1);
    const int r = ClampToInt(last, t.Area.Left - 1, t.Area.Right);
    if (l > r) return 0;
    PaintSpan(t, y, l, r, c);
    return r - l + 1;
}

std::int64_t FillRow(Buffer& t, int y, std::vector<Crossing>& xs, FillMode mode,
                     const MetaPaint& c) {
    std::sort(xs.begin(), xs.end(), [](const Crossing& p, const Crossing& q) { return p.x < q.x; });
    std::int64_t work = std::int64_t(xs.size());
    int winding = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        winding += mode == FillMode::Alternate ? 1 : xs[i].dir;
        const bool inside = mode == FillMode::Alternate ? (winding & 1) != 0 : winding != 0;
        if (inside) work += Span(t, y, xs[i].x, xs[i + 1].x, c);
    }
    return work;
}

} // namespace

std::int64_t FillPolygonsInto(Buffer& target, const std::vector<std::vector<Pair<double>>>& polys,
                              FillMode mode, Pixel c) {
    MetaPaint paint;
    paint.colour = c;
    return FillPolygonsInto(target, polys, mode, paint);
}

std::int64_t FillPolygonsInto(Buffer& target, const std::vector<std::vector<Pair<double>>>& polys,
                              FillMode mode, const MetaPaint& c) {
    if (target.Empty()) return 0;
    const std::vector<Edge> edges = BuildEdges(polys);
    if (edges.empty()) return 0;
    double yMax = edges.front().yBottom;
    for (const Edge& e : edges) yMax = std::max(yMax, e.yBottom);
    const Rect& a = target.Area;
    const int y0 = ClampToInt(std::ceil(edges.front().yTop - 0.5), a.Top, a.Bottom + 1);
    const int y1 = ClampToInt(std::ceil(yMax - 0.5) - 1, a.Top - 1, a.Bottom);
    std::vector<const Edge*> active;
    std::vector<Crossing> xs;
    std::size_t next = 0;
    std::int64_t work = std::int64_t(edges.size());
    for (int y = y0; y <= y1; ++y) {
        const double sy = y + 0.5;
        while (next < edges.size() && edges[next].yTop <= sy) active.push_back(&edges[next++]);
        std::erase_if(active, [sy](const Edge* e) { return e->yBottom <= sy; });
        xs.clear();
        for (const Edge* e : active)
            if (e->yTop <= sy) xs.push_back({e->x0 + (sy - e->y0) * e->dxdy, e->dir});
        work += FillRow(target, y, xs, mode, c);
    }
    return work;
}

int PixelOf(double v) {
    if (!(v > -1e9)) return -1000000000;
    if (!(v < 1e9)) return 1000000000;
    return int(std::floor(v + 0.5));
}

} // namespace pixkit
