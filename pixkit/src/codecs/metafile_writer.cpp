// The metafile writers: the image as one bitmap record holding a 24-bit
// bottom-up DIB, drawn at (0, 0) at its own size. The WMF is placeable at
// 96 units per inch (one logical unit per pixel); the EMF's reference
// device has 96 pixels per inch and its frame is the image at 96 dpi.
#include "metafile.h"

#include <pixkit/bitmap.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

constexpr std::uint32_t kSrcCopy = 0x00CC0020;

class Bytes {
  public:
    void U16(std::uint32_t v) {
        b_.push_back(std::uint8_t(v));
        b_.push_back(std::uint8_t(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    std::vector<std::uint8_t>& Data() { return b_; }

  private:
    std::vector<std::uint8_t> b_;
};

struct Picture {
    std::int64_t w = 0, h = 0, rowBytes = 0;
    std::int64_t BitsBytes() const { return rowBytes * h; }
};

Picture Measure(const Buffer& b) {
    Picture p;
    p.w = b.Empty() ? 0 : b.Width();
    p.h = b.Empty() ? 0 : b.Height();
    p.rowBytes = (3 * p.w + 3) & ~std::int64_t(3);
    return p;
}

void InfoHeader(Bytes& o, const Picture& p) {
    o.U32(40);
    o.U32(std::uint32_t(p.w));
    o.U32(std::uint32_t(p.h));
    o.U16(1);
    o.U16(24);
    o.U32(BI_RGB);
    o.U32(std::uint32_t(p.BitsBytes()));
    for (int i = 0; i < 4; ++i) o.U32(0);
}

// The pixel rows, bottom row first, as blue, green, red.
void WriteRows(Buffer& b, const Picture& p, TStream* s) {
    std::vector<std::uint8_t> row(std::size_t(p.rowBytes), 0);
    for (std::int64_t k = 0; k < p.h; ++k) {
        Colconv::RGB32RGB24s(b.At(b.Area.Left, int(b.Area.Bottom - k)), row.data(), int(p.w));
        s->WriteBuffer(row.data(), p.rowBytes);
    }
}

void Put(TStream* s, Bytes& o) {
    s->WriteBuffer(o.Data().data(), std::int64_t(o.Data().size()));
}

void WmfRecord(Bytes& o, std::uint32_t fn, std::initializer_list<std::uint32_t> words) {
    o.U32(std::uint32_t(3 + words.size()));
    o.U16(fn);
    for (std::uint32_t w : words) o.U16(w);
}

} // namespace

void WriteWmf(Buffer& b, TStream* s) {
    const Picture p = Measure(b);
    // Coordinates of a metafile are 16-bit.
    if (p.w > 32767 || p.h > 32767) throw EInvalidImage();
    const bool image = p.w > 0 && p.h > 0;
    const std::uint64_t dibWords = image ? (40 + p.BitsBytes()) / 2 : 0;
    const std::uint64_t blitWords = image ? 3 + 11 + dibWords : 0;
    const std::uint64_t totalWords = 9 + 5 + 5 + blitWords + 3;
    Bytes o;
    const std::uint32_t placeable[] = {
        0xCDD7, 0x9AC6, 0, 0, 0, std::uint32_t(p.w), std::uint32_t(p.h), 96, 0, 0};
    std::uint32_t checksum = 0;
    for (std::uint32_t v : placeable) {
        o.U16(v);
        checksum ^= v;
    }
    o.U16(checksum);
    o.U16(1);
    o.U16(9);
    o.U16(0x0300);
    o.U32(std::uint32_t(totalWords));
    o.U16(0);
    o.U32(std::uint32_t(std::max<std::uint64_t>(blitWords, 5)));
    o.U16(0);
    WmfRecord(o, 0x020B, {0, 0});
    WmfRecord(o, 0x020C, {std::uint32_t(p.h), std::uint32_t(p.w)});
    if (image) {
        o.U32(std::uint32_t(blitWords));
        o.U16(0x0F43); // STRETCHDIB
        o.U32(kSrcCopy);
        for (std::uint32_t v : {0u, std::uint32_t(p.h), std::uint32_t(p.w), 0u, 0u,
                                std::uint32_t(p.h), std::uint32_t(p.w), 0u, 0u})
            o.U16(v);
        InfoHeader(o, p);
        Put(s, o);
        WriteRows(b, p, s);
        o = Bytes{};
    }
    WmfRecord(o, 0x0000, {});
    Put(s, o);
}

void WriteEmf(Buffer& b, TStream* s) {
    const Picture p = Measure(b);
    const bool image = p.w > 0 && p.h > 0;
    const std::uint64_t blit = image ? 80 + 40 + std::uint64_t(p.BitsBytes()) : 0;
    const std::uint64_t total = 88 + blit + 20;
    if (total > 0xFFFFFFFF) throw EInvalidImage();
    Bytes o;
    o.U32(1); // EMR_HEADER
    o.U32(88);
    for (std::int64_t v : {std::int64_t(0), std::int64_t(0), p.w - 1, p.h - 1})
        o.U32(std::uint32_t(v));
    for (std::int64_t v :
         {std::int64_t(0), std::int64_t(0), std::int64_t(std::llround(p.w * 2540.0 / 96)),
          std::int64_t(std::llround(p.h * 2540.0 / 96))})
        o.U32(std::uint32_t(v));
    o.U32(0x464D4520);
    o.U32(0x00010000);
    o.U32(std::uint32_t(total));
    o.U32(image ? 3 : 2);
    o.U16(1); // handles: entry 0 is reserved
    o.U16(0);
    for (int i = 0; i < 3; ++i) o.U32(0); // description, palette
    for (std::uint32_t v : {960u, 960u, 254u, 254u}) o.U32(v);
    if (image) {
        o.U32(81); // EMR_STRETCHDIBITS
        o.U32(std::uint32_t(blit));
        for (std::int64_t v : {std::int64_t(0), std::int64_t(0), p.w - 1, p.h - 1})
            o.U32(std::uint32_t(v));
        for (std::int64_t v : {std::int64_t(0), std::int64_t(0), std::int64_t(0), std::int64_t(0),
                               p.w, p.h, std::int64_t(80), std::int64_t(40), std::int64_t(120),
                               p.BitsBytes(), std::int64_t(0), std::int64_t(kSrcCopy), p.w, p.h})
            o.U32(std::uint32_t(v));
        InfoHeader(o, p);
        Put(s, o);
        WriteRows(b, p, s);
        o = Bytes{};
    }
    for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u}) o.U32(v); // EMR_EOF
    Put(s, o);
}

} // namespace pixkit
