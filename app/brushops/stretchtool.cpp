#include "brushops/stretchtool.h"

#include "brushops/transform.h"
#include "keys.h"
#include "lang.h"
#include "mainform.h"
#include "message.h"
#include "paint/painting.h"
#include "tools/framework.h"

#include <cstdlib>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Rect;

namespace {
int ScaleMode() {
    return Paint()->Form().Prefs().AntiAlias ? 1 : 0;
}
} // namespace

P_stretch_brush::P_stretch_brush() {
    Flags = tfOneShot;
    Undo = 0; // the image is never changed
    Clicks = 2;
    HelpContext = 1200;
    Cursor = crCross;
}

void P_stretch_brush::Activate() {
    Paint()->Brush.SaveForRestore();
    Paint()->SetStatusKey(StatusText, "StretchBrush");
}

void P_stretch_brush::Deactivate(P_icon*) {
    Paint()->HideOverlay();
    Paint()->Stamp.RestoreUnder();
    Paint()->ClearOffset();
}

int P_stretch_brush::NewWidth(int x) const {
    return StretchSide(x, AnchorX);
}

int P_stretch_brush::NewHeight(int y) const {
    return StretchSide(y, AnchorY);
}

int P_stretch_brush_X::NewHeight(int) const {
    return Paint()->Brush.Brush.Height();
}

int P_stretch_brush_Y::NewWidth(int) const {
    return Paint()->Brush.Brush.Width();
}

Pair<int> P_stretch_brush::NewSize() const {
    const Pair<int> p = Tools()->ImagePos;
    return {NewWidth(p.x), NewHeight(p.y)};
}

// Before the first click the brush follows the pointer as with a pen.
void P_stretch_brush::Show() {
    if (Tools()->State == csIdle)
        Paint()->Stamp.StampAt(Tools()->ImagePos);
    else
        Preview();
}

void P_stretch_brush::Hide() {
    Paint()->Stamp.RestoreUnder();
    Paint()->HideOverlay();
}

// The view scales the painting brush over the image pixels as it shows
// them: a move costs the scaling of the part on screen, and the image is
// never written.
void P_stretch_brush::Preview() {
    Painting& paint = *Paint();
    const Pair<int> size = NewSize();
    const Rect r = StretchRect({AnchorX, AnchorY}, size);
    paint.ShowOffset({0, 0}, size);
    Buffer* brush = &paint.Brush.Painting;
    paint.ShowOverlay(
        r, [brush, size, at = Pair<int>{r.Left, r.Top}, mode = ScaleMode()](Buffer& shown) {
            shown.Scale(*brush, size, at, kBrushTransparent, mode);
        });
}

void P_stretch_brush::Press() {
    ToolFramework& tools = *Tools();
    if (tools.State != csIdle) {
        Apply();
        return;
    }
    Painting& paint = *Paint();
    paint.SetStatusKey(StatusText, "StretchBrush2");
    const Buffer& brush = paint.Brush.Brush;
    const Pair<int> h = HandleOffsetIn(brush.Area, paint.Brush.Settings.Handle);
    AnchorX = tools.ImagePos.x - h.x;
    AnchorY = tools.ImagePos.y - h.y;
    paint.MovePointerTo({AnchorX + brush.Width() - 1, AnchorY + brush.Height() - 1});
}

// The brush itself scaled (mirrored where a side is negative) becomes a
// user brush, and the pointer moves onto its handle.
void P_stretch_brush::Apply() {
    Painting& paint = *Paint();
    BrushState& state = paint.Brush;
    const Pair<int> size = NewSize();
    if (ScaleCurrentBrush(state, size, ScaleMode()) == ScaleOutcome::TooBig) {
        MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
        Tools()->ReturnToPreviousTool(false);
        return;
    }
    const Pair<int> h = HandleOffsetIn(state.Brush.Area, state.Settings.Handle);
    paint.MovePointerTo({AnchorX + h.x - (size.x < 0 ? std::abs(size.x) - 1 : 0),
                         AnchorY + h.y - (size.y < 0 ? std::abs(size.y) - 1 : 0)});
    paint.OptimizeBrush();
    paint.BrushChanged();
    Tools()->ReturnToPreviousTool(false);
}

P_icon* StretchBrushTool() {
    static P_stretch_brush tool;
    return &tool;
}

P_icon* StretchBrushXTool() {
    static P_stretch_brush_X tool;
    return &tool;
}

P_icon* StretchBrushYTool() {
    static P_stretch_brush_Y tool;
    return &tool;
}

} // namespace kv
