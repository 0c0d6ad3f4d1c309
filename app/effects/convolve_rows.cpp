#include "effects/convolve_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv::convolve {

namespace {

// --- AVX2 and FMA -------------------------------------------------------

// Lanes hold two pixels of four channels in memory order (blue, green, red,
// top byte); the top-byte lanes have weight and bias 0, so their result is 0.
template <int N> __attribute__((target("avx2,fma"))) bool RowAvx2(const RowJob& job) {
    alignas(32) float w[N * N][8];
    for (int t = 0; t < N * N; ++t)
        for (int j = 0; j < 8; ++j) w[t][j] = (j & 3) == 3 ? 0.0f : job.Weights[t];
    const float b = job.Bias;
    const __m256 start = _mm256_setr_ps(b, b, b, 0, b, b, b, 0);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 slack = _mm256_set1_ps(job.Slack);
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const bool check = job.Slack > 0;
    bool any = false;
    for (int i = 0, block = 0; i < job.Lanes; i += kBlockLanes, ++block) {
        // Eight independent sums keep the multiply-add units busy.
        __m256 s[8];
        for (int k = 0; k < 8; ++k) s[k] = start;
        for (int dy = 0; dy < N; ++dy) {
            const float* r = job.Rows[dy] + i;
            for (int dx = 0; dx < N; ++dx) {
                const __m256 wt = _mm256_load_ps(w[dy * N + dx]);
                for (int k = 0; k < 8; ++k)
                    s[k] = _mm256_fmadd_ps(wt, _mm256_loadu_ps(r + 4 * dx + 8 * k), s[k]);
            }
        }
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k) {
            s[k] = _mm256_add_ps(s[k], half);
            if (!check) continue;
            const __m256 nearest =
                _mm256_round_ps(s[k], _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            const __m256 d = _mm256_and_ps(magnitude, _mm256_sub_ps(s[k], nearest));
            const __m256 m = _mm256_cmp_ps(d, slack, _CMP_LT_OQ);
            bits |= std::uint64_t(unsigned(_mm256_movemask_ps(m))) << (8 * k);
        }
        job.Suspects[block] = bits;
        any |= bits != 0;
        // Truncation, then saturation to 0..255 by the two packs (|sum| stays
        // far below 2^31). The last block may end in a scratch copy.
        alignas(32) std::uint8_t tail[kBlockLanes];
        const bool whole = i + kBlockLanes <= job.Lanes;
        std::uint8_t* out = whole ? job.Out + i : tail;
        for (int h = 0; h < 2; ++h) {
            const __m256i q0 = _mm256_cvttps_epi32(s[4 * h]);
            const __m256i q1 = _mm256_cvttps_epi32(s[4 * h + 1]);
            const __m256i q2 = _mm256_cvttps_epi32(s[4 * h + 2]);
            const __m256i q3 = _mm256_cvttps_epi32(s[4 * h + 3]);
            const __m256i bytes =
                _mm256_packus_epi16(_mm256_packs_epi32(q0, q1), _mm256_packs_epi32(q2, q3));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * h),
                                _mm256_permutevar8x32_epi32(bytes, order));
        }
        if (!whole) std::memcpy(job.Out + i, tail, static_cast<std::size_t>(job.Lanes - i));
    }
    return any;
}

__attribute__((target("avx2"))) void BytesToFloatsAvx2(const std::uint8_t* in, int n, float* out) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
        _mm256_storeu_ps(out + i, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(b)));
    }
    for (; i < n; ++i) out[i] = in[i];
}

// --- Generic ------------------------------------------------------------

typedef float v8f __attribute__((vector_size(32)));

template <int N> void SumsGeneric(const RowJob& job) {
    v8f wv[N * N];
    for (int t = 0; t < N * N; ++t) {
        const float x = job.Weights[t];
        wv[t] = v8f{x, x, x, 0, x, x, x, 0};
    }
    const float b = job.Bias;
    const v8f start{b, b, b, 0, b, b, b, 0};
    for (int i = 0; i < job.Lanes; i += kBlockLanes) {
        v8f s[8];
        for (int k = 0; k < 8; ++k) s[k] = start;
        for (int dy = 0; dy < N; ++dy) {
            const float* r = job.Rows[dy] + i;
            for (int dx = 0; dx < N; ++dx)
                for (int k = 0; k < 8; ++k) {
                    v8f x;
                    std::memcpy(&x, r + 4 * dx + 8 * k, sizeof x);
                    s[k] += wv[dy * N + dx] * x;
                }
        }
        std::memcpy(job.Sums + i, s, sizeof s);
    }
}

bool QuantiseGeneric(const RowJob& job) {
    bool any = false;
    for (int i = 0, block = 0; i < job.Lanes; i += kBlockLanes, ++block) {
        std::uint64_t bits = 0;
        for (int j = 0; j < kBlockLanes && i + j < job.Lanes; ++j) {
            const float t = job.Sums[i + j] + 0.5f;
            job.Out[i + j] =
                static_cast<std::uint8_t>(static_cast<int>(std::clamp(t, 0.0f, 255.0f)));
            if (std::fabs(t - std::nearbyint(t)) < job.Slack) bits |= std::uint64_t(1) << j;
        }
        job.Suspects[block] = bits;
        any |= bits != 0;
    }
    return any;
}

} // namespace

bool FilterRowVector(const RowJob& job, int n) {
    return n == 3 ? RowAvx2<3>(job) : RowAvx2<5>(job);
}

bool FilterRowGeneric(const RowJob& job, int n) {
    if (n == 3)
        SumsGeneric<3>(job);
    else
        SumsGeneric<5>(job);
    return QuantiseGeneric(job);
}

void BytesToFloats(const std::uint8_t* in, int n, float* out, bool vector) {
    if (vector) {
        BytesToFloatsAvx2(in, n, out);
        return;
    }
    for (int i = 0; i < n; ++i) out[i] = in[i];
}

bool VectorUnitPresent() {
    static const bool present = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return present;
}

} // namespace kv::convolve
