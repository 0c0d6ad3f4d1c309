// The 8 x 8 transforms: the separable integer DCT of Loeffler, Ligtenberg and
// Moschytz (ICASSP 1989) with 13-bit constants, in both directions.
//
// The inverse works in two passes: columns with two extra bits of precision,
// then rows. Coefficients arrive clamped to +-2048, which valid 8-bit data
// never exceeds, and the column results are clamped to a bound valid data
// stays below, so that damaged data cannot overflow 32 bits.
#include "jpeg.h"
#include "jpeg_vector.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pixkit::jpeg {

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// Constants scaled by 2^13.
constexpr int F0_298 = 2446;  // 0.298631336
constexpr int F0_390 = 3196;  // 0.390180644
constexpr int F0_541 = 4433;  // 0.541196100
constexpr int F0_765 = 6270;  // 0.765366865
constexpr int F0_899 = 7373;  // 0.899976223
constexpr int F1_175 = 9633;  // 1.175875602
constexpr int F1_501 = 12299; // 1.501321110
constexpr int F1_847 = 15137; // 1.847759065
constexpr int F1_961 = 16069; // 1.961570560
constexpr int F2_053 = 16819; // 2.053119869
constexpr int F2_562 = 20995; // 2.562915447
constexpr int F3_072 = 25172; // 3.072711026

template <typename T> constexpr T Descale(T x, int n) {
    return (x + (T(1) << (n - 1))) >> n;
}

// One 8-point inverse transform of in[0], in[s], ... in[7s] into out[0..7],
// before the final descaling.
template <typename T> struct Idct8 {
    T o[8];
    Idct8(const T* in, int s) {
        const T z2 = in[2 * s], z3 = in[6 * s];
        const T z1 = (z2 + z3) * F0_541;
        const T e2 = z1 - z3 * F1_847;
        const T e3 = z1 + z2 * F0_765;
        const T e0 = (in[0] + in[4 * s]) * (T(1) << kConstBits);
        const T e1 = (in[0] - in[4 * s]) * (T(1) << kConstBits);
        const T t10 = e0 + e3, t13 = e0 - e3, t11 = e1 + e2, t12 = e1 - e2;

        T p0 = in[7 * s], p1 = in[5 * s], p2 = in[3 * s], p3 = in[s];
        T q1 = p0 + p3, q2 = p1 + p2, q3 = p0 + p2, q4 = p1 + p3;
        const T q5 = (q3 + q4) * F1_175;
        p0 *= F0_298;
        p1 *= F2_053;
        p2 *= F3_072;
        p3 *= F1_501;
        q1 *= -F0_899;
        q2 *= -F2_562;
        q3 = q3 * -F1_961 + q5;
        q4 = q4 * -F0_390 + q5;
        p0 += q1 + q3;
        p1 += q2 + q4;
        p2 += q2 + q3;
        p3 += q1 + q4;

        o[0] = t10 + p3;
        o[7] = t10 - p3;
        o[1] = t11 + p2;
        o[6] = t11 - p2;
        o[2] = t12 + p1;
        o[5] = t12 - p1;
        o[3] = t13 + p0;
        o[4] = t13 - p0;
    }
};

// Pass-1 results of valid data stay below about 8000 (coefficients of
// samples in 0..255 plus quantization error); at this bound the row pass
// cannot overflow 32 bits (its largest sum is below 178220 times it).
constexpr std::int32_t kPass1Limit = 11000;

// The 8-point transform on 8 lanes at once: lane i of input k is
// in[k * 8 + i], results go to out[k * 8 + i] after descaling by shift.
// Straight-line code over contiguous lanes, which the compiler turns into
// vector instructions.
inline void IdctLanes(const std::int32_t* in, std::int32_t* out, int shift, std::int32_t limit) {
    for (int i = 0; i < 8; ++i) {
        const Idct8<std::int32_t> t(in + i, 8);
        for (int k = 0; k < 8; ++k)
            out[k * 8 + i] = std::clamp(Descale(t.o[k], shift), -limit, limit);
    }
}

