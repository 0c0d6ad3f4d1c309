// The DIB pixel decoder: uncompressed 1/4/8/16/24/32-bit rows, bit-field
// masks, and the run-length encodings RLE8 and RLE4 of the published
// Windows bitmap format.
#include <pixkit/bitmap.h>
#include <pixkit/gfxfile.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

std::uint32_t LE16(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8);
}
std::uint32_t LE32(const std::uint8_t* p) {
    return LE16(p) | (LE16(p + 2) << 16);
}

// One colour field of a bit-field pixel, widened to 8 bits by repeating its
// high bits below it.
struct Field {
    int shift = 0;
    int width = 0;
    std::uint8_t widen[256] = {};

    explicit Field(std::uint32_t mask) {
        if (mask == 0) return;
        shift = std::countr_zero(mask);
        width = std::bit_width(mask >> shift);
        if (width > 8) return;
        for (std::uint32_t v = 0; v < (1u << width); ++v) {
            std::uint32_t out = 0;
            for (int pos = 8 - width; pos > -width; pos -= width)
                out |= pos >= 0 ? v << pos : v >> -pos;
            widen[v] = static_cast<std::uint8_t>(out);
        }
    }
    std::uint32_t operator()(std::uint32_t v) const {
        if (width == 0) return 0;
        const std::uint64_t field = (std::uint64_t(v) >> shift) & ((std::uint64_t(1) << width) - 1);
        return width > 8 ? std::uint32_t(field >> (width - 8)) : widen[field];
    }
};

// What the header block says about the pixel array.
struct DibInfo {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool bottomUp = true;
    int bits = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t masks[3] = {0, 0, 0};
    Pixel table[256] = {};
};

bool SupportedCombination(std::uint32_t planes, std::uint32_t bits, std::uint32_t compression,
                          bool core) {
    if (planes != 1) return false;
    const bool deep = bits == 16 || bits == 32;
    if (!(bits == 1 || bits == 4 || bits == 8 || bits == 24 || (deep && !core))) return false;
    switch (compression) {
    case BI_RGB:
        return true;
    case BI_RLE8:
        return bits == 8;
    case BI_RLE4:
        return bits == 4;
    case BI_BITFIELDS:
        return deep;
    default:
        return false;
    }
}

// The decoder's colour table: all 0 but entry 1 (white), overwritten from
// entry 0 by the file's entries as far as the block holds them.
void ReadColourTable(DibInfo& info, const std::uint8_t* p, std::size_t size, std::size_t at,
                     bool core, std::uint32_t used) {
    info.table[1] = 0x00FFFFFF;
    const std::size_t entry = core ? 3 : 4;
    std::size_t count = used != 0 ? used : std::size_t(1) << info.bits;
    count = std::min<std::size_t>(count, 256);
    if (at < size)
        count = std::min(count, (size - at) / entry);
    else
        count = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p + at + i * entry;
        // An info header's entry is a whole word: its reserved byte becomes
        // the top byte.
        info.table[i] =
            core ? (std::uint32_t(e[2]) << 16) | (std::uint32_t(e[1]) << 8) | e[0] : LE32(e);
    }
}

DibInfo ParseInfo(const std::uint8_t* p, std::size_t size) {
    if (size < 36) throw EInvalidImage();
    const std::uint32_t headerSize = LE32(p);
    const bool core = headerSize < 40;
    if (!core && size < 40) throw EInvalidImage();
    DibInfo info;
    const std::int32_t w = static_cast<std::int32_t>(LE32(p + 4));
    const std::int32_t h = static_cast<std::int32_t>(LE32(p + 8));
    info.bits = static_cast<int>(LE16(p + 14));
    info.compression = LE32(p + 16);
    if (!SupportedCombination(LE16(p + 12), LE16(p + 14), info.compression, core) || w < 0)
        throw EInvalidImage();
    info.width = w;
    info.height = h < 0 ? -std::int64_t(h) : h;
    info.bottomUp = h >= 0;
    const std::size_t tableAt = core ? 36 : headerSize;
    // Headers of 52 bytes and more hold the masks themselves. Some writers
    // declare bit fields without storing masks: those get the defaults.
    const std::size_t maskAt = headerSize >= 52 ? 40 : tableAt;
    if (info.compression == BI_BITFIELDS && maskAt <= size && size - maskAt >= 12) {
        for (int i = 0; i < 3; ++i) info.masks[i] = LE32(p + maskAt + 4 * i);
    } else if (info.bits == 16) {
        info.masks[0] = 0x7C00;
        info.masks[1] = 0x03E0;
        info.masks[2] = 0x001F;
    } else if (info.bits == 32) {
        info.masks[0] = 0x00FF0000;
        info.masks[1] = 0x0000FF00;
        info.masks[2] = 0x000000FF;
    } else if (info.bits <= 8) {
        ReadColourTable(info, p, size, tableAt, core, LE32(p + 32));
    }
    return info;
}

