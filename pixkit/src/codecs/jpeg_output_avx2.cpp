// The decoder's YCbCr to RGB conversion in AVX2, 16 pixels at a time on
// 16-bit lanes. The portable version's products with 91881, 46802 and
// 116130 do not fit a 16-bit multiplier; each is split into a multiple of
// 65536, which adds a whole Cr or Cb after the 16-bit shift, and a part
// that fits:
//   (91881 Cr + 2^15) >> 16 = Cr + ((26345 Cr + 2^15) >> 16)
//   (116130 Cb + 2^15) >> 16 = 2 Cb + ((-14942 Cb + 2^15) >> 16)
//   (-22554 Cb - 46802 Cr + 2^15) >> 16 = -Cr + ((-22554 Cb + 18734 Cr + 2^15) >> 16)
// exactly (an arithmetic shift is a floor), so every pixel equals the
// portable one.
#include "jpeg_vector.h"

#if PIXKIT_HAS_AVX2_TARGET
#include "jpeg_avx2.h"

namespace pixkit::jpeg {

namespace {

using namespace avx2;

// (a x + b y + 2^15) >> 16 for the interleaved pairs of x and y, back in
// the order of x and y.
PIXKIT_AVX2_TARGET inline __m256i Term(__m256i x, __m256i y, __m256i pair) {
    const __m256i half = _mm256_set1_epi32(1 << 15);
    const __m256i lo = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(x, y), pair), half), 16);
    const __m256i hi = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(x, y), pair), half), 16);
    return _mm256_packs_epi32(lo, hi);
}

PIXKIT_AVX2_TARGET inline __m256i Widen(const std::uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

} // namespace

PIXKIT_AVX2_TARGET void ConvertYCbCrAvx2(const std::uint8_t* y, const std::uint8_t* cb,
                                         const std::uint8_t* cr, Pixel* out, int n) {
    const __m256i bias = _mm256_set1_epi16(128), zero = _mm256_setzero_si256();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i Y = Widen(y + i);
        const __m256i Cb = _mm256_sub_epi16(Widen(cb + i), bias);
        const __m256i Cr = _mm256_sub_epi16(Widen(cr + i), bias);
        // Saturating packs clamp to 0..255 (the sums fit 16 bits).
        const __m256i r = _mm256_add_epi16(_mm256_add_epi16(Y, Cr), Term(Cr, zero, Pair(26345, 0)));
        const __m256i g =
            _mm256_add_epi16(_mm256_sub_epi16(Y, Cr), Term(Cb, Cr, Pair(-22554, 18734)));
        const __m256i b = _mm256_add_epi16(_mm256_add_epi16(Y, _mm256_add_epi16(Cb, Cb)),
                                           Term(Cb, zero, Pair(-14942, 0)));
        // Bytes B, G, R, 0 per pixel; each lane holds pixels 0..7 (or
        // 8..15) of its packs twice, of which the low half is used.
        const __m256i bg =
            _mm256_unpacklo_epi8(_mm256_packus_epi16(b, b), _mm256_packus_epi16(g, g));
        const __m256i r0 = _mm256_unpacklo_epi8(_mm256_packus_epi16(r, r), zero);
        const __m256i first = _mm256_unpacklo_epi16(bg, r0);  // pixels 0..3 | 8..11
        const __m256i second = _mm256_unpackhi_epi16(bg, r0); // pixels 4..7 | 12..15
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permute2x128_si256(first, second, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 8),
                            _mm256_permute2x128_si256(first, second, 0x31));
    }
    ConvertYCbCrPortable(y + i, cb + i, cr + i, out + i, n - i);
}

} // namespace pixkit::jpeg

#endif
