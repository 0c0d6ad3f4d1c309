#include "paint/brushtools.h"

#include "mainform.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

#include <QAction>

namespace kv {

namespace {

// After a built-in brush is built the pens that stamp single dots give way
// to the continuous pen, so the new brush paints at once.
void ContinuousPenForBrush() {
    ToolFramework& tools = *Tools();
    if (tools.Current == PenOneTool() || tools.Current == PenDiscTool())
        tools.Pending = PenContTool();
}

// The framework's technique follows a brush built by a command.
void TechniqueToColor(Painting& paint) {
    Tools()->CurrentTechnique = tqColor;
    Tools()->UserBrushInUse = false;
    paint.ShowTechnique();
    if (QAction* color = paint.Form().MenuCommand("Color1")) color->setChecked(true);
}

// While the sizer of the other shape is current, building a brush hands
// over to the sizer of this shape.
void SizerForBrush(BuiltinKind kind) {
    ToolFramework& tools = *Tools();
    const bool round = kind == BuiltinKind::Round;
    if (tools.Current == (round ? ResizeBoxBrushTool() : ResizeCrcBrushTool()))
        tools.Pending = round ? ResizeCrcBrushTool() : ResizeBoxBrushTool();
}

} // namespace

void P_brush::Activate() {
    Painting& paint = *Paint();
    if (radius_ >= 0) paint.Brush.Settings.Radius = radius_;
    // The brush icon then shows the plain round or square variant, whatever
    // size was picked.
    if (kind_ == BuiltinKind::Round) {
        paint.Brush.MakeRoundBrush(paint.DrawColor());
        Tools()->ShowVariant(BrushCrcTool(), -1);
    } else {
        paint.Brush.MakeSquareBrush(paint.DrawColor());
        Tools()->ShowVariant(BrushBoxTool(), -1);
    }
    TechniqueToColor(paint);
    ContinuousPenForBrush();
    SizerForBrush(kind_);
}

void P_clear::Activate() {
    ToolFramework& tools = *Tools();
    if (tools.TakeSnapshot) tools.TakeSnapshot();
    if (tools.SnapshotFailed && tools.SnapshotFailed()) return;
    Paint()->ClearImage();
}

void PixelBrush() {
    Painting& paint = *Paint();
    ToolFramework& tools = *Tools();
    BrushState& brush = paint.Brush;
    if (brush.IsBuiltinPixel()) {
        tools.SelectTool(
            brush.Settings.Kind == BuiltinKind::Round ? BrushCrcTool() : BrushBoxTool(), true, -1);
        return;
    }
    tools.HideFeedback();
    brush.MakePixelBrush(paint.DrawColor());
    TechniqueToColor(paint);
    tools.ShowFeedback();
    if (tools.Current == PenOneTool() || tools.Current == PenDiscTool())
        tools.SelectTool(PenContTool(), true, -1);
}

#define KV_TOOL_OBJECT(Function, Class)                                                            \
    P_icon* Function() {                                                                           \
        static Class tool;                                                                         \
        return &tool;                                                                              \
    }
KV_TOOL_OBJECT(BrushCrcTool, P_brush_crc)
KV_TOOL_OBJECT(BrushCrc1Tool, P_brush_crc1)
KV_TOOL_OBJECT(BrushCrc2Tool, P_brush_crc2)
KV_TOOL_OBJECT(BrushCrc3Tool, P_brush_crc3)
KV_TOOL_OBJECT(BrushBoxTool, P_brush_box)
KV_TOOL_OBJECT(BrushBox1Tool, P_brush_box1)
KV_TOOL_OBJECT(BrushBox2Tool, P_brush_box2)
KV_TOOL_OBJECT(BrushBox3Tool, P_brush_box3)
KV_TOOL_OBJECT(ClearTool, P_clear)
#undef KV_TOOL_OBJECT

} // namespace kv
