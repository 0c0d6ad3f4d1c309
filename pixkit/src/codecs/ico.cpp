// The icon reader. The directory (6-byte header, 16-byte entries) lists the
// images; the chosen entry's bytes are read whole and decoded from memory,
// so nothing an entry says can make the decoder read outside it.
#include "ico.h"

#include "formats.h"

#include <pixkit/bitmap.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

struct IconEntry {
    std::int64_t pixels = 0; // width x height from the directory (0 means 256)
    int colours = 0;         // bits per pixel, or log2 of the colour count
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};

std::uint32_t LE16(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8);
}
std::uint32_t LE32(const std::uint8_t* p) {
    return LE16(p) | (LE16(p + 2) << 16);
}

int ColourBits(const std::uint8_t* e) {
    const int bits = int(LE16(e + 6));
    if (bits != 0) return bits;
    int n = 0;
    for (int count = e[2]; count > 1; count >>= 1) ++n;
    return n;
}

// Reads the directory and picks the entry with the most pixels, then the
// most colours (the first of equals). The header must be reserved 0,
// type 1 (icon) or 2 (cursor) and at least one entry.
bool ChooseEntry(TStream* s, IconEntry& best) {
    std::uint8_t h[6];
    s->ReadBuffer(h, 6);
    const std::uint32_t type = LE16(h + 2), count = LE16(h + 4);
    if (LE16(h) != 0 || (type != 1 && type != 2) || count == 0) return false;
    std::vector<std::uint8_t> dir(std::size_t(count) * 16);
    s->ReadBuffer(dir.data(), std::int64_t(dir.size()));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = &dir[i * 16];
        IconEntry c;
        c.pixels = std::int64_t(e[0] ? e[0] : 256) * (e[1] ? e[1] : 256);
        c.colours = ColourBits(e);
        c.size = LE32(e + 8);
        c.offset = LE32(e + 12);
        if (i == 0 || c.pixels > best.pixels ||
            (c.pixels == best.pixels && c.colours > best.colours))
            best = c;
    }
    return true;
}

// The bytes of an entry: from its offset, its stated size, cut at the end of
// the file; a size too small for any header (some writers store nonsense
// there) stands for the rest of the file. 0 when the entry starts outside
// the file.
std::int64_t EntryBytes(const IconEntry& e, std::int64_t fileSize) {
    if (std::int64_t(e.offset) >= fileSize) return 0;
    const std::int64_t rest = fileSize - e.offset;
    return e.size < 40 ? rest : std::min<std::int64_t>(e.size, rest);
}

// The chosen entry's bytes; EInvalidImage when they lie outside the file.
std::vector<std::uint8_t> ReadEntry(TStream* s, std::int64_t start, const IconEntry& e) {
    const std::int64_t n = EntryBytes(e, s->Size() - start);
    if (n < 24) throw EInvalidImage();
    std::vector<std::uint8_t> data(static_cast<std::size_t>(n));
    s->SetPosition(start + e.offset);
    s->ReadBuffer(data.data(), std::int64_t(data.size()));
    return data;
}

// What the DIB header of an entry says, with the height halved (the stored
// height covers the colour rows and the AND mask).
struct DibEntry {
    std::int64_t w = 0;
    std::int64_t h = 0;
    int bits = 0;
    std::size_t headerAndTable = 0; // bytes before the colour rows
    std::int64_t colourBytes = 0;   // bytes of the colour rows
};

bool ReadDibEntry(const std::vector<std::uint8_t>& d, DibEntry& de) {
    const std::uint32_t hs = LE32(d.data());
    if (hs < 40 || hs > d.size()) return false;
    de.w = std::int32_t(LE32(d.data() + 4));
    const std::int64_t stored = std::int32_t(LE32(d.data() + 8));
    de.h = (stored < 0 ? -stored : stored) / 2;
    de.bits = int(LE16(d.data() + 14));
    if (de.w < 1 || de.h < 1 || de.w > kMaxIconSide || de.h > kMaxIconSide) return false;
    const std::uint32_t used = LE32(d.data() + 32);
    const std::uint32_t compression = LE32(d.data() + 16);
    std::size_t table = 0;
    if (de.bits <= 8)
        table = 4 * std::size_t(used && used < 256u ? used : 1u << de.bits);
    else if (compression == BI_BITFIELDS && hs == 40)
        table = 12;
    de.headerAndTable = hs + table;
    de.colourBytes = (de.w * de.bits + 31) / 32 * 4 * de.h;
    return de.bits >= 1 && de.bits <= 32 && de.headerAndTable <= d.size();
}

