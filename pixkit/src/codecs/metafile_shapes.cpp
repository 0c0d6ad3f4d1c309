// Curved shapes of the playback device context: rounded rectangles, the
// elliptic arc family (arc, arc-to, chord, pie), angle arcs and mixed
// point lists. Boxes are rounded to the pixel grid in output pixels as
// Ellipse does: the fill covers [left, right) x [top, bottom), the outline
// runs on the outermost pixels inside.
#include "metafile_dc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pixkit {

namespace {

constexpr double kPi = std::numbers::pi;

struct Box {
    double l, t, r, b;
    double Cx() const { return (l + r) / 2; }
    double Cy() const { return (t + b) / 2; }
};

// Points of the ellipse inscribed in box from angle a0 over sweep radians
// (positive: counter-clockwise on the screen), both ends included.
void EllipseArc(std::vector<Pair<double>>& out, const Box& box, double a0, double sweep) {
    const double rx = (box.r - box.l) / 2, ry = (box.b - box.t) / 2;
    const int n = ClampToInt((rx + ry) * std::fabs(sweep) / kPi + 1, 2, 4096);
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + sweep * i / n;
        out.push_back({box.Cx() + rx * std::cos(a), box.Cy() - ry * std::sin(a)});
    }
}

// The angle of the ray from the box's centre through p, measured on the
// ellipse (the parameter of the point where the ray meets it).
double AngleOn(const Box& box, Pair<double> p) {
    const double rx = std::max((box.r - box.l) / 2, 1e-9), ry = std::max((box.b - box.t) / 2, 1e-9);
    return std::atan2(-(p.y - box.Cy()) / ry, (p.x - box.Cx()) / rx);
}

// The outline of a rounded box with corner ellipses of cw x ch.
std::vector<Pair<double>> RoundBox(const Box& box, double cw, double ch) {
    cw = std::min(cw, box.r - box.l);
    ch = std::min(ch, box.b - box.t);
    std::vector<Pair<double>> pts;
    EllipseArc(pts, {box.r - cw, box.t, box.r, box.t + ch}, 0, kPi / 2);
    EllipseArc(pts, {box.l, box.t, box.l + cw, box.t + ch}, kPi / 2, kPi / 2);
    EllipseArc(pts, {box.l, box.b - ch, box.l + cw, box.b}, kPi, kPi / 2);
    EllipseArc(pts, {box.r - cw, box.b - ch, box.r, box.b}, 3 * kPi / 2, kPi / 2);
    return pts;
}

} // namespace

bool MetaDC::OutputBox(double l, double t, double r, double b, double box[4]) const {
    const Pair<double> p = ToOutput(l, t), q = ToOutput(r, b);
    box[0] = PixelOf(std::min(p.x, q.x));
    box[1] = PixelOf(std::min(p.y, q.y));
    box[2] = PixelOf(std::max(p.x, q.x));
    box[3] = PixelOf(std::max(p.y, q.y));
    return box[2] > box[0] && box[3] > box[1];
}

// Fills the figure (output points) with the brush and strokes the outline
// (output points on the pixel grid), or adds the outline to the path.
void MetaDC::DrawShape(const std::vector<Pair<double>>& fill, std::vector<Pair<double>> outline,
                       bool closed) {
    if (inPath_) {
        for (Pair<double>& p : outline) p = FromOutput(p);
        AddFigure(std::move(outline), closed);
        return;
    }
    if (closed && !st.brush.hollow) FillPolygons({fill});
    for (Pair<double>& p : outline) p = {double(PixelOf(p.x)), double(PixelOf(p.y))};
    StrokePath(outline, closed);
}

void MetaDC::RoundRect(double l, double t, double r, double b, double cw, double ch) {
    double o[4];
    if (!OutputBox(l, t, r, b, o)) return;
    const Pair<double> a = ToOutput(0, 0), w = ToOutput(cw, 0), h = ToOutput(0, ch);
    const double cwo = std::hypot(w.x - a.x, w.y - a.y), cho = std::hypot(h.x - a.x, h.y - a.y);
    DrawShape(RoundBox({o[0], o[1], o[2], o[3]}, cwo, cho),
              RoundBox({o[0], o[1], o[2] - 1, o[3] - 1}, cwo, cho), true);
}

