// IFF "FORM" files of type "ILBM" (interleaved bit planes) and "PBM " (one
// byte per pixel), as laid down in EA IFF 85 and its ILBM form: big-endian
// chunk sizes, bodies padded to even length. Reads 1 to 8 planes through a
// colour map (including hold-and-modify and extra-half-brite pictures), 24
// planes of true colour, an optional mask plane (skipped), uncompressed or
// ByteRun1. Writes 24-plane ByteRun1 ILBM.
#include "codecs/bitplanes.h"
#include "codecs/formats.h"
#include "codecs/image_target.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

using ChunkId = std::array<char, 4>;
constexpr ChunkId kForm{'F', 'O', 'R', 'M'}, kIlbm{'I', 'L', 'B', 'M'}, kPbm{'P', 'B', 'M', ' '},
    kBmhd{'B', 'M', 'H', 'D'}, kCmap{'C', 'M', 'A', 'P'}, kCamg{'C', 'A', 'M', 'G'},
    kBody{'B', 'O', 'D', 'Y'};

constexpr int kBmhdSize = 20;
constexpr int kMaxCmapBytes = 768;
constexpr int kTrueColourPlanes = 24;
constexpr std::uint32_t kCamgHam = 0x800; // hold and modify
constexpr std::uint32_t kCamgEhb = 0x80;  // extra half-brite
constexpr int kMaskPlane = 1;             // masking: a mask plane follows each row's planes
constexpr int kMaxPacket = 128;

struct Bmhd {
    int width = 0, height = 0;
    std::int16_t x = 0, y = 0;
    int planes = 0, masking = 0, compression = 0;
    int transparent = 0;
};

struct Chunk {
    ChunkId id{};
    std::uint32_t size = 0;
};

std::uint32_t BE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (p[2] << 8) | p[3];
}
int BE16(const std::uint8_t* p) {
    return (p[0] << 8) | p[1];
}

Chunk ReadChunkHeader(TStream* s) {
    std::uint8_t raw[8];
    s->ReadBuffer(raw, 8);
    Chunk c;
    std::memcpy(c.id.data(), raw, 4);
    c.size = BE32(raw + 4);
    return c;
}

void SkipBody(TStream* s, std::uint32_t size) {
    s->Seek(std::int64_t(size) + (size & 1), SeekOrigin::Current);
}

// Reads chunk headers, skipping bodies, up to the first chunk called id.
Chunk FindChunk(TStream* s, const ChunkId& id) {
    for (Chunk c = ReadChunkHeader(s);; c = ReadChunkHeader(s)) {
        if (c.id == id) return c;
        SkipBody(s, c.size);
    }
}

// What Test establishes: the form type and the bitmap header, with the
// stream after the header's 20 bytes. valid is false for a FORM this codec
// cannot read.
struct FormHeader {
    bool pbm = false;
    bool valid = false;
    Bmhd bmhd;
    std::uint32_t bmhdSize = 0;
};

bool Loadable(const FormHeader& f) {
    const Bmhd& h = f.bmhd;
    if (h.width < 1 || h.height < 1 || h.compression > 1) return false;
    if (f.pbm) return h.planes == 8 && h.masking != kMaskPlane;
    return (h.planes >= 1 && h.planes <= 8) || h.planes == kTrueColourPlanes;
}

// Raises EReadError when the stream is too short; returns with valid false
// when the file is a FORM of another type or has a short header.
bool ReadFormHeader(TStream* s, FormHeader& f) {
    if (ReadChunkHeader(s).id != kForm) return false;
    ChunkId type;
    s->ReadBuffer(type.data(), 4);
    f.pbm = type == kPbm;
    if (!f.pbm && type != kIlbm) return true;
    f.bmhdSize = FindChunk(s, kBmhd).size;
    if (f.bmhdSize < kBmhdSize) return true;
    std::uint8_t raw[kBmhdSize];
    s->ReadBuffer(raw, kBmhdSize);
    Bmhd& h = f.bmhd;
    h.width = BE16(raw);
    h.height = BE16(raw + 2);
    h.x = static_cast<std::int16_t>(BE16(raw + 4));
    h.y = static_cast<std::int16_t>(BE16(raw + 6));
    h.planes = raw[8];
    h.masking = raw[9];
    h.compression = raw[10];
    h.transparent = BE16(raw + 12);
    f.valid = Loadable(f);
    return true;
}

