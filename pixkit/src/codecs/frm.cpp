// Frame files: "FRM", a version byte, 16-bit width and height, the pixel
// rows top row first without padding, then an optional extra block.
//
// Pixel encodings by version:
//   0: 16-bit words; below 0x4000 a 12-bit colour (red bits 0-3, green 4-7,
//      blue 8-11, each nibble v widened to v * 17), else a marked value
//   1: 16-bit words 5-5-5 (red bits 10-14), each field v widened to
//      (v * 8) | (v / 4)
//   2: bytes red, green, blue, ignored
//   3: bytes red, green, blue
//   4: the pixel word itself, top byte included
#include "frm.h"

#include "formats.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

constexpr int kLatestVersion = 4;

struct VersionInfo {
    int bytesPerPixel;
    std::uint8_t bpp;
    std::uint8_t bpcc;
    int extraSize; // bytes of the extra block
};

constexpr VersionInfo kVersions[kLatestVersion + 1] = {
    {2, 16, 4, 8}, {2, 16, 5, 8}, {4, 32, 8, 16}, {3, 24, 8, 10}, {4, 32, 8, 16}};

std::uint32_t LE16(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8);
}

Pixel Colour12(std::uint32_t w) {
    return ((w & 0xF) * 17) << 16 | ((w >> 4 & 0xF) * 17) << 8 | ((w >> 8 & 0xF) * 17);
}

Pixel Version0(std::uint32_t w) {
    if (w < 0x4000) return Colour12(w);
    // Marked values keep a position in the low bits and a mark in the top byte.
    return ((w >> 8) - 0x40) * 0x10000 + (w & 0x7F) * 0x100 +
           ((w & 0x80) ? 0x20000000 : 0x10000000);
}

Pixel Version1(std::uint32_t w) {
    const auto widen = [](std::uint32_t v) { return (v * 8) | (v / 4); };
    return widen(w >> 10 & 31) << 16 | widen(w >> 5 & 31) << 8 | widen(w & 31);
}

Pixel RedGreenBlue(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

// Converts n stored pixels of the version to pixel words.
void ConvertRow(int version, const std::uint8_t* src, Pixel* dst, int n) {
    switch (version) {
    case 0:
        for (int i = 0; i < n; ++i) dst[i] = Version0(LE16(src + 2 * i));
        break;
    case 1:
        for (int i = 0; i < n; ++i) dst[i] = Version1(LE16(src + 2 * i));
        break;
    case 2:
        for (int i = 0; i < n; ++i) dst[i] = RedGreenBlue(src + 4 * i);
        break;
    case 3:
        Colconv::BGR24RGB32s(src, dst, n);
        break;
    default:
        std::memcpy(dst, src, std::size_t(n) * 4);
        break;
    }
}

// Decodes the colour of an extra block; version 0 uses the 12-bit rule only.
Pixel ExtraColour(int version, const std::uint8_t* p) {
    switch (version) {
    case 0:
        return Colour12(LE16(p));
    case 1:
        return Version1(LE16(p));
    default:
        return RedGreenBlue(p);
    }
}

// Reads the extra block into x; a missing or short block leaves x unchanged.
void ReadExtra(TStream* s, int version, GFXtra32* x) {
    const VersionInfo& v = kVersions[version];
    std::uint8_t block[16];
    std::int64_t got = 0;
    while (got < v.extraSize) {
        const std::int64_t n = s->Read(block + got, v.extraSize - got);
        if (n <= 0) return;
        got += n;
    }
    if (version == kLatestVersion) {
        x->Fore = LE16(block + 4) | (LE16(block + 6) << 16);
        x->Back = LE16(block + 8) | (LE16(block + 10) << 16);
    } else {
        const int colour = version <= 1 ? 2 : version == 2 ? 4 : 3;
        x->Fore = ExtraColour(version, block + 4);
        x->Back = ExtraColour(version, block + 4 + colour);
    }
    x->HotX = static_cast<std::int16_t>(LE16(block));
    x->HotY = static_cast<std::int16_t>(LE16(block + 2));
}

} // namespace