void MetaDC::Arc(ArcKind kind, double l, double t, double r, double b, Pair<double> start,
                 Pair<double> end) {
    double o[4];
    if (!OutputBox(l, t, r, b, o)) return;
    const Box fillBox{o[0], o[1], o[2], o[3]};
    const Box lineBox{o[0], o[1], o[2] - 1, o[3] - 1};
    const double a0 = AngleOn(fillBox, ToOutput(start.x, start.y));
    const double a1 = AngleOn(fillBox, ToOutput(end.x, end.y));
    // Arcs run counter-clockwise on the output unless the direction is
    // clockwise; equal ends make a whole ellipse.
    double sweep = a1 - a0;
    if (st.arcClockwise) {
        if (sweep >= 0) sweep -= 2 * kPi;
    } else if (sweep <= 0) {
        sweep += 2 * kPi;
    }
    std::vector<Pair<double>> fill, line;
    EllipseArc(fill, fillBox, a0, sweep);
    EllipseArc(line, lineBox, a0, sweep);
    if (kind == ArcKind::Pie) {
        fill.push_back({fillBox.Cx(), fillBox.Cy()});
        line.push_back({lineBox.Cx(), lineBox.Cy()});
    }
    if (kind == ArcKind::ArcTo) {
        // A line from the current position to the arc's start, then the
        // arc; the arc's end becomes the current position.
        std::vector<Pair<double>> logical;
        for (const Pair<double>& p : fill) logical.push_back(FromOutput(p));
        PolylineTo(logical);
        return;
    }
    DrawShape(fill, line, kind == ArcKind::Chord || kind == ArcKind::Pie);
}

// A line from the current position to the start of the arc, then the arc
// of the circle (logical units) from start degrees over sweep degrees,
// counter-clockwise for a positive sweep.
void MetaDC::AngleArc(double x, double y, double radius, double start, double sweep) {
    const double a0 = start * kPi / 180, s = sweep * kPi / 180;
    const Pair<double> a = ToOutput(0, 0), e = ToOutput(radius, radius);
    const double pixels = std::fabs(e.x - a.x) + std::fabs(e.y - a.y);
    const int n = ClampToInt(pixels * std::fabs(s) / kPi + 1, 2, 4096);
    std::vector<Pair<double>> pts;
    for (int i = 0; i <= n; ++i) {
        const double t = a0 + s * i / n;
        pts.push_back({x + radius * std::cos(t), y - radius * std::sin(t)});
    }
    PolylineTo(pts);
}

// Cubic Bézier segments (start, two controls, end) as line points.
std::vector<Pair<double>> FlattenBeziers(Pair<double> start, const std::vector<Pair<double>>& pts) {
    std::vector<Pair<double>> out{start};
    for (std::size_t i = 0; i + 2 < pts.size(); i += 3) {
        const Pair<double> p0 = out.back(), p1 = pts[i], p2 = pts[i + 1], p3 = pts[i + 2];
        for (int k = 1; k <= 16; ++k) {
            const double t = k / 16.0, u = 1 - t;
            const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                           a * p0.y + b * p1.y + c * p2.y + d * p3.y});
        }
    }
    return out;
}

// Points with a type each: move (6), line (2), Bézier (4, three points),
// and the close flag (1) that joins the figure back to its start.
void MetaDC::PolyDraw(const std::vector<Pair<double>>& pts,
                      const std::vector<std::uint8_t>& types) {
    Pair<double> figureStart = st.pos;
    for (std::size_t i = 0; i < pts.size() && i < types.size(); ++i) {
        const int kind = types[i] & 6;
        if (kind == 6) {
            MoveTo(pts[i].x, pts[i].y);
            figureStart = pts[i];
        } else if (kind == 4 && i + 2 < pts.size()) {
            const std::vector<Pair<double>> line =
                FlattenBeziers(st.pos, {pts[i], pts[i + 1], pts[i + 2]});
            PolylineTo(std::vector<Pair<double>>(line.begin() + 1, line.end()));
            i += 2;
        } else {
            LineTo(pts[i].x, pts[i].y);
        }
        if (types[i] & 1) {
            if (inPath_)
                CloseFigure();
            else
                LineTo(figureStart.x, figureStart.y);
        }
    }
}

} // namespace pixkit
