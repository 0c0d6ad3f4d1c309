// Shared pieces of the JPEG codec's AVX2 files (included only where
// PIXKIT_HAS_AVX2_TARGET is set): the transform's 13-bit constants and the
// 16-bit pairs for multiply-add.
#pragma once

#include "jpeg_vector.h"

#include <immintrin.h>

namespace pixkit::jpeg::avx2 {

// The integer DCT's constants scaled by 2^13 (as in jpeg_dct.cpp).
constexpr int F0_298 = 2446, F0_390 = 3196, F0_541 = 4433, F0_765 = 6270, F0_899 = 7373,
              F1_175 = 9633, F1_501 = 12299, F1_847 = 15137, F1_961 = 16069, F2_053 = 16819,
              F2_562 = 20995, F3_072 = 25172;

// A pair (a, b) for multiply-add with interleaved 16-bit (x, y): a*x + b*y.
PIXKIT_AVX2_TARGET inline __m256i Pair(int a, int b) {
    return _mm256_set1_epi32(
        static_cast<int>((static_cast<unsigned>(b) << 16) | (static_cast<unsigned>(a) & 0xFFFF)));
}

} // namespace pixkit::jpeg::avx2
