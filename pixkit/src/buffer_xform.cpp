// Linear transforms: src mapped through a 2 x 2 matrix and moved, drawn over
// the span list of the mapped source rectangle. Every covered target sample
// is mapped back into src in 16.16 fixed point (docs/geometry.md). The
// positions are carried in 64 bits (the set-up per row and span in 128), so
// no source coordinate or target size can overflow them, and each span is
// checked against src once: spans whose ends map inside src run without any
// per-pixel test, the rare others test every sample.
#include <pixkit/buffer.h>
#include <pixkit/threads.h>

#include "mean4.h"
#include "vector_dispatch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#if PIXKIT_HAS_AVX2_TARGET
#include <immintrin.h>
#endif

namespace pixkit {

namespace {

using i128 = __int128;

// trunc(v * scale), false when it is not a usable number.
bool ToFixed(double v, double scale, i128& out) {
    const double s = v * scale;
    if (!std::isfinite(s) || std::fabs(s) >= 0x1p100) return false;
    out = static_cast<i128>(s);
    return true;
}

struct Vec {
    i128 u, v;
    Vec operator+(const Vec& o) const { return {u + o.u, v + o.v}; }
    Vec operator*(std::int64_t k) const { return {u * k, v * k}; }
};

// Source positions in 16.16, relative to the source's top-left pixel.
struct Mapping {
    Vec start;            // at (origin.x + f, origin.y + f)
    Vec col, row;         // per target column, per target row
    Vec halfCol, halfRow; // to the second sub-column, to the lower sub-row
};

struct Source {
    const Pixel* data;
    std::ptrdiff_t pitch;
    i128 w16, h16; // width and height << 16

    bool Inside(const Vec& p) const { return p.u >= 0 && p.u < w16 && p.v >= 0 && p.v < h16; }
    Pixel At(std::int64_t u, std::int64_t v) const { return data[(v >> 16) * pitch + (u >> 16)]; }
    Pixel At(const Vec& p) const { return At(std::int64_t(p.u), std::int64_t(p.v)); }
};

// The supersampling choice for a negative mode: a column of m scales the
// source by its Euclidean length, and a scale of at least 1.5 or at most 0.67
// along either axis is supersampled.
bool AutoSupersampling(const Matrix2D& m) {
    const auto far = [](double len) { return len >= 1.5 || len <= 0.67; };
    return far(std::hypot(m.X.x, m.X.y)) || far(std::hypot(m.Y.x, m.Y.y));
}

// Sets up the inverse mapping for sample offset f (1/2 or 1/4). False for a
// singular matrix or one whose inverse has no 16.16 form.
bool MakeMapping(const Matrix2D& m, Pair<int> offset, Pair<int> origin, double f,
                 const Rect& srcArea, Mapping& out) {
    const double det = m.X.x * m.Y.y - m.X.y * m.Y.x;
    if (!std::isfinite(det) || det == 0) return false;
    const double a = m.Y.y / det, b = -m.Y.x / det, c = -m.X.y / det, d = m.X.x / det;
    const double tx = origin.x + f - double(offset.x), ty = origin.y + f - double(offset.y);
    i128 su = 0, sv = 0;
    bool ok = ToFixed(a * tx + b * ty, 65536, su) && ToFixed(c * tx + d * ty, 65536, sv);
    ok = ok && ToFixed(a, 65536, out.col.u) && ToFixed(c, 65536, out.col.v);
    ok = ok && ToFixed(b, 65536, out.row.u) && ToFixed(d, 65536, out.row.v);
    ok = ok && ToFixed(a, 32768, out.halfCol.u) && ToFixed(c, 32768, out.halfCol.v);
    ok = ok && ToFixed(b, 32768, out.halfRow.u) && ToFixed(d, 32768, out.halfRow.v);
    // Steps beyond 2^46 would let a span overflow 64 bits; such a matrix
    // shrinks the source by more than 2^30 and is refused.
    for (const i128 s : {out.col.u, out.col.v, out.row.u, out.row.v})
        ok = ok && s < (i128(1) << 46) && s > -(i128(1) << 46);
    out.start = {su - i128(srcArea.Left) * 65536, sv - i128(srcArea.Top) * 65536};
    return ok;
}

struct RowJob {
    Pixel* d;        // target pixel at origin.x of this row
    Vec at;          // source position at origin.x of this row
    std::int64_t x0; // first column, relative to origin.x
    std::int64_t n;  // pixels
};

void PlainSpan(const RowJob& j, const Mapping& m, const Source& s, Pixel key) {
    Pixel* d = j.d + j.x0;
    const Vec first = j.at + m.col * j.x0;
    if (s.Inside(first) && s.Inside(first + m.col * (j.n - 1))) {
        auto u = std::int64_t(first.u), v = std::int64_t(first.v);
        const auto du = std::int64_t(m.col.u), dv = std::int64_t(m.col.v);
        for (std::int64_t k = 0; k < j.n; ++k, u += du, v += dv) {
            const Pixel p = s.At(u, v);
            d[k] = p == key ? d[k] : p;
        }
        return;
    }
    Vec p = first;
    for (std::int64_t k = 0; k < j.n; ++k, p = p + m.col) {
        if (!s.Inside(p)) continue;
        const Pixel v = s.At(p);
        if (v != key) d[k] = v;
    }
}

// Sub-column spans of the upper and lower sub-row of one target row.
struct SubSpans {
    std::int64_t a0, a1, b0, b1;
    bool Has(int lower, std::int64_t c) const {
        return lower ? (c >= b0 && c <= b1) : (c >= a0 && c <= a1);
    }
};

// One pixel of a row edge: samples outside their sub-row's span (or, from
// rounding, outside src) take the target pixel; a pixel no sample covers is
// left alone.
void SuperEdgePixel(Pixel* d, std::int64_t x, const Vec& base, const SubSpans& sp, const Mapping& m,
                    const Source& s, Pixel key) {
    const Pixel under = *d;
    Pixel v[4];
    bool covered = false;
    for (int k = 0; k < 4; ++k) {
        const int right = k & 1, lower = k >> 1;
        Vec p = base;
        if (right) p = p + m.halfCol;
        if (lower) p = p + m.halfRow;
        v[k] = under;
        if (!sp.Has(lower, 2 * x + right) || !s.Inside(p)) continue;
        covered = true;
        const Pixel src = s.At(p);
        if (src != key) v[k] = src;
    }
    if (covered) *d = detail::Mean4(v[0], v[1], v[2], v[3]);
}

#if PIXKIT_HAS_AVX2_TARGET
// The source pixels at 16.16 positions (u, v).
PIXKIT_AVX2_TARGET inline __m256i Gather(const int* base, __m256i pitch, __m256i u, __m256i v) {
    const __m256i idx = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(v, 16), pitch),
                                         _mm256_srai_epi32(u, 16));
    return _mm256_i32gather_epi32(base, idx, 4);
}

