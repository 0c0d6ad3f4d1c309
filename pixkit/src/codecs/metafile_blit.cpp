// Pixel-block drawing of the playback device context: bitmaps stretched
// onto a rectangle or a parallelogram under a raster operation, a mask, a
// transparent colour or alpha blending; pattern blits; gradients; and the
// region fills.
#include "metafile_dc.h"

#include <pixkit/stream.h>

#include <algorithm>
#include <cmath>

namespace pixkit {

namespace {

// 0..255 scaled by a / 255, rounded.
inline Pixel Scale255(Pixel v, unsigned a) {
    const unsigned t = v * a + 128;
    return (t + (t >> 8)) >> 8;
}

// The output pixels covered by the bounds of n points, inside clip.
Rect PixelBounds(const double* xs, const double* ys, int n, const Rect& clip) {
    return {ClampToInt(std::floor(*std::min_element(xs, xs + n)), clip.Left, clip.Right + 1),
            ClampToInt(std::floor(*std::min_element(ys, ys + n)), clip.Top, clip.Bottom + 1),
            ClampToInt(std::ceil(*std::max_element(xs, xs + n)), clip.Left - 1, clip.Right),
            ClampToInt(std::ceil(*std::max_element(ys, ys + n)), clip.Top - 1, clip.Bottom)};
}

Pixel Blend(Pixel s, Pixel d, unsigned constAlpha, bool srcAlpha) {
    const unsigned sa = srcAlpha ? Scale255(s >> 24, constAlpha) : constAlpha;
    Pixel out = 0;
    for (int sh = 0; sh < 24; sh += 8) {
        const Pixel sc = Scale255((s >> sh) & 255, constAlpha);
        const Pixel v = std::min<Pixel>(255, sc + Scale255((d >> sh) & 255, 255 - sa));
        out |= v << sh;
    }
    return out;
}

} // namespace

// One output pixel of a blit: the source pixel s (and mask bit) combined
// with the destination d as op says; false leaves d as it is.
bool MetaDC::BlitPixel(const BlitOp& op, Pixel s, bool maskBit, int x, int y, Pixel& d) const {
    switch (op.mode) {
    case BlitOp::Mode::Transparent:
        if ((s & 0x00FFFFFF) == (op.key & 0x00FFFFFF)) return false;
        d = s & 0x00FFFFFF;
        return true;
    case BlitOp::Mode::Alpha:
        d = Blend(s, d, op.constAlpha, op.srcAlpha);
        return true;
    default:
        break;
    }
    const std::uint32_t rop = op.mask != nullptr && !maskBit ? op.backRop : op.rop;
    if (((rop >> 16) & 0xFF) == 0xCC) {
        d = s & 0x00FFFFFF;
        return true;
    }
    bool transparent = false;
    const Pixel p = PaintPixel(BrushPaint(), x, y, transparent);
    d = Rop3(rop, p, s, d);
    return true;
}

void MetaDC::StretchBitmap(Buffer& src, double x, double y, double w, double h, int sx, int sy,
                           int sw, int sh, const BlitOp& op) {
    if (src.Empty() || sw == 0 || sh == 0) return;
    const Pair<double> a = ToOutput(x, y), b = ToOutput(x + w, y + h);
    if (!(std::fabs(b.x - a.x) >= 0.5 && std::fabs(b.y - a.y) >= 0.5)) return;
    ForEachTarget([&](Buffer& t) {
        const Rect& r = t.Area;
        const int x0 = ClampToInt(std::ceil(std::min(a.x, b.x) - 0.5), r.Left, r.Right + 1);
        const int x1 = ClampToInt(std::ceil(std::max(a.x, b.x) - 0.5) - 1, r.Left - 1, r.Right);
        const int y0 = ClampToInt(std::ceil(std::min(a.y, b.y) - 0.5), r.Top, r.Bottom + 1);
        const int y1 = ClampToInt(std::ceil(std::max(a.y, b.y) - 0.5) - 1, r.Top - 1, r.Bottom);
        if (x0 > x1 || y0 > y1) return;
        Charge(std::int64_t(x1 - x0 + 1) * (y1 - y0 + 1));
        std::vector<int> cols(std::size_t(x1 - x0 + 1));
        for (int px = x0; px <= x1; ++px) {
            const double u = (px + 0.5 - a.x) / (b.x - a.x);
            cols[std::size_t(px - x0)] =
                ClampToInt(std::floor(sx + u * double(sw)), src.Area.Left, src.Area.Right);
        }
        const bool copy =
            op.mode == BlitOp::Mode::Rop && op.mask == nullptr && ((op.rop >> 16) & 0xFF) == 0xCC;
        for (int py = y0; py <= y1; ++py) {
            const double v = (py + 0.5 - a.y) / (b.y - a.y);
            const int row =
                ClampToInt(std::floor(sy + v * double(sh)), src.Area.Top, src.Area.Bottom);
            const Pixel* s = src.At(src.Area.Left, row) - src.Area.Left;
            Pixel* d = t.At(x0, py);
            if (copy) {
                for (int px = x0; px <= x1; ++px) *d++ = s[cols[std::size_t(px - x0)]] & 0x00FFFFFF;
                continue;
            }
            for (int px = x0; px <= x1; ++px, ++d) {
                const int col = cols[std::size_t(px - x0)];
                bool maskBit = true;
                if (op.mask != nullptr) {
                    const Pair<int> m{col - sx + op.maskAt.x, row - sy + op.maskAt.y};
                    maskBit = op.mask->Contains(m) && (*op.mask->At(m.x, m.y) & 0x00FFFFFF) != 0;
                }
                BlitPixel(op, s[col], maskBit, px, py, *d);
            }
        }
    });
}

// The source rectangle mapped onto the parallelogram whose corners are
// p0 (the source's top left), p1 (top right) and p2 (bottom left).
void MetaDC::PlgBitmap(Buffer& src, Pair<double> p0, Pair<double> p1, Pair<double> p2, int sx,
                       int sy, int sw, int sh, const BlitOp& op) {
    if (src.Empty() || sw <= 0 || sh <= 0) return;
    const Pair<double> a = ToOutput(p0.x, p0.y), b = ToOutput(p1.x, p1.y), c = ToOutput(p2.x, p2.y);
    const Pair<double> u{b.x - a.x, b.y - a.y}, v{c.x - a.x, c.y - a.y};
    const double det = u.x * v.y - v.x * u.y;
    if (!(std::fabs(det) > 1e-9)) return;
    const double xs[] = {a.x, b.x, c.x, b.x + v.x}, ys[] = {a.y, b.y, c.y, b.y + v.y};
    ForEachTarget([&](Buffer& t) {
        const Rect box = PixelBounds(xs, ys, 4, t.Area);
        const int x0 = box.Left, x1 = box.Right, y0 = box.Top, y1 = box.Bottom;
        if (x0 > x1 || y0 > y1) return;
        Charge(std::int64_t(x1 - x0 + 1) * (y1 - y0 + 1));
        for (int py = y0; py <= y1; ++py)
            for (int px = x0; px <= x1; ++px) {
                const double dx = px + 0.5 - a.x, dy = py + 0.5 - a.y;
                const double s = (dx * v.y - v.x * dy) / det, q = (u.x * dy - dx * u.y) / det;
                if (s < 0 || s >= 1 || q < 0 || q >= 1) continue;
                const Pair<int> at{ClampToInt(sx + s * sw, src.Area.Left, src.Area.Right),
                                   ClampToInt(sy + q * sh, src.Area.Top, src.Area.Bottom)};
                bool maskBit = true;
                if (op.mask != nullptr) {
                    const Pair<int> m{at.x - sx + op.maskAt.x, at.y - sy + op.maskAt.y};
                    maskBit = op.mask->Contains(m) && (*op.mask->At(m.x, m.y) & 0x00FFFFFF) != 0;
                    if (!maskBit) continue; // PLGBLT leaves masked-out pixels alone
                }
                BlitPixel(op, *src.At(at.x, at.y), maskBit, px, py, *t.At(px, py));
            }
    });
}

// A blit without a source: the raster operation on pattern and destination.
void MetaDC::PatBlt(double l, double t, double r, double b, std::uint32_t rop) {
    const Pair<double> p = ToOutput(l, t), q = ToOutput(r, b);
    const int x0 = PixelOf(std::min(p.x, q.x)), x1 = PixelOf(std::max(p.x, q.x)) - 1;
    const int y0 = PixelOf(std::min(p.y, q.y)), y1 = PixelOf(std::max(p.y, q.y)) - 1;
    const unsigned table = (rop >> 16) & 0xFF;
    // A hollow brush paints nothing where the operation needs the pattern.
    const bool usesPattern = ((table >> 4) & 15) != (table & 15);
    if (usesPattern && st.brush.hollow) return;
    const MetaPaint paint = BrushPaint();
    ForEachTarget([&](Buffer& view) {
        const Rect& a = view.Area;
        const int l0 = std::max(x0, a.Left), l1 = std::min(x1, a.Right);
        const int t0 = std::max(y0, a.Top), t1 = std::min(y1, a.Bottom);
        if (l0 > l1 || t0 > t1) return;
        Charge(std::int64_t(l1 - l0 + 1) * (t1 - t0 + 1));
        for (int y = t0; y <= t1; ++y) {
            Pixel* d = view.At(l0, y);
            for (int x = l0; x <= l1; ++x, ++d) {
                bool transparent = false;
                *d = Rop3(rop, PaintPixel(paint, x, y, transparent), 0, *d);
            }
        }
    });
}

// Rectangles (mode 0 horizontal, 1 vertical) or triangles (mode 2) shaded
// between their vertices' colours; vertices in logical units.
void MetaDC::GradientFill(const std::vector<GradientVertex>& vs,
                          const std::vector<std::array<std::uint32_t, 3>>& shapes, int mode) {
    std::vector<Pair<double>> out;
    for (const GradientVertex& g : vs) out.push_back(ToOutput(g.x, g.y));
    for (const auto& s : shapes) {
        if (s[0] >= vs.size() || s[1] >= vs.size() || (mode == 2 && s[2] >= vs.size()))
            throw EInvalidImage();
        if (mode == 2)
            ShadeTriangle({out[s[0]], out[s[1]], out[s[2]]}, {&vs[s[0]], &vs[s[1]], &vs[s[2]]});
        else
            ShadeRect(out[s[0]], out[s[1]], vs[s[0]], vs[s[1]], mode == 1);
    }
}

void MetaDC::ShadeRect(Pair<double> a, Pair<double> b, const GradientVertex& ca,
                       const GradientVertex& cb, bool vertical) {
    const int x0 = PixelOf(std::min(a.x, b.x)), x1 = PixelOf(std::max(a.x, b.x)) - 1;
    const int y0 = PixelOf(std::min(a.y, b.y)), y1 = PixelOf(std::max(a.y, b.y)) - 1;
    const bool flip = vertical ? a.y > b.y : a.x > b.x;
    const GradientVertex& first = flip ? cb : ca;
    const GradientVertex& last = flip ? ca : cb;
    const int span = std::max(1, vertical ? y1 - y0 : x1 - x0);
    ForEachTarget([&](Buffer& t) {
        const int l0 = std::max(x0, t.Area.Left), l1 = std::min(x1, t.Area.Right);
        const int t0 = std::max(y0, t.Area.Top), t1 = std::min(y1, t.Area.Bottom);
        if (l0 > l1 || t0 > t1) return;
        Charge(std::int64_t(l1 - l0 + 1) * (t1 - t0 + 1));
        for (int y = t0; y <= t1; ++y)
            for (int x = l0; x <= l1; ++x) {
                const double f = double(vertical ? y - y0 : x - x0) / span;
                *t.At(x, y) = first.Mix(last, f);
            }
    });
}

void MetaDC::ShadeTriangle(std::array<Pair<double>, 3> p, std::array<const GradientVertex*, 3> c) {
    const double det =
        (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
    if (!(std::fabs(det) > 1e-9)) return;
    const double xs[] = {p[0].x, p[1].x, p[2].x}, ys[] = {p[0].y, p[1].y, p[2].y};
    ForEachTarget([&](Buffer& t) {
        const Rect box = PixelBounds(xs, ys, 3, t.Area);
        const int x0 = box.Left, x1 = box.Right, y0 = box.Top, y1 = box.Bottom;
        if (x0 > x1 || y0 > y1) return;
        Charge(std::int64_t(x1 - x0 + 1) * (y1 - y0 + 1));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double dx = x + 0.5 - p[0].x, dy = y + 0.5 - p[0].y;
                const double w1 = (dx * (p[2].y - p[0].y) - (p[2].x - p[0].x) * dy) / det;
                const double w2 = ((p[1].x - p[0].x) * dy - dx * (p[1].y - p[0].y)) / det;
                const double w0 = 1 - w1 - w2;
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                *t.At(x, y) = c[0]->Weighted(*c[1], *c[2], w0, w1, w2);
            }
    });
}

Pixel GradientVertex::Mix(const GradientVertex& o, double f) const {
    return Weighted(o, o, 1 - f, f, 0);
}

Pixel GradientVertex::Weighted(const GradientVertex& b, const GradientVertex& c, double w0,
                               double w1, double w2) const {
    const auto channel = [&](int i) {
        const double v = (rgb[i] * w0 + b.rgb[i] * w1 + c.rgb[i] * w2) / 256.0;
        return Pixel(ClampToInt(v + 0.5, 0, 255));
    };
    return (channel(0) << 16) | (channel(1) << 8) | channel(2);
}

void MetaDC::FillRegion(const MetaRegion& rgn, const MetaBrush& brush) {
    const MetaBrush saved = st.brush;
    st.brush = brush;
    if (!brush.hollow)
        for (const Rect& r : rgn.rects)
            FillPolygons({{{double(r.Left), double(r.Top)},
                           {double(r.Right + 1), double(r.Top)},
                           {double(r.Right + 1), double(r.Bottom + 1)},
                           {double(r.Left), double(r.Bottom + 1)}}});
    st.brush = saved;
}

// The frame: the region without the region shrunk by w and h pixels.
void MetaDC::FrameRegion(const MetaRegion& rgn, const MetaBrush& brush, int w, int h) {
    w = std::clamp(w, 1, 1 << 16);
    h = std::clamp(h, 1, 1 << 16);
    std::int64_t work = 0;
    MetaRegion inner = rgn;
    for (const Pair<int> d : {Pair<int>{w, 0}, Pair<int>{-w, 0}, Pair<int>{0, h}, Pair<int>{0, -h}})
        inner = CombineRegions(inner, OffsetRegion(rgn, d.x, d.y), 1, work);
    Charge(work);
    FillRegion(CombineRegions(rgn, inner, 4, work), brush);
}

void MetaDC::InvertRegion(const MetaRegion& rgn) {
    const int saved = st.rop2;
    const MetaBrush brush = st.brush;
    st.rop2 = 6; // R2_NOT
    FillRegion(rgn, {false, 0, nullptr});
    st.rop2 = saved;
    st.brush = brush;
}

} // namespace pixkit
