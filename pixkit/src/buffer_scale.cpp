// Scaling with optional mirroring and 2 x 2 supersampling. The source step
// per target pixel is a 32.32 fixed-point number; docs/geometry.md gives the
// sample positions. Sample positions are tabulated once per call for the
// visible columns and rows, so clipping never shifts the sampling and the
// inner loops only index the source.
#include <pixkit/buffer.h>
#include <pixkit/threads.h>

#include "clip.h"
#include "mean4.h"
#include "stream_store.h"
#include "vector_dispatch.h"

#include <cstdint>
#include <cstring>
#include <vector>

#if PIXKIT_HAS_AVX2_TARGET
#include <immintrin.h>
#endif

namespace pixkit {

namespace {

using Offsets = std::vector<std::ptrdiff_t>;

// One axis: n source pixels drawn as |size| target pixels (a negative size
// mirrors) from target coordinate pos; the visible target coordinates are
// t0..t1.
struct AxisMap {
    std::int64_t n, size, pos, t0, t1;

    std::uint64_t Length() const { return static_cast<std::uint64_t>(size < 0 ? -size : size); }
    // n / |size| as 32.32: integer part, then (n mod |size|) * 2^32 / |size|.
    std::uint64_t Step() const {
        const std::uint64_t w = static_cast<std::uint64_t>(n), W = Length();
        return ((w / W) << 32) + (((w % W) << 32) / W);
    }
    // The sample index of target t, counted from the unclipped corner;
    // mirroring counts from the far end.
    std::uint64_t Index(std::int64_t t) const {
        return static_cast<std::uint64_t>(size < 0 ? pos + std::int64_t(Length()) - 1 - t
                                                   : t - pos);
    }
    // For every visible target coordinate, the source offset
    // floor((i * step + phase) / 2^32) * unit. The position stays below
    // n * 2^32 < 2^63 for every i < |size| and phase < step.
    Offsets Table(std::uint64_t phase, std::ptrdiff_t unit) const {
        const std::uint64_t step = Step();
        Offsets out(static_cast<std::size_t>(t1 - t0 + 1));
        for (std::size_t j = 0; j < out.size(); ++j) {
            const std::uint64_t at = Index(t0 + std::int64_t(j)) * step + phase;
            out[j] = static_cast<std::ptrdiff_t>(at >> 32) * unit;
        }
        return out;
    }
};

// Plain sampling when both ratios lie strictly between 2/3 and 3/2.
bool UseSupersampling(const AxisMap& x, const AxisMap& y, int mode) {
    if (mode >= 0) return mode > 0;
    const auto near = [](const AxisMap& a) {
        const auto W = static_cast<std::int64_t>(a.Length());
        return 2 * a.n < 3 * W && 2 * W < 3 * a.n;
    };
    return !(near(x) && near(y));
}

// v, or under when v is the key. Without a branch: with half the samples
// transparent a branch would guess wrong every other pixel.
Pixel Pick(Pixel v, Pixel key, Pixel under) {
    const Pixel isKey = Pixel(0) - Pixel(v == key);
    return (v & ~isKey) | (under & isKey);
}

void PlainRow(Pixel* d, const Pixel* s, const std::ptrdiff_t* xt, std::size_t w, Pixel key) {
    if (key == NoKey) {
        for (std::size_t j = 0; j < w; ++j) d[j] = s[xt[j]];
    } else {
        for (std::size_t j = 0; j < w; ++j) d[j] = Pick(s[xt[j]], key, d[j]);
    }
}

// How far ahead of the pixels in hand the halving loop asks for source
// lines, and the asking itself: `lines` cache lines from p.
constexpr std::size_t kAhead = 512;
inline void Prefetch(const Pixel* p, int lines) {
    for (int i = 0; i < lines; ++i) __builtin_prefetch(p + 16 * i);
}

// Every second source pixel, as halving samples them.
bool EverySecond(const Offsets& xs) {
    for (std::size_t j = 1; j < xs.size(); ++j)
        if (xs[j] != xs[j - 1] + 2) return false;
    return true;
}

// PlainRow for every second pixel, s pointing at the first sample.
PIXKIT_VECTOR_BODY void EverySecondRowBody(Pixel* __restrict d, const Pixel* __restrict s,
                                           std::size_t w, Pixel key) {
    if (key == NoKey) {
        for (std::size_t j = 0; j < w; ++j) d[j] = s[2 * j];
    } else {
        for (std::size_t j = 0; j < w; ++j) d[j] = Pick(s[2 * j], key, d[j]);
    }
}
PIXKIT_VECTOR_DISPATCH(EverySecondRow,
                       (Pixel* __restrict d, const Pixel* __restrict s, std::size_t w, Pixel key),
                       EverySecondRowBody, (d, s, w, key))

// PlainRow for sample offsets xs[j] = first + (j + odd) / 2 - odd / 2
// (each source pixel twice, the first perhaps once), s pointing at the
// first sample.
PIXKIT_VECTOR_BODY void DoublingRowBody(Pixel* __restrict d, const Pixel* __restrict s,
                                        std::size_t w, bool odd) {
    if (odd && w > 0) {
        *d++ = *s++;
        --w;
    }
    const std::size_t pairs = w / 2;
    for (std::size_t j = 0; j < pairs; ++j) {
        d[2 * j] = s[j];
        d[2 * j + 1] = s[j];
    }
    if (w & 1) d[w - 1] = s[pairs];
}
PIXKIT_VECTOR_DISPATCH(DoublingRow,
                       (Pixel* __restrict d, const Pixel* __restrict s, std::size_t w, bool odd),
                       DoublingRowBody, (d, s, w, odd))

// Whether xs repeats every source pixel twice; odd when the first one
// appears once.
bool Doubling(const Offsets& xs, bool& odd) {
    for (const bool o : {false, true}) {
        bool all = true;
        for (std::size_t j = 1; j < xs.size() && all; ++j)
            all = xs[j] == xs[0] + std::ptrdiff_t((j + o) / 2);
        if (all) {
            odd = o;
            return true;
        }
    }
    return false;
}

#if PIXKIT_HAS_AVX2_TARGET
// DoublingRow written past the caches with 32-byte streaming stores, for
// targets too large to stay in them: d[j] = s[(j + odd) / 2]. Pixels up to
// the first 32-byte boundary are stored plainly; each group of eight after
// it takes four or five source pixels (a masked load reads no further).
PIXKIT_AVX2_TARGET void StreamDoublingAvx2(Pixel* d, const Pixel* s, std::size_t w, bool odd) {
    std::size_t j = 0;
    for (; j < w && (reinterpret_cast<std::uintptr_t>(d + j) & 31) != 0; ++j)
        d[j] = s[(j + odd) / 2];
    // The phase of the first pixel of every group is the same: the groups
    // are eight pixels long.
    const bool second = (j + odd) & 1;
    const __m256i order = second ? _mm256_setr_epi32(0, 1, 1, 2, 2, 3, 3, 4)
                                 : _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256i five = _mm256_setr_epi32(-1, -1, -1, -1, -1, 0, 0, 0);
    for (; j + 8 <= w; j += 8) {
        const Pixel* from = s + (j + odd) / 2;
        const __m256i v =
            second
                ? _mm256_maskload_epi32(reinterpret_cast<const int*>(from), five)
                : _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
        _mm256_stream_si256(reinterpret_cast<__m256i*>(d + j),
                            _mm256_permutevar8x32_epi32(v, order));
    }
    for (; j < w; ++j) d[j] = s[(j + odd) / 2];
}
#endif

// How the columns of a plain row are sampled.
enum class PlainColumns { Table, EverySecond, Doubling, DoublingOdd };

void PlainRowBy(PlainColumns c, Pixel* d, const Pixel* s, const Offsets& xs, Pixel key) {
    const std::size_t w = xs.size();
    switch (c) {
    case PlainColumns::EverySecond:
        EverySecondRow(d, s + xs[0], w, key);
        return;
    case PlainColumns::Doubling:
    case PlainColumns::DoublingOdd:
        if (key == NoKey) {
            DoublingRow(d, s + xs[0], w, c == PlainColumns::DoublingOdd);
            return;
        }
        break;
    case PlainColumns::Table:
        break;
    }
    PlainRow(d, s, xs.data(), w, key);
}

// Runs draw(row, r) for the w-pixel target rows r = 0..rows-1 (starting at
// d) in bands on the pool. Without a key, a row for which repeats(r) holds
// gets the pixels of row r - 1 instead.
template <class Repeats, class Draw>
void EachRow(Pixel* d, std::ptrdiff_t dPitch, std::size_t w, int rows, Pixel key,
             const Repeats& repeats, const Draw& draw) {
    const std::int64_t pixels = std::int64_t(w) * rows;
    if (key == NoKey && pixels >= detail::kStreamPixels) {
        // Each distinct row is drawn once into a scratch row and streamed to
        // every target row that repeats it.
        ForRows(rows, pixels, [&](int first, int last) {
            std::vector<Pixel> line(w);
            for (int r = first; r < last; ++r) {
                if (r == first || !repeats(r)) draw(line.data(), r);
                detail::StreamPixels(d + r * dPitch, line.data(), w);
            }
            detail::StreamDone();
        });
        return;
    }
    ForRows(rows, pixels, [&](int first, int last) {
        Pixel* row = d + first * dPitch;
        for (int r = first; r < last; ++r, row += dPitch) {
            if (key == NoKey && r > first && repeats(r))
                std::memcpy(row, row - dPitch, w * sizeof(Pixel));
            else
                draw(row, r);
        }
    });
}

// The pixels of line over d, the key letting d show.
PIXKIT_VECTOR_BODY void OverRowBody(Pixel* __restrict d, const Pixel* __restrict line,
                                    std::size_t w, Pixel key) {
    for (std::size_t j = 0; j < w; ++j) d[j] = Pick(line[j], key, d[j]);
}
PIXKIT_VECTOR_DISPATCH(OverRow,
                       (Pixel* __restrict d, const Pixel* __restrict line, std::size_t w,
                        Pixel key),
                       OverRowBody, (d, line, w, key))

// Keyed rows sampled through a table: each distinct source row is sampled
// once into a scratch row (a plain gather, without the key), which is then
// laid over every target row that repeats it by a vector loop.
void KeyedRows(Pixel* d, std::ptrdiff_t dPitch, const Pixel* s, const Offsets& xs,
               const Offsets& ys, PlainColumns cols, Pixel key) {
    const std::size_t w = xs.size();
    const int rows = int(ys.size());
    ForRows(rows, std::int64_t(w) * rows, [&](int first, int last) {
        std::vector<Pixel> line(w);
        for (int r = first; r < last; ++r) {
            if (r == first || ys[r] != ys[r - 1])
                PlainRowBy(cols, line.data(), s + ys[r], xs, NoKey);
            OverRow(d + r * dPitch, line.data(), w, key);
        }
    });
}

// Target pixel i samples floor((i + 1/2) * step), computed as
// ((2i + 1) * step) >> 1 = i * step + (step >> 1).
void ScalePlain(Pixel* d, std::ptrdiff_t dPitch, const Pixel* s, std::ptrdiff_t sPitch,
                const AxisMap& x, const AxisMap& y, Pixel key) {
    const Offsets xs = x.Table(x.Step() >> 1, 1);
    const Offsets ys = y.Table(y.Step() >> 1, sPitch);
    bool odd = false;
    const PlainColumns cols = EverySecond(xs) ? PlainColumns::EverySecond
                              : Doubling(xs, odd)
                                  ? (odd ? PlainColumns::DoublingOdd : PlainColumns::Doubling)
                                  : PlainColumns::Table;
    if (key != NoKey && cols != PlainColumns::EverySecond) {
        KeyedRows(d, dPitch, s, xs, ys, cols, key);
        return;
    }
#if PIXKIT_HAS_AVX2_TARGET
    // Enlarging a large picture two times across: every target row is
    // doubled straight from its source row into memory, without a scratch
    // row.
    const std::size_t w = xs.size();
    const std::int64_t pixels = std::int64_t(w) * std::int64_t(ys.size());
    if (key == NoKey && cols != PlainColumns::Table && cols != PlainColumns::EverySecond &&
        pixels >= detail::kStreamPixels && ActiveVectorLevel() == VectorLevel::Avx2) {
        ForRows(int(ys.size()), pixels, [&](int first, int last) {
            for (int r = first; r < last; ++r)
                StreamDoublingAvx2(d + r * dPitch, s + ys[r] + xs[0], w, odd);
            detail::StreamDone();
        });
        return;
    }
#endif
    // A row sampled from the same source row as the row above repeats it.
    EachRow(
        d, dPitch, xs.size(), int(ys.size()), key, [&](int r) { return ys[r] == ys[r - 1]; },
        [&](Pixel* row, int r) { PlainRowBy(cols, row, s + ys[r], xs, key); });
}

struct SuperTables {
    Offsets x0, x1, y0, y1;
};

// The 2 x 2 samples of every target pixel lie side by side and each pair
// starts two source pixels after the one before: an exact halving, which
// reads the rows in order instead of through the tables.
bool AdjacentPairs(const Offsets& a, const Offsets& b) {
    for (std::size_t j = 0; j < a.size(); ++j)
        if (b[j] != a[j] + 1 || (j > 0 && a[j] != a[j - 1] + 2)) return false;
    return true;
}

// Enlarging by two or more: both samples of every target pixel are the same
// source pixel, so the mean is that pixel (with the top byte cleared).
bool SameSamples(const SuperTables& t) {
    return t.x0 == t.x1 && t.y0 == t.y1;
}

void SuperRow(Pixel* d, const Pixel* s0, const Pixel* s1, const SuperTables& t, Pixel key) {
    const std::size_t w = t.x0.size();
    const std::ptrdiff_t* a = t.x0.data();
    const std::ptrdiff_t* b = t.x1.data();
    if (key == NoKey) {
        for (std::size_t j = 0; j < w; ++j)
            d[j] = detail::Mean4(s0[a[j]], s0[b[j]], s1[a[j]], s1[b[j]]);
        return;
    }
    // A key sample takes the target pixel, so the edge blends with what
    // lies below.
    for (std::size_t j = 0; j < w; ++j) {
        const Pixel u = d[j];
        d[j] = detail::Mean4(Pick(s0[a[j]], key, u), Pick(s0[b[j]], key, u), Pick(s1[a[j]], key, u),
                             Pick(s1[b[j]], key, u));
    }
}

// SuperRow for adjacent pairs; s0 and s1 point at the first pair.
PIXKIT_VECTOR_BODY void HalvingRowBody(Pixel* __restrict d, const Pixel* __restrict s0,
                                       const Pixel* __restrict s1, std::size_t w, Pixel key) {
    if (key == NoKey) {
        for (std::size_t j = 0; j < w; ++j)
            d[j] = detail::Mean4(s0[2 * j], s0[2 * j + 1], s1[2 * j], s1[2 * j + 1]);
        return;
    }
    for (std::size_t j = 0; j < w; ++j) {
        const Pixel u = d[j];
        d[j] = detail::Mean4(Pick(s0[2 * j], key, u), Pick(s0[2 * j + 1], key, u),
                             Pick(s1[2 * j], key, u), Pick(s1[2 * j + 1], key, u));
    }
}
PIXKIT_VECTOR_DISPATCH(HalvingRowLoop,
                       (Pixel* __restrict d, const Pixel* __restrict s0, const Pixel* __restrict s1,
                        std::size_t w, Pixel key),
                       HalvingRowBody, (d, s0, s1, w, key))

#if PIXKIT_HAS_AVX2_TARGET
PIXKIT_AVX2_TARGET inline __m256i Load8(const Pixel* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The channel sums of source pixels 0+1 and 2+3 of each 128-bit lane of the
// two rows' pixels a (row 0) and b (row 1), in 16-bit lanes, plus 2.
PIXKIT_AVX2_TARGET inline __m256i PairSums(__m256i a, __m256i b) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo =
        _mm256_add_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
    const __m256i hi =
        _mm256_add_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
    const __m256i sum =
        _mm256_add_epi16(_mm256_unpacklo_epi64(lo, hi), _mm256_unpackhi_epi64(lo, hi));
    return _mm256_add_epi16(sum, _mm256_set1_epi16(2));
}

// HalvingRow without a key, eight target pixels at a time: the rows' 2 x 2
// sums in 16-bit lanes, divided by four and packed, the same means as
// Mean4. Returns how many pixels it did.
PIXKIT_AVX2_TARGET std::size_t HalvingRowAvx2(Pixel* d, const Pixel* s0, const Pixel* s1,
                                              std::size_t w) {
    const __m256i colour = _mm256_set1_epi32(0xFFFFFF);
    std::size_t j = 0;
    for (; j + 8 <= w; j += 8, s0 += 16, s1 += 16) {
        // This machine's own prefetching leaves the loads waiting for
        // memory; asking for both rows 2 KB ahead makes the loop about
        // half as long again as fast.
        Prefetch(s0 + kAhead, 2);
        Prefetch(s1 + kAhead, 2);
        // Lane k of first holds targets 2k, 2k + 1; of second 4 + 2k, 5 + 2k.
        const __m256i first = _mm256_srli_epi16(PairSums(Load8(s0), Load8(s1)), 2);
        const __m256i second = _mm256_srli_epi16(PairSums(Load8(s0 + 8), Load8(s1 + 8)), 2);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + j), _mm256_and_si256(packed, colour));
    }
    return j;
}
#endif

