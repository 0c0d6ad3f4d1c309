#include "brushops/rotate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void AllocForWriting(Buffer& b, Pair<int> size) {
    b.Alloc(size);
#if defined(__linux__)
    // Fresh memory is faulted in page by page as it is first written; for a
    // block of many megabytes that costs more than the writing itself.
    // Huge pages cut the faults by 512.
    constexpr std::uintptr_t kHuge = std::uintptr_t(1) << 21;
    if (b.Empty() || std::int64_t(size.x) * size.y * 4 < std::int64_t(4 * kHuge)) return;
    const auto start = reinterpret_cast<std::uintptr_t>(b.Data);
    const auto end = reinterpret_cast<std::uintptr_t>(b.At(b.Area.Right, b.Area.Bottom) + 1);
    const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1), last = end & ~(kHuge - 1);
    if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

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

namespace {

// Pixel (x, y) of src to (y, w - 1 - x) of dst, for x in [x0, x1) and y in
// [y0, y1), one source column (one target row) at a time.
void TurnStrip(const Buffer& src, Buffer& dst, int x0, int x1, int y0, int y1) {
    const int w = src.Width();
    const std::ptrdiff_t pitch = src.Pitch;
    for (int x = x0; x < x1; ++x) {
        const Pixel* s = src.At(src.Area.Left + x, src.Area.Top + y0);
        Pixel* d = dst.At(y0, w - 1 - x);
        for (int n = y1 - y0; n > 0; --n, s += pitch) *d++ = *s;
    }
}

#if defined(__SSE2__)
// Four rows of four pixels at s become four target rows: source column k
// is the target row d - k * dp, read top to bottom.
inline void Turn4x4(const Pixel* s, std::ptrdiff_t sp, Pixel* d, std::ptrdiff_t dp) {
    const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + sp));
    const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * sp));
    const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * sp));
    const __m128i a = _mm_unpacklo_epi32(r0, r1), b = _mm_unpacklo_epi32(r2, r3);
    const __m128i c = _mm_unpackhi_epi32(r0, r1), e = _mm_unpackhi_epi32(r2, r3);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi64(a, b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d - dp), _mm_unpackhi_epi64(a, b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d - 2 * dp), _mm_unpacklo_epi64(c, e));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d - 3 * dp), _mm_unpackhi_epi64(c, e));
}
#endif

// The part of whole 4 x 4 tiles, in blocks of kBlock x kBlock pixels that
// keep the source columns being read in the cache; returns the width and
// height it covered.
Pair<int> TurnTiles(const Buffer& src, Buffer& dst) {
#if defined(__SSE2__)
    constexpr int kBlock = 128;
    const int w = src.Width(), w4 = w & ~3, h4 = src.Height() & ~3;
    const std::ptrdiff_t sp = src.Pitch, dp = dst.Pitch;
    for (int y0 = 0; y0 < h4; y0 += kBlock) {
        const int y1 = std::min(h4, y0 + kBlock);
        for (int x0 = 0; x0 < w4; x0 += kBlock) {
            const int x1 = std::min(w4, x0 + kBlock);
            for (int y = y0; y < y1; y += 4)
                for (int x = x0; x < x1; x += 4)
                    Turn4x4(src.At(src.Area.Left + x, src.Area.Top + y), sp, dst.At(y, w - 1 - x),
                            dp);
        }
    }
    return {w4, h4};
#else
    (void)src;
    (void)dst;
    return {0, 0};
#endif
}

} // namespace

bool Rotate90(Buffer& b) {
    if (b.Empty()) return true;
    const int w = b.Width(), h = b.Height();
    Buffer out;
    AllocForWriting(out, {h, w});
    if (out.Empty()) return false;
    const Pair<int> done = TurnTiles(b, out);
    TurnStrip(b, out, done.x, w, 0, h);      // the columns right of the tiles
    TurnStrip(b, out, 0, done.x, done.y, h); // the rows below them
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
    AllocForWriting(turned, size);
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