inline void Transpose(const std::int32_t* in, std::int32_t* out) {
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) out[c * 8 + r] = in[r * 8 + c];
}

} // namespace

namespace {

// Columns, then rows by transposing: both passes run on 8 lanes. The level
// shift of 128 joins the DC input of the row pass.
void InverseDCTScalar(const std::int32_t* coef, std::uint8_t* out, int stride) {
    alignas(32) std::int32_t a[64], b[64];
    IdctLanes(coef, a, kConstBits - kPass1Bits, kPass1Limit);
    Transpose(a, b);
    for (int r = 0; r < 8; ++r) b[r] += 128 << (kPass1Bits + 3);
    IdctLanes(b, a, kConstBits + kPass1Bits + 3, 1 << 20);
    for (int r = 0; r < 8; ++r, out += stride)
        for (int c = 0; c < 8; ++c)
            out[c] = static_cast<std::uint8_t>(std::clamp(a[c * 8 + r], 0, 255));
}

} // namespace

InverseDCTCode ChosenInverseDCT() {
#if PIXKIT_HAS_AVX2_TARGET
    if (UseAvx2()) return InverseDCTAvx2;
#endif
    return InverseDCTScalar;
}

void InverseDCT(const std::int32_t* coef, std::uint8_t* out, int stride) {
    ChosenInverseDCT()(coef, out, stride);
}

// 12-bit samples need more than 32 bits in the products: the same transform
// in 64-bit arithmetic, one block at a time (such files are rare).
void InverseDCT12(const std::int32_t* coef, std::uint8_t* out, int stride) {
    std::int64_t in[64], ws[64];
    for (int k = 0; k < 64; ++k) in[k] = coef[k];
    for (int c = 0; c < 8; ++c) {
        const Idct8<std::int64_t> t(in + c, 8);
        for (int r = 0; r < 8; ++r) ws[r * 8 + c] = Descale(t.o[r], kConstBits - kPass1Bits);
    }
    for (int r = 0; r < 8; ++r, out += stride) {
        const Idct8<std::int64_t> t(ws + r * 8, 1);
        for (int c = 0; c < 8; ++c) {
            const std::int64_t v = std::clamp<std::int64_t>(
                Descale(t.o[c], kConstBits + kPass1Bits + 3) + 2048, 0, 4095);
            out[c] = static_cast<std::uint8_t>(std::min<std::int64_t>((v + 8) >> 4, 255));
        }
    }
}

namespace {

// Row i of kBasis[k] weighs the 8 frequencies for output sample i of
// n = 1 << k: for n <= 8 the mean of the 8-point inverse basis over the
// 8 / n samples the output stands for; n = 16 (a component stored at a
// quarter of the width, output at half the size) repeats each of the 8
// samples twice, as the full-size decode repeats such a component's
// samples.
using Basis = std::array<std::array<float, 8>, 16>;
const std::array<Basis, 5> kBasis = [] {
    std::array<Basis, 5> b{};
    for (int k = 0; k < 4; ++k) {
        const int n = 1 << k, span = 8 / n;
        for (int i = 0; i < n; ++i)
            for (int u = 0; u < 8; ++u) {
                double sum = 0;
                for (int x = span * i; x < span * (i + 1); ++x)
                    sum += std::cos((2 * x + 1) * u * M_PI / 16);
                const double c = u == 0 ? std::sqrt(0.5) : 1.0;
                b[std::size_t(k)][std::size_t(i)][std::size_t(u)] = float(0.5 * c * sum / span);
            }
    }
    for (std::size_t i = 0; i < 16; ++i) b[4][i] = b[3][i / 2];
    return b;
}();

int Log2(int n) {
    return n == 16 ? 4 : n == 8 ? 3 : n == 4 ? 2 : n == 2 ? 1 : 0;
}

} // namespace

