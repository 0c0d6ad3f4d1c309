#include "tools/builtin.h"

#include "paint/clonetool.h"
#include "paint/painttools.h"
#include "tools/framework.h"
#include "tools/toolbutton.h"

namespace kv {

namespace {
constexpr int kShift = 0x100;
} // namespace

// To add a tool, put the function returning its object into its variant
// (and the secondary tools into their icon).
const std::vector<BuiltinIcon>& BuiltinIcons() {
    static const std::vector<BuiltinIcon> icons = {
        {{{"BRUSH1", "Circular Brush", BrushCrcTool},
          {"BRUSH11", "3x3", BrushCrc1Tool},
          {"BRUSH12", "11x11", BrushCrc2Tool},
          {"BRUSH13", "21x21", BrushCrc3Tool},
          {"BRUSH2", "Rectangular Brush", BrushBoxTool},
          {"BRUSH21", "3x3", BrushBox1Tool},
          {"BRUSH22", "11x11", BrushBox2Tool},
          {"BRUSH23", "21x21", BrushBox3Tool}},
         0,
         1,
         4,
         BrushResizeTool,
         0},
        {{{"PEN1", "Continuous Freehand", PenContTool},
          {"PEN2", "Dotted Freehand", PenDiscTool},
          {"PEN3", "Single Freehand", PenOneTool}},
         'P',
         1,
         4},
        {{{"LINE1", "Single Line", LineTool}, {"LINE2", "Continuous Line", LineContTool}},
         'L',
         1,
         4},
        {{{"SPLINE1", "Single Curve", SplineTool}, {"SPLINE2", "Continuous Curve", SplineContTool}},
         'U',
         1,
         4},
        {{{"RECT1", "Filled Rectangle", BoxRectFTool},
          {"RECT2", "Rectangle", BoxRectTool},
          {"RECT3", "Filled Square", BoxSqrFTool},
          {"RECT4", "Square", BoxSqrTool}},
         'R',
         1,
         4},
        {{{"CRC1", "Circle", CircleTool},
          {"CRC2", "Filled Circle", CircleFTool},
          {"CRC3", "Ellipse", EllipseTool},
          {"CRC4", "Filled Ellipse", EllipseFTool}},
         'C',
         1,
         4},
        {{{"FILLDRAW", "Filled Shape", FillDrawTool}, {"FILLPOLY", "Filled Polygon", FillPolyTool}},
         'D',
         1,
         4},
        {{{"SPRAY1", "Spray", SprayTool}, {"SPRAY2", "Airbrush", AirbrushTool}}, 'S', 1, 4},
        {{{"FILL1", "Solid Fill", SolidFillTool}, {"FILL2", "Pattern Fill", PatternFillTool}},
         'F',
         1,
         4},
        {{{"TEXT", "Write Text", TextTool}}, 'T', 1, 4},
        {{{"CUT1", "Cut Rectangle", CutBoxTool},
          {"CUT2", "Cut Predefined Rectangle", CutResizeTool},
          {"CUT3", "Cut Freehand", CutDrawTool},
          {"CUT4", "Cut Polygon", CutPolyTool},
          {"CUT5", "Cut with Magic Wand", CutWandTool}},
         'B',
         1,
         5,
         RestoreBrushTool,
         kShift | 'B'},
        {{{"CLONE", "Clone", CloneTool}}, 'O', 1, 4},
        {{{"GETCOL", "Get Color", GetColorTool}}, 'G', 1, 4},
        {{{"CHCOL", "Change Color", ChangeColorTool}}, 'H', 1, 4},
        {{{"GRID", "Grid", GridTool}}, kShift | '3', 2, 4},
    };
    return icons;
}

int RegisterBuiltinTools(ToolFramework& tools) {
    int added = 0;
    for (const BuiltinIcon& icon : BuiltinIcons()) {
        bool started = false;
        for (const BuiltinVariant& v : icon.Variants) {
            if (v.Tool == nullptr) continue;
            tools.RegisterTool(v.Glyph, v.Tool(), icon.HotKey, icon.Group, v.Name,
                               started ? 0 : icon.Columns);
            started = true;
        }
        if (!started) continue;
        ++added;
        if (icon.Secondary != nullptr)
            tools.SetSecondaryTool(icon.Secondary(), icon.SecondaryHotKey);
    }
    return added;
}

void RegisterEmptyIcon(ToolFramework& tools) {
    static P_icon empty;
    const int icon = tools.RegisterTool("EMPTY", &empty, 0, 1, "", 4);
    if (icon >= 0) tools.IconTable()[static_cast<std::size_t>(icon)].Button->hide();
}

} // namespace kv