void Describe(const FormHeader& f, GFXFileDesc* d) {
    d->Width = f.bmhd.width;
    d->Height = f.bmhd.height;
    d->Color = 1;
    d->WithPal = f.bmhd.planes <= 8 ? 1 : 0;
    d->BPP = static_cast<std::uint8_t>(f.bmhd.planes);
    d->BPCC = 8;
}

// The chunks between the header and the body that shape the picture.
struct Extras {
    std::array<Pixel, 256> cmap{};
    int cmapEntries = -1; // -1: no colour map
    std::uint32_t camg = 0;
};

void ReadCmap(TStream* s, std::uint32_t size, Extras& e) {
    if (size > kMaxCmapBytes) throw EInvalidImage();
    std::uint8_t raw[kMaxCmapBytes];
    s->ReadBuffer(raw, size);
    if (size & 1) s->Seek(1, SeekOrigin::Current); // the pad byte
    e.cmapEntries = int(size / 3);
    for (int i = 0; i < e.cmapEntries; ++i)
        e.cmap[i] = (Pixel(raw[3 * i]) << 16) | (Pixel(raw[3 * i + 1]) << 8) | raw[3 * i + 2];
}

// Reads chunks up to "BODY", keeping the display mode and, for pictures
// through a colour map, the colour map.
Extras ReadExtras(TStream* s, bool wantCmap) {
    Extras e;
    for (;;) {
        const Chunk c = ReadChunkHeader(s);
        if (c.id == kBody) return e;
        if (c.id == kCmap && wantCmap) {
            ReadCmap(s, c.size, e);
        } else if (c.id == kCamg && c.size >= 4) {
            std::uint8_t raw[4];
            s->ReadBuffer(raw, 4);
            e.camg = BE32(raw);
            SkipBody(s, c.size - 4);
        } else {
            SkipBody(s, c.size);
        }
    }
}

// Without a colour map the indices are grey levels from black to white.
void GreyRamp(Extras& e, int planes) {
    const unsigned top = (1u << planes) - 1;
    for (unsigned i = 0; i <= top; ++i) {
        const unsigned v = (i * 255 + top / 2) / top;
        e.cmap[i] = (v << 16) | (v << 8) | v;
    }
}

// Extra half-brite: indices 32 to 63 show colours 0 to 31 at half level.
void HalfBrite(Extras& e) {
    for (int i = 0; i < 32; ++i) e.cmap[32 + i] = (e.cmap[i] >> 1) & 0x7F7F7F;
}

// How a row's bytes are laid out and turned into pixels.
struct Layout {
    std::int64_t planeBytes; // bytes of one plane row (PBM: the whole row)
    int storedPlanes;        // plane rows stored per row, mask plane included
    bool ham;

    std::int64_t RowBytes() const { return planeBytes * storedPlanes; }
};

Layout MakeLayout(const FormHeader& f, const Extras& e) {
    const Bmhd& h = f.bmhd;
    if (f.pbm) return {(h.width + 1) & ~1, 1, false};
    const int stored = h.planes + (h.masking == kMaskPlane ? 1 : 0);
    const bool ham = (e.camg & kCamgHam) != 0 && h.planes >= 3 && h.planes <= 8;
    return {std::int64_t((h.width + 15) / 16) * 2, stored, ham};
}

// The fewest bytes that can hold the body: a ByteRun1 packet yields at
// most 128 bytes from at least 2, and packets do not cross plane rows.
// AllocImage refuses a large image whose file is shorter before allocating
// for the size it claims.
std::int64_t MinBodyBytes(const FormHeader& f, const Layout& l) {
    const std::int64_t perPlane =
        f.bmhd.compression == 1 ? 2 * ((l.planeBytes + kMaxPacket - 1) / kMaxPacket) : l.planeBytes;
    return perPlane * l.storedPlanes * f.bmhd.height;
}

