#include "brushops/bendtool.h"

#include "brushops/transform.h"
#include "keys.h"
#include "lang.h"
#include "message.h"
#include "paint/painting.h"
#include "tools/framework.h"

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;

P_bend_brush::P_bend_brush(DeformKind kind, const char* firstKey, const char* secondKey)
    : kind_(kind), firstKey_(firstKey), secondKey_(secondKey) {
    Undo = 0; // the image is only borrowed for the preview
    Clicks = 2;
    HelpContext = 1205;
    Cursor = crCross;
}

// Every variant keeps the brush for Restore, Shear Left-and-Right too.
void P_bend_brush::Activate() {
    Paint()->Brush.SaveForRestore();
    Paint()->SetStatusKey(StatusText, firstKey_);
}

void P_bend_brush::Deactivate(P_icon*) {
    Hide();
}

Pair<int> P_bend_brush::BrushSize() const {
    const Buffer& brush = Paint()->Brush.Brush;
    return {brush.Width(), brush.Height()};
}

void P_bend_brush::WarpToStart() {
    Paint()->MovePointerTo(DeformStart(kind_, {AnchorX, AnchorY}, BrushSize()));
}

void P_bend_brush::WarpToHandle(Pair<int> origin) {
    const BrushState& state = Paint()->Brush;
    const Pair<int> h = HandleOffsetIn(state.Brush.Area, state.Settings.Handle);
    Paint()->MovePointerTo({origin.x + h.x, origin.y + h.y});
}

Pair<int> P_bend_brush::NewOrigin(Pair<int> p) const {
    return DeformOrigin(kind_, {AnchorX, AnchorY}, BrushSize(), p);
}

Pair<int> P_bend_brush::NewSize(Pair<int> p) const {
    return DeformSize(kind_, {AnchorX, AnchorY}, BrushSize(), p);
}

void P_bend_brush::Deform(Buffer& dst, Buffer& b, Pair<int> p, Pair<int> at) const {
    DrawDeformed(kind_, dst, b, {AnchorX, AnchorY}, p, at, kBrushTransparent);
}

// The painting brush deformed straight into the drawing view, after the
// image under it was saved.
void P_bend_brush::Preview() {
    Painting& paint = *Paint();
    const Pair<int> p = Tools()->ImagePos;
    const Pair<int> origin = NewOrigin(p), size = NewSize(p);
    const pixkit::Rect r{origin.x, origin.y, origin.x + size.x - 1, origin.y + size.y - 1};
    if (!Saved.Save(paint, r)) return;
    Deform(paint.ClipView(), paint.Brush.Painting, p, origin);
    paint.Invalidate(r);
    paint.UpdateNow();
}

void P_bend_brush::Press() {
    if (Tools()->State != csIdle) {
        Apply();
        return;
    }
    Painting& paint = *Paint();
    paint.SetStatusKey(StatusText, secondKey_);
    const Pair<int> h = HandleOffsetIn(paint.Brush.Brush.Area, paint.Brush.Settings.Handle);
    AnchorX = Tools()->ImagePos.x - h.x;
    AnchorY = Tools()->ImagePos.y - h.y;
    WarpToStart();
}

// The brush itself deformed becomes a user brush with its top-left pixel
// where the preview showed it, and the pointer moves onto its handle.
void P_bend_brush::Apply() {
    Painting& paint = *Paint();
    BrushState& state = paint.Brush;
    const Pair<int> p = Tools()->ImagePos;
    paint.SetStatusKey(StatusText, firstKey_);
    const Pair<int> size = NewSize(p);
    Buffer deformed;
    if (FitsBrushLimit(size)) deformed.Alloc(size);
    if (deformed.Empty()) {
        MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
        return;
    }
    deformed.Box(deformed.Area, kBrushTransparent);
    const Pair<int> origin = NewOrigin(p);
    OriginX = origin.x;
    OriginY = origin.y;
    Deform(deformed, state.Brush, p, {0, 0});
    state.Brush = deformed;
    state.Settings.UserBrush = true;
    WarpToHandle(origin);
    paint.OptimizeBrush();
    paint.BrushChanged();
}

P_icon* BendBrushUnDTool() {
    static P_bend_brush_UnD tool;
    return &tool;
}

P_icon* BendBrushLnRTool() {
    static P_bend_brush_LnR tool;
    return &tool;
}

P_icon* ShearBrushUnDTool() {
    static P_shear_brush_UnD tool;
    return &tool;
}

P_icon* ShearBrushLnRTool() {
    static P_shear_brush_LnR tool;
    return &tool;
}

} // namespace kv
