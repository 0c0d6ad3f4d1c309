// PC Paintbrush PCX: a 128-byte header, then run-length encoded scanlines.
// Reads 1-bit planes (1 to 4, colours from the 16-entry header palette),
// packed 1-, 2- and 4-bit pixels in one plane (header palette), 8-bit
// indices into the 256-colour palette at the end of the file, and 8-bit red,
// green and blue planes. Writes 8-bit red, green and blue planes.
#include "codecs/bitplanes.h"
#include "codecs/formats.h"
#include "codecs/image_target.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

constexpr int kHeaderSize = 128;
constexpr int kVgaPaletteSize = 768;
constexpr std::uint8_t kVgaPaletteMarker = 12;
constexpr std::uint8_t kManufacturer = 10;
constexpr int kRunFlag = 0xC0; // bytes from 192 up start a run
constexpr int kMaxRun = 63;

struct PcxHeader {
    std::uint8_t raw[kHeaderSize];
    int bits = 0;
    int planes = 0;
    int bytesPerLine = 0;
    std::uint16_t xmin = 0;
    std::uint16_t ymin = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;

    int Word(int at) const { return raw[at] | (raw[at + 1] << 8); }
    bool Indexed() const { return bits < 8 || planes == 1; }
    std::int64_t LineBytes() const { return std::int64_t(bytesPerLine) * planes; }
};

PcxHeader ReadHeader(TStream* s) {
    PcxHeader h;
    s->ReadBuffer(h.raw, kHeaderSize);
    h.bits = h.raw[3];
    h.planes = h.raw[65];
    h.bytesPerLine = h.Word(66);
    h.xmin = static_cast<std::uint16_t>(h.Word(4));
    h.ymin = static_cast<std::uint16_t>(h.Word(6));
    // The window is stored as 16-bit corners; counting modulo 2^16 keeps
    // images whose origin is a negative hot spot the size they were saved.
    h.width = ((h.Word(8) - h.xmin) & 0xFFFF) + 1;
    h.height = ((h.Word(10) - h.ymin) & 0xFFFF) + 1;
    return h;
}

bool SupportedLayout(const PcxHeader& h) {
    if (h.bits == 8) return h.planes == 1 || h.planes == 3;
    if (h.bits == 1) return h.planes >= 1 && h.planes <= 4;
    return (h.bits == 2 || h.bits == 4) && h.planes == 1;
}

// 0: not PCX; 1: loadable; -1: PCX in a form this codec cannot read, which
// includes scanlines too short to hold the image's width.
int Classify(const PcxHeader& h) {
    if (h.raw[0] != kManufacturer) return 0;
    if (h.raw[2] != 1 || !SupportedLayout(h)) return -1;
    if (std::int64_t(h.bytesPerLine) * 8 < h.width * h.bits) return -1;
    return 1;
}

void Describe(const PcxHeader& h, GFXFileDesc* d) {
    d->Width = static_cast<std::int32_t>(h.width);
    d->Height = static_cast<std::int32_t>(h.height);
    d->WithPal = h.Indexed() ? 1 : 0;
    d->Color = h.Indexed() && h.Word(68) == 2 ? 0 : 1;
    d->BPP = static_cast<std::uint8_t>(h.bits * h.planes);
    d->BPCC = 8;
}

using Palette = std::array<Pixel, 256>;

Pixel Rgb(const std::uint8_t* p) {
    return (Pixel(p[0]) << 16) | (Pixel(p[1]) << 8) | p[2];
}

// The 16 header entries. A one-bit image whose first two entries are both
// black was written without a palette (PC Paintbrush before 2.8, several
// libraries): it is black and white, not black on black.
Palette HeaderPalette(const PcxHeader& h) {
    Palette pal{};
    for (int i = 0; i < 16; ++i) pal[i] = Rgb(h.raw + 16 + 3 * i);
    if (h.bits == 1 && h.planes == 1 && pal[0] == 0 && pal[1] == 0) pal[1] = 0xFFFFFF;
    return pal;
}

// The 256-colour palette: the marker byte 12 and 768 bytes of red, green,
// blue at the very end of the file. Leaves the stream at the image data.
Palette VgaPalette(TStream* s, std::int64_t dataStart) {
    const std::int64_t size = s->Size();
    if (size - (kVgaPaletteSize + 1) < dataStart) throw EInvalidImage();
    s->Seek(-(kVgaPaletteSize + 1), SeekOrigin::End);
    std::uint8_t bytes[kVgaPaletteSize + 1];
    s->ReadBuffer(bytes, sizeof bytes);
    if (bytes[0] != kVgaPaletteMarker) throw EInvalidImage();
    Palette pal;
    for (int i = 0; i < 256; ++i) pal[i] = Rgb(bytes + 1 + 3 * i);
    s->SetPosition(dataStart);
    return pal;
}

