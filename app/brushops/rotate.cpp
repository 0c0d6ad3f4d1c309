#include "brushops/rotate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kv {

using pixkit::Buffer;
using pixkit::Matrix2D;
using pixkit::Pair;
using pixkit::Pixel;

namespace {
int RotatedSide(double v) {
    return int(std::clamp(std::trunc(v), 1.0, 2147483647.0));
}
} // namespace

Pair<int> RotatedSize(Pair<int> size, double a) {
    const double c = std::fabs(std::cos(a)), s = std::fabs(std::sin(a));
    return {RotatedSide(c * size.x + s * size.y), RotatedSide(s * size.x + c * size.y)};
}

// The unit matrix times the rotation whose columns are (cos a, -sin a) and
// (sin a, cos a).
Matrix2D RotationMatrix(double a) {
    const double c = std::cos(a), s = std::sin(a);
    const Matrix2D& u = Matrix2D::Unit;
    return {{c * u.X.x - s * u.Y.x, c * u.X.y - s * u.Y.y},
            {s * u.X.x + c * u.Y.x, s * u.X.y + c * u.Y.y}};
}

// The block's centre is (W / 2, H / 2), which centring puts at (W & 1, H &
// 1) / 2 from the origin; the result's centre is turned / 2. Halves round
// down, as W' >> 1 does for an even source.
Pair<int> TurnPoint(Pair<int> size, Pair<int> turned, double a) {
    const double c = std::cos(a), s = std::sin(a);
    const double dx = (size.x & 1) * 0.5, dy = (size.y & 1) * 0.5;
    const double x = turned.x * 0.5 - (dx * c + dy * s);
    const double y = turned.y * 0.5 - (-dx * s + dy * c);
    return {int(std::ceil(x - 0.5)), int(std::ceil(y - 0.5))};
}

void XFormCentred(Buffer& dst, Buffer& src, const Matrix2D& m, Pair<int> at, Pixel key, int mode) {
    if (src.Empty()) return;
    const pixkit::Rect kept = src.Area;
    const int w = src.Width(), h = src.Height();
    src.Area = {-(w >> 1), -(h >> 1), w - 1 - (w >> 1), h - 1 - (h >> 1)};
    dst.XFormLin(src, m, at, key, mode);
    src.Area = kept;
}

// Blocks of kBlock x kBlock pixels keep the source columns being read in
// the cache while the target rows are written in order.
bool Rotate90(Buffer& b) {
    if (b.Empty()) return true;
    const int w = b.Width(), h = b.Height();
    Buffer out;
    out.Alloc(Pair<int>{h, w});
    if (out.Empty()) return false;
    constexpr int kBlock = 64;
    const std::ptrdiff_t pitch = b.Pitch;
    for (int y0 = 0; y0 < h; y0 += kBlock) {
        const int y1 = std::min(h, y0 + kBlock);
        for (int x0 = 0; x0 < w; x0 += kBlock) {
            const int x1 = std::min(w, x0 + kBlock);
            for (int x = x0; x < x1; ++x) {
                const Pixel* s = b.At(b.Area.Left + x, b.Area.Top + y0);
                Pixel* d = out.At(y0, w - 1 - x);
                for (int n = y1 - y0; n > 0; --n, s += pitch) *d++ = *s;
            }
        }
    }
    b = out;
    return true;
}

void Rotate180(Buffer& b) {
    if (b.Empty()) return;
    const int w = b.Width();
    int top = b.Area.Top, bottom = b.Area.Bottom;
    for (; top < bottom; ++top, --bottom) {
        Pixel* a = b.At(b.Area.Left, top);
        Pixel* z = b.At(b.Area.Left, bottom) + w;
        for (int i = 0; i < w; ++i) std::swap(a[i], *--z);
    }
    if (top == bottom) {
        Pixel* row = b.At(b.Area.Left, top);
        std::reverse(row, row + w);
    }
}

ScaleOutcome RotateBrushBy(Buffer& brush, double theta, Pixel background, int mode) {
    if (brush.Empty()) return ScaleOutcome::Done;
    const Pair<int> size = RotatedSize({brush.Width(), brush.Height()}, theta);
    if (!FitsBrushLimit(size)) return ScaleOutcome::TooBig;
    Buffer turned;
    turned.Alloc(size);
    if (turned.Empty()) return ScaleOutcome::TooBig;
    // The mean of four samples has no top byte: drawn over the marker, every
    // partly covered pixel would blend with black.
    const Pixel ground = mode != 0 ? background : kBrushTransparent;
    turned.Box(turned.Area, ground);
    XFormCentred(turned, brush, RotationMatrix(theta),
                 TurnPoint({brush.Width(), brush.Height()}, size, theta), kBrushTransparent, mode);
    if (ground != kBrushTransparent) turned.ChColor(ground, kBrushTransparent);
    brush = turned;
    return ScaleOutcome::Done;
}

double PointerAngle(Pair<int> centre, Pair<int> p) {
    if (p.x == centre.x && p.y == centre.y) return 0;
    return std::atan2(double(centre.y - p.y), double(p.x - centre.x));
}

} // namespace kv