void HalvingRow(Pixel* d, const Pixel* s0, const Pixel* s1, std::size_t w, Pixel key) {
#if PIXKIT_HAS_AVX2_TARGET
    if (key == NoKey && ActiveVectorLevel() == VectorLevel::Avx2) {
        const std::size_t done = HalvingRowAvx2(d, s0, s1, w);
        d += done;
        s0 += 2 * done;
        s1 += 2 * done;
        w -= done;
    }
#endif
    HalvingRowLoop(d, s0, s1, w, key);
}

// SuperRow when all four samples are one pixel.
void SameSampleRow(Pixel* d, const Pixel* s, const std::ptrdiff_t* xt, std::size_t w, Pixel key) {
    constexpr Pixel kColour = 0xFFFFFFu;
    if (key == NoKey) {
        for (std::size_t j = 0; j < w; ++j) d[j] = s[xt[j]] & kColour;
        return;
    }
    for (std::size_t j = 0; j < w; ++j) d[j] = Pick(s[xt[j]], key, d[j]) & kColour;
}

// Target pixel i samples floor((i + 1/4) * step) and floor((i + 3/4) * step):
// ((4i + 1) * step) >> 2 = i * step + (step >> 2), plus half a step.
void ScaleSuper(Pixel* d, std::ptrdiff_t dPitch, const Pixel* s, std::ptrdiff_t sPitch,
                const AxisMap& x, const AxisMap& y, Pixel key) {
    const std::uint64_t sx = x.Step(), sy = y.Step();
    const SuperTables t{x.Table(sx >> 2, 1), x.Table((sx >> 2) + (sx >> 1), 1),
                        y.Table(sy >> 2, sPitch), y.Table((sy >> 2) + (sy >> 1), sPitch)};
    const std::size_t w = t.x0.size();
    const bool pairs = AdjacentPairs(t.x0, t.x1);
    const bool same = !pairs && SameSamples(t);
    EachRow(
        d, dPitch, w, int(t.y0.size()), key,
        [&](int r) { return t.y0[r] == t.y0[r - 1] && t.y1[r] == t.y1[r - 1]; },
        [&](Pixel* row, int r) {
            if (pairs)
                HalvingRow(row, s + t.y0[r] + t.x0[0], s + t.y1[r] + t.x0[0], w, key);
            else if (same)
                SameSampleRow(row, s + t.y0[r], t.x0.data(), w, key);
            else
                SuperRow(row, s + t.y0[r], s + t.y1[r], t, key);
        });
}

} // namespace

void Buffer::Scale(Buffer& src, Pair<int> size, Pair<int> pos, Pixel key, int mode) {
    if (Empty() || src.Empty() || size.x == 0 || size.y == 0) return;
    const std::int64_t W = size.x < 0 ? -std::int64_t(size.x) : size.x;
    const std::int64_t H = size.y < 0 ? -std::int64_t(size.y) : size.y;
    Rect t;
    if (!detail::ClipToArea(pos.x, pos.y, pos.x + W - 1, pos.y + H - 1, Area, t)) return;
    const AxisMap x{src.Width(), size.x, pos.x, t.Left, t.Right};
    const AxisMap y{src.Height(), size.y, pos.y, t.Top, t.Bottom};
    Pixel* d = At(t.Left, t.Top);
    if (UseSupersampling(x, y, mode))
        ScaleSuper(d, Pitch, src.Data, src.Pitch, x, y, key);
    else
        ScalePlain(d, Pitch, src.Data, src.Pitch, x, y, key);
}

} // namespace pixkit