// One plane row of n bytes in ByteRun1: a control byte 0..127 copies the
// next n + 1 bytes, -127..-1 repeats the next byte 1 - n times, -128 is
// no operation. A packet may not run past the end of the row.
void UnpackPlane(StreamBuf& in, std::uint8_t* p, std::int64_t n) {
    std::uint8_t* const end = p + n;
    while (p < end) {
        const int c = static_cast<std::int8_t>(in.Get());
        if (c >= 0) {
            if (c + 1 > end - p) throw EInvalidImage();
            in.Read(p, c + 1);
            p += c + 1;
        } else if (c != -128) {
            if (1 - c > end - p) throw EInvalidImage();
            std::memset(p, in.Get(), static_cast<std::size_t>(1 - c));
            p += 1 - c;
        }
    }
}

// Turns rows of stored bytes into pixels.
struct RowDecoder {
    const FormHeader& f;
    const Extras& e;
    const Layout& l;
    std::vector<std::uint8_t> bytes; // one byte per pixel and component
    std::int64_t stride;             // of bytes, per component

    RowDecoder(const FormHeader& form, const Extras& extras, const Layout& layout)
        : f(form), e(extras), l(layout), stride((form.bmhd.width + 7) & ~std::int64_t(7)) {
        bytes.resize(static_cast<std::size_t>(3 * stride));
    }

    void operator()(const std::uint8_t* row, Pixel* out) {
        const std::int64_t w = f.bmhd.width;
        if (f.pbm) {
            for (std::int64_t x = 0; x < w; ++x) out[x] = e.cmap[row[x]];
            return;
        }
        std::uint8_t* r = bytes.data();
        if (f.bmhd.planes == kTrueColourPlanes) {
            std::uint8_t* g = r + stride;
            std::uint8_t* b = g + stride;
            bitplanes::PlanesToBytes(row, l.planeBytes, 8, w, r);
            bitplanes::PlanesToBytes(row + 8 * l.planeBytes, l.planeBytes, 8, w, g);
            bitplanes::PlanesToBytes(row + 16 * l.planeBytes, l.planeBytes, 8, w, b);
            for (std::int64_t x = 0; x < w; ++x)
                out[x] = (Pixel(r[x]) << 16) | (Pixel(g[x]) << 8) | b[x];
            return;
        }
        bitplanes::PlanesToBytes(row, l.planeBytes, f.bmhd.planes, w, r);
        if (l.ham) {
            HoldAndModify(r, out);
            return;
        }
        for (std::int64_t x = 0; x < w; ++x) out[x] = e.cmap[r[x]];
    }

    // Hold and modify: the two top bits of each value choose between a
    // colour-map entry (0) and changing blue (1), red (2) or green (3) of
    // the pixel to the left. A change replaces the component's top bits by
    // the value's low bits and keeps the rest, as the display hardware does
    // (HAM8 keeps the two lowest bits). Each row starts from colour 0.
    void HoldAndModify(const std::uint8_t* v, Pixel* out) const {
        const int bits = f.bmhd.planes - 2;
        const unsigned mask = (1u << bits) - 1;
        const int up = 8 - bits;
        static constexpr int kShift[4] = {0, 0, 16, 8};
        Pixel c = e.cmap[0];
        for (std::int64_t x = 0; x < f.bmhd.width; ++x) {
            const unsigned value = v[x] & mask;
            const unsigned op = v[x] >> bits;
            if (op == 0) {
                c = e.cmap[value];
            } else {
                const int shift = kShift[op] + up;
                c = (c & ~(Pixel(mask) << shift)) | (Pixel(value) << shift);
            }
            out[x] = c;
        }
    }
};