bool HasAlpha(const Buffer& b, std::int64_t w, std::int64_t h) {
    const int right = int(std::min<std::int64_t>(b.Area.Right, w - 1));
    const int bottom = int(std::min<std::int64_t>(b.Area.Bottom, h - 1));
    for (int y = std::max(b.Area.Top, 0); y <= bottom; ++y)
        for (int x = std::max(b.Area.Left, 0); x <= right; ++x)
            if (*b.At(x, y) >> 24) return true;
    return false;
}

// Transparent pixels become black: those with alpha 0 in a 32-bit entry
// that carries alpha (the AND mask is then ignored, as the system does),
// else those whose AND bit is set. Every top byte becomes 0. A mask cut short
// by the end of the entry counts as opaque where it is missing.
void ApplyMask(Buffer& b, const DibEntry& de, const std::uint8_t* mask, std::size_t maskBytes,
               bool bottomUp) {
    const bool alpha = de.bits == 32 && HasAlpha(b, de.w, de.h);
    const std::int64_t stride = (de.w + 31) / 32 * 4;
    const int right = int(std::min<std::int64_t>(b.Area.Right, de.w - 1));
    const int bottom = int(std::min<std::int64_t>(b.Area.Bottom, de.h - 1));
    const int left = std::max(b.Area.Left, 0);
    for (int y = std::max(b.Area.Top, 0); y <= bottom; ++y) {
        const std::int64_t row = (bottomUp ? de.h - 1 - y : y) * stride;
        Pixel* p = b.At(left, y);
        for (int x = left; x <= right; ++x, ++p) {
            const std::size_t at = std::size_t(row + x / 8);
            const bool masked = at < maskBytes && ((mask[at] >> (7 - x % 8)) & 1);
            if (alpha ? (*p >> 24) == 0 : masked)
                *p = 0;
            else
                *p &= 0x00FFFFFF;
        }
    }
}

void LoadDibEntry(Buffer& b, std::vector<std::uint8_t>& d) {
    DibEntry de;
    if (!ReadDibEntry(d, de)) throw EInvalidImage();
    std::vector<std::uint8_t> block(d.begin(), d.begin() + std::ptrdiff_t(de.headerAndTable));
    const bool bottomUp = std::int32_t(LE32(d.data() + 8)) > 0;
    const std::uint32_t halved = std::uint32_t(bottomUp ? de.h : -de.h);
    std::memcpy(block.data() + 8, &halved, 4);
    TFixedMemoryStream pixels(d.data() + de.headerAndTable, d.size() - de.headerAndTable);
    AllocImage(b, de.w, de.h, &pixels, de.colourBytes);
    BitmapFromStream(b, reinterpret_cast<const BITMAPINFO*>(block.data()), block.size(), &pixels);
    const std::int64_t maskAt = std::int64_t(de.headerAndTable) + de.colourBytes;
    const std::size_t maskBytes = maskAt < std::int64_t(d.size()) ? d.size() - maskAt : 0;
    ApplyMask(b, de, maskBytes ? d.data() + maskAt : nullptr, maskBytes, bottomUp);
}

} // namespace

std::int8_t IcoFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        const std::int64_t start = s->Position();
        IconEntry e;
        if (!ChooseEntry(s, e)) return 0;
        if (EntryBytes(e, s->Size() - start) < 24) return -1;
        std::uint8_t head[24];
        s->SetPosition(start + e.offset);
        s->ReadBuffer(head, sizeof head);
        std::int64_t w = 0, h = 0;
        if (!PngSize(head, sizeof head, w, h)) {
            if (LE32(head) < 40) return -1;
            w = std::int32_t(LE32(head + 4));
            h = std::int32_t(LE32(head + 8));
            h = (h < 0 ? -h : h) / 2;
        }
        if (d != nullptr) {
            d->Width = std::int32_t(w);
            d->Height = std::int32_t(h);
            d->Color = 1;
            d->WithPal = 1;
            d->BPP = 8;
            d->BPCC = 8;
        }
        return w >= 1 && h >= 1 && w <= kMaxIconSide && h <= kMaxIconSide ? 1 : -1;
    });
}

void IcoFormat::Load(Buffer& b, TStream* s, GFXtra32*) {
    const std::int64_t start = s->Position();
    IconEntry e;
    if (!ChooseEntry(s, e)) throw EInvalidImage();
    std::vector<std::uint8_t> data = ReadEntry(s, start, e);
    std::int64_t w, h;
    if (PngSize(data.data(), data.size(), w, h))
        PngIconToBuffer(b, data.data(), data.size());
    else
        LoadDibEntry(b, data);
}

std::unique_ptr<GFXFile> NewIcoFormat() {
    return std::make_unique<IcoFormat>();
}

} // namespace pixkit
