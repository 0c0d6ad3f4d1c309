// The painting tool objects, for the tool table. Each function returns its
// tool's one static object.
#pragma once

namespace kv {

class P_icon;

P_icon* PenContTool();
P_icon* PenDiscTool();
P_icon* PenOneTool();

P_icon* BrushCrcTool();
P_icon* BrushCrc1Tool();
P_icon* BrushCrc2Tool();
P_icon* BrushCrc3Tool();
P_icon* BrushBoxTool();
P_icon* BrushBox1Tool();
P_icon* BrushBox2Tool();
P_icon* BrushBox3Tool();
P_icon* ClearTool();
// The sizers of the built-in round and square brushes.
P_icon* ResizeCrcBrushTool();
P_icon* ResizeBoxBrushTool();
// The brush icon's secondary tool: the sizer of the built-in brush's shape.
P_icon* BrushResizeTool();

P_icon* LineTool();
P_icon* LineContTool();
P_icon* SplineTool();
P_icon* SplineContTool();

P_icon* BoxRectTool();
P_icon* BoxSqrTool();
P_icon* BoxRectFTool();
P_icon* BoxSqrFTool();
P_icon* CircleTool();
P_icon* CircleFTool();
P_icon* EllipseTool();
P_icon* EllipseFTool();

P_icon* SolidFillTool();
P_icon* PatternFillTool();
P_icon* FillPosTool();
P_icon* FillDrawTool();
P_icon* FillPolyTool();

P_icon* SprayTool();
P_icon* AirbrushTool();
// Sizes the spray radius with the mouse (button 0 of both bars).
P_icon* ResizeSprayTool();

P_icon* TextTool();

P_icon* GetColorTool();
P_icon* ChangeColorTool();

P_icon* CutBoxTool();
P_icon* CutResizeTool();
P_icon* CutDrawTool();
P_icon* CutPolyTool();
P_icon* CutWandTool();
P_icon* RestoreBrushTool();
// Ctrl+arrows, Ctrl+Home and Ctrl+Page Down for "Cut Predefined Rectangle".
void PredefinedRectKey(int qtKey);

P_icon* GridTool();
P_icon* GridPosTool();

// The period key: the one-pixel brush, or back to the built-in brush.
void PixelBrush();

} // namespace kv