// ByteRun1 packing of one plane row: runs of three or more equal bytes
// become repeat packets of up to 128, everything else literal packets of up
// to 128 bytes.
std::uint8_t* PackPlane(const std::uint8_t* p, std::int64_t n, std::uint8_t* out) {
    std::int64_t i = 0, literal = 0;
    auto flushLiteral = [&](std::int64_t end) {
        while (literal < end) {
            const std::int64_t k = std::min<std::int64_t>(end - literal, kMaxPacket);
            *out++ = static_cast<std::uint8_t>(k - 1);
            out = std::copy(p + literal, p + literal + k, out);
            literal += k;
        }
    };
    while (i < n) {
        std::int64_t run = 1;
        while (i + run < n && p[i + run] == p[i]) ++run;
        if (run < 3) {
            i += run;
            continue;
        }
        flushLiteral(i);
        for (; run > 0; run -= kMaxPacket) {
            const std::int64_t k = std::min<std::int64_t>(run, kMaxPacket);
            *out++ = static_cast<std::uint8_t>(1 - k);
            *out++ = p[i];
            i += k;
        }
        literal = i;
    }
    flushLiteral(n);
    return out;
}

void PutBE16(std::uint8_t* p, int v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
void PutBE32(std::uint8_t* p, std::uint32_t v) {
    PutBE16(p, int(v >> 16));
    PutBE16(p + 2, int(v & 0xFFFF));
}

class IffFormat final : public GFXFile {
  public:
    IffFormat() : GFXFile("Amiga IFF", "*.IFF;*.LBM;*.ILB;*.ILBM", true) {}

    std::int8_t Test(TStream* s, GFXFileDesc* d) override {
        return GuardedTest(s, [&]() -> std::int8_t {
            FormHeader f;
            if (!ReadFormHeader(s, f)) return 0;
            // A FORM this codec cannot load is still described when its
            // bitmap header could be read.
            if (d != nullptr && f.bmhdSize >= kBmhdSize) Describe(f, d);
            return f.valid ? 1 : -1;
        });
    }

    void Load(Buffer& b, TStream* s, GFXtra32* x) override {
        FormHeader f;
        if (!ReadFormHeader(s, f) || !f.valid) throw EInvalidImage();
        SkipBody(s, f.bmhdSize - kBmhdSize);
        const bool mapped = f.bmhd.planes <= 8;
        Extras e = ReadExtras(s, mapped);
        const Layout l = MakeLayout(f, e);
        if (mapped && !l.ham) {
            if (e.cmapEntries < 0) GreyRamp(e, f.bmhd.planes);
            if ((e.camg & kCamgEhb) != 0 && f.bmhd.planes == 6) HalfBrite(e);
        }
        AllocImage(b, f.bmhd.width, f.bmhd.height, s, MinBodyBytes(f, l));
        ImageTarget target(b, f.bmhd.width, f.bmhd.height);
        Decode(target, s, f, e, l);
        if (x != nullptr) {
            x->HotX = f.bmhd.x;
            x->HotY = f.bmhd.y;
            if (f.bmhd.planes <= 8) {
                x->Back = e.cmap[f.bmhd.transparent & 0xFF];
                x->Fore = e.cmap[f.bmhd.transparent >> 8];
            }
        }
    }

    void Save(Buffer& b, TStream* s, GFXtra32* x, Buffer*) override;

    int GetImgCount(TStream*) override { return 1; }

  private:
    static void Decode(ImageTarget& target, TStream* s, const FormHeader& f, const Extras& e,
                       const Layout& l) {
        StreamBuf in(s, 2048);
        // Room for the plane reader to work in whole 8-pixel groups.
        std::vector<std::uint8_t> row(static_cast<std::size_t>(l.RowBytes() + 8));
        std::vector<Pixel> pixels(static_cast<std::size_t>(f.bmhd.width));
        RowDecoder convert(f, e, l);
        for (std::int64_t y = 0; y < target.Rows(); ++y) {
            for (int p = 0; p < l.storedPlanes; ++p) {
                std::uint8_t* plane = row.data() + p * l.planeBytes;
                if (f.bmhd.compression == 1)
                    UnpackPlane(in, plane, l.planeBytes);
                else
                    in.Read(plane, l.planeBytes);
            }
            convert(row.data(), pixels.data());
            target.Put(y, pixels.data());
            ReportRows(y + 1, target.Rows());
        }
    }
};

// The 24 planes of one row: bit k of red, green and blue goes to planes k,
// 8 + k and 16 + k.
void RowToPlanes(const Pixel* row, std::int64_t w, std::vector<std::uint8_t>& component,
                 std::uint8_t* planes, std::int64_t planeBytes) {
    for (int c = 0; c < 3; ++c) {
        const int shift = 16 - 8 * c;
        for (std::int64_t x = 0; x < w; ++x)
            component[x] = static_cast<std::uint8_t>(row[x] >> shift);
        bitplanes::BytesToPlanes(component.data(), w, 8, planes + 8 * c * planeBytes, planeBytes);
    }
}

void IffFormat::Save(Buffer& b, TStream* s, GFXtra32* x, Buffer*) {
    const std::int64_t w = b.Empty() ? 0 : b.Width();
    const std::int64_t h = b.Empty() ? 0 : b.Height();
    if (w > 0xFFFF || h > 0xFFFF) throw EInvalidImage(); // 16-bit header fields
    const std::int64_t start = s->Position();

    std::uint8_t head[48] = {'F', 'O', 'R', 'M', 0,   0,   0, 0, 'I', 'L',
                             'B', 'M', 'B', 'M', 'H', 'D', 0, 0, 0,   kBmhdSize};
    std::uint8_t* bmhd = head + 20;
    PutBE16(bmhd, int(w));
    PutBE16(bmhd + 2, int(h));
    PutBE16(bmhd + 4, x != nullptr ? x->HotX : 0);
    PutBE16(bmhd + 6, x != nullptr ? x->HotY : 0);
    bmhd[8] = kTrueColourPlanes;
    bmhd[10] = 1; // ByteRun1
    bmhd[14] = 1; // aspect 1:1
    bmhd[15] = 1;
    PutBE16(bmhd + 16, int(w));
    PutBE16(bmhd + 18, int(h));
    std::memcpy(head + 40, "BODY", 4);
    s->WriteBuffer(head, sizeof head);

    const std::int64_t planeBytes = (w + 15) / 16 * 2;
    std::vector<std::uint8_t> component(static_cast<std::size_t>(planeBytes * 8));
    std::vector<std::uint8_t> planes(static_cast<std::size_t>(planeBytes * kTrueColourPlanes));
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(2 * planes.size() + 2));
    std::int64_t body = 0;
    for (std::int64_t y = 0; y < h; ++y) {
        RowToPlanes(b.At(b.Area.Left, int(b.Area.Top + y)), w, component, planes.data(),
                    planeBytes);
        std::uint8_t* out = packed.data();
        for (int p = 0; p < kTrueColourPlanes; ++p)
            out = PackPlane(planes.data() + p * planeBytes, planeBytes, out);
        s->WriteBuffer(packed.data(), out - packed.data());
        body += out - packed.data();
        ReportRows(y, h);
    }
    if (body & 1) s->WriteBuffer("", 1);

    const std::int64_t end = s->Position();
    if (end - start - 8 > 0xFFFFFFFF) throw EInvalidImage(); // beyond a 32-bit chunk size
    std::uint8_t size[4];
    PutBE32(size, static_cast<std::uint32_t>(body));
    s->SetPosition(start + 44);
    s->WriteBuffer(size, 4);
    PutBE32(size, static_cast<std::uint32_t>(end - start - 8));
    s->SetPosition(start + 4);
    s->WriteBuffer(size, 4);
    s->SetPosition(end);
}

} // namespace

std::unique_ptr<GFXFile> NewIffFormat() {
    return std::make_unique<IffFormat>();
}

} // namespace pixkit