std::int8_t FrameFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        std::uint8_t h[8];
        s->ReadBuffer(h, 4);
        if (h[0] != 'F' || h[1] != 'R' || h[2] != 'M') return 0;
        const bool known = h[3] <= kLatestVersion;
        if (d != nullptr) {
            s->ReadBuffer(h + 4, 4);
            d->Width = std::int32_t(LE16(h + 4));
            d->Height = std::int32_t(LE16(h + 6));
            d->Color = 1;
            d->WithPal = 0;
            d->BPP = known ? kVersions[h[3]].bpp : 0;
            d->BPCC = known ? kVersions[h[3]].bpcc : 0;
        }
        return known ? 1 : -1;
    });
}

void FrameFormat::Load(Buffer& b, TStream* s, GFXtra32* x) {
    std::uint8_t h[8];
    s->ReadBuffer(h, 4);
    if (h[0] != 'F' || h[1] != 'R' || h[2] != 'M' || h[3] > kLatestVersion) throw EInvalidImage();
    const int version = h[3];
    s->ReadBuffer(h + 4, 4);
    const std::int64_t w = LE16(h + 4), height = LE16(h + 6);
    const std::int64_t bpp = kVersions[version].bytesPerPixel;
    const std::int64_t rowBytes = w * bpp;
    std::int64_t skipAfter = rowBytes * height; // stored bytes not yet passed
    if (w > 0 && height > 0) {
        AllocImage(b, w, height, s, skipAfter);
        // Image pixel (x, y) lands on b's (x, y), clipped to b.
        const std::int64_t x0 = std::max<std::int64_t>(0, b.Area.Left);
        const std::int64_t x1 = std::min<std::int64_t>(w, std::int64_t(b.Area.Right) + 1);
        const std::int64_t y0 = std::max<std::int64_t>(0, b.Area.Top);
        const std::int64_t y1 = std::min<std::int64_t>(height, std::int64_t(b.Area.Bottom) + 1);
        if (x0 < x1 && y0 < y1) {
            const int n = int(x1 - x0);
            std::vector<std::uint8_t> row(std::size_t(n) * bpp);
            s->Seek(y0 * rowBytes + x0 * bpp, SeekOrigin::Current);
            std::int64_t y = y0;
            try {
                for (; y < y1; ++y) {
                    Pixel* dst = b.At(int(x0), int(y));
                    if (version == kLatestVersion) {
                        s->ReadBuffer(dst, std::int64_t(n) * 4);
                    } else {
                        s->ReadBuffer(row.data(), std::int64_t(row.size()));
                        ConvertRow(version, row.data(), dst, n);
                    }
                    if (y + 1 < y1) s->Seek(rowBytes - n * bpp, SeekOrigin::Current);
                    ReportRows(y - y0, y1 - y0);
                }
            } catch (...) {
                // Rows not decoded read as 0, as if cleared before decoding.
                for (; y < y1; ++y) std::fill_n(b.At(int(x0), int(y)), n, Pixel(0));
                throw;
            }
            // Bytes from the position to the end of the rows.
            skipAfter = (height - y1) * rowBytes + rowBytes - x1 * bpp;
        }
    }
    if (x == nullptr) return;
    s->Seek(skipAfter, SeekOrigin::Current);
    ReadExtra(s, version, x);
}

void FrameFormat::Save(Buffer& b, TStream* s, GFXtra32* x, Buffer*) {
    // Width and height are stored in 16 bits: a larger buffer cannot be
    // written without losing its size, so it is refused.
    if (!b.Empty() && (b.Width() > 0xFFFF || b.Height() > 0xFFFF)) throw EInvalidImage();
    std::uint8_t h[8] = {'F', 'R', 'M', kLatestVersion, 0, 0, 0, 0};
    if (!b.Empty()) {
        h[4] = std::uint8_t(b.Width());
        h[5] = std::uint8_t(b.Width() >> 8);
        h[6] = std::uint8_t(b.Height());
        h[7] = std::uint8_t(b.Height() >> 8);
    }
    s->WriteBuffer(h, 8);
    if (!b.Empty()) {
        const int rows = b.Height();
        for (int k = 0; k < rows; ++k) {
            s->WriteBuffer(b.At(b.Area.Left, b.Area.Top + k), std::int64_t(b.Width()) * 4);
            ReportRows(k, rows);
        }
    }
    if (x != nullptr) s->WriteBuffer(x, sizeof *x);
}

std::unique_ptr<GFXFile> NewFrameFormat() {
    return std::make_unique<FrameFormat>();
}

} // namespace pixkit
