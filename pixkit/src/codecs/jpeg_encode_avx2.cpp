// The encoder's per-block arithmetic in AVX2, each function giving exactly
// the results of its portable version in jpeg_encode.cpp and jpeg_dct.cpp.
// Blocks are 32-byte aligned and moved with whole aligned loads and stores:
// the unaligned forms may be split in two halves, and a whole load of a
// block just stored in halves waits for the stores to complete.
#include "jpeg_vector.h"

#if PIXKIT_HAS_AVX2_TARGET
#include <immintrin.h>

namespace pixkit::jpeg {

namespace {

constexpr int F0_298 = 2446, F0_390 = 3196, F0_541 = 4433, F0_765 = 6270, F0_899 = 7373,
              F1_175 = 9633, F1_501 = 12299, F1_847 = 15137, F1_961 = 16069, F2_053 = 16819,
              F2_562 = 20995, F3_072 = 25172;

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

// The forward 8-point transform of jpeg_dct.cpp's FdctLanes on 8 lanes:
// dk is input k of every lane, the results replace it.
template <bool First> PIXKIT_AVX2_TARGET PIXKIT_ALWAYS_INLINE void Fdct8(PIXKIT_ROWS) {
    constexpr int down = First ? 11 : 15;
    const __m256i t0 = Add(d0, d7), t7 = Sub(d0, d7);
    const __m256i t1 = Add(d1, d6), t6 = Sub(d1, d6);
    const __m256i t2 = Add(d2, d5), t5 = Sub(d2, d5);
    const __m256i t3 = Add(d3, d4), t4 = Sub(d3, d4);
    const __m256i t10 = Add(t0, t3), t13 = Sub(t0, t3), t11 = Add(t1, t2), t12 = Sub(t1, t2);
    if constexpr (First) {
        d0 = _mm256_slli_epi32(Add(t10, t11), 2);
        d4 = _mm256_slli_epi32(Sub(t10, t11), 2);
    } else {
        d0 = Descale<2>(Add(t10, t11));
        d4 = Descale<2>(Sub(t10, t11));
    }
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

// A pair (a, b) for multiply-add with interleaved 16-bit (x, y): a*x + b*y.
PIXKIT_AVX2_TARGET inline __m256i Pair(int a, int b) {
    return _mm256_set1_epi32(
        static_cast<int>((static_cast<unsigned>(b) << 16) | (static_cast<unsigned>(a) & 0xFFFF)));
}

// ((a*B + b*R + c*G + 64) >> 7) for 8 pixels split into B, R word pairs and
// G words.
PIXKIT_AVX2_TARGET inline __m256i Weigh(__m256i br, __m256i g, int b, int r, int gw) {
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(br, Pair(b, r)),
                                                               _mm256_madd_epi16(g, Pair(gw, 0))),
                                              _mm256_set1_epi32(64)),
                             7);
}

} // namespace

PIXKIT_AVX2_TARGET void ForwardDCTAvx2(const std::int32_t* in, std::int32_t* out) {
    const auto* src = reinterpret_cast<const __m256i*>(in);
    __m256i d0 = _mm256_load_si256(src), d1 = _mm256_load_si256(src + 1),
            d2 = _mm256_load_si256(src + 2), d3 = _mm256_load_si256(src + 3),
            d4 = _mm256_load_si256(src + 4), d5 = _mm256_load_si256(src + 5),
            d6 = _mm256_load_si256(src + 6), d7 = _mm256_load_si256(src + 7);
    Fdct8<true>(d0, d1, d2, d3, d4, d5, d6, d7);
    Transpose(d0, d1, d2, d3, d4, d5, d6, d7);
    Fdct8<false>(d0, d1, d2, d3, d4, d5, d6, d7);
    Transpose(d0, d1, d2, d3, d4, d5, d6, d7);
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

PIXKIT_AVX2_TARGET void ConvertBlockAvx2(const Pixel* p, int pitch, std::int32_t* y,
                                         std::int32_t* cb, std::int32_t* cr) {
    const __m256i lowBytes = _mm256_set1_epi32(0x00FF00FF), low = _mm256_set1_epi32(255);
    for (int r = 0; r < 8; ++r, p += pitch) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i br = _mm256_and_si256(v, lowBytes);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(v, 8), low);
        _mm256_store_si256(reinterpret_cast<__m256i*>(y + 8 * r),
                           _mm256_sub_epi32(Weigh(br, g, 15, 38, 75), _mm256_set1_epi32(128)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(cb + 8 * r), Weigh(br, g, 64, -22, -42));
        _mm256_store_si256(reinterpret_cast<__m256i*>(cr + 8 * r), Weigh(br, g, -10, 64, -54));
    }
}

// x = coefficient / step as a product with the reciprocal, then x plus half
// with x's sign, truncated: the portable rounding step for step (separate
// multiply and add, no fused operation).
PIXKIT_AVX2_TARGET std::uint64_t QuantizeAvx2(const std::int32_t* dct, const float* recip,
                                              std::int32_t* out) {
    const __m256 sign = _mm256_set1_ps(-0.0f), half = _mm256_set1_ps(0.5f);
    const __m256i zero = _mm256_setzero_si256();
    std::uint64_t nonzero = 0;
    for (int r = 0; r < 8; ++r) {
        const __m256 x = _mm256_mul_ps(
            _mm256_cvtepi32_ps(_mm256_load_si256(reinterpret_cast<const __m256i*>(dct + 8 * r))),
            _mm256_load_ps(recip + 8 * r));
        const __m256i q =
            _mm256_cvttps_epi32(_mm256_add_ps(x, _mm256_or_ps(_mm256_and_ps(x, sign), half)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + 8 * r), q);
        const unsigned zeros =
            unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(q, zero))));
        nonzero |= std::uint64_t(~zeros & 255) << (8 * r);
    }
    return nonzero;
}

} // namespace pixkit::jpeg

#endif