// The fewest bytes after the header that can hold the image: every packet
// yields at most 63 bytes. AllocImage refuses a large image whose file is
// shorter before allocating for the size it claims.
std::int64_t MinDataBytes(const PcxHeader& h) {
    const std::int64_t perRow = (h.LineBytes() + kMaxRun - 1) / kMaxRun;
    const std::int64_t trailer = h.bits == 8 && h.planes == 1 ? kVgaPaletteSize + 1 : 0;
    return perRow * h.height + trailer;
}

// One packet: a literal byte, or a run of (c & 63) copies of the next byte.
// A run may not continue into the next scanline.
inline const std::uint8_t* Packet(const std::uint8_t* src, std::uint8_t*& p, std::uint8_t* end) {
    const std::uint8_t c = *src++;
    if (c < kRunFlag) {
        *p++ = c;
        return src;
    }
    const int count = c & kMaxRun;
    if (count > end - p) throw EInvalidImage();
    std::memset(p, *src++, static_cast<std::size_t>(count));
    p += count;
    return src;
}

// One scanline of n bytes. Packets that lie whole in the read buffer are
// taken straight from it; one that straddles a refill goes through Get.
void DecodeScanline(StreamBuf& in, std::uint8_t* line, std::int64_t n) {
    std::uint8_t* p = line;
    std::uint8_t* const end = line + n;
    while (p < end) {
        if (in.Count - in.Pos >= 2) {
            const std::uint8_t* src = in.Buf.get() + in.Pos;
            const std::uint8_t* const last = in.Buf.get() + in.Count - 1;
            while (p < end && src < last) src = Packet(src, p, end);
            in.Pos = static_cast<int>(src - in.Buf.get());
            continue;
        }
        const std::uint8_t two[2] = {in.Get(), 0};
        if (two[0] >= kRunFlag) {
            const std::uint8_t run[2] = {two[0], in.Get()};
            Packet(run, p, end);
        } else {
            Packet(two, p, end);
        }
    }
}

// Scanline bytes to pixels, per layout.
struct Converter {
    const PcxHeader& h;
    const Palette& pal;
    std::vector<std::uint8_t> index; // one palette index per pixel

    void operator()(const std::uint8_t* line, Pixel* out) {
        const std::int64_t w = h.width;
        if (h.bits == 8 && h.planes == 3) {
            const std::uint8_t* r = line;
            const std::uint8_t* g = line + h.bytesPerLine;
            const std::uint8_t* b = g + h.bytesPerLine;
            for (std::int64_t x = 0; x < w; ++x)
                out[x] = (Pixel(r[x]) << 16) | (Pixel(g[x]) << 8) | b[x];
            return;
        }
        const std::uint8_t* idx = line;
        if (h.bits == 1) {
            bitplanes::PlanesToBytes(line, h.bytesPerLine, h.planes, w, index.data());
            idx = index.data();
        } else if (h.bits != 8) {
            Unpack(line, w);
            idx = index.data();
        }
        for (std::int64_t x = 0; x < w; ++x) out[x] = pal[idx[x]];
    }

    // Packed 2- and 4-bit pixels, leftmost in the high bits.
    void Unpack(const std::uint8_t* line, std::int64_t w) {
        const int perByte = 8 / h.bits;
        const unsigned mask = (1u << h.bits) - 1;
        for (std::int64_t x = 0; x < w; ++x) {
            const int shift = 8 - h.bits * (1 + int(x % perByte));
            index[x] = static_cast<std::uint8_t>((line[x / perByte] >> shift) & mask);
        }
    }
};

// Run-length encoding of one plane: runs of 64 and more give (255, value)
// pairs of 63 bytes; what is left is a (192 + n, value) pair, or the bytes
// themselves when they are below 192 and at most two.
std::uint8_t* EncodePlane(const std::uint8_t* p, std::int64_t n, std::uint8_t* out) {
    const std::uint8_t* const end = p + n;
    while (p < end) {
        const std::uint8_t v = *p;
        const std::uint8_t* q = p + 1;
        while (q < end && *q == v) ++q;
        std::int64_t run = q - p;
        p = q;
        if (run == 1) {
            // The common case in photographs; the run byte is written
            // always and kept only for values of 192 and more.
            *out = kRunFlag | 1;
            out += v >= kRunFlag;
            *out++ = v;
            continue;
        }
        for (; run > kMaxRun; run -= kMaxRun) {
            *out++ = kRunFlag | kMaxRun;
            *out++ = v;
        }
        if (v >= kRunFlag || run > 2) {
            *out++ = static_cast<std::uint8_t>(kRunFlag | run);
            *out++ = v;
        } else {
            for (; run > 0; --run) *out++ = v;
        }
    }
    return out;
}

