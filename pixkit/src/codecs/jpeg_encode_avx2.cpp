// The encoder's per-block arithmetic in AVX2, each function giving exactly
// the results of its portable version in jpeg_encode.cpp and jpeg_dct.cpp.
// Blocks are 32-byte aligned and moved with whole aligned loads and stores:
// the unaligned forms may be split in two halves, and a whole load of a
// block just stored in halves waits for the stores to complete.
#include "jpeg_vector.h"

#if PIXKIT_HAS_AVX2_TARGET
#include "jpeg_avx2.h"

namespace pixkit::jpeg {

namespace {

using namespace avx2;

PIXKIT_AVX2_TARGET inline __m256i Mul(__m256i a, int c) {
    return _mm256_mullo_epi32(a, _mm256_set1_epi32(c));
}
PIXKIT_AVX2_TARGET inline __m256i Add(__m256i a, __m256i b) {
    return _mm256_add_epi32(a, b);
}
PIXKIT_AVX2_TARGET inline __m256i Sub(__m256i a, __m256i b) {
    return _mm256_sub_epi32(a, b);
}
template <int N> PIXKIT_AVX2_TARGET inline __m256i Descale(__m256i a) {
    return _mm256_srai_epi32(_mm256_add_epi32(a, _mm256_set1_epi32(1 << (N - 1))), N);
}

// Eight registers as one block (by reference, so they stay in registers).
#define PIXKIT_ROWS                                                                                \
    __m256i &d0, __m256i &d1, __m256i &d2, __m256i &d3, __m256i &d4, __m256i &d5, __m256i &d6,     \
        __m256i &d7
#define PIXKIT_ALWAYS_INLINE __attribute__((always_inline)) inline

// The row pass of jpeg_dct.cpp's FdctLanes on 8 lanes of 32 bits: dk is
// input k of every lane, the results replace it.
PIXKIT_AVX2_TARGET PIXKIT_ALWAYS_INLINE void RowPass(PIXKIT_ROWS) {
    constexpr int down = 15;
    const __m256i t0 = Add(d0, d7), t7 = Sub(d0, d7);
    const __m256i t1 = Add(d1, d6), t6 = Sub(d1, d6);
    const __m256i t2 = Add(d2, d5), t5 = Sub(d2, d5);
    const __m256i t3 = Add(d3, d4), t4 = Sub(d3, d4);
    const __m256i t10 = Add(t0, t3), t13 = Sub(t0, t3), t11 = Add(t1, t2), t12 = Sub(t1, t2);
    d0 = Descale<2>(Add(t10, t11));
    d4 = Descale<2>(Sub(t10, t11));
    const __m256i z1 = Mul(Add(t12, t13), F0_541);
    d2 = Descale<down>(Add(z1, Mul(t13, F0_765)));
    d6 = Descale<down>(Sub(z1, Mul(t12, F1_847)));
    const __m256i q5 = Mul(Add(Add(t4, t6), Add(t5, t7)), F1_175);
    const __m256i q1 = Mul(Add(t4, t7), -F0_899), q2 = Mul(Add(t5, t6), -F2_562);
    const __m256i q3 = Add(Mul(Add(t4, t6), -F1_961), q5);
    const __m256i q4 = Add(Mul(Add(t5, t7), -F0_390), q5);
    d7 = Descale<down>(Add(Add(Mul(t4, F0_298), q1), q3));
    d5 = Descale<down>(Add(Add(Mul(t5, F2_053), q2), q4));
    d3 = Descale<down>(Add(Add(Mul(t6, F3_072), q2), q3));
    d1 = Descale<down>(Add(Add(Mul(t7, F1_501), q1), q4));
}

PIXKIT_AVX2_TARGET PIXKIT_ALWAYS_INLINE void Transpose(PIXKIT_ROWS) {
    const __m256i a0 = _mm256_unpacklo_epi32(d0, d1), a1 = _mm256_unpackhi_epi32(d0, d1);
    const __m256i a2 = _mm256_unpacklo_epi32(d2, d3), a3 = _mm256_unpackhi_epi32(d2, d3);
    const __m256i a4 = _mm256_unpacklo_epi32(d4, d5), a5 = _mm256_unpackhi_epi32(d4, d5);
    const __m256i a6 = _mm256_unpacklo_epi32(d6, d7), a7 = _mm256_unpackhi_epi32(d6, d7);
    const __m256i b0 = _mm256_unpacklo_epi64(a0, a2), b1 = _mm256_unpackhi_epi64(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi64(a1, a3), b3 = _mm256_unpackhi_epi64(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi64(a4, a6), b5 = _mm256_unpackhi_epi64(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi64(a5, a7), b7 = _mm256_unpackhi_epi64(a5, a7);
    d0 = _mm256_permute2x128_si256(b0, b4, 0x20);
    d1 = _mm256_permute2x128_si256(b1, b5, 0x20);
    d2 = _mm256_permute2x128_si256(b2, b6, 0x20);
    d3 = _mm256_permute2x128_si256(b3, b7, 0x20);
    d4 = _mm256_permute2x128_si256(b0, b4, 0x31);
    d5 = _mm256_permute2x128_si256(b1, b5, 0x31);
    d6 = _mm256_permute2x128_si256(b2, b6, 0x31);
    d7 = _mm256_permute2x128_si256(b3, b7, 0x31);
}

// ((a*B + b*R + c*G + 64) >> 7) for 8 pixels split into B, R word pairs and
// G words.
PIXKIT_AVX2_TARGET inline __m256i Weigh(__m256i br, __m256i g, int b, int r, int gw) {
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(br, Pair(b, r)),
                                                               _mm256_madd_epi16(g, Pair(gw, 0))),
                                              _mm256_set1_epi32(64)),
                             7);
}

// The column pass on 16-bit samples: rows p and q (p + q = 7) packed as
// [p 0..3, q 0..3 | p 4..7, q 4..7], sums and differences formed on 16
// bits (samples are -128..127), each product pair by one multiply-add.
// The odd outputs expand the portable sums into one weight per input,
//   o7 = t4 (F0_298 - F0_899 - F1_961 + F1_175) + t7 (F1_175 - F0_899)
//        + t5 F1_175 + t6 (F1_175 - F1_961)
// and so on, equal to the portable results (no sum overflows).
PIXKIT_AVX2_TARGET PIXKIT_ALWAYS_INLINE void ColumnPass(const std::int32_t* in, PIXKIT_ROWS) {
    const auto* src = reinterpret_cast<const __m256i*>(in);
    __m256i sum[4], diff[4]; // low 64 bits of each lane: row k + row 7-k, row k - row 7-k
    for (int k = 0; k < 4; ++k) {
        const __m256i pq =
            _mm256_packs_epi32(_mm256_load_si256(src + k), _mm256_load_si256(src + 7 - k));
        const __m256i qp = _mm256_shuffle_epi32(pq, _MM_SHUFFLE(1, 0, 3, 2));
        sum[k] = _mm256_add_epi16(pq, qp);
        diff[k] = _mm256_sub_epi16(pq, qp);
    }
    // t0..t3 in sum, t7..t4 in diff.
    const __m256i t10 = _mm256_add_epi16(sum[0], sum[3]), t13 = _mm256_sub_epi16(sum[0], sum[3]);
    const __m256i t11 = _mm256_add_epi16(sum[1], sum[2]), t12 = _mm256_sub_epi16(sum[1], sum[2]);
    const __m256i x1011 = _mm256_unpacklo_epi16(t10, t11), x1213 = _mm256_unpacklo_epi16(t12, t13);
    d0 = _mm256_madd_epi16(x1011, Pair(4, 4));
    d4 = _mm256_madd_epi16(x1011, Pair(4, -4));
    const __m256i round = _mm256_set1_epi32(1 << 10);
    auto down = [&](__m256i v) PIXKIT_AVX2_TARGET {
        return _mm256_srai_epi32(_mm256_add_epi32(v, round), 11);
    };
    d2 = down(_mm256_madd_epi16(x1213, Pair(F0_541, F0_541 + F0_765)));
    d6 = down(_mm256_madd_epi16(x1213, Pair(F0_541 - F1_847, F0_541)));
    const __m256i x47 = _mm256_unpacklo_epi16(diff[3], diff[0]); // t4, t7
    const __m256i x56 = _mm256_unpacklo_epi16(diff[2], diff[1]); // t5, t6
    auto odd = [&](int a4, int a7, int a5, int a6) PIXKIT_AVX2_TARGET {
        return down(_mm256_add_epi32(_mm256_madd_epi16(x47, Pair(a4, a7)),
                                     _mm256_madd_epi16(x56, Pair(a5, a6))));
    };
    d7 = odd(F0_298 - F0_899 - F1_961 + F1_175, F1_175 - F0_899, F1_175, F1_175 - F1_961);
    d5 = odd(F1_175, F1_175 - F0_390, F2_053 - F2_562 - F0_390 + F1_175, F1_175 - F2_562);
    d3 = odd(F1_175 - F1_961, F1_175, F1_175 - F2_562, F3_072 - F2_562 - F1_961 + F1_175);
    d1 = odd(F1_175 - F0_899, F1_501 - F0_899 - F0_390 + F1_175, F1_175 - F0_390, F1_175);
}

// The transform of a block into registers, row k of the result in dk.
PIXKIT_AVX2_TARGET PIXKIT_ALWAYS_INLINE void Fdct(const std::int32_t* in, PIXKIT_ROWS) {
    ColumnPass(in, d0, d1, d2, d3, d4, d5, d6, d7);
    Transpose(d0, d1, d2, d3, d4, d5, d6, d7);
    RowPass(d0, d1, d2, d3, d4, d5, d6, d7);
    Transpose(d0, d1, d2, d3, d4, d5, d6, d7);
}

// x = coefficient / step as a product with the reciprocal, then x plus half
// with x's sign, truncated: the portable rounding step for step (separate
// multiply and add, no fused operation). Stores the row; returns a bit per
// non-zero result.
PIXKIT_AVX2_TARGET PIXKIT_ALWAYS_INLINE std::uint64_t QuantizeRow(__m256i d, const float* recip,
                                                                  std::int32_t* out) {
    const __m256 x = _mm256_mul_ps(_mm256_cvtepi32_ps(d), _mm256_load_ps(recip));
    const __m256 half = _mm256_or_ps(_mm256_and_ps(x, _mm256_set1_ps(-0.0f)), _mm256_set1_ps(0.5f));
    const __m256i q = _mm256_cvttps_epi32(_mm256_add_ps(x, half));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), q);
    const unsigned zeros = unsigned(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(q, _mm256_setzero_si256()))));
    return ~zeros & 255;
}

} // namespace

