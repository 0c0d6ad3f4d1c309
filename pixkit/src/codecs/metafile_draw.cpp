// Drawing operations of the playback device context. Coordinates are mapped
// to output pixels and rounded to the pixel grid as GDI does: rectangles
// and ellipses cover [left, right) x [top, bottom), lines leave out their
// last pixel, polygons fill the pixels whose centres lie inside and then
// stroke their outline through the vertices.
#include "metafile_dc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <span>

namespace pixkit {

namespace {

constexpr int kPenNull = 5;

Pair<double> Round(Pair<double> p) {
    return {double(PixelOf(p.x)), double(PixelOf(p.y))};
}

// Twice the area of a polygon, positive when it turns one way and negative
// the other.
double SignedArea(const std::vector<Pair<double>>& pts) {
    double sum = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const Pair<double> a = pts[i], b = pts[(i + 1) % pts.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

// A disc of diameter d around c as a polygon, for round pen joins.
std::vector<Pair<double>> Disc(Pair<double> c, double d) {
    const int n = ClampToInt(d * 1.5, 8, 256);
    std::vector<Pair<double>> pts(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        pts[std::size_t(i)] = {c.x + 0.5 + d / 2 * std::cos(a), c.y + 0.5 + d / 2 * std::sin(a)};
    }
    return pts;
}

// The outline of an ellipse inside the box, n points, centre-line radius
// shrunk by inset pixels.
std::vector<Pair<double>> EllipsePoints(double l, double t, double r, double b, double inset) {
    const double cx = (l + r) / 2, cy = (t + b) / 2;
    const double rx = std::max(0.0, (r - l) / 2 - inset), ry = std::max(0.0, (b - t) / 2 - inset);
    const int n = ClampToInt((rx + ry) * 2, 16, 4096);
    std::vector<Pair<double>> pts(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        pts[std::size_t(i)] = {cx + rx * std::cos(a), cy + ry * std::sin(a)};
    }
    return pts;
}

// Calls fn(p) for the pixels of the line from a to b without its last one,
// the pixel nearest the line in each step along the major axis.
template <typename Fn> void WalkLine(Pair<int> a, Pair<int> b, Fn fn) {
    const std::int64_t dx = std::int64_t(b.x) - a.x, dy = std::int64_t(b.y) - a.y;
    const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
    for (std::int64_t i = 0; i < n; ++i)
        fn(Pair<int>{int(a.x + (2 * dx * i + (dx >= 0 ? n : -n)) / (2 * n)),
                     int(a.y + (2 * dy * i + (dy >= 0 ? n : -n)) / (2 * n))});
}

// A line that leaves out its last pixel (GDI's LineTo).
void ThinLine(Buffer& t, Pair<int> a, Pair<int> b, const MetaPaint& paint) {
    if (paint.rop2 == 13) {
        const bool keep = t.Contains(b);
        const Pixel old = keep ? *t.At(b.x, b.y) : 0;
        t.Line(a, b, paint.colour);
        if (keep) *t.At(b.x, b.y) = old;
        return;
    }
    // Other raster operations read each pixel once: a plain walk.
    WalkLine(a, b, [&](Pair<int> p) {
        if (t.Contains(p)) PaintSpan(t, p.y, p.x, p.x, paint);
    });
}

// The runs of drawn and skipped pixels that one-pixel pens of the dashed
// styles repeat along their path (PS_DASH, PS_DOT, PS_DASHDOT,
// PS_DASHDOTDOT, and every other pixel for PS_ALTERNATE); empty for the
// other styles. Wider pens of these styles draw solid lines, as they do on
// the system the files come from.
std::span<const int> DashRuns(int style) {
    static constexpr int kDash[] = {18, 6}, kDot[] = {3, 3}, kDashDot[] = {9, 6, 3, 6},
                         kDashDotDot[] = {9, 3, 3, 3, 3, 3}, kAlternate[] = {1, 1};
    switch (style) {
    case 1:
        return kDash;
    case 2:
        return kDot;
    case 3:
        return kDashDot;
    case 4:
        return kDashDotDot;
    case 8:
        return kAlternate;
    default:
        return {};
    }
}

// A dashed one-pixel line without its last pixel. phase counts the pixels
// of the path so far, so the pattern runs on across its vertices; gaps
// take gap's paint (the background colour in the opaque background mode)
// or stay as they are when gap is null.
void DashedLine(Buffer& t, Pair<int> a, Pair<int> b, std::span<const int> runs,
                const MetaPaint& pen, const MetaPaint* gap, std::int64_t& phase) {
    int period = 0;
    for (const int r : runs) period += r;
    WalkLine(a, b, [&](Pair<int> p) {
        int at = int(phase++ % period), run = 0;
        while (at >= runs[std::size_t(run)]) at -= runs[std::size_t(run++)];
        const MetaPaint* paint = run % 2 == 0 ? &pen : gap;
        if (paint != nullptr && t.Contains(p)) PaintSpan(t, p.y, p.x, p.x, *paint);
    });
}

} // namespace

double MetaDC::PenPixels() const {
    const Pair<double> a = ToOutput(0, 0), b = ToOutput(st.pen.width, 0);
    return std::hypot(b.x - a.x, b.y - a.y);
}

MetaPaint MetaDC::BrushPaint() const {
    MetaPaint p;
    p.colour = st.brush.colour;
    p.rop2 = st.rop2;
    p.pattern = st.brush.pattern.get();
    p.opaqueBackground = st.opaqueBk;
    p.backgroundColour = st.bkColour;
    p.textColour = st.textColour;
    p.origin = st.brushOrg;
    return p;
}

void MetaDC::FillPolygons(const std::vector<std::vector<Pair<double>>>& devPolys) {
    const MetaPaint paint = BrushPaint();
    ForEachTarget([&](Buffer& t) { Charge(FillPolygonsInto(t, devPolys, st.fill, paint)); });
}

void MetaDC::FillPolygons(const std::vector<std::vector<Pair<double>>>& devPolys, Pixel c) {
    ForEachTarget(
        [&](Buffer& t) { Charge(FillPolygonsInto(t, devPolys, st.fill, c & 0x00FFFFFF)); });
}

// Strokes a path of output points (already on the pixel grid) with the
// current pen: one pixel wide lines for thin pens, otherwise filled
// segment quads with round joins.
void MetaDC::StrokePath(const std::vector<Pair<double>>& pts, bool closed) {
    if ((st.pen.style & 15) == kPenNull || pts.empty()) return;
    MetaPaint c;
    c.colour = st.pen.colour & 0x00FFFFFF;
    c.rop2 = st.rop2;
    const double w = PenPixels();
    ForEachTarget([&](Buffer& t) { StrokeInto(t, pts, closed, c, w); });
}

void MetaDC::StrokeInto(Buffer& t, const std::vector<Pair<double>>& pts, bool closed,
                        const MetaPaint& c, double w) {
    const std::size_t segments = closed ? pts.size() : pts.size() - 1;
    if (w < 1.5) {
        const std::span<const int> dashes = DashRuns(st.pen.style & 15);
        MetaPaint gap = c;
        gap.colour = st.bkColour & 0x00FFFFFF;
        std::int64_t phase = 0;
        for (std::size_t i = 0; i < segments; ++i) {
            const Pair<double> a = pts[i], b = pts[(i + 1) % pts.size()];
            const Pair<int> from{int(a.x), int(a.y)}, to{int(b.x), int(b.y)};
            if (dashes.empty())
                ThinLine(t, from, to, c);
            else
                DashedLine(t, from, to, dashes, c, st.opaqueBk ? &gap : nullptr, phase);
            Charge(std::int64_t(std::fabs(b.x - a.x) + std::fabs(b.y - a.y)) + 1);
        }
        return;
    }
    // One fill of every segment quad and joint disc, all turned the same
    // way, so that under the nonzero rule each pixel is painted once even
    // where they overlap: raster operations such as XOR apply once.
    std::vector<std::vector<Pair<double>>> shapes;
    shapes.reserve(segments + pts.size());
    for (std::size_t i = 0; i < segments; ++i) {
        const Pair<double> a = pts[i], b = pts[(i + 1) % pts.size()];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len > 0) {
            const double nx = -(b.y - a.y) / len * w / 2, ny = (b.x - a.x) / len * w / 2;
            shapes.push_back({{a.x + 0.5 + nx, a.y + 0.5 + ny},
                              {b.x + 0.5 + nx, b.y + 0.5 + ny},
                              {b.x + 0.5 - nx, b.y + 0.5 - ny},
                              {a.x + 0.5 - nx, a.y + 0.5 - ny}});
        }
    }
    for (const Pair<double>& p : pts) shapes.push_back(Disc(p, w));
    for (std::vector<Pair<double>>& shape : shapes)
        if (SignedArea(shape) < 0) std::reverse(shape.begin(), shape.end());
    Charge(FillPolygonsInto(t, shapes, FillMode::Winding, c));
}

std::vector<Pair<double>> MetaDC::ToGrid(const std::vector<Pair<double>>& pts) const {
    std::vector<Pair<double>> dev;
    dev.reserve(pts.size());
    for (const Pair<double>& p : pts) dev.push_back(Round(ToOutput(p.x, p.y)));
    return dev;
}

void MetaDC::LineTo(double x, double y) {
    PolylineTo({{x, y}});
}

void MetaDC::PolylineTo(const std::vector<Pair<double>>& pts) {
    if (pts.empty()) return;
    std::vector<Pair<double>> line{st.pos};
    line.insert(line.end(), pts.begin(), pts.end());
    st.pos = pts.back();
    if (inPath_) {
        if (path_.empty() || path_.back().closed) path_.push_back({{line.front()}, false});
        path_.back().pts.insert(path_.back().pts.end(), pts.begin(), pts.end());
        return;
    }
    StrokePath(ToGrid(line), false);
}

void MetaDC::Polyline(const std::vector<Pair<double>>& pts) {
    if (inPath_)
        AddFigure(pts, false);
    else
        StrokePath(ToGrid(pts), false);
}

void MetaDC::PolyPolygon(const std::vector<std::vector<Pair<double>>>& polys) {
    if (inPath_) {
        for (const auto& poly : polys) AddFigure(poly, true);
        return;
    }
    std::vector<std::vector<Pair<double>>> dev(polys.size());
    for (std::size_t i = 0; i < polys.size(); ++i) dev[i] = ToGrid(polys[i]);
    if (!st.brush.hollow) FillPolygons(dev);
    for (const auto& poly : dev) StrokePath(poly, true);
}

void MetaDC::Rectangle(double l, double t, double r, double b) {
    if (inPath_) return AddFigure({{l, t}, {r, t}, {r, b}, {l, b}}, true);
    const Pair<double> p = Round(ToOutput(l, t)), q = Round(ToOutput(r, b));
    const double L = std::min(p.x, q.x), R = std::max(p.x, q.x);
    const double T = std::min(p.y, q.y), B = std::max(p.y, q.y);
    if (R <= L || B <= T) return;
    if (!st.brush.hollow) FillPolygons({{{L, T}, {R, T}, {R, B}, {L, B}}});
    StrokePath({{L, T}, {R - 1, T}, {R - 1, B - 1}, {L, B - 1}}, true);
}

void MetaDC::Ellipse(double l, double t, double r, double b) {
    if (inPath_) return Arc(ArcKind::Chord, l, t, r, b, {r, (t + b) / 2}, {r, (t + b) / 2});
    const Pair<double> p = Round(ToOutput(l, t)), q = Round(ToOutput(r, b));
    const double L = std::min(p.x, q.x), R = std::max(p.x, q.x);
    const double T = std::min(p.y, q.y), B = std::max(p.y, q.y);
    if (R <= L || B <= T) return;
    if (!st.brush.hollow) FillPolygons({EllipsePoints(L, T, R, B, 0)});
    std::vector<Pair<double>> outline = EllipsePoints(L, T, R, B, 0.5);
    for (Pair<double>& o : outline) o = Round({o.x - 0.5, o.y - 0.5});
    StrokePath(outline, true);
}

void MetaDC::SetPixel(double x, double y, Pixel c) {
    const Pair<double> p = ToOutput(x, y);
    const Pair<int> at{PixelOf(p.x), PixelOf(p.y)};
    ForEachTarget([&](Buffer& t) {
        if (t.Contains(at)) *t.At(at.x, at.y) = c & 0x00FFFFFF;
    });
}

void MetaDC::FillRect(double l, double t, double r, double b, Pixel c) {
    const Pair<double> p = Round(ToOutput(l, t)), q = Round(ToOutput(r, b));
    FillPolygons({{{p.x, p.y}, {q.x, p.y}, {q.x, q.y}, {p.x, q.y}}}, c);
}

} // namespace pixkit
