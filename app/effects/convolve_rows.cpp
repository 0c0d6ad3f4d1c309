#include "effects/convolve_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv::convolve {

namespace {

// --- AVX2 and FMA -------------------------------------------------------

// Lanes hold the blue, green and red channels of the pixels in turn; a tap
// dx pixels to the right is 3 dx lanes on.
template <int N> __attribute__((target("avx2,fma"))) bool RowAvx2(const RowJob& job) {
    const __m256 start = _mm256_set1_ps(job.Bias);
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
                const __m256 wt = _mm256_broadcast_ss(job.Weights + dy * N + dx);
                for (int k = 0; k < 8; ++k)
                    s[k] = _mm256_fmadd_ps(wt, _mm256_loadu_ps(r + 3 * dx + 8 * k), s[k]);
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
        // far below 2^31).
        for (int h = 0; h < 2; ++h) {
            const __m256i q0 = _mm256_cvttps_epi32(s[4 * h]);
            const __m256i q1 = _mm256_cvttps_epi32(s[4 * h + 1]);
            const __m256i q2 = _mm256_cvttps_epi32(s[4 * h + 2]);
            const __m256i q3 = _mm256_cvttps_epi32(s[4 * h + 3]);
            const __m256i bytes =
                _mm256_packus_epi16(_mm256_packs_epi32(q0, q1), _mm256_packs_epi32(q2, q3));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.Out + i + 32 * h),
                                _mm256_permutevar8x32_epi32(bytes, order));
        }
    }
    return any;
}

// Eight pixels at a time: their blue, green and red bytes as 24 floats.
__attribute__((target("avx2"))) void ChannelsToFloatsAvx2(const Pixel* in, int pixels, float* out) {
    const __m256i compact =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                         8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    int p = 0;
    for (; p + 8 <= pixels; p += 8, out += 24) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + p));
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(px, compact), join);
        const __m128i low = _mm256_castsi256_si128(bytes);
        const __m128i parts[3] = {low, _mm_srli_si128(low, 8), _mm256_extracti128_si256(bytes, 1)};
        for (int k = 0; k < 3; ++k)
            _mm256_storeu_ps(out + 8 * k, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(parts[k])));
    }
    for (; p < pixels; ++p, out += 3)
        for (int c = 0; c < 3; ++c) out[c] = static_cast<float>((in[p] >> (8 * c)) & 0xFF);
}

// Eight pixels at a time from 24 channel bytes, top byte 0. Reads up to 8
// bytes past the last channel.
__attribute__((target("avx2"))) void PixelsFromChannelsAvx2(const std::uint8_t* in, int pixels,
                                                            Pixel* out) {
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
    const __m256i widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                           1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int p = 0;
    for (; p + 8 <= pixels; p += 8, in += 24) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + p),
                            _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(bytes, spread), widen));
    }
    for (; p < pixels; ++p, in += 3) out[p] = Pixel(in[0]) | Pixel(in[1]) << 8 | Pixel(in[2]) << 16;
}

// --- Generic ------------------------------------------------------------

typedef float v8f __attribute__((vector_size(32)));

template <int N> void SumsGeneric(const RowJob& job) {
    v8f wv[N * N];
    for (int t = 0; t < N * N; ++t) wv[t] = v8f{} + job.Weights[t];
    const v8f start = v8f{} + job.Bias;
    for (int i = 0; i < job.Lanes; i += kBlockLanes) {
        v8f s[8];
        for (int k = 0; k < 8; ++k) s[k] = start;
        for (int dy = 0; dy < N; ++dy) {
            const float* r = job.Rows[dy] + i;
            for (int dx = 0; dx < N; ++dx)
                for (int k = 0; k < 8; ++k) {
                    v8f x;
                    std::memcpy(&x, r + 3 * dx + 8 * k, sizeof x);
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
        for (int j = 0; j < kBlockLanes; ++j) {
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

void ChannelsToFloats(const Pixel* in, int pixels, float* out, bool vector) {
    if (vector) {
        ChannelsToFloatsAvx2(in, pixels, out);
        return;
    }
    for (int p = 0; p < pixels; ++p, out += 3)
        for (int c = 0; c < 3; ++c) out[c] = static_cast<float>((in[p] >> (8 * c)) & 0xFF);
}

void PixelsFromChannels(const std::uint8_t* in, int pixels, Pixel* out, bool vector) {
    if (vector) {
        PixelsFromChannelsAvx2(in, pixels, out);
        return;
    }
    for (int p = 0; p < pixels; ++p, in += 3)
        out[p] = Pixel(in[0]) | Pixel(in[1]) << 8 | Pixel(in[2]) << 16;
}

bool VectorUnitPresent() {
    static const bool present = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return present;
}

} // namespace kv::convolve
