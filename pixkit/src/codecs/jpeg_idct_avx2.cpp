// The inverse DCT of jpeg_dct.cpp in AVX2, on 16-bit samples: the whole
// 8 x 8 block in four registers, each pair of products formed by one
// multiply-add of two 16-bit values into 32 bits. The constants are the
// portable transform's, regrouped (a*x + b*y for the sums it multiplies),
// so every 32-bit result equals the portable one: the sums wrap alike
// modulo 2^32 on damaged data, and the descaling, the clamping between the
// passes and the final clamping to 0..255 are the same. The inputs fit 16
// bits: coefficients within +-2048, column results clamped to +-11000.
#include "jpeg_vector.h"

#if PIXKIT_HAS_AVX2_TARGET
#include "jpeg_avx2.h"

namespace pixkit::jpeg {

namespace {

using namespace avx2;

// The rows of a pass: each register holds two rows p and q as
// [p 0..3, q 0..3 | p 4..7, q 4..7]; r01 rows 0 and 1, r23 rows 2 and 3 and
// so on. Returns the 8 results (lanes 0..7 in order), before descaling;
// bias is added to each (rounding and level shift).
struct Pass {
    __m256i o[8];
    PIXKIT_AVX2_TARGET Pass(__m256i r01, __m256i r23, __m256i r45, __m256i r67, __m256i bias) {
        // Even part: in0, in4 and in2, in6.
        const __m256i x04 = _mm256_unpacklo_epi16(r01, r45);
        const __m256i x26 = _mm256_unpacklo_epi16(r23, r67);
        const __m256i e0 = _mm256_add_epi32(_mm256_madd_epi16(x04, Pair(8192, 8192)), bias);
        const __m256i e1 = _mm256_add_epi32(_mm256_madd_epi16(x04, Pair(8192, -8192)), bias);
        const __m256i e2 = _mm256_madd_epi16(x26, Pair(F0_541, F0_541 - F1_847));
        const __m256i e3 = _mm256_madd_epi16(x26, Pair(F0_541 + F0_765, F0_541));
        const __m256i t10 = _mm256_add_epi32(e0, e3), t13 = _mm256_sub_epi32(e0, e3);
        const __m256i t11 = _mm256_add_epi32(e1, e2), t12 = _mm256_sub_epi32(e1, e2);
        // Odd part: p0 = in7, p1 = in5, p2 = in3, p3 = in1.
        const __m256i x71 = _mm256_unpackhi_epi16(r67, r01);
        const __m256i x53 = _mm256_unpackhi_epi16(r45, r23);
        const __m256i z34 = _mm256_unpackhi_epi16(_mm256_add_epi16(r67, r23),  // in7 + in3
                                                  _mm256_add_epi16(r45, r01)); // in5 + in1
        const __m256i z3 = _mm256_madd_epi16(z34, Pair(F1_175 - F1_961, F1_175));
        const __m256i z4 = _mm256_madd_epi16(z34, Pair(F1_175, F1_175 - F0_390));
        const __m256i p0 =
            _mm256_add_epi32(_mm256_madd_epi16(x71, Pair(F0_298 - F0_899, -F0_899)), z3);
        const __m256i p3 =
            _mm256_add_epi32(_mm256_madd_epi16(x71, Pair(-F0_899, F1_501 - F0_899)), z4);
        const __m256i p1 =
            _mm256_add_epi32(_mm256_madd_epi16(x53, Pair(F2_053 - F2_562, -F2_562)), z4);
        const __m256i p2 =
            _mm256_add_epi32(_mm256_madd_epi16(x53, Pair(-F2_562, F3_072 - F2_562)), z3);
        o[0] = _mm256_add_epi32(t10, p3);
        o[7] = _mm256_sub_epi32(t10, p3);
        o[1] = _mm256_add_epi32(t11, p2);
        o[6] = _mm256_sub_epi32(t11, p2);
        o[2] = _mm256_add_epi32(t12, p1);
        o[5] = _mm256_sub_epi32(t12, p1);
        o[3] = _mm256_add_epi32(t13, p0);
        o[4] = _mm256_sub_epi32(t13, p0);
    }
};

// Two rows of 32-bit coefficients as one register of the pass layout.
PIXKIT_AVX2_TARGET inline __m256i LoadRows(const std::int32_t* p) {
    return _mm256_packs_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8)));
}

} // namespace

