#include "brushops/shapecommands.h"

#include "keys.h"
#include "lang.h"
#include "message.h"
#include "paint/brushshape.h"
#include "paint/painting.h"
#include "tools/framework.h"

#include <functional>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;

namespace {

constexpr int kHandleCount = 5;

// The frame of a command whose new brush can fail: the current tool ends
// first (an interactive brush tool gives its brush back), then build makes
// the new brush from the current one. Only when that works is the brush
// kept for Restore and replaced; otherwise the user reads "BrTooBig" and
// brush, painting brush and Restore slot stay as they were. after runs on
// the new brush before the painting brush is rebuilt.
void ReplaceBrush(const std::function<bool(const Buffer& brush, Buffer& result)>& build,
                  const std::function<void(BrushState&)>& after) {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    tools.ReturnToPreviousTool(true);
    if (paint.Brush.Brush.Empty()) return;
    Buffer result;
    if (!build(paint.Brush.Brush, result)) {
        MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
        return;
    }
    tools.HideFeedback();
    paint.Brush.SaveForRestore();
    paint.Brush.Brush = result;
    after(paint.Brush);
    paint.BrushChanged();
    tools.ShowFeedback();
}

Pair<int> SizeOf(const Buffer& b) {
    return {b.Width(), b.Height()};
}

} // namespace

void OutlineBrushCommand() {
    Painting& paint = *Paint();
    const pixkit::Pixel draw = paint.DrawColor();
    ReplaceBrush(
        [draw](const Buffer& brush, Buffer& result) {
            if (!FitsBrushLimit(OutlinedSize(SizeOf(brush)))) return false;
            CloneBuffer(result, brush);
            return !result.Empty() && OutlineBrush(result, draw);
        },
        [&paint](BrushState& state) {
            paint.MovePointerBy(OutlinePointerShift(state.Settings.Handle));
            paint.OptimizeBrush();
        });
}

void DropShadowCommand(int direction, int depth) {
    Painting& paint = *Paint();
    const pixkit::Pixel draw = paint.DrawColor();
    ReplaceBrush(
        [=](const Buffer& brush, Buffer& result) {
            if (!FitsBrushLimit(ShadowedSize(SizeOf(brush), direction, depth))) return false;
            CloneBuffer(result, brush);
            return !result.Empty() && DropShadow(result, direction, depth, draw);
        },
        [&paint](BrushState&) { paint.OptimizeBrush(); });
}

void SetBrushHandle(int handle) {
    ToolFramework& tools = *Tools();
    tools.HideFeedback();
    Paint()->Brush.Settings.Handle = handle;
    tools.ShowFeedback();
}

void CycleBrushHandle() {
    SetBrushHandle((Paint()->Brush.Settings.Handle + 1) % kHandleCount);
}

} // namespace kv
