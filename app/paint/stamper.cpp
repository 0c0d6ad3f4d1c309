#include "paint/stamper.h"

#include <algorithm>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Rect;

std::int64_t ToFixed(double v) {
    // 2^46 pixels is far beyond any image; the clamp keeps sums in range and
    // turns NaN into no spacing at all.
    constexpr double kLimit = 70368744177664.0;
    if (!(v > -kLimit)) return v != v ? 0 : -static_cast<std::int64_t>(kLimit) * kOnePixel;
    if (v > kLimit) v = kLimit;
    return static_cast<std::int64_t>(v * 65536.0);
}

void Stamper::SetPressureStep(int step, double minimum) {
    step_ = step;
    minimum_ = minimum;
}

const Buffer& Stamper::Tip() const {
    return step_ < 0 ? brush_.Painting : tips_.Tip(brush_, step_, minimum_);
}

// The handle sits at the same place of a scaled tip as of the brush.
Pair<int> Stamper::Corner(Pair<int> p, const Buffer& tip) const {
    const Pair<int> d = HandleOffsetIn(tip.Area, brush_.Settings.Handle);
    return {p.x - d.x, p.y - d.y};
}

Rect Stamper::StampRect(Pair<int> p) const {
    const Buffer& tip = Tip();
    const Pair<int> c = Corner(p, tip);
    return {c.x, c.y, c.x + tip.Width() - 1, c.y + tip.Height() - 1};
}

void Stamper::StampQuiet(Pair<int> p) {
    // Copy reads its source only; the buffer is not changed.
    Buffer& tip = const_cast<Buffer&>(Tip());
    if (tip.Empty()) return;
    ++stamps_;
    const Pair<int> c = Corner(p, tip);
    surface_.ClipView().Copy(tip, {c.x - tip.Area.Left, c.y - tip.Area.Top}, kBrushTransparent);
}

void Stamper::StampAt(Pair<int> p) {
    if (Tip().Empty()) return;
    const Rect r = StampRect(p);
    Buffer& image = surface_.Image();
    save_.Alloc(Pair<int>{r.Right - r.Left + 1, r.Bottom - r.Top + 1});
    saved_ = !save_.Empty() && !image.Empty();
    if (saved_) {
        saveCorner_ = {r.Left, r.Top};
        save_.Copy(image, {-r.Left, -r.Top}, kCopyAll);
    }
    StampQuiet(p);
    surface_.Invalidate(r);
    surface_.UpdateNow();
}

void Stamper::RestoreUnder() {
    if (!saved_) return;
    saved_ = false;
    surface_.Image().Copy(save_, saveCorner_, kCopyAll);
    surface_.Invalidate({saveCorner_.x, saveCorner_.y, saveCorner_.x + save_.Width() - 1,
                         saveCorner_.y + save_.Height() - 1});
}

double Stamper::StrokeLine(Pair<int> a, Pair<int> b, double spacing, double phase) {
    const std::int64_t left =
        WalkSpaced(a, b, ToFixed(spacing), ToFixed(phase), [this](Pair<int> p) { StampQuiet(p); });
    const Rect from = StampRect(a), to = StampRect(b);
    surface_.Invalidate({std::min(from.Left, to.Left), std::min(from.Top, to.Top),
                         std::max(from.Right, to.Right), std::max(from.Bottom, to.Bottom)});
    return static_cast<double>(left) / 65536.0;
}

double XorStroke(Buffer& image, Pair<int> a, Pair<int> b, double spacing, double phase,
                 pixkit::Pixel colour) {
    const std::int64_t left = WalkSpaced(a, b, ToFixed(spacing), ToFixed(phase),
                                         [&](Pair<int> p) { image.PutPixel(p, colour); });
    return static_cast<double>(left) / 65536.0;
}

} // namespace kv