void PutWord(std::uint8_t* at, int v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

class PcxFormat final : public GFXFile {
  public:
    PcxFormat() : GFXFile("PC PaintBrush PCX", "*.PCX", true) {}

    std::int8_t Test(TStream* s, GFXFileDesc* d) override {
        return GuardedTest(s, [&]() -> std::int8_t {
            const PcxHeader h = ReadHeader(s);
            const int result = Classify(h);
            if (result != 0 && d != nullptr) Describe(h, d);
            return static_cast<std::int8_t>(result);
        });
    }

    void Load(Buffer& b, TStream* s, GFXtra32* x) override {
        const PcxHeader h = ReadHeader(s);
        if (Classify(h) != 1) throw EInvalidImage();
        const std::int64_t dataStart = s->Position();
        Palette pal{};
        if (h.bits == 8 && h.planes == 1)
            pal = VgaPalette(s, dataStart);
        else if (h.Indexed())
            pal = HeaderPalette(h);
        AllocImage(b, h.width, h.height, s, MinDataBytes(h));
        ImageTarget target(b, h.width, h.height);
        Decode(target, s, h, pal);
        if (x != nullptr) {
            x->HotX = static_cast<std::int16_t>(h.xmin);
            x->HotY = static_cast<std::int16_t>(h.ymin);
        }
    }

    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer*) override {
        const std::int64_t w = b.Empty() ? 0 : b.Width();
        const std::int64_t h = b.Empty() ? 0 : b.Height();
        // Corners and line length are 16-bit fields.
        if (w > 0xFFFF || h > 0xFFFF) throw EInvalidImage();
        WriteHeader(s, x, int(w), int(h));
        std::vector<std::uint8_t> planes(static_cast<std::size_t>(3 * w + 1));
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(6 * w + 1));
        for (std::int64_t y = 0; y < h; ++y) {
            const Pixel* row = b.At(b.Area.Left, int(b.Area.Top + y));
            std::uint8_t* const red = planes.data();
            std::uint8_t* const green = red + w;
            std::uint8_t* const blue = green + w;
            for (std::int64_t i = 0; i < w; ++i) {
                red[i] = static_cast<std::uint8_t>(row[i] >> 16);
                green[i] = static_cast<std::uint8_t>(row[i] >> 8);
                blue[i] = static_cast<std::uint8_t>(row[i]);
            }
            std::uint8_t* out = packed.data();
            for (const std::uint8_t* plane : {red, green, blue}) out = EncodePlane(plane, w, out);
            s->WriteBuffer(packed.data(), out - packed.data());
            ReportRows(y, h);
        }
    }

    int GetImgCount(TStream*) override { return 1; }

  private:
    static void Decode(ImageTarget& target, TStream* s, const PcxHeader& h, const Palette& pal) {
        StreamBuf in(s, 2048);
        const std::int64_t lineBytes = h.LineBytes();
        std::vector<std::uint8_t> line(static_cast<std::size_t>(lineBytes + 8));
        std::vector<Pixel> row(static_cast<std::size_t>(h.width));
        Converter convert{h, pal, std::vector<std::uint8_t>(std::size_t(h.width + 8))};
        for (std::int64_t y = 0; y < target.Rows(); ++y) {
            DecodeScanline(in, line.data(), lineBytes);
            convert(line.data(), row.data());
            target.Put(y, row.data());
            ReportRows(y + 1, target.Rows());
        }
    }

    static void WriteHeader(TStream* s, const GFXtra32* x, int w, int h) {
        std::uint8_t raw[kHeaderSize] = {};
        const int xmin = x != nullptr ? x->HotX : 0;
        const int ymin = x != nullptr ? x->HotY : 0;
        raw[0] = kManufacturer;
        raw[1] = 5; // version 3.0 and later, with palette information
        raw[2] = 1; // run-length encoding
        raw[3] = 8;
        PutWord(raw + 4, xmin);
        PutWord(raw + 6, ymin);
        PutWord(raw + 8, xmin + w - 1);
        PutWord(raw + 10, ymin + h - 1);
        PutWord(raw + 12, 100);
        PutWord(raw + 14, 100);
        raw[65] = 3;
        PutWord(raw + 66, w);
        s->WriteBuffer(raw, kHeaderSize);
    }
};

} // namespace

std::unique_ptr<GFXFile> NewPcxFormat() {
    return std::make_unique<PcxFormat>();
}

} // namespace pixkit