PIXKIT_AVX2_TARGET void ForwardDCTAvx2(const std::int32_t* in, std::int32_t* out) {
    __m256i d0, d1, d2, d3, d4, d5, d6, d7;
    Fdct(in, d0, d1, d2, d3, d4, d5, d6, d7);
    auto* dst = reinterpret_cast<__m256i*>(out);
    _mm256_store_si256(dst, d0);
    _mm256_store_si256(dst + 1, d1);
    _mm256_store_si256(dst + 2, d2);
    _mm256_store_si256(dst + 3, d3);
    _mm256_store_si256(dst + 4, d4);
    _mm256_store_si256(dst + 5, d5);
    _mm256_store_si256(dst + 6, d6);
    _mm256_store_si256(dst + 7, d7);
}

PIXKIT_AVX2_TARGET std::uint64_t ForwardDctQuantizeAvx2(const std::int32_t* in, const float* recip,
                                                        std::int32_t* out) {
    __m256i d0, d1, d2, d3, d4, d5, d6, d7;
    Fdct(in, d0, d1, d2, d3, d4, d5, d6, d7);
    return QuantizeRow(d0, recip, out) | QuantizeRow(d1, recip + 8, out + 8) << 8 |
           QuantizeRow(d2, recip + 16, out + 16) << 16 |
           QuantizeRow(d3, recip + 24, out + 24) << 24 |
           QuantizeRow(d4, recip + 32, out + 32) << 32 |
           QuantizeRow(d5, recip + 40, out + 40) << 40 |
           QuantizeRow(d6, recip + 48, out + 48) << 48 |
           QuantizeRow(d7, recip + 56, out + 56) << 56;
}

PIXKIT_AVX2_TARGET void ConvertBlockAvx2(const Pixel* p, int pitch, std::int32_t* y,
                                         std::int32_t* cb, std::int32_t* cr) {
    const __m256i lowBytes = _mm256_set1_epi32(0x00FF00FF), low = _mm256_set1_epi32(255);
    for (int r = 0; r < 8; ++r, p += pitch) {
        // The picture is read in strips of 8 rows: fetching each row some
        // blocks ahead hides the memory latency the processor's own
        // prefetching leaves.
        _mm_prefetch(reinterpret_cast<const char*>(p + 64), _MM_HINT_T0);
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i br = _mm256_and_si256(v, lowBytes);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(v, 8), low);
        _mm256_store_si256(reinterpret_cast<__m256i*>(y + 8 * r),
                           _mm256_sub_epi32(Weigh(br, g, 15, 38, 75), _mm256_set1_epi32(128)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(cb + 8 * r), Weigh(br, g, 64, -22, -42));
        _mm256_store_si256(reinterpret_cast<__m256i*>(cr + 8 * r), Weigh(br, g, -10, 64, -54));
    }
}

} // namespace pixkit::jpeg

#endif
