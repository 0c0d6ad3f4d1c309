// From decoded samples to pixels: smooth (triangle filter) chroma
// upsampling and the JFIF YCbCr to RGB conversion, row by row, clipped to
// the target buffer.
#include "jpeg.h"
#include "jpeg_vector.h"

#include <algorithm>

namespace pixkit::jpeg {

// JFIF conversion in 16-bit fixed point:
//   R = Y + 1.402 Cr', G = Y - 0.34414 Cb' - 0.71414 Cr', B = Y + 1.772 Cb'
// with Cb' = Cb - 128 and Cr' = Cr - 128, each product rounded once. Plain
// arithmetic without tables, so the compiler can vectorize the loop.
void ConvertYCbCrPortable(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                          Pixel* out, int n) {
    constexpr std::int32_t half = 1 << 15;
    for (int i = 0; i < n; ++i) {
        const std::int32_t Y = y[i], Cb = cb[i] - 128, Cr = cr[i] - 128;
        const std::int32_t r = Y + ((91881 * Cr + half) >> 16);
        const std::int32_t g = Y + ((-22554 * Cb - 46802 * Cr + half) >> 16);
        const std::int32_t b = Y + ((116130 * Cb + half) >> 16);
        out[i] = Pixel(std::clamp(r, 0, 255)) << 16 | Pixel(std::clamp(g, 0, 255)) << 8 |
                 Pixel(std::clamp(b, 0, 255));
    }
}

namespace {

void ConvertYCbCr(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, Pixel* out,
                  int n) {
#if PIXKIT_HAS_AVX2_TARGET
    if (UseAvx2()) return ConvertYCbCrAvx2(y, cb, cr, out, n);
#endif
    ConvertYCbCrPortable(y, cb, cr, out, n);
}

void ConvertRgb(const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, Pixel* out,
                int n) {
    for (int i = 0; i < n; ++i) out[i] = (Pixel(r[i]) << 16) | (Pixel(g[i]) << 8) | b[i];
}

void ConvertGrey(const std::uint8_t* y, Pixel* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = Pixel(y[i]) * 0x010101u;
}

// Doubles a row of w weighted samples horizontally: each output is 3/4 of
// the nearer input plus 1/4 of the next one out (in sums scaled by 4 or 16,
// with the rounding of each output phase); the ends repeat.
template <int Shift>
PIXKIT_VECTOR_BODY void Widen(const std::int16_t* s, int w, std::uint8_t* out) {
    constexpr int roundEven = Shift == 2 ? 1 : 8, roundOdd = Shift == 2 ? 2 : 7;
    out[0] = static_cast<std::uint8_t>((s[0] * 4 + (Shift == 2 ? 0 : 8)) >> Shift);
    out[1] = static_cast<std::uint8_t>((s[0] * 3 + s[1] + roundOdd) >> Shift);
    for (int i = 1; i < w - 1; ++i) {
        out[2 * i] = static_cast<std::uint8_t>((s[i] * 3 + s[i - 1] + roundEven) >> Shift);
        out[2 * i + 1] = static_cast<std::uint8_t>((s[i] * 3 + s[i + 1] + roundOdd) >> Shift);
    }
    out[2 * w - 2] = static_cast<std::uint8_t>((s[w - 1] * 3 + s[w - 2] + roundEven) >> Shift);
    out[2 * w - 1] = static_cast<std::uint8_t>((s[w - 1] * 4 + (Shift == 2 ? 0 : 7)) >> Shift);
}

// The vector variants of both widenings.
PIXKIT_VECTOR_BODY void WidenSamplesBody(const std::int16_t* s, int w, std::uint8_t* out) {
    Widen<2>(s, w, out);
}
PIXKIT_VECTOR_DISPATCH(WidenSamples, (const std::int16_t* s, int w, std::uint8_t* out),
                       WidenSamplesBody, (s, w, out))
PIXKIT_VECTOR_BODY void WidenSumsBody(const std::int16_t* s, int w, std::uint8_t* out) {
    Widen<4>(s, w, out);
}
PIXKIT_VECTOR_DISPATCH(WidenSums, (const std::int16_t* s, int w, std::uint8_t* out), WidenSumsBody,
                       (s, w, out))

void UpsampleH2V1(const std::uint8_t* in, int w, std::uint8_t* out, std::int16_t* sums) {
    if (w <= 2) {
        for (int i = 0; i < w; ++i) out[2 * i] = out[2 * i + 1] = in[i];
        return;
    }
    for (int i = 0; i < w; ++i) sums[i] = in[i];
    WidenSamples(sums, w, out);
}

// Doubles in both directions for one output row: vertically 3/4 of the
// sample's own row and 1/4 of the nearer neighbour row, then as above.
void UpsampleH2V2(const std::uint8_t* cur, const std::uint8_t* near, int w, std::uint8_t* out,
                  std::int16_t* sums) {
    if (w <= 2) {
        for (int i = 0; i < w; ++i) out[2 * i] = out[2 * i + 1] = cur[i];
        return;
    }
    for (int i = 0; i < w; ++i) sums[i] = static_cast<std::int16_t>(cur[i] * 3 + near[i]);
    WidenSums(sums, w, out);
}

// The chroma row of component c for image row r of the MCU row: with 2 x 2
// sampling, upsampled against its nearer neighbour row.
const std::uint8_t* ChromaRow(const Frame& f, const McuRows& m, int c, int r, std::uint8_t* tmp,
                              std::int16_t* sums) {
    const Component& luma = f.Comp[0];
    const std::uint8_t* plane = m.Plane[c];
    const int w = (f.Width + luma.H - 1) / luma.H; // chroma samples per row
    if (luma.H == 1) return plane + r * m.Stride[c];
    if (luma.V == 1) {
        UpsampleH2V1(plane + r * m.Stride[c], w, tmp, sums);
        return tmp;
    }
    const int i = r >> 1, rows = (m.Rows + 1) >> 1;
    const std::uint8_t* cur = plane + i * m.Stride[c];
    const std::uint8_t* near;
    if ((r & 1) == 0)
        near = i > 0 ? cur - m.Stride[c] : m.Above[c];
    else
        near = i + 1 < rows ? cur + m.Stride[c] : m.Below[c];
    UpsampleH2V2(cur, near, w, tmp, sums);
    return tmp;
}

} // namespace

void OutputRows(const Frame& f, const McuRows& m, Buffer& b, std::uint8_t* scratch,
                std::int16_t* sums) {
    const int x0 = std::max(0, b.Area.Left);
    const int x1 = std::min(f.Width - 1, b.Area.Right);
    const int y0 = std::max({0, b.Area.Top, m.Top});
    const int y1 = std::min(m.Top + m.Rows - 1, b.Area.Bottom);
    if (x0 > x1) return;
    const int n = x1 - x0 + 1;
    std::uint8_t* cbRow = scratch;
    std::uint8_t* crRow = scratch + f.Width + 16;
    for (int y = y0; y <= y1; ++y) {
        const int r = y - m.Top;
        Pixel* out = b.At(x0, y);
        const std::uint8_t* luma = m.Plane[0] + r * m.Stride[0] + x0;
        if (f.Count == 1) {
            ConvertGrey(luma, out, n);
            continue;
        }
        const std::uint8_t* cb = ChromaRow(f, m, 1, r, cbRow, sums);
        const std::uint8_t* cr = ChromaRow(f, m, 2, r, crRow, sums);
        if (f.Rgb)
            ConvertRgb(luma, cb + x0, cr + x0, out, n);
        else
            ConvertYCbCr(luma, cb + x0, cr + x0, out, n);
    }
}

} // namespace pixkit::jpeg
