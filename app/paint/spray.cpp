#include "paint/spray.h"

#include "bars/parambar.h"
#include "mainform.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "paint/pathtool.h"
#include "tools/framework.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kv {

using pixkit::Pair;
using pixkit::Rect;

namespace {
bool RightButton() {
    return (Tools()->MouseButtons & msRight) != 0;
}
} // namespace

P_sprayer::P_sprayer() {
    Clicks = 2;
    Undo = 1;
    Snap = 1;
    HelpContext = 2900;
}

// Bar controls: 0 the spray-resize button, 1 the radius, 2 the intensity.
void P_sprayer::ReadBar() {
    Painting& paint = *Paint();
    paint.SetSprayRadius(static_cast<int>(paint.BarValue(BarName, 1, paint.SprayRadius())));
    Intensity = static_cast<std::int32_t>(paint.BarValue(BarName, 2, Intensity));
}

void P_sprayer::Activate() {
    Painting& paint = *Paint();
    paint.SetBarValue(BarName, 1, paint.SprayRadius());
    paint.SetBarValue(BarName, 2, Intensity);
    // Button 0 sizes the radius with the mouse; the bar stays meanwhile.
    // The tool is activated again while its bar stays: bound once per bar.
    QWidget* first = paint.Form().ParamBar().Control(0);
    if (first != nullptr && first != boundBar_) {
        boundBar_ = first;
        paint.BindBarControl(BarName, 0, [this] {
            P_icon* sizer = ResizeSprayTool();
            sizer->BarName = BarName;
            Tools()->SelectTool(sizer, true, -1);
        });
    }
    paint.SetStatusKey(StatusText, StatusKey());
}

void P_sprayer::Deactivate(P_icon*) {
    // Leaving in the middle of a stroke (hot key, Esc, image switch) ends it,
    // so that the image counts as changed.
    EndStroke();
    ReadBar();
}

void P_sprayer::DoStep(Pair<int> p) {
    if (!stroking_) return;
    ReadBar();
    last_ = p;
    Step(p);
}

void P_sprayer::Show() {
    ToolFramework& tools = *Tools();
    const Pair<int> p = tools.ImagePos;
    switch (tools.State) {
    case csIdle:
        ShowPreview(p);
        previewed_ = true;
        break;
    case csDragging:
        // The press itself shows at the pressed point: no step until a move.
        if (p != last_) DoStep(p);
        break;
    case csClicked:
        // A quick click: exactly one step, then the stroke ends.
        tools.State = csDragging;
        DoStep(p);
        Press();
        tools.AdvanceClick();
        break;
    default:
        break;
    }
}

void P_sprayer::Hide() {
    if (!previewed_) return;
    previewed_ = false;
    HidePreview();
}

void P_sprayer::ActivityStep() {
    if (Tools()->State == csDragging) DoStep(Tools()->ImagePos);
}

void P_sprayer::Press() {
    if (Tools()->State == csIdle) {
        Hide();
        stroking_ = true;
        last_ = Tools()->ImagePos;
        StartStroke(RightButton());
        return;
    }
    EndStroke();
    Tools()->State = csDone;
}

void P_sprayer::EndStroke() {
    if (!stroking_) return;
    stroking_ = false;
    FinishStroke();
    Paint()->ImageModified();
}

// --- Spray -------------------------------------------------------------

P_spray::P_spray() {
    Cursor = crSpray;
    BarName = "SPRAYBAR";
}

void P_spray::ShowPreview(Pair<int> p) {
    Paint()->Stamp.StampAt(p);
}

void P_spray::HidePreview() {
    Paint()->Stamp.RestoreUnder();
}

void P_spray::StartStroke(bool rightButton) {
    Paint()->PrepareBrush(rightButton);
}

void P_spray::FinishStroke() {
    Paint()->PrepareBrush(false);
}

// trunc(2 * intensity) - 1 stamps at distance b = -a + (rnd mod a) + (rnd mod
// a) (a triangular spread from -a to a - 2) and angle (rnd mod 360) degrees,
// drawn in that order.
void P_spray::Step(Pair<int> p) {
    Painting& paint = *Paint();
    const unsigned a = static_cast<unsigned>(paint.SprayRadius());
    const int stamps = 2 * std::min(Intensity, std::int32_t{1 << 20}) - 1;
    Pair<int> lo = p, hi = p;
    for (int i = 0; i < stamps; ++i) {
        const int b1 = static_cast<int>(paint.Random() % a);
        const int b2 = static_cast<int>(paint.Random() % a);
        const double b = -static_cast<int>(a) + b1 + b2;
        const double angle = static_cast<int>(paint.Random() % 360) * std::numbers::pi / 180;
        const Pair<int> s{static_cast<int>(b * std::cos(angle) + p.x),
                          static_cast<int>(b * std::sin(angle) + p.y)};
        paint.Stamp.StampQuiet(s);
        lo = {std::min(lo.x, s.x), std::min(lo.y, s.y)};
        hi = {std::max(hi.x, s.x), std::max(hi.y, s.y)};
    }
    const Rect first = paint.Stamp.StampRect(lo), last = paint.Stamp.StampRect(hi);
    paint.Invalidate({first.Left, first.Top, last.Right, last.Bottom});
}

// --- Airbrush ----------------------------------------------------------

P_airbrush::P_airbrush() {
    Cursor = crAirbrush;
    BarName = "AIRBRUSHBAR";
}

void P_airbrush::ShowPreview(Pair<int> p) {
    preview_ = p;
    Painting& paint = *Paint();
    paint.Image().PutPixel(p, kRubberBand);
    paint.Invalidate({p.x, p.y, p.x, p.y});
}

void P_airbrush::HidePreview() {
    ShowPreview(preview_); // the inverting pixel removes itself
}

void P_airbrush::Step(Pair<int> p) {
    Painting& paint = *Paint();
    const pixkit::Pixel colour = RightButton() ? paint.BackColor() : paint.DrawColor();
    paint.Invalidate(
        AirbrushStep(paint.ClipView(), p, paint.SprayRadius(), Intensity, colour, paint.Random));
    paint.UpdateNow();
}

P_icon* SprayTool() {
    static P_spray tool;
    return &tool;
}

P_icon* AirbrushTool() {
    static P_airbrush tool;
    return &tool;
}

} // namespace kv
