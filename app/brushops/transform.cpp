#include "brushops/transform.h"

#include "paint/cut.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

namespace {
// Pixels in one band of ScaleBrushTo: 256 KB, well inside a core's cache.
constexpr int kBandPixels = 1 << 16;

// A side times a factor, truncated toward zero and kept in int range (a
// side that large is refused by the limit check anyway).
int ScaledSide(int side, double factor) {
    const double v = std::trunc(double(side) * factor);
    return int(std::clamp(v, -2147483647.0, 2147483647.0));
}
} // namespace

Pair<int> ScaledSize(Pair<int> size, double fx, double fy) {
    return {std::abs(ScaledSide(size.x, fx)), std::abs(ScaledSide(size.y, fy))};
}

namespace {
bool AxisAllowed(int side, double factor) {
    if (factor < 1) return side > 1;
    if (factor > 1) return side <= kMaxDoubleSide;
    return true;
}
} // namespace

bool ScaleAllowed(Pair<int> size, double fx, double fy) {
    return AxisAllowed(size.x, fx) && AxisAllowed(size.y, fy);
}

Pixel ScaleBackground(const BrushState& state) {
    if (state.Settings.UserBrush) return state.Settings.Background;
    return ChooseFreeColour(state.Brush, state.Settings.Background);
}

ScaleOutcome ScaleBrush(Buffer& brush, double fx, double fy, Pixel background, int mode) {
    const Pair<int> size{ScaledSide(brush.Width(), fx), ScaledSide(brush.Height(), fy)};
    return ScaleBrushTo(brush, size, background, mode);
}

ScaleOutcome ScaleBrushTo(Buffer& brush, Pair<int> size, Pixel background, int mode) {
    const Pair<int> newSize{std::abs(size.x), std::abs(size.y)};
    // The limit is checked before anything is allocated: doubling a large
    // brush would otherwise ask for gigabytes first.
    if (!FitsBrushLimit(newSize)) return ScaleOutcome::TooBig;
    Buffer scaled;
    scaled.Alloc(newSize);
    if (scaled.Empty()) return ScaleOutcome::TooBig;
    const int w = scaled.Width(), h = scaled.Height();
    // Nearest samples cover every target pixel once: copying every sample,
    // transparent ones included, gives what drawing the opaque ones over the
    // background does, in one pass less. Anti-aliased samples that are
    // transparent take the background; when the brush grows, giving its
    // transparent pixels the background colour first is cheaper than
    // testing each of the many more samples, and repeated rows are copied.
    // The brush is replaced anyway, so its own pixels are changed, unless
    // it is a view of pixels someone else keeps.
    Buffer remapped;
    Buffer* from = &brush;
    Pixel key = mode == 0 ? kCopyAll : kBrushTransparent;
    if (key != kCopyAll && std::int64_t(w) * h > std::int64_t(brush.Width()) * brush.Height()) {
        if (brush.Owned == 1) {
            CloneBuffer(remapped, brush);
            from = &remapped;
        }
        if (!from->Empty()) {
            from->ChColor(kBrushTransparent, background);
            key = kCopyAll;
        }
    }
    // The block is made in bands of rows small enough to stay in the cache,
    // so the background fill, the scaling and the change to transparent
    // each find the rows the step before them wrote. Clipping to a band
    // does not move the samples.
    const int rows = std::max(1, kBandPixels / w);
    for (int top = 0; top < h; top += rows) {
        Buffer band(scaled, pixkit::Rect{0, top, w - 1, std::min(top + rows, h) - 1}, true);
        if (key != kCopyAll) band.Box(band.Area, background);
        band.Scale(*from, size, {0, 0}, key, mode);
        band.ChColor(background, kBrushTransparent);
    }
    brush = scaled;
    return ScaleOutcome::Done;
}

ScaleOutcome ScaleCurrentBrush(BrushState& state, Pair<int> size, int mode) {
    const Pixel background = ScaleBackground(state);
    const bool builtin = !state.Settings.UserBrush;
    Buffer before;
    if (builtin) CloneBuffer(before, state.Brush);
    if (ScaleBrushTo(state.Brush, size, background, mode) == ScaleOutcome::TooBig)
        return ScaleOutcome::TooBig;
    if (builtin) {
        state.Previous = before;
        state.PreviousSettings = state.Settings;
    }
    state.Settings.UserBrush = true;
    state.Settings.Background = background;
    return ScaleOutcome::Done;
}

int StretchSide(int pointer, int anchor) {
    const int d = pointer - anchor;
    return d >= 0 ? d + 1 : d - 1;
}

pixkit::Rect StretchRect(Pair<int> anchor, Pair<int> size) {
    const int left = size.x < 0 ? anchor.x + size.x + 1 : anchor.x;
    const int top = size.y < 0 ? anchor.y + size.y + 1 : anchor.y;
    return {left, top, left + std::abs(size.x) - 1, top + std::abs(size.y) - 1};
}

int MaxSizerRadius() {
    static const int largest = [] {
        int lo = 0, hi = 32767; // the radius is a 16-bit value
        while (lo < hi) {
            const int mid = lo + (hi - lo + 1) / 2;
            if (FitsBrushLimit({2 * mid + 1, 2 * mid + 1}))
                lo = mid;
            else
                hi = mid - 1;
        }
        return lo;
    }();
    return largest;
}

namespace {
int LimitSizerRadius(double s) {
    return int(std::min(s, double(MaxSizerRadius())));
}
} // namespace

int RoundSizerRadius(int dx, int dy) {
    return LimitSizerRadius(std::trunc(std::hypot(double(dx), double(dy)) + 0.5));
}

int SquareSizerRadius(int dx, int dy) {
    return LimitSizerRadius(std::max(std::abs(double(dx)), std::abs(double(dy))));
}

int SprayRadiusFor(int s) {
    return std::clamp(s, 1, kMaxSprayRadius);
}

void MirrorLeftRight(Buffer& b) {
    if (b.Empty()) return;
    const int w = b.Width();
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        Pixel* row = b.At(b.Area.Left, y);
        std::reverse(row, row + w);
    }
}

void MirrorTopBottom(Buffer& b) {
    if (b.Empty()) return;
    const int w = b.Width();
    for (int top = b.Area.Top, bottom = b.Area.Bottom; top < bottom; ++top, --bottom) {
        Pixel* a = b.At(b.Area.Left, top);
        std::swap_ranges(a, a + w, b.At(b.Area.Left, bottom));
    }
}

} // namespace kv
