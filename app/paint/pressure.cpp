#include "paint/pressure.h"

#include "brushops/transform.h"

#include <algorithm>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

int PressureTips::StepOf(double pressure) {
    if (!(pressure > 0)) return 0;
    return std::min(kSteps - 1, int(pressure * (kSteps - 1) + 0.5));
}

double PressureTips::ScaleOf(int step, double minimum) {
    minimum = std::clamp(minimum, 0.0, 1.0);
    step = std::clamp(step, 0, kSteps - 1);
    return minimum + (1 - minimum) * step / (kSteps - 1);
}

const Buffer& PressureTips::Tip(const BrushState& state, int step, double minimum) {
    step = std::clamp(step, 0, kSteps - 1);
    if (step == kSteps - 1 || state.Painting.Empty()) return state.Painting;
    if (state.Prepared != prepared_ || minimum != minimum_) {
        built_.fill(false);
        prepared_ = state.Prepared;
        minimum_ = minimum;
    }
    const auto i = static_cast<std::size_t>(step);
    if (!built_[i]) {
        Build(state, step, minimum);
        built_[i] = true;
    }
    return tips_[i].Empty() ? state.Painting : tips_[i];
}

void PressureTips::Build(const BrushState& state, int step, double minimum) {
    const Buffer& paint = state.Painting;
    const double s = ScaleOf(step, minimum);
    Buffer& tip = tips_[static_cast<std::size_t>(step)];
    if (!state.Settings.UserBrush) {
        // A built-in brush is 2r + 1 wide; its centre pixel has its colour.
        const int r = (paint.Width() - 1) / 2;
        const int scaled = int(r * s + 0.5);
        const Pixel colour = *paint.At(paint.Area.Left + r, paint.Area.Top + r);
        tip.Alloc(Pair<int>{2 * scaled + 1, 2 * scaled + 1});
        if (tip.Empty()) return;
        if (state.Settings.Kind == BuiltinKind::Round) {
            tip.Box(tip.Area, kBrushTransparent);
            DrawDisc(tip, scaled, colour);
        } else {
            tip.Box(tip.Area, colour);
        }
        return;
    }
    const Pair<int> size{std::max(1, int(paint.Width() * s + 0.5)),
                         std::max(1, int(paint.Height() * s + 0.5))};
    Buffer copy;
    CloneBuffer(copy, paint);
    if (copy.Empty() ||
        ScaleBrushTo(copy, size, state.Settings.Background, 1) != ScaleOutcome::Done)
        tip.Free();
    else
        tip = copy;
}

} // namespace kv
