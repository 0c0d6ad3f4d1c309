#include "brushops/brushcommands.h"

#include "brushops/rotate.h"
#include "brushops/transform.h"
#include "keys.h"
#include "lang.h"
#include "mainform.h"
#include "message.h"
#include "paint/painting.h"
#include "tools/framework.h"

namespace kv {

void ChangeBrush(const std::function<void(BrushState&)>& change) {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    tools.ReturnToPreviousTool(true);
    tools.HideFeedback();
    paint.Brush.SaveForRestore();
    change(paint.Brush);
    paint.BrushChanged();
    tools.ShowFeedback();
}

namespace {
void BrushTooBig() {
    MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
}
} // namespace

void ScaleBrushCommand(double fx, double fy) {
    Painting& paint = *Paint();
    const pixkit::Buffer& brush = paint.Brush.Brush;
    const pixkit::Pair<int> size{brush.Width(), brush.Height()};
    if (brush.Empty() || !ScaleAllowed(size, fx, fy)) return;
    if (!FitsBrushLimit(ScaledSize(size, fx, fy))) {
        BrushTooBig();
        return;
    }
    const int mode = paint.Form().Prefs().AntiAlias ? 1 : 0;
    ChangeBrush([&](BrushState& state) {
        if (ScaleCurrentBrush(state, ScaledSize(size, fx, fy), mode) == ScaleOutcome::TooBig) {
            BrushTooBig();
            return;
        }
        paint.OptimizeBrush();
    });
}

void MirrorBrushCommand(bool leftToRight) {
    if (Paint()->Brush.Brush.Empty()) return;
    ChangeBrush([leftToRight](BrushState& state) {
        if (leftToRight)
            MirrorLeftRight(state.Brush);
        else
            MirrorTopBottom(state.Brush);
    });
}

void RotateBrushCommand(bool halfTurn) {
    if (Paint()->Brush.Brush.Empty()) return;
    ChangeBrush([halfTurn](BrushState& state) {
        if (halfTurn)
            Rotate180(state.Brush);
        else if (!Rotate90(state.Brush))
            BrushTooBig();
    });
}

} // namespace kv
