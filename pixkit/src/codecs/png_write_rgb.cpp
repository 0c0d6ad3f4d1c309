// Writing 8-bit RGB PNG files without libpng: the rows filtered here (each
// with the filter whose output has the least sum of absolute values, the
// choice libpng and most writers make), the whole image deflated at once
// with libdeflate, which is several times faster than zlib's streaming
// deflate at its default level and compresses a little better, and the
// chunks written with their CRCs. Photos spend nearly all their saving
// time in deflate; the price is memory for the filtered image and its
// compressed form, so very large images keep libpng's streaming path.
#include "png_format.h"
#include "vector_dispatch.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <vector>

namespace pixkit {

namespace {

constexpr int kBpp = 3;                               // bytes per pixel
constexpr std::size_t kMaxRaw = std::size_t(1) << 29; // filtered bytes held at once
constexpr std::size_t kIdatBytes = 1 << 20;           // compressed bytes per IDAT chunk

// Signed size of a filtered byte, as the filter choice weighs it.
PIXKIT_VECTOR_BODY unsigned Weight(std::uint8_t v) {
    return v < 128 ? v : 256u - v;
}

PIXKIT_VECTOR_BODY int Paeth(int a, int b, int c) {
    const int pa = b > c ? b - c : c - b, pb = a > c ? a - c : c - a;
    const int sum = a + b - 2 * c, pc = sum < 0 ? -sum : sum;
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The four predicting filters of one row (n bytes) into out[1..4], each
// with its weight; cur and prev have kBpp zero bytes before their first.
// None is the row itself, weighed alone.
PIXKIT_VECTOR_BODY void FilterRowBody(const std::uint8_t* __restrict cur,
                                      const std::uint8_t* __restrict prev, std::size_t n,
                                      std::uint8_t* __restrict sub, std::uint8_t* __restrict up,
                                      std::uint8_t* __restrict avg, std::uint8_t* __restrict paeth,
                                      unsigned* sums) {
    unsigned s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int x = cur[i], a = cur[i - kBpp], b = prev[i], c = prev[i - kBpp];
        sub[i] = std::uint8_t(x - a);
        up[i] = std::uint8_t(x - b);
        avg[i] = std::uint8_t(x - ((a + b) >> 1));
        paeth[i] = std::uint8_t(x - Paeth(a, b, c));
        s0 += Weight(std::uint8_t(x));
        s1 += Weight(sub[i]);
        s2 += Weight(up[i]);
        s3 += Weight(avg[i]);
        s4 += Weight(paeth[i]);
    }
    sums[0] = s0;
    sums[1] = s1;
    sums[2] = s2;
    sums[3] = s3;
    sums[4] = s4;
}
PIXKIT_VECTOR_DISPATCH(FilterRow,
                       (const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n,
                        std::uint8_t* sub, std::uint8_t* up, std::uint8_t* avg, std::uint8_t* paeth,
                        unsigned* sums),
                       FilterRowBody, (cur, prev, n, sub, up, avg, paeth, sums))

PIXKIT_VECTOR_BODY void RgbRowBody(const Pixel* __restrict p, int w, std::uint8_t* __restrict out) {
    for (int x = 0; x < w; ++x) {
        out[3 * x] = std::uint8_t(p[x] >> 16);
        out[3 * x + 1] = std::uint8_t(p[x] >> 8);
        out[3 * x + 2] = std::uint8_t(p[x]);
    }
}
PIXKIT_VECTOR_DISPATCH(RgbRow, (const Pixel* p, int w, std::uint8_t* out), RgbRowBody, (p, w, out))

// Every row behind its filter type byte, the row above starting as zeros.
std::vector<std::uint8_t> FilteredRows(const Buffer& b) {
    const int w = b.Width(), h = b.Height();
    const std::size_t n = std::size_t(w) * kBpp;
    std::vector<std::uint8_t> raw(std::size_t(h) * (n + 1));
    // Two rows with kBpp zero bytes in front, and the four candidates.
    std::vector<std::uint8_t> rows(2 * (n + kBpp), 0), candidates(4 * n);
    std::uint8_t* cur = rows.data() + kBpp;
    std::uint8_t* prev = rows.data() + n + 2 * kBpp;
    for (int y = 0; y < h; ++y) {
        RgbRow(b.At(b.Area.Left, b.Area.Top + y), w, cur);
        unsigned sums[5];
        std::uint8_t* c = candidates.data();
        FilterRow(cur, prev, n, c, c + n, c + 2 * n, c + 3 * n, sums);
        int best = 0;
        for (int f = 1; f < 5; ++f)
            if (sums[f] < sums[best]) best = f;
        std::uint8_t* out = raw.data() + std::size_t(y) * (n + 1);
        out[0] = std::uint8_t(best);
        std::memcpy(out + 1, best == 0 ? cur : c + std::size_t(best - 1) * n, n);
        std::swap(cur, prev);
        GFXFile::ReportRows(y + 1, h);
    }
    return raw;
}

void Be32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

void WriteChunk(TStream* s, const char* type, const std::uint8_t* data, std::size_t n) {
    std::uint8_t head[8];
    Be32(head, std::uint32_t(n));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    // A null buffer asks libdeflate for the initial value: an empty chunk
    // (IEND) keeps the CRC of its type.
    if (n != 0) crc = libdeflate_crc32(crc, data, n);
    std::uint8_t tail[4];
    Be32(tail, crc);
    s->WriteBuffer(head, 8);
    if (n != 0) s->WriteBuffer(data, std::int64_t(n));
    s->WriteBuffer(tail, 4);
}

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

} // namespace

bool WriteRgbPng(const Buffer& b, TStream* s) {
    const std::size_t rawBytes = std::size_t(b.Height()) * (std::size_t(b.Width()) * kBpp + 1);
    if (rawBytes > kMaxRaw) return false;
    // Level 6 of libdeflate: files no larger than zlib's default level.
    const std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
        libdeflate_alloc_compressor(6));
    if (!compressor) return false;
    const std::vector<std::uint8_t> raw = FilteredRows(b);
    std::vector<std::uint8_t> packed(libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
    const std::size_t packedBytes = libdeflate_zlib_compress(
        compressor.get(), raw.data(), raw.size(), packed.data(), packed.size());
    if (packedBytes == 0) return false;
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    s->WriteBuffer(signature, 8);
    // Width, height, depth 8, colour type 2 (RGB), deflate, adaptive
    // filtering, no interlace.
    std::uint8_t ihdr[13] = {};
    Be32(ihdr, std::uint32_t(b.Width()));
    Be32(ihdr + 4, std::uint32_t(b.Height()));
    ihdr[8] = 8;
    ihdr[9] = 2;
    WriteChunk(s, "IHDR", ihdr, sizeof ihdr);
    for (std::size_t at = 0; at < packedBytes; at += kIdatBytes)
        WriteChunk(s, "IDAT", packed.data() + at, std::min(kIdatBytes, packedBytes - at));
    WriteChunk(s, "IEND", nullptr, 0);
    return true;
}

} // namespace pixkit