void ScaledIDCT(const std::int32_t* coef, std::uint8_t* out, int stride, int w, int h,
                int precision) {
    const float scale = precision > 8 ? 1.0f / 16 : 1.0f;
    if (w == 1 && h == 1) {
        // The DC term alone, rounded as the full transform's DC-only blocks.
        const std::int32_t dc = precision > 8 ? (coef[0] + 64) >> 7 : (coef[0] + 4) >> 3;
        *out = static_cast<std::uint8_t>(std::clamp(dc + 128, 0, 255));
        return;
    }
    const Basis& rows = kBasis[std::size_t(Log2(h))];
    const Basis& cols = kBasis[std::size_t(Log2(w))];
    float tmp[16][8];
    for (int i = 0; i < h; ++i)
        for (int v = 0; v < 8; ++v) {
            float sum = 0;
            for (int u = 0; u < 8; ++u)
                sum += rows[std::size_t(i)][std::size_t(u)] * float(coef[u * 8 + v]);
            tmp[i][v] = sum * scale;
        }
    for (int i = 0; i < h; ++i, out += stride)
        for (int j = 0; j < w; ++j) {
            float sum = 128.5f;
            for (int v = 0; v < 8; ++v) sum += tmp[i][v] * cols[std::size_t(j)][std::size_t(v)];
            out[j] = static_cast<std::uint8_t>(std::clamp(int(std::floor(sum)), 0, 255));
        }
}

namespace {

// The forward 8-point transform on 8 lanes, as IdctLanes: lane i of input k
// is in[k * 8 + i]. The first pass keeps kPass1Bits extra bits, the second
// removes them.
template <bool First> inline void FdctLanes(const std::int32_t* in, std::int32_t* out) {
    constexpr int down = First ? kConstBits - kPass1Bits : kConstBits + kPass1Bits;
    for (int i = 0; i < 8; ++i) {
        const std::int32_t* d = in + i;
        std::int32_t* o = out + i;
        const std::int32_t t0 = d[0] + d[56], t7 = d[0] - d[56];
        const std::int32_t t1 = d[8] + d[48], t6 = d[8] - d[48];
        const std::int32_t t2 = d[16] + d[40], t5 = d[16] - d[40];
        const std::int32_t t3 = d[24] + d[32], t4 = d[24] - d[32];

        const std::int32_t t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
        if constexpr (First) {
            o[0] = (t10 + t11) * (1 << kPass1Bits);
            o[32] = (t10 - t11) * (1 << kPass1Bits);
        } else {
            o[0] = Descale(t10 + t11, kPass1Bits);
            o[32] = Descale(t10 - t11, kPass1Bits);
        }
        const std::int32_t z1 = (t12 + t13) * F0_541;
        o[16] = Descale(z1 + t13 * F0_765, down);
        o[48] = Descale(z1 - t12 * F1_847, down);

        std::int32_t q1 = t4 + t7, q2 = t5 + t6, q3 = t4 + t6, q4 = t5 + t7;
        const std::int32_t q5 = (q3 + q4) * F1_175;
        q1 *= -F0_899;
        q2 *= -F2_562;
        q3 = q3 * -F1_961 + q5;
        q4 = q4 * -F0_390 + q5;
        o[56] = Descale(t4 * F0_298 + q1 + q3, down);
        o[40] = Descale(t5 * F2_053 + q2 + q4, down);
        o[24] = Descale(t6 * F3_072 + q2 + q3, down);
        o[8] = Descale(t7 * F1_501 + q1 + q4, down);
    }
}

} // namespace

// Columns, then rows by transposing, then back to natural order.
void ForwardDCT(const std::int32_t* in, std::int32_t* out) {
#if PIXKIT_HAS_AVX2_TARGET
    if (UseAvx2()) return ForwardDCTAvx2(in, out);
#endif
    alignas(32) std::int32_t a[64], b[64];
    FdctLanes<true>(in, a);
    Transpose(a, b);
    FdctLanes<false>(b, a);
    Transpose(a, out);
}

} // namespace pixkit::jpeg
