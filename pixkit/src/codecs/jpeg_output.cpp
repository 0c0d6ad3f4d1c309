// From decoded samples to pixels: smooth (triangle filter) chroma
// upsampling and the JFIF YCbCr to RGB conversion, row by row, clipped to
// the target buffer.
#include "jpeg.h"

#include <algorithm>

namespace pixkit::jpeg {

namespace {

// JFIF conversion in 16-bit fixed point:
//   R = Y + 1.402 Cr', G = Y - 0.34414 Cb' - 0.71414 Cr', B = Y + 1.772 Cb'
// with Cb' = Cb - 128 and Cr' = Cr - 128.
struct ColourTables {
    std::int32_t CrR[256], CbB[256], CrG[256], CbG[256];
    std::uint8_t Clamp[256 * 3]; // index v + 256 for v in -256..511
    constexpr ColourTables() : CrR(), CbB(), CrG(), CbG(), Clamp() {
        constexpr std::int32_t half = 1 << 15;
        for (int i = 0; i < 256; ++i) {
            const std::int32_t c = i - 128;
            CrR[i] = (91881 * c + half) >> 16;
            CbB[i] = (116130 * c + half) >> 16;
            CrG[i] = -46802 * c;
            CbG[i] = -22554 * c + half;
        }
        for (int v = 0; v < 256 * 3; ++v)
            Clamp[v] = static_cast<std::uint8_t>(std::clamp(v - 256, 0, 255));
    }
};
constexpr ColourTables kColour;

void ConvertYCbCr(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, Pixel* out,
                  int n) {
    const std::uint8_t* clamp = kColour.Clamp + 256;
    for (int i = 0; i < n; ++i) {
        const int Y = y[i], Cb = cb[i], Cr = cr[i];
        const Pixel r = clamp[Y + kColour.CrR[Cr]];
        const Pixel g = clamp[Y + ((kColour.CbG[Cb] + kColour.CrG[Cr]) >> 16)];
        const Pixel b = clamp[Y + kColour.CbB[Cb]];
        out[i] = (r << 16) | (g << 8) | b;
    }
}

void ConvertRgb(const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, Pixel* out,
                int n) {
    for (int i = 0; i < n; ++i) out[i] = (Pixel(r[i]) << 16) | (Pixel(g[i]) << 8) | b[i];
}

void ConvertGrey(const std::uint8_t* y, Pixel* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = Pixel(y[i]) * 0x010101u;
}

// Doubles a row of w samples horizontally: each output sample is 3/4 of the
// nearer input plus 1/4 of the next one out; the ends repeat.
void UpsampleH2V1(const std::uint8_t* in, int w, std::uint8_t* out) {
    if (w <= 2) {
        for (int i = 0; i < w; ++i) out[2 * i] = out[2 * i + 1] = in[i];
        return;
    }
    out[0] = in[0];
    out[1] = static_cast<std::uint8_t>((in[0] * 3 + in[1] + 2) >> 2);
    for (int i = 1; i < w - 1; ++i) {
        const int v = in[i] * 3;
        out[2 * i] = static_cast<std::uint8_t>((v + in[i - 1] + 1) >> 2);
        out[2 * i + 1] = static_cast<std::uint8_t>((v + in[i + 1] + 2) >> 2);
    }
    out[2 * w - 2] = static_cast<std::uint8_t>((in[w - 1] * 3 + in[w - 2] + 1) >> 2);
    out[2 * w - 1] = in[w - 1];
}

// Doubles in both directions for one output row: vertically 3/4 of the
// sample's own row and 1/4 of the nearer neighbour row, then as above.
void UpsampleH2V2(const std::uint8_t* cur, const std::uint8_t* near, int w, std::uint8_t* out) {
    if (w <= 2) {
        for (int i = 0; i < w; ++i) out[2 * i] = out[2 * i + 1] = cur[i];
        return;
    }
    int last = cur[0] * 3 + near[0];
    int next = cur[1] * 3 + near[1];
    out[0] = static_cast<std::uint8_t>((last * 4 + 8) >> 4);
    out[1] = static_cast<std::uint8_t>((last * 3 + next + 7) >> 4);
    int now = next;
    for (int i = 1; i < w - 1; ++i) {
        next = cur[i + 1] * 3 + near[i + 1];
        out[2 * i] = static_cast<std::uint8_t>((now * 3 + last + 8) >> 4);
        out[2 * i + 1] = static_cast<std::uint8_t>((now * 3 + next + 7) >> 4);
        last = now;
        now = next;
    }
    out[2 * w - 2] = static_cast<std::uint8_t>((now * 3 + last + 8) >> 4);
    out[2 * w - 1] = static_cast<std::uint8_t>((now * 4 + 7) >> 4);
}

// The chroma row of component c for image row r of the MCU row: with 2 x 2
// sampling, upsampled against its nearer neighbour row.
const std::uint8_t* ChromaRow(const Frame& f, const McuRows& m, int c, int r, std::uint8_t* tmp) {
    const Component& luma = f.Comp[0];
    const std::uint8_t* plane = m.Plane[c];
    const int w = (f.Width + luma.H - 1) / luma.H; // chroma samples per row
    if (luma.H == 1) return plane + r * m.Stride[c];
    if (luma.V == 1) {
        UpsampleH2V1(plane + r * m.Stride[c], w, tmp);
        return tmp;
    }
    const int i = r >> 1, rows = (m.Rows + 1) >> 1;
    const std::uint8_t* cur = plane + i * m.Stride[c];
    const std::uint8_t* near;
    if ((r & 1) == 0)
        near = i > 0 ? cur - m.Stride[c] : m.Above[c];
    else
        near = i + 1 < rows ? cur + m.Stride[c] : m.Below[c];
    UpsampleH2V2(cur, near, w, tmp);
    return tmp;
}

} // namespace

void OutputRows(const Frame& f, const McuRows& m, Buffer& b, std::uint8_t* scratch) {
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
        const std::uint8_t* cb = ChromaRow(f, m, 1, r, cbRow);
        const std::uint8_t* cr = ChromaRow(f, m, 2, r, crRow);
        if (f.Rgb)
            ConvertRgb(luma, cb + x0, cr + x0, out, n);
        else
            ConvertYCbCr(luma, cb + x0, cr + x0, out, n);
    }
}

} // namespace pixkit::jpeg
