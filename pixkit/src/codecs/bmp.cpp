// Windows bitmap files: the 14-byte file header, the info or core header
// and colour table, then the pixel bits at the offset the file header gives.
#include "bmp.h"

#include "formats.h"

#include <pixkit/bitmap.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kCoreAsInfo = 36; // a core header converted to the info layout
// The largest header we read; real ones have at most 124 bytes.
constexpr std::uint32_t kMaxHeader = 65536;
// Bit-field masks plus the largest colour table the decoder uses.
constexpr std::size_t kTableRoom = 12 + 256 * 4;

std::uint32_t LE16(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8);
}
std::uint32_t LE32(const std::uint8_t* p) {
    return LE16(p) | (LE16(p + 2) << 16);
}
void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

bool SupportedInfo(std::uint32_t planes, std::uint32_t bits, std::uint32_t compression) {
    if (planes != 1) return false;
    switch (compression) {
    case BI_RGB:
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case BI_RLE8:
        return bits == 8;
    case BI_RLE4:
        return bits == 4;
    case BI_BITFIELDS:
        return bits == 16 || bits == 32;
    default:
        return false;
    }
}

void Describe(GFXFileDesc* d, std::int64_t w, std::int64_t h, std::uint32_t bits) {
    if (d == nullptr) return;
    d->Width = static_cast<std::int32_t>(w);
    d->Height = static_cast<std::int32_t>(h < 0 ? -h : h);
    d->Color = 1;
    d->WithPal = bits <= 8 ? 1 : 0;
    d->BPP = static_cast<std::uint8_t>(bits);
    d->BPCC = 8;
}

// Reads a core header's remaining 8 bytes and its 3-byte colour table into
// the info layout the decoder takes (size field 36).
std::vector<std::uint8_t> ReadCoreBlock(TStream* s, std::uint32_t offBits) {
    std::uint8_t core[8];
    s->ReadBuffer(core, 8);
    const std::int64_t tableBytes = std::int64_t(offBits) - std::int64_t(kFileHeader) - 12;
    if (tableBytes < 0) throw EInvalidImage();
    const std::size_t keep = std::min<std::size_t>(std::size_t(tableBytes), 256 * 3);
    std::vector<std::uint8_t> block(kCoreAsInfo + keep, 0);
    Put32(block.data(), kCoreAsInfo);
    Put32(block.data() + 4, LE16(core));
    Put32(block.data() + 8, std::uint32_t(std::int32_t(std::int16_t(LE16(core + 2)))));
    Put16(block.data() + 12, LE16(core + 4));
    Put16(block.data() + 14, LE16(core + 6));
    s->ReadBuffer(block.data() + kCoreAsInfo, std::int64_t(keep));
    return block;
}

// Reads an info header (40 bytes or more) and what follows it up to the
// pixel bits, as far as the decoder can use it.
std::vector<std::uint8_t> ReadInfoBlock(TStream* s, std::uint32_t headerSize,
                                        std::uint32_t offBits) {
    if (headerSize > kMaxHeader || std::uint64_t(offBits) < kFileHeader + headerSize)
        throw EInvalidImage();
    const std::size_t size =
        std::min<std::size_t>(offBits - kFileHeader, std::size_t(headerSize) + kTableRoom);
    std::vector<std::uint8_t> block(size);
    Put32(block.data(), headerSize);
    s->ReadBuffer(block.data() + 4, std::int64_t(size) - 4);
    return block;
}

} // namespace

std::int8_t BmpFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        std::uint8_t h[kFileHeader + 40];
        s->ReadBuffer(h, kFileHeader);
        if (h[0] != 'B' || h[1] != 'M') return 0;
        s->ReadBuffer(h + kFileHeader, 12);
        const std::uint8_t* i = h + kFileHeader;
        const std::uint32_t size = LE32(i);
        if (size == 12) {
            const std::uint32_t bits = LE16(i + 10);
            Describe(d, LE16(i + 4), std::int16_t(LE16(i + 6)), bits);
            const bool ok = LE16(i + 8) == 1 && (bits == 1 || bits == 4 || bits == 8 || bits == 24);
            return ok ? 1 : -1;
        }
        s->ReadBuffer(h + kFileHeader + 12, 28);
        if (size < 40) return -1;
        const std::uint32_t bits = LE16(i + 14);
        Describe(d, std::int32_t(LE32(i + 4)), std::int32_t(LE32(i + 8)), bits);
        return SupportedInfo(LE16(i + 12), bits, LE32(i + 16)) ? 1 : -1;
    });
}

void BmpFormat::Load(Buffer& b, TStream* s, GFXtra32*) {
    const std::int64_t start = s->Position();
    std::uint8_t h[kFileHeader + 4];
    s->ReadBuffer(h, sizeof h);
    if (h[0] != 'B' || h[1] != 'M') throw EInvalidImage();
    const std::uint32_t offBits = LE32(h + 10);
    const std::uint32_t headerSize = LE32(h + kFileHeader);
    std::vector<std::uint8_t> block;
    if (headerSize == 12)
        block = ReadCoreBlock(s, offBits);
    else if (headerSize >= 40)
        block = ReadInfoBlock(s, headerSize, offBits);
    else
        throw EInvalidImage();
    s->SetPosition(start + offBits);
    BitmapFromStream(b, reinterpret_cast<const BITMAPINFO*>(block.data()), block.size(), s);
}

void BmpFormat::Save(Buffer& b, TStream* s, GFXtra32*, Buffer*) {
    const std::int64_t w = b.Empty() ? 0 : b.Width();
    const std::int64_t h = b.Empty() ? 0 : b.Height();
    const std::int64_t rowSize = (3 * w + 3) & ~std::int64_t(3);
    // The size fields are 32-bit: a larger image cannot be written.
    if (rowSize * h + 54 > 0xFFFFFFFF) throw EInvalidImage();
    std::uint8_t hd[54] = {'B', 'M'};
    Put32(hd + 2, std::uint32_t(rowSize * h + 54));
    Put32(hd + 10, 54);
    Put32(hd + 14, 40);
    Put32(hd + 18, std::uint32_t(w));
    Put32(hd + 22, std::uint32_t(h));
    Put16(hd + 26, 1);
    Put16(hd + 28, 24);
    Put32(hd + 34, std::uint32_t(rowSize * h));
    s->WriteBuffer(hd, sizeof hd);
    std::vector<std::uint8_t> row(std::size_t(rowSize), 0);
    for (std::int64_t k = 0; k < h; ++k) {
        Colconv::RGB32RGB24s(b.At(b.Area.Left, int(b.Area.Bottom - k)), row.data(), int(w));
        s->WriteBuffer(row.data(), rowSize);
        ReportRows(k, h);
    }
}

std::unique_ptr<GFXFile> NewBmpFormat() {
    return std::make_unique<BmpFormat>();
}

} // namespace pixkit
