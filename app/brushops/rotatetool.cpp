#include "brushops/rotatetool.h"

#include "brushops/rotate.h"
#include "keys.h"
#include "lang.h"
#include "message.h"
#include "paint/painting.h"
#include "tools/framework.h"

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;

namespace {
constexpr double kDegrees = 180 / 3.14159265358979323846;

int TurnMode() {
    return Paint()->AntiAlias() ? 1 : 0;
}
} // namespace

P_rotate_brush::P_rotate_brush() {
    Undo = 0; // the image is only borrowed for the preview
    Clicks = 2;
    HelpContext = 1205;
    Cursor = crRotate;
}

void P_rotate_brush::Activate() {
    Paint()->Brush.SaveForRestore();
    Paint()->SetStatusKey(StatusText, "RotateBrush");
}

void P_rotate_brush::Deactivate(P_icon*) {
    Hide();
    Paint()->ClearOffset();
}

Pair<int> P_rotate_brush::Centre() const {
    const Buffer& brush = Paint()->Brush.Brush;
    return {AnchorX + (brush.Width() >> 1), AnchorY + (brush.Height() >> 1)};
}

// The painting brush turned straight into the drawing view around the
// brush's centre, after the image under it was saved.
void P_rotate_brush::Preview() {
    Painting& paint = *Paint();
    Buffer& painting = paint.Brush.Painting;
    const Pair<int> c = Centre();
    Angle = PointerAngle(c, Tools()->ImagePos);
    paint.ShowAngle(Angle * kDegrees);
    const Pair<int> from{painting.Width(), painting.Height()};
    const Pair<int> size = RotatedSize(from, Angle);
    // The turned painting brush lands where the turned brush will: its
    // top-left corner at c - size / 2.
    const Pair<int> at = TurnPoint(from, size, Angle);
    const Pair<int> corner{c.x - (size.x >> 1), c.y - (size.y >> 1)};
    const pixkit::Rect r{corner.x - 1, corner.y - 1, corner.x + size.x, corner.y + size.y};
    if (!Saved.Save(paint, r)) return;
    XFormCentred(paint.ClipView(), painting, RotationMatrix(Angle),
                 {corner.x + at.x, corner.y + at.y}, kBrushTransparent, TurnMode());
    paint.Invalidate(r);
    paint.UpdateNow();
}

void P_rotate_brush::Press() {
    if (Tools()->State != csIdle) {
        Apply();
        return;
    }
    Painting& paint = *Paint();
    paint.SetStatusKey(StatusText, "RotateBrush2");
    const Buffer& brush = paint.Brush.Brush;
    const Pair<int> h = HandleOffsetIn(brush.Area, paint.Brush.Settings.Handle);
    AnchorX = Tools()->ImagePos.x - h.x;
    AnchorY = Tools()->ImagePos.y - h.y;
    paint.MovePointerTo({AnchorX + brush.Width(), AnchorY + (brush.Height() >> 1)});
}

// The brush itself turned becomes a user brush whose centre stays where
// the preview showed it, and the pointer moves onto its handle.
void P_rotate_brush::Apply() {
    Painting& paint = *Paint();
    BrushState& state = paint.Brush;
    const Pair<int> c = Centre();
    Angle = PointerAngle(c, Tools()->ImagePos);
    paint.SetStatusKey(StatusText, "RotateBrush");
    paint.ClearOffset();
    state.SaveForRestore();
    const pixkit::Pixel background = ScaleBackground(state);
    if (RotateBrushBy(state.Brush, Angle, background, TurnMode()) == ScaleOutcome::TooBig) {
        MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
        return;
    }
    state.Settings.UserBrush = true;
    state.Settings.Background = background;
    const Buffer& brush = state.Brush;
    const Pair<int> h = HandleOffsetIn(brush.Area, state.Settings.Handle);
    paint.MovePointerTo({c.x - (brush.Width() >> 1) + h.x, c.y - (brush.Height() >> 1) + h.y});
    paint.OptimizeBrush();
    paint.BrushChanged();
}

P_icon* RotateBrushTool() {
    static P_rotate_brush tool;
    return &tool;
}

} // namespace kv
