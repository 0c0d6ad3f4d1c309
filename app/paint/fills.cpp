#include "paint/fills.h"

#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

#include <algorithm>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

// Bar controls of "SFILLBAR" and "PFILLBAR".
enum FillBar : int { fbTolerance = 0, fbDiagonal = 1, fbColorize = 2, fbOrigin = 3, fbAlign = 4 };

P_fill* Solid() {
    return static_cast<P_fill*>(SolidFillTool());
}

P_fill_pos* FillPos() {
    return static_cast<P_fill_pos*>(FillPosTool());
}

} // namespace

// --- P_fill ------------------------------------------------------------

P_fill::P_fill() {
    Clicks = 1;
    Snap = 0;
    Cursor = crFill;
    HelpContext = 2800;
}

void P_fill::ReadSettings() {
    const Painting& paint = *Paint();
    Tolerance = std::clamp(static_cast<int>(paint.BarValue(BarName, fbTolerance, Tolerance)), 0,
                           kMaxTolerance);
    Diagonal = paint.BarValue(BarName, fbDiagonal, Diagonal) != 0;
}

Neighbours P_fill::FloodNeighbours() const {
    return Diagonal ? Neighbours::Eight : Neighbours::Four;
}

bool P_fill::Unchanged(Pixel seed, Pixel colour) const {
    // With a tolerance, pixels of other colours around the seed still change.
    return Tolerance == 0 && seed == colour;
}

void P_fill::Activate() {
    Painting& paint = *Paint();
    paint.SetStatusKey(StatusText, "FillIP");
    paint.SetBarValue(BarName, fbTolerance, Tolerance);
    paint.SetBarValue(BarName, fbDiagonal, Diagonal ? 1 : 0);
    paint.SetBarValue(BarName, fbColorize, Colorize ? 1 : 0);
    // Colorize takes effect at once; tolerance and diagonal are read when
    // the fill runs and when the tool is left.
    paint.BindBarControl(BarName, fbColorize, [this] {
        Colorize = Paint()->BarValue(BarName, fbColorize, Colorize) != 0;
    });
}

void P_fill::Deactivate(P_icon*) {
    ReadSettings();
}

void P_fill::Press() {
    Painting& paint = *Paint();
    const ToolFramework& tools = *Tools();
    ReadSettings();
    Buffer& view = paint.ClipView();
    const Pair<int> seed = tools.ImagePos;
    if (view.Empty() || !view.Contains(seed)) return;
    const Pixel colour =
        (tools.MouseButtons & msRight) != 0 ? paint.BackColor() : paint.DrawColor();
    if (Unchanged(*view.At(seed.x, seed.y) & 0xFFFFFF, colour)) return;
    const FloodResult marked = FloodMark(view, seed, Tolerance, FloodNeighbours());
    Finish(view, colour, marked.Bounds);
}

void P_fill::Finish(Buffer& view, Pixel colour, Rect marked) {
    Painting& paint = *Paint();
    const Rect painted = FillMarked(view, colour, marked);
    if (!painted.Empty()) paint.Invalidate(painted);
    paint.ImageModified();
}

Rect P_fill::FillMarked(Buffer& view, Pixel colour, Rect within) {
    return FillMarkedSolid(view, colour, false, within);
}

// --- Solid and Pattern Fill --------------------------------------------

P_fill_solid::P_fill_solid() {
    BarName = "SFILLBAR";
}

Rect P_fill_solid::FillMarked(Buffer& view, Pixel colour, Rect within) {
    return FillMarkedSolid(view, colour, Colorize, within);
}

P_fill_pattern::P_fill_pattern() {
    BarName = "PFILLBAR";
}

void P_fill_pattern::Activate() {
    P_fill::Activate();
    Painting& paint = *Paint();
    paint.SetBarValue(BarName, fbAlign, Align);
    paint.BindBarControl(BarName, fbAlign, [this] {
        Align = std::clamp(static_cast<int>(Paint()->BarValue(BarName, fbAlign, Align)), 0, 2);
    });
    paint.BindBarControl(BarName, fbOrigin, [] { Tools()->SelectTool(FillPosTool(), true, -1); });
}

bool P_fill_pattern::Unchanged(Pixel seed, Pixel colour) const {
    return !Paint()->Brush.Settings.UserBrush && P_fill::Unchanged(seed, colour);
}

Rect P_fill_pattern::FillMarked(Buffer& view, Pixel colour, Rect within) {
    const BrushState& brush = Paint()->Brush;
    if (!brush.Settings.UserBrush || brush.Brush.Empty())
        return Solid()->FillMarked(view, colour, within);
    const Pair<int> size{brush.Brush.Width(), brush.Brush.Height()};
    Pattern pattern;
    pattern.Tile = &brush.Brush;
    pattern.Back = Paint()->BackColor();
    pattern.Colorize = Colorize;
    if (Align == paCut)
        pattern.Origin = OriginAlignedWithCut(size, brush.Settings.Origin);
    else if (Align == paOrigin)
        pattern.Origin = FillPos()->Origin;
    return FillMarkedPattern(view, pattern, within);
}

// --- The pattern origin ------------------------------------------------

P_fill_pos::P_fill_pos() {
    Flags = tfOneShot;
    Clicks = 1;
    // Setting the origin does not change the image: the undo of the last
    // fill stays.
    Undo = 0;
    Snap = 1;
    Cursor = crCross;
    HelpContext = 100;
}

void P_fill_pos::Activate() {
    Paint()->SetStatusKey(StatusText, "FillPos");
}

void P_fill_pos::Show() {
    Paint()->Stamp.StampAt(Tools()->ImagePos);
}

void P_fill_pos::Hide() {
    Paint()->Stamp.RestoreUnder();
}

void P_fill_pos::Press() {
    const BrushState& brush = Paint()->Brush;
    const Pair<int> size{brush.Brush.Width(), brush.Brush.Height()};
    Origin = OriginAtPoint(size, HandleOffsetIn(brush.Brush.Area, brush.Settings.Handle),
                           Tools()->ImagePos);
    static_cast<P_fill_pattern*>(PatternFillTool())->Align = paOrigin;
}

// --- The current fill style --------------------------------------------

P_fill* CurrentFillStyle() {
    const ToolFramework* tools = Tools();
    if (tools == nullptr) return Solid();
    const int icon = tools->IconOf(SolidFillTool());
    if (icon < 0) return Solid();
    const int chosen = tools->IconTable()[static_cast<std::size_t>(icon)].Current;
    if (chosen < 0 || chosen >= static_cast<int>(tools->ToolTable().size())) return Solid();
    P_icon* tool = tools->ToolTable()[static_cast<std::size_t>(chosen)].Tool;
    return tool == PatternFillTool() ? static_cast<P_fill*>(tool) : Solid();
}

Rect FillWithCurrentStyle(Buffer& view, Pixel colour, Rect within) {
    const Rect painted = CurrentFillStyle()->FillMarked(view, colour, within);
    if (!painted.Empty()) Paint()->Invalidate(painted);
    return painted;
}

P_icon* SolidFillTool() {
    static P_fill_solid tool;
    return &tool;
}

P_icon* PatternFillTool() {
    static P_fill_pattern tool;
    return &tool;
}

P_icon* FillPosTool() {
    static P_fill_pos tool;
    return &tool;
}

} // namespace kv
