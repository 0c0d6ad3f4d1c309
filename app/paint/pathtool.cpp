#include "paint/pathtool.h"

#include "paint/painting.h"
#include "paint/pathmath.h"
#include "tools/framework.h"

#include <algorithm>
#include <cstdlib>

namespace kv {

using pixkit::Pair;
using pixkit::Rect;

namespace {

// Draws segments with brush stamps or with single inverting pixels,
// keeping the box of what it touched.
class PathPen {
  public:
    explicit PathPen(bool stamp) : stamp_(stamp) {}
    double Stroke(Pair<int> a, Pair<int> b, double spacing, double phase) {
        Grow(a);
        Grow(b);
        if (stamp_) return Paint()->Stamp.StrokeLine(a, b, spacing, phase);
        return XorStroke(Paint()->Image(), a, b, spacing, phase, kRubberBand);
    }
    void Grow(Pair<int> p) {
        box_ = {std::min(box_.Left, p.x), std::min(box_.Top, p.y), std::max(box_.Right, p.x),
                std::max(box_.Bottom, p.y)};
    }
    Rect Box() const { return box_; }

  private:
    bool stamp_;
    Rect box_{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
};

void DrawArrow(PathPen& pen, Pair<int> tip, Pair<int> from, int arrow) {
    const int length = ArrowLength(arrow);
    if (length == 0) return;
    for (double angle : {-30.0, 30.0}) pen.Stroke(ArrowPoint(tip, from, angle, length), tip, 1, 1);
}

void DrawLine(PathPen& pen, const PathShape& s) {
    const int length = std::max(std::abs(s.E.x - s.S.x), std::abs(s.E.y - s.S.y));
    DrawArrow(pen, s.E, s.S, s.Arrow);
    pen.Stroke(s.S, s.E, SpacingFor(s.Mode, s.Value, length, false), 1);
}

void DrawCurve(PathPen& pen, const PathShape& s) {
    const double spacing = SpacingFor(s.Mode, s.Value, CurveLength(s.S, s.C, s.E), true);
    pen.Grow(s.C);
    double phase = 1;
    Pair<int> previous = s.S, beforeLast = s.S;
    for (int k = 1; k <= kCurveSegments; ++k) {
        const Pair<int> q = CurvePoint(s.S, s.C, s.E, double(k) / kCurveSegments);
        phase = pen.Stroke(previous, q, spacing, phase) + 1;
        beforeLast = previous;
        previous = q;
    }
    DrawArrow(pen, s.E, beforeLast, s.Arrow);
}

} // namespace

Rect DrawShape(const PathShape& shape, bool stamp) {
    PathPen pen(stamp);
    if (shape.Curve)
        DrawCurve(pen, shape);
    else
        DrawLine(pen, shape);
    return pen.Box();
}

P_path::P_path() {
    Undo = 1;
    Snap = 1;
    Cursor = crCross;
}

PathShape P_path::Settings() const {
    PathShape s;
    s.Mode = Mode;
    s.Value = Value;
    s.Arrow = Arrow;
    return s;
}

void P_path::ReadBar() {
    const Painting& paint = *Paint();
    Mode = static_cast<int>(paint.BarValue(BarName, 0, Mode));
    Value = paint.BarValue(BarName, 1, Value);
    // Only a distance in pixels keeps its fraction.
    if (Mode != smPixels) Value = static_cast<int>(Value);
    Arrow = static_cast<int>(paint.BarValue(BarName, 2, Arrow));
}

void P_path::Activate() {
    Painting& paint = *Paint();
    paint.SetBarValue(BarName, 0, Mode);
    paint.SetBarValue(BarName, 1, Value);
    paint.SetBarValue(BarName, 2, Arrow);
    // An edited value shows in the rubber band at once.
    paint.BindBar(BarName, 3, [] { Tools()->RefreshTool(true, true); });
    paint.SetStatusKey(StatusText, StartKey());
}

void P_path::Deactivate(P_icon*) {
    ReadBar();
    Paint()->ClearOffset();
}

void P_path::Show() {
    Painting& paint = *Paint();
    const Pair<int> p = Tools()->ImagePos;
    if (Tools()->State == csIdle) {
        paint.Stamp.StampAt(p);
        return;
    }
    ReadBar();
    paint.ShowOffset(Start, p);
    band_ = Band(p);
    const Rect r = DrawShape(band_, false);
    banded_ = true;
    paint.Invalidate(r);
}

void P_path::Hide() {
    Painting& paint = *Paint();
    if (banded_) {
        banded_ = false;
        paint.Invalidate(DrawShape(band_, false));
    }
    paint.Stamp.RestoreUnder();
}

void P_path::StampShape(const PathShape& shape) {
    const bool right = (Tools()->MouseButtons & msRight) != 0;
    Painting& paint = *Paint();
    paint.PrepareBrush(right);
    DrawShape(shape, true);
    if (right) paint.PrepareBrush(false);
    paint.ImageModified();
}

} // namespace kv
