// What the metafile players share: reading the file into memory, the
// paper the picture is drawn on, and DIBs held in bitmap records.
#include "metafile.h"
#include "metafile_dc.h"
#include "metafile_records.h"

#include "ico.h"

#include <pixkit/bitmap.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

// The largest DIB a bitmap record may hold (pixels); its bits must be in
// the record when uncompressed.
constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 26;

constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;

// A DIB whose bits are a JPEG or PNG stream, decoded by our codecs. One we
// cannot decode is left out of the picture (empty pixels), like any other
// drawing the player does not support.
void EmbeddedImage(DibSource& out, RecordView bits, std::uint32_t compression) {
    out.bottomUp = false;
    GFXFile* jpeg = GFXFile::GetDefaultFormat("embedded.jpg");
    try {
        if (compression == kBiPng) {
            PngIconToBuffer(out.pixels, bits.p, bits.n);
        } else if (jpeg != nullptr) {
            TFixedMemoryStream s(bits.p, bits.n);
            jpeg->Load(out.pixels, &s, nullptr);
        }
    } catch (const EStreamError&) {
        out.pixels.Free();
    }
}

} // namespace

float RecordView::F32(std::size_t at) const {
    const std::uint32_t v = U32(at);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

std::vector<std::uint8_t> ReadWholeStream(TStream* s) {
    const std::int64_t n = s->Size() - s->Position();
    if (n > kMaxMetaBytes) throw EInvalidImage();
    std::vector<std::uint8_t> data(std::size_t(std::max<std::int64_t>(n, 0)));
    s->ReadBuffer(data.data(), std::int64_t(data.size()));
    return data;
}

Pair<double> FitMetaPixels(std::int64_t& w, std::int64_t& h) {
    const double pixels = double(w) * double(h);
    if (pixels <= double(kMaxMetaPixels)) return {1, 1};
    const double f = std::sqrt(double(kMaxMetaPixels) / pixels);
    const std::int64_t w2 = std::max<std::int64_t>(1, std::int64_t(double(w) * f));
    const std::int64_t h2 = std::max<std::int64_t>(1, std::int64_t(double(h) * f));
    const Pair<double> factor{double(w2) / double(w), double(h2) / double(h)};
    w = w2;
    h = h2;
    return factor;
}

void PreparePaper(Buffer& b, int w, int h) {
    AllocImage(b, w, h);
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            *b.At(x, y) = x >= 0 && y >= 0 && x < w && y < h ? 0x00FFFFFF : 0;
}

std::size_t DibHeaderBytes(RecordView dib, bool palIndices) {
    const std::uint32_t hs = dib.U32(0);
    if (hs < 40 || hs > dib.n) throw EInvalidImage();
    const std::uint32_t bits = dib.U16(14), compression = dib.U32(16), used = dib.U32(32);
    std::size_t table = 0;
    if (bits <= 8)
        table = std::size_t(used && used < 256 ? used : 1u << bits) * (palIndices ? 2 : 4);
    else if (compression == BI_BITFIELDS && hs == 40)
        table = 12;
    else if (used != 0 && used <= 256)
        table = std::size_t(used) * 4;
    return hs + table;
}

MetaBrush SolidOrHatchBrush(std::uint32_t style, Pixel colour, std::uint32_t hatch) {
    MetaBrush b{style != 0 && style != 2, colour, nullptr};
    if (style == 2) {
        b.pattern = HatchPattern(hatch, colour);
        b.hollow = b.pattern == nullptr;
    }
    return b;
}

MetaBrush PatternBrush(RecordView info, RecordView bits, bool palIndices, bool mono) {
    DibSource src;
    try {
        DecodeDib(src, info, bits, palIndices);
    } catch (const EStreamError&) {
        return {true, 0, nullptr};
    }
    if (src.pixels.Empty()) return {true, 0, nullptr};
    auto p = std::make_shared<BrushPattern>();
    p->w = src.pixels.Width();
    p->h = src.pixels.Height();
    p->mono = mono;
    for (int y = src.pixels.Area.Top; y <= src.pixels.Area.Bottom; ++y)
        for (int x = src.pixels.Area.Left; x <= src.pixels.Area.Right; ++x) {
            const Pixel c = *src.pixels.At(x, y) & 0x00FFFFFF;
            const int grey = int(((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255));
            p->px.push_back(mono ? Pixel(grey >= 384) : c);
        }
    return {false, 0, p};
}

void DecodeDib(DibSource& out, RecordView info, RecordView bits, bool palIndices) {
    const QuietProgress quiet;
    // A colour table cut short by the record keeps the decoder's defaults
    // for the entries it leaves out.
    const std::size_t block = std::min(DibHeaderBytes(info, palIndices), info.n);
    const std::int64_t w = info.S32(4), h0 = info.S32(8);
    const std::int64_t h = h0 < 0 ? -h0 : h0;
    const std::uint32_t bitCount = info.U16(14), compression = info.U32(16);
    if (w < 1 || h < 1 || w * h > kMaxDibPixels || bitCount > 32) throw EInvalidImage();
    if (compression == kBiJpeg || compression == kBiPng) {
        EmbeddedImage(out, bits, compression);
        return;
    }
    if (compression == BI_RGB || compression == BI_BITFIELDS) {
        const std::int64_t row = (w * bitCount + 31) / 32 * 4;
        if (row * h > std::int64_t(bits.n)) throw EInvalidImage();
    }
    // An aligned copy of the header; a palette-index table is left out so
    // the decoder keeps its default colours.
    const std::size_t keep = palIndices ? std::size_t(info.U32(0)) : block;
    std::vector<std::uint8_t> header(info.p, info.p + keep);
    header.resize(std::max<std::size_t>(keep, sizeof(BITMAPINFO)), 0);
    TFixedMemoryStream s(bits.p, bits.n);
    out.bottomUp = h0 > 0;
    BitmapFromStream(out.pixels, reinterpret_cast<const BITMAPINFO*>(header.data()), keep, &s);
}

} // namespace pixkit
