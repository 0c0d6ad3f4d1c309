#include "brushops/resizetool.h"

#include "brushops/transform.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;

P_resize::P_resize() {
    Flags = tfOneShot;
    Undo = 0; // the image is only borrowed for the preview
    Clicks = 2;
    HelpContext = 2000;
    Cursor = crCross;
}

// The brush itself stays untouched until the second click; the preview
// draws into the painting brush only.
void P_resize::Activate() {
    Painting& paint = *Paint();
    keep_ = false;
    SavedHandle = static_cast<std::int16_t>(paint.Brush.Settings.Handle);
    paint.Brush.Settings.Handle = bhCentre;
    paint.SetStatusKey(StatusText, StatusKey());
}

void P_resize::Deactivate(P_icon*) {
    Painting& paint = *Paint();
    paint.Stamp.RestoreUnder();
    paint.ClearOffset();
    if (keep_) return;
    paint.Brush.Settings.Handle = SavedHandle;
    paint.PrepareBrush(false);
}

// Before the first click the brush follows the pointer; afterwards the
// shape of the dragged radius sits on the centre.
void P_resize::Show() {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    if (tools.State == csIdle) {
        paint.Stamp.StampAt(tools.ImagePos);
        return;
    }
    const Pair<int> anchor{AnchorX, AnchorY};
    Size =
        static_cast<std::int16_t>(SizeRule(tools.ImagePos.x - AnchorX, tools.ImagePos.y - AnchorY));
    paint.ShowOffset(anchor, tools.ImagePos);
    Buffer& shape = paint.Brush.Painting;
    shape.Alloc(Pair<int>{2 * Size + 1, 2 * Size + 1});
    if (shape.Empty()) return;
    DrawShape(shape, Size, paint.DrawColor());
    paint.Stamp.StampAt(anchor);
}

void P_resize::Hide() {
    Paint()->Stamp.RestoreUnder();
}

void P_resize::Press() {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    if (tools.State == csIdle) {
        paint.SetStatusKey(StatusText, StatusKey2());
        AnchorX = tools.ImagePos.x;
        AnchorY = tools.ImagePos.y;
        Size = 0;
        return;
    }
    Size =
        static_cast<std::int16_t>(SizeRule(tools.ImagePos.x - AnchorX, tools.ImagePos.y - AnchorY));
    keep_ = Apply();
    tools.ReturnToPreviousTool(false);
}

int P_resize_crc::SizeRule(int dx, int dy) const {
    return RoundSizerRadius(dx, dy);
}

void P_resize_crc::DrawShape(Buffer& b, int s, pixkit::Pixel colour) const {
    b.Box(b.Area, kBrushTransparent);
    DrawDisc(b, s, colour);
}

int P_resize_box_brush::SizeRule(int dx, int dy) const {
    return SquareSizerRadius(dx, dy);
}

void P_resize_box_brush::DrawShape(Buffer& b, int, pixkit::Pixel colour) const {
    b.Box(b.Area, colour);
}

namespace {
// The built-in brush of kind at radius s, with the handle the brush had:
// what the preview showed, and what Restore and the period key know.
void MakeSizedBrush(BuiltinKind kind, int s, int handle) {
    Painting& paint = *Paint();
    BrushState& brush = paint.Brush;
    brush.Settings.Radius = s;
    brush.Settings.Handle = handle;
    if (kind == BuiltinKind::Round)
        brush.MakeRoundBrush(paint.DrawColor());
    else
        brush.MakeSquareBrush(paint.DrawColor());
    paint.BrushChanged();
    Tools()->ShowVariant(kind == BuiltinKind::Round ? BrushCrcTool() : BrushBoxTool(), -1);
}
} // namespace

bool P_resize_crc_brush::Apply() {
    MakeSizedBrush(BuiltinKind::Round, Size, SavedHandle);
    return true;
}

bool P_resize_box_brush::Apply() {
    MakeSizedBrush(BuiltinKind::Square, Size, SavedHandle);
    return true;
}

P_resize_spray::P_resize_spray() {
    HelpContext = 2900;
}

// The spray's step takes draws modulo the radius: never 0.
int P_resize_spray::SizeRule(int dx, int dy) const {
    return SprayRadiusFor(P_resize_crc::SizeRule(dx, dy));
}

bool P_resize_spray::Apply() {
    Paint()->SetSprayRadius(Size);
    return false;
}

// The framework selects the pending sizer after this, which activates it
// once: the handle it remembers is the brush's.
void P_brush_resize::Activate() {
    const bool round = Paint()->Brush.Settings.Kind == BuiltinKind::Round;
    Tools()->Pending = round ? ResizeCrcBrushTool() : ResizeBoxBrushTool();
}

P_icon* ResizeCrcBrushTool() {
    static P_resize_crc_brush tool;
    return &tool;
}

P_icon* ResizeBoxBrushTool() {
    static P_resize_box_brush tool;
    return &tool;
}

P_icon* ResizeSprayTool() {
    static P_resize_spray tool;
    return &tool;
}

P_icon* BrushResizeTool() {
    static P_brush_resize tool;
    return &tool;
}

} // namespace kv