// The fully covered run of SuperRun eight pixels at a time with AVX2
// gathers; the same positions and means as the scalar loop, so the result is
// identical. Positions and pixel indices are carried in 32 bits, which the
// caller has checked the source allows. Returns how many pixels it did.
PIXKIT_AVX2_TARGET std::int64_t SuperRunAvx2(Pixel* d, std::int64_t n, const std::int64_t (&p)[8],
                                             const Source& s, Pixel key) {
    const std::int64_t u = p[0], v = p[1], du = p[2], dv = p[3];
    const __m256i step = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(int(u)),
                                  _mm256_mullo_epi32(step, _mm256_set1_epi32(int(du))));
    __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(int(v)),
                                  _mm256_mullo_epi32(step, _mm256_set1_epi32(int(dv))));
    const __m256i du8 = _mm256_set1_epi32(int(du * 8)), dv8 = _mm256_set1_epi32(int(dv * 8));
    const __m256i hcu = _mm256_set1_epi32(int(p[4])), hcv = _mm256_set1_epi32(int(p[5]));
    const __m256i hru = _mm256_set1_epi32(int(p[6])), hrv = _mm256_set1_epi32(int(p[7]));
    const __m256i pitch = _mm256_set1_epi32(int(s.pitch));
    const __m256i keyv = _mm256_set1_epi32(int(key));
    const __m256i rbMask = _mm256_set1_epi32(0xFF00FF), gMask = _mm256_set1_epi32(0xFF00);
    const int* base = reinterpret_cast<const int*>(s.data);
    const bool keyed = key != NoKey;
    std::int64_t k = 0;
    for (; k + 8 <= n; k += 8) {
        __m256i q[4] = {Gather(base, pitch, uu, vv),
                        Gather(base, pitch, _mm256_add_epi32(uu, hcu), _mm256_add_epi32(vv, hcv)),
                        Gather(base, pitch, _mm256_add_epi32(uu, hru), _mm256_add_epi32(vv, hrv)),
                        Gather(base, pitch, _mm256_add_epi32(_mm256_add_epi32(uu, hcu), hru),
                               _mm256_add_epi32(_mm256_add_epi32(vv, hcv), hrv))};
        if (keyed) {
            const __m256i under = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + k));
            for (__m256i& x : q) x = _mm256_blendv_epi8(x, under, _mm256_cmpeq_epi32(x, keyv));
        }
        __m256i rb = _mm256_set1_epi32(0x20002), g = _mm256_set1_epi32(0x200);
        for (const __m256i& x : q) {
            rb = _mm256_add_epi32(rb, _mm256_and_si256(x, rbMask));
            g = _mm256_add_epi32(g, _mm256_and_si256(x, gMask));
        }
        const __m256i mean = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(rb, 2), rbMask),
                                             _mm256_and_si256(_mm256_srli_epi32(g, 2), gMask));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + k), mean);
        uu = _mm256_add_epi32(uu, du8);
        vv = _mm256_add_epi32(vv, dv8);
    }
    return k;
}
#endif