// The part of the image that lands in the target: columns x0..x1-1 and
// rows y0..y1-1 of the image, which are the same coordinates in b.
struct Clip {
    std::int64_t x0, x1, y0, y1;
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

void ClearRows(Buffer& b, const Clip& c, std::int64_t ya, std::int64_t yb) {
    for (std::int64_t y = ya; y < yb; ++y)
        std::fill_n(b.At(int(c.x0), int(y)), c.x1 - c.x0, Pixel(0));
}

// Converts pixels x0..x1-1 of a stored row (which starts at row) to dst.
void ConvertRow(const DibInfo& info, const Field* fields, const std::uint8_t* row, std::int64_t x0,
                std::int64_t x1, Pixel* dst) {
    const int n = int(x1 - x0);
    switch (info.bits) {
    case 1:
        for (std::int64_t x = x0; x < x1; ++x)
            *dst++ = info.table[(row[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (std::int64_t x = x0; x < x1; ++x)
            *dst++ = info.table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
    case 8:
        for (std::int64_t x = x0; x < x1; ++x) *dst++ = info.table[row[x]];
        break;
    case 24:
        Colconv::RGB24RGB32s(row + 3 * x0, dst, n);
        break;
    case 16:
        for (std::int64_t x = x0; x < x1; ++x) {
            const std::uint32_t v = LE16(row + 2 * x);
            *dst++ = (fields[0](v) << 16) | (fields[1](v) << 8) | fields[2](v);
        }
        break;
    default: // 32
        if (fields == nullptr) {
            std::memcpy(dst, row + 4 * x0, std::size_t(n) * 4);
        } else {
            for (std::int64_t x = x0; x < x1; ++x) {
                const std::uint32_t v = LE32(row + 4 * x);
                *dst++ = (fields[0](v) << 16) | (fields[1](v) << 8) | fields[2](v);
            }
        }
        break;
    }
}

bool StandardMasks32(const DibInfo& info) {
    return info.masks[0] == 0x00FF0000 && info.masks[1] == 0x0000FF00 &&
           info.masks[2] == 0x000000FF;
}

void DecodeRows(Buffer& b, const DibInfo& info, const Clip& c, TStream* s) {
    const std::int64_t rowSize = (info.width * info.bits + 31) / 32 * 4;
    const std::int64_t prefix = (c.x1 * info.bits + 7) / 8; // bytes holding columns < x1
    const std::int64_t rows = c.y1 - c.y0;
    const bool useMasks = info.bits == 16 || (info.bits == 32 && info.compression == BI_BITFIELDS &&
                                              !StandardMasks32(info));
    std::vector<Field> fields;
    if (useMasks)
        for (std::uint32_t m : info.masks) fields.emplace_back(m);
    const bool direct = info.bits == 32 && !useMasks && c.x0 == 0;
    std::vector<std::uint8_t> row(direct ? 0 : std::size_t(prefix));

    // Stored rows that lie outside the target are skipped: below y1 for a
    // bottom-up file, above y0 for a top-down one.
    s->Seek(rowSize * (info.bottomUp ? info.height - c.y1 : c.y0), SeekOrigin::Current);
    std::int64_t done = 0;
    try {
        for (; done < rows; ++done) {
            const std::int64_t y = info.bottomUp ? c.y1 - 1 - done : c.y0 + done;
            Pixel* dst = b.At(int(c.x0), int(y));
            if (direct) {
                s->ReadBuffer(dst, prefix);
            } else {
                s->ReadBuffer(row.data(), prefix);
                ConvertRow(info, useMasks ? fields.data() : nullptr, row.data(), c.x0, c.x1, dst);
            }
            if (rowSize > prefix && done + 1 < rows) s->Seek(rowSize - prefix, SeekOrigin::Current);
            GFXFile::ReportRows(done, rows);
        }
    } catch (...) {
        // What was not decoded reads as 0, as if the image had been cleared.
        if (info.bottomUp)
            ClearRows(b, c, c.y0, c.y1 - done);
        else
            ClearRows(b, c, c.y0 + done, c.y1);
        throw;
    }
}

// Run-length decoding state: the position in stored order (y counts rows
// from the bottom of the image).
struct RleState {
    Buffer& b;
    const DibInfo& info;
    const Clip& c;
    std::int64_t x = 0;
    std::int64_t y = 0;

    // Puts count pixels alternating between colours a and b (equal for
    // RLE8) at the position and advances it; pixels outside are dropped.
    void Run(std::int64_t count, Pixel ca, Pixel cb) {
        const std::int64_t from = std::max(x, c.x0);
        const std::int64_t to = std::min(x + count, c.x1);
        if (from < to && y < info.height) {
            const std::int64_t r = info.height - 1 - y;
            if (r >= c.y0 && r < c.y1) {
                Pixel* out = b.At(int(from), int(r));
                for (std::int64_t i = from; i < to; ++i) *out++ = ((i - x) & 1) ? cb : ca;
            }
        }
        x += count;
    }
    // Moves up n rows; progress counts the rows before the last one done.
    void NextRows(std::int64_t n) {
        y += n;
        GFXFile::ReportRows(std::min(y, info.height) - 1, info.height);
    }
};

// fresh: b was just allocated by us and is already clear.
void DecodeRle(Buffer& b, const DibInfo& info, const Clip& c, TStream* s, bool fresh) {
    if (!fresh) ClearRows(b, c, c.y0, c.y1);
    StreamBuf sb(s, 2048);
    RleState st{b, info, c};
    const bool four = info.bits == 4;
    while (st.y < info.height) {
        const int count = sb.Get();
        const int value = sb.Get();
        if (count > 0) {
            const Pixel hi = info.table[four ? value >> 4 : value];
            st.Run(count, hi, four ? info.table[value & 15] : hi);
            continue;
        }
        switch (value) {
        case 0: // end of line
            st.x = 0;
            st.NextRows(1);
            break;
        case 1: // end of bitmap
            return;
        case 2: { // delta: move right and up
            const int dx = sb.Get();
            const int dy = sb.Get();
            st.x += dx;
            if (dy != 0) st.NextRows(dy);
            break;
        }
        default: { // literal indices, padded to a 16-bit boundary
            const int bytes = four ? (value + 1) / 2 : value;
            for (int i = 0; i < bytes; ++i) {
                const int v = sb.Get();
                if (four) {
                    st.Run(1, info.table[v >> 4], 0);
                    if (2 * i + 1 < value) st.Run(1, info.table[v & 15], 0);
                } else {
                    st.Run(1, info.table[v], 0);
                }
            }
            if (bytes & 1) sb.Get();
            break;
        }
        }
    }
}

std::size_t InfoBlockSize(const BITMAPINFO* bi) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bi);
    const std::uint32_t headerSize = LE32(p);
    const bool core = headerSize < 40;
    const std::size_t tableAt = core ? 36 : headerSize;
    const std::uint32_t bits = LE16(p + 14);
    if (!core && LE32(p + 16) == BI_BITFIELDS) return headerSize >= 52 ? headerSize : tableAt + 12;
    if (bits > 8) return tableAt;
    const std::uint32_t used = core ? 0 : LE32(p + 32);
    const std::size_t count = std::min<std::size_t>(used != 0 ? used : 1u << bits, 256);
    return tableAt + count * (core ? 3 : 4);
}

} // namespace

void BitmapFromStream(Buffer& b, const BITMAPINFO* bi, TStream* s) {
    BitmapFromStream(b, bi, InfoBlockSize(bi), s);
}

void BitmapFromStream(Buffer& b, const BITMAPINFO* bi, std::size_t infoSize, TStream* s) {
    const DibInfo info = ParseInfo(reinterpret_cast<const std::uint8_t*>(bi), infoSize);
    if (info.width == 0 || info.height == 0) return; // an empty image
    const std::int64_t rowSize = (info.width * info.bits + 31) / 32 * 4;
    if (rowSize > INT64_MAX / info.height) throw EInvalidImage();
    const bool rle = info.compression == BI_RLE8 || info.compression == BI_RLE4;
    const bool fresh = b.Empty();
    // A run packet gives at most 255 pixels for 2 bytes, so a large image
    // whose data could not cover it with runs is refused before allocating.
    AllocImage(b, info.width, info.height, s,
               rle ? (info.width * info.height * 2 + 254) / 255 : rowSize * info.height);
    const Clip c{std::max<std::int64_t>(0, b.Area.Left),
                 std::min<std::int64_t>(info.width, std::int64_t(b.Area.Right) + 1),
                 std::max<std::int64_t>(0, b.Area.Top),
                 std::min<std::int64_t>(info.height, std::int64_t(b.Area.Bottom) + 1)};
    if (c.Empty()) return;
    if (rle)
        DecodeRle(b, info, c, s, fresh);
    else
        DecodeRows(b, info, c, s);
}

} // namespace pixkit
