#include "paint/shapes.h"

#include "paint/fills.h"
#include "paint/marking.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "paint/shapemath.h"
#include "tools/framework.h"

#include <algorithm>
#include <utility>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Rect;

namespace {

Rect Normalised(Pair<int> a, Pair<int> b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The outline of r as non-overlapping rows and columns, so that inverting
// them draws every pixel once.
std::vector<Rect> OutlineRects(const Rect& r) {
    std::vector<Rect> out{{r.Left, r.Top, r.Right, r.Top}};
    if (r.Bottom == r.Top) return out;
    out.push_back({r.Left, r.Bottom, r.Right, r.Bottom});
    if (r.Bottom - r.Top < 2) return out;
    out.push_back({r.Left, r.Top + 1, r.Left, r.Bottom - 1});
    if (r.Right != r.Left) out.push_back({r.Right, r.Top + 1, r.Right, r.Bottom - 1});
    return out;
}

} // namespace

// --- P_shape -------------------------------------------------------------

P_shape::P_shape(ShapeFill fill) : fill_(fill) {
    Clicks = 2;
    Undo = 1;
    Snap = 1;
    Cursor = crCross;
}

bool P_shape::RightButton() const {
    return (Tools()->MouseButtons & msRight) != 0;
}

void P_shape::Activate() {
    Paint()->SetStatusKey(StatusText, FirstKey());
}

void P_shape::Show() {
    const Pair<int> p = Tools()->ImagePos;
    overlay_.Show(Tools()->State == csIdle ? Crosshair(p) : Preview(p));
}

void P_shape::Hide() {
    overlay_.Hide();
}

void P_shape::Press() {
    Painting& paint = *Paint();
    const Pair<int> p = Tools()->ImagePos;
    if (Tools()->State == csIdle) {
        paint.SetStatusKey(StatusText, SecondKey());
        First = p;
        return;
    }
    paint.ClearOffset();
    DrawShape(p);
    paint.ImageModified();
    paint.SetStatusKey(StatusText, FirstKey());
}

void P_shape::FillRects(const std::vector<Rect>& rects) {
    Painting& paint = *Paint();
    Buffer& view = paint.ClipView();
    const Rect box = BoxOf(rects);
    if (RightButton()) {
        // The right button paints plain back colour, whatever the style.
        for (const Rect& r : rects) view.Box(r, paint.BackColor());
        paint.Invalidate(box);
        return;
    }
    for (const Rect& r : rects) MarkRect(view, r);
    FillWithCurrentStyle(view, paint.DrawColor(), box);
}

// --- Boxes -----------------------------------------------------------------

P_box::P_box(ShapeFill fill, bool square) : P_shape(fill), square_(square) {
    HelpContext = 2400;
}

Pair<int> P_box::Constrain(Pair<int> p) const {
    return square_ ? ConstrainSquare(First, p) : p;
}

std::vector<Rect> P_box::Preview(Pair<int> p) {
    const Rect r = Normalised(First, Constrain(p));
    // "[w,h]": the size in pixels, whatever the direction of the drag.
    Paint()->ShowOffset({0, 0}, {r.Right - r.Left + 1, r.Bottom - r.Top + 1});
    return Filled() ? std::vector<Rect>{r} : OutlineRects(r);
}

void P_box::DrawShape(Pair<int> p) {
    const Pair<int> q = Constrain(p);
    if (Filled()) {
        FillRects({Normalised(First, q)});
        return;
    }
    Painting& paint = *Paint();
    const bool right = RightButton();
    paint.PrepareBrush(right);
    const Pair<int> corners[] = {First, {q.x, First.y}, q, {First.x, q.y}, First};
    for (int i = 0; i < 4; ++i) paint.Stamp.StrokeLine(corners[i], corners[i + 1], 1, 1);
    if (right) paint.PrepareBrush(false);
}

// --- Circles and ellipses ----------------------------------------------

namespace {

// Walks the outline polygon with the stamp spacing, the phase starting at
// 2 so that the top point is reached by the closing edge only.
template <typename Stroke>
void WalkOutline(const std::vector<Pair<int>>& v, double spacing, Stroke&& stroke) {
    double phase = 2;
    for (std::size_t i = 1; i < v.size(); ++i) phase = stroke(v[i - 1], v[i], spacing, phase) + 1;
}

std::vector<Rect> SpanRects(const std::vector<Span>& spans) {
    std::vector<Rect> rects;
    rects.reserve(spans.size());
    for (const Span& s : spans) rects.push_back({s.Left, s.Y, s.Right, s.Y});
    return rects;
}

} // namespace

P_elpse::P_elpse(ShapeFill fill, bool circle) : P_shape(fill), circle_(circle) {
    HelpContext = 2500;
    if (fill == ShapeFill::Outline) BarName = circle ? "CIRCLEBAR" : "ELLIPSEBAR";
}

void P_elpse::ReadBar() {
    const Painting& paint = *Paint();
    Mode = std::clamp(static_cast<int>(paint.BarValue(BarName, 0, Mode)), 0, 2);
    Value = paint.BarValue(BarName, 1, Value);
}

void P_elpse::Activate() {
    P_shape::Activate();
    if (Filled()) return;
    Painting& paint = *Paint();
    paint.SetBarValue(BarName, 0, Mode);
    paint.SetBarValue(BarName, 1, Value);
    // An edited spacing shows in the preview at once.
    paint.BindBar(BarName, 2, [] { Tools()->RefreshTool(true, true); });
}

void P_elpse::Deactivate(P_icon*) {
    if (!Filled()) ReadBar();
    Paint()->ClearOffset();
}

void P_elpse::Radii(Pair<int> p) {
    const Pair<int> d{p.x - First.x, p.y - First.y};
    if (circle_) {
        Rx = Ry = CircleRadius(d);
    } else {
        const Pair<int> r = EllipseRadii(d);
        Rx = r.x, Ry = r.y;
    }
}

double P_elpse::Spacing(const std::vector<Pair<int>>& vertices) const {
    if (Mode == 1) return Value;
    if (Mode != 2) return 1;
    const double length = OutlineLength(vertices);
    // Fewer than one stamp asked for: the spacing passes the whole outline.
    return Value >= 1 ? length / Value : length + 1;
}

std::vector<Rect> P_elpse::Preview(Pair<int> p) {
    Painting& paint = *Paint();
    paint.ShowOffset(First, p);
    if (!Filled()) ReadBar();
    Radii(p);
    if (Filled()) return SpanRects(EllipseSpans(First, Rx, Ry));
    if (Rx == 0 && Ry == 0) return {{First.x, First.y, First.x, First.y}};
    // The stamp positions as single pixels, each once (a pixel inverted
    // twice would vanish).
    std::vector<Pair<int>> points;
    const std::vector<Pair<int>> v = EllipseVertices(First, Rx, Ry);
    WalkOutline(v, Spacing(v), [&](Pair<int> a, Pair<int> b, double spacing, double phase) {
        const std::int64_t left = WalkSpaced(a, b, ToFixed(spacing), ToFixed(phase),
                                             [&](Pair<int> q) { points.push_back(q); });
        return static_cast<double>(left) / 65536.0;
    });
    std::sort(points.begin(), points.end(),
              [](Pair<int> a, Pair<int> b) { return std::pair(a.y, a.x) < std::pair(b.y, b.x); });
    points.erase(std::unique(points.begin(), points.end()), points.end());
    std::vector<Rect> rects;
    rects.reserve(points.size());
    for (Pair<int> q : points) rects.push_back({q.x, q.y, q.x, q.y});
    return rects;
}

void P_elpse::DrawShape(Pair<int> p) {
    Radii(p);
    if (Filled()) {
        FillRects(SpanRects(EllipseSpans(First, Rx, Ry)));
        return;
    }
    Painting& paint = *Paint();
    const bool right = RightButton();
    paint.PrepareBrush(right);
    if (Rx == 0 && Ry == 0) {
        // A point: one stamp (the phase rule alone would skip it).
        paint.Stamp.StampQuiet(First);
        paint.Invalidate(paint.Stamp.StampRect(First));
    } else {
        const std::vector<Pair<int>> v = EllipseVertices(First, Rx, Ry);
        WalkOutline(v, Spacing(v), [&](Pair<int> a, Pair<int> b, double spacing, double phase) {
            return paint.Stamp.StrokeLine(a, b, spacing, phase);
        });
    }
    if (right) paint.PrepareBrush(false);
}

// --- The eight tools ---------------------------------------------------------

P_icon* BoxRectTool() {
    static P_box tool(ShapeFill::Outline, false);
    return &tool;
}

P_icon* BoxSqrTool() {
    static P_box tool(ShapeFill::Outline, true);
    return &tool;
}

P_icon* BoxRectFTool() {
    static P_box tool(ShapeFill::Filled, false);
    return &tool;
}

P_icon* BoxSqrFTool() {
    static P_box tool(ShapeFill::Filled, true);
    return &tool;
}

P_icon* CircleTool() {
    static P_elpse tool(ShapeFill::Outline, true);
    return &tool;
}

P_icon* CircleFTool() {
    static P_elpse tool(ShapeFill::Filled, true);
    return &tool;
}

P_icon* EllipseTool() {
    static P_elpse tool(ShapeFill::Outline, false);
    return &tool;
}

P_icon* EllipseFTool() {
    static P_elpse tool(ShapeFill::Filled, false);
    return &tool;
}

} // namespace kv