// Pixels whose four samples all lie inside the spans.
void SuperRun(Pixel* d, const Vec& first, std::int64_t n, const Mapping& m, const Source& s,
              Pixel key, const SubSpans& sp, std::int64_t x) {
    const Vec last = first + m.col * (n - 1);
    const Vec both = m.halfCol + m.halfRow;
    const bool inside = s.Inside(first) && s.Inside(last) && s.Inside(first + m.halfCol) &&
                        s.Inside(last + m.halfCol) && s.Inside(first + m.halfRow) &&
                        s.Inside(last + m.halfRow) && s.Inside(first + both) &&
                        s.Inside(last + both);
    if (!inside) {
        for (std::int64_t k = 0; k < n; ++k)
            SuperEdgePixel(d + k, x + k, first + m.col * k, sp, m, s, key);
        return;
    }
    auto u = std::int64_t(first.u), v = std::int64_t(first.v);
    const auto du = std::int64_t(m.col.u), dv = std::int64_t(m.col.v);
    const auto hcu = std::int64_t(m.halfCol.u), hcv = std::int64_t(m.halfCol.v);
    const auto hru = std::int64_t(m.halfRow.u), hrv = std::int64_t(m.halfRow.v);
#if PIXKIT_HAS_AVX2_TARGET
    // Every position of the run lies inside src; with src's positions and
    // pixel indices below 2^31 they fit the vector lanes.
    if (n > 8 && ActiveVectorLevel() == VectorLevel::Avx2 && s.pitch >= 0 &&
        s.w16 < (i128(1) << 31) && s.h16 < (i128(1) << 31) &&
        (i128(s.h16 >> 16) * s.pitch) < (i128(1) << 31)) {
        const std::int64_t k = SuperRunAvx2(d, n, {u, v, du, dv, hcu, hcv, hru, hrv}, s, key);
        d += k;
        n -= k;
        u += du * k;
        v += dv * k;
    }
#endif
    if (key == NoKey) {
        for (std::int64_t k = 0; k < n; ++k, u += du, v += dv)
            d[k] = detail::Mean4(s.At(u, v), s.At(u + hcu, v + hcv), s.At(u + hru, v + hrv),
                                 s.At(u + hcu + hru, v + hcv + hrv));
        return;
    }
    for (std::int64_t k = 0; k < n; ++k, u += du, v += dv) {
        const Pixel under = d[k];
        const auto pick = [&](Pixel p) { return p == key ? under : p; };
        d[k] =
            detail::Mean4(pick(s.At(u, v)), pick(s.At(u + hcu, v + hcv)),
                          pick(s.At(u + hru, v + hrv)), pick(s.At(u + hcu + hru, v + hcv + hrv)));
    }
}

// One row in supersampling mode: partly covered pixels at both ends, fully
// covered ones in between. Columns here are relative to origin.x.
void SuperRow(Pixel* d, const Vec& at, const SubSpans& sp, const Mapping& m, const Source& s,
              Pixel key) {
    const bool upper = sp.a0 <= sp.a1, lower = sp.b0 <= sp.b1;
    if (!upper && !lower) return;
    const std::int64_t px0 = std::min(upper ? sp.a0 : INT64_MAX, lower ? sp.b0 : INT64_MAX) >> 1;
    const std::int64_t px1 = std::max(upper ? sp.a1 : INT64_MIN, lower ? sp.b1 : INT64_MIN) >> 1;
    std::int64_t fx0 = px1 + 1, fx1 = px1;
    if (upper && lower) {
        fx0 = (std::max(sp.a0, sp.b0) + 1) >> 1;
        fx1 = (std::min(sp.a1, sp.b1) - 1) >> 1;
        if (fx1 < fx0) {
            fx0 = px1 + 1;
            fx1 = px1;
        }
    }
    for (std::int64_t x = px0; x < fx0; ++x)
        SuperEdgePixel(d + x, x, at + m.col * x, sp, m, s, key);
    if (fx0 <= fx1) SuperRun(d + fx0, at + m.col * fx0, fx1 - fx0 + 1, m, s, key, sp, fx0);
    for (std::int64_t x = fx1 + 1; x <= px1; ++x)
        SuperEdgePixel(d + x, x, at + m.col * x, sp, m, s, key);
}

} // namespace

const Matrix2D Matrix2D::Unit{{1, 0}, {0, 1}};

