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

Rect Stamper::StampRect(Pair<int> p) const {
    const Pair<int> c = brush_.StampCorner(p);
    return {c.x, c.y, c.x + brush_.Painting.Width() - 1, c.y + brush_.Painting.Height() - 1};
}

void Stamper::StampQuiet(Pair<int> p) {
    Buffer& paint = brush_.Painting;
    if (paint.Empty()) return;
    ++stamps_;
    const Pair<int> c = brush_.StampCorner(p);
    surface_.ClipView().Copy(paint, {c.x - paint.Area.Left, c.y - paint.Area.Top},
                             kBrushTransparent);
}

void Stamper::StampAt(Pair<int> p) {
    if (brush_.Painting.Empty()) return;
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
    const Pair<int> d = brush_.HandleOffset();
    surface_.Invalidate({std::min(a.x, b.x) - d.x, std::min(a.y, b.y) - d.y,
                         std::max(a.x, b.x) - d.x + brush_.Painting.Width() - 1,
                         std::max(a.y, b.y) - d.y + brush_.Painting.Height() - 1});
    return static_cast<double>(left) / 65536.0;
}

double XorStroke(Buffer& image, Pair<int> a, Pair<int> b, double spacing, double phase,
                 pixkit::Pixel colour) {
    const std::int64_t left = WalkSpaced(a, b, ToFixed(spacing), ToFixed(phase),
                                         [&](Pair<int> p) { image.PutPixel(p, colour); });
    return static_cast<double>(left) / 65536.0;
}

} // namespace kv