PIXKIT_AVX2_TARGET void InverseDCTAvx2(const std::int32_t* coef, std::uint8_t* out, int stride) {
    // Columns: lane c of row k is coefficient (k, c). Each result is
    // descaled by 11 bits and clamped, as the portable pass 1.
    const Pass cols(LoadRows(coef), LoadRows(coef + 16), LoadRows(coef + 32), LoadRows(coef + 48),
                    _mm256_set1_epi32(1 << 10));
    const __m256i lo = _mm256_set1_epi32(-11000), hi = _mm256_set1_epi32(11000);
    __m256i w[4];
    for (int k = 0; k < 4; ++k) {
        const __m256i a =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(cols.o[2 * k], 11), lo), hi);
        const __m256i b =
            _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(cols.o[2 * k + 1], 11), lo), hi);
        w[k] = _mm256_packs_epi32(a, b); // [r 0..3, r+1 0..3 | r 4..7, r+1 4..7]
    }
    // Transpose: t01 holds columns 0 and 1 as rows of the row pass, in the
    // same layout.
    const __m256i v0 = _mm256_unpacklo_epi16(w[0], w[1]), v1 = _mm256_unpackhi_epi16(w[0], w[1]);
    const __m256i v2 = _mm256_unpacklo_epi16(w[2], w[3]), v3 = _mm256_unpackhi_epi16(w[2], w[3]);
    const __m256i x01 = _mm256_unpacklo_epi16(v0, v1); // c0, c1 rows 0..3 | c4, c5 rows 0..3
    const __m256i x23 = _mm256_unpackhi_epi16(v0, v1); // c2, c3 | c6, c7
    const __m256i y01 = _mm256_unpacklo_epi16(v2, v3); // the same, rows 4..7
    const __m256i y23 = _mm256_unpackhi_epi16(v2, v3);
    // Rows: the level shift of 128 (4096 at this scale, times 2^13) joins
    // the rounding of the 18-bit descaling.
    const Pass rows(
        _mm256_permute2x128_si256(x01, y01, 0x20), _mm256_permute2x128_si256(x23, y23, 0x20),
        _mm256_permute2x128_si256(x01, y01, 0x31), _mm256_permute2x128_si256(x23, y23, 0x31),
        _mm256_set1_epi32((1 << 17) + (4096 << 13)));
    // Result k is column k of the block, lanes rows 0..7. Saturating packs
    // clamp to 0..255; then a byte transpose gives rows.
    __m256i s[4];
    for (int k = 0; k < 4; ++k)
        s[k] = _mm256_packs_epi32(_mm256_srai_epi32(rows.o[2 * k], 18),
                                  _mm256_srai_epi32(rows.o[2 * k + 1], 18));
    // Per 128-bit lane: columns 0..3 (or 4..7) of rows 0..3 (or 4..7),
    // column by column; reordered row by row.
    const __m256i order = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0,
                                           4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m256i left = _mm256_shuffle_epi8(_mm256_packus_epi16(s[0], s[1]), order);
    const __m256i right = _mm256_shuffle_epi8(_mm256_packus_epi16(s[2], s[3]), order);
    const __m256i r01 = _mm256_unpacklo_epi32(left, right); // rows 0, 1 | rows 4, 5
    const __m256i r23 = _mm256_unpackhi_epi32(left, right); // rows 2, 3 | rows 6, 7
    const __m128i q[4] = {_mm256_castsi256_si128(r01), _mm256_castsi256_si128(r23),
                          _mm256_extracti128_si256(r01, 1), _mm256_extracti128_si256(r23, 1)};
    for (int k = 0; k < 4; ++k) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * k) * stride), q[k]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * k + 1) * stride),
                         _mm_unpackhi_epi64(q[k], q[k]));
    }
}

} // namespace pixkit::jpeg

#endif