void Buffer::XFormLin(Buffer& src, const Matrix2D& m, Pair<int> offset, Pixel key, int mode) {
    if (Empty() || src.Empty()) return;
    const bool super = mode > 0 || (mode < 0 && AutoSupersampling(m));
    // The source corners, inset by 0.05 so that every covered sample maps
    // back inside src.
    const double l = src.Area.Left + 0.05, t = src.Area.Top + 0.05;
    const double r = src.Area.Right + 0.95, b = src.Area.Bottom + 0.95;
    const auto map = [&](double x, double y) {
        return Pair<double>{x * m.X.x + y * m.Y.x + offset.x, x * m.X.y + y * m.Y.y + offset.y};
    };
    const Pair<double> quad[4] = {map(l, t), map(r, t), map(r, b), map(l, b)};
    Pair<int> origin;
    int rows = 0;
    const auto spans = Render(quad, origin, rows, super ? 1 : 0);
    if (!spans) return;
    Mapping mp{};
    if (!MakeMapping(m, offset, origin, super ? 0.25 : 0.5, src.Area, mp)) return;
    const Source s{src.Data, src.Pitch, i128(src.Width()) << 16, i128(src.Height()) << 16};
    Pixel* const top = At(origin.x, origin.y);
    const std::ptrdiff_t pitch = Pitch;
    // Rows are independent: bands of them go to separate threads. Each band
    // is drawn in tiles of kTileRows x kTileColumns target pixels: a whole
    // target row of a turned picture sweeps through thousands of source
    // rows, so the next row finds little of them still in the caches, while
    // a tile's source (a turned square of about the same size) is read
    // again by the tile's next rows while it is still there. On a 4000 x
    // 3000 picture turned by 30 degrees that makes the plain turn about 2.8
    // and the supersampled one about 2 times as fast; smaller tiles gained
    // less (32 rows: nothing). Tiles cut the spans at pixel boundaries, so
    // every pixel is drawn exactly as before.
    constexpr int kTileRows = 512;
    constexpr std::int64_t kTileColumns = 512;
    const int per = super ? 4 : 2;
    const std::int64_t o2 = 2 * std::int64_t(origin.x);
    const auto drawTile = [&](int y, std::int64_t c0, std::int64_t c1) {
        Pixel* row = top + y * pitch;
        const Vec at = mp.start + mp.row * y;
        const std::int32_t* e = &spans[std::size_t(y) * std::size_t(per)];
        if (super) {
            const auto clip = [&](std::int64_t v, bool end) {
                return end ? std::min(v - o2, 2 * c1 - 1) : std::max(v - o2, 2 * c0);
            };
            SuperRow(
                row, at,
                SubSpans{clip(e[0], false), clip(e[1], true), clip(e[2], false), clip(e[3], true)},
                mp, s, key);
            return;
        }
        const std::int64_t x0 = std::max<std::int64_t>(e[0] - std::int64_t(origin.x), c0);
        const std::int64_t x1 = std::min<std::int64_t>(e[1] - std::int64_t(origin.x), c1 - 1);
        if (x0 <= x1) PlainSpan(RowJob{row, at, x0, x1 - x0 + 1}, mp, s, key);
    };
    // The tiles, band by band; the threads take them one at a time, so
    // that they finish together although tiles at the corners of a turned
    // picture hold few pixels.
    struct Tile {
        int Y0, Y1;
        std::int64_t C0;
    };
    std::vector<Tile> tiles;
    for (int y0 = 0; y0 < rows; y0 += kTileRows) {
        const int y1 = std::min(rows, y0 + kTileRows);
        // The columns the band's spans reach, relative to origin.x.
        std::int64_t lo = INT64_MAX, hi = INT64_MIN;
        for (int y = y0; y < y1; ++y) {
            const std::int32_t* e = &spans[std::size_t(y) * std::size_t(per)];
            for (int k = 0; k < per; k += 2) {
                if (e[k] > e[k + 1]) continue;
                lo = std::min<std::int64_t>(lo, super ? (e[k] - o2) >> 1 : e[k] - origin.x);
                hi = std::max<std::int64_t>(hi, super ? (e[k + 1] - o2) >> 1 : e[k + 1] - origin.x);
            }
        }
        for (std::int64_t c0 = lo; c0 <= hi; c0 += kTileColumns) tiles.push_back({y0, y1, c0});
    }
    ForRows(
        int(tiles.size()), std::int64_t(rows) * Width(),
        [&](int first, int last) {
            for (int k = first; k < last; ++k) {
                const Tile& t = tiles[std::size_t(k)];
                for (int y = t.Y0; y < t.Y1; ++y) drawTile(y, t.C0, t.C0 + kTileColumns);
            }
        },
        int(tiles.size()));
}

} // namespace pixkit
