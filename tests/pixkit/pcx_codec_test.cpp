// PCX codec on hand-made files: the encoder's run rules, header fields and
// hot spot, the planar and palette layouts, loading into an existing
// buffer, and damaged files.
#include <pixkit/gfxfile.h>

#include "planar_test_images.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pixkit;
using Bytes = std::vector<std::uint8_t>;

namespace {

GFXFile& Pcx() {
    GFXFile* f = GFXFile::GetDefaultFormat("x.pcx");
    EXPECT_NE(f, nullptr);
    return *f;
}

Bytes SaveToBytes(Buffer& b, GFXtra32* x = nullptr) {
    TMemoryStream m;
    Pcx().Save(b, &m, x, nullptr);
    return m.Bytes();
}

Buffer Filled(int w, int h, Pixel c) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, c);
    return b;
}

// A PCX file: header fields given, scanlines stored as literal bytes (bytes
// of 192 and more as one-byte runs), optional trailing bytes.
struct PcxFile {
    int bits = 8, planes = 1, w = 1, h = 1, bpl = 1;
    int xmin = 0, ymin = 0;
    Bytes palette16 = Bytes(48, 0);
    std::vector<Bytes> lines;
    Bytes trailer;

    Bytes Build() const {
        Bytes f(128, 0);
        auto word = [&f](int at, int v) {
            f[at] = std::uint8_t(v);
            f[at + 1] = std::uint8_t(v >> 8);
        };
        f[0] = 10;
        f[1] = 5;
        f[2] = 1;
        f[3] = std::uint8_t(bits);
        word(4, xmin);
        word(6, ymin);
        word(8, xmin + w - 1);
        word(10, ymin + h - 1);
        std::copy(palette16.begin(), palette16.end(), f.begin() + 16);
        f[65] = std::uint8_t(planes);
        word(66, bpl);
        for (const Bytes& line : lines)
            for (std::uint8_t v : line) {
                if (v >= 192) f.push_back(193);
                f.push_back(v);
            }
        f.insert(f.end(), trailer.begin(), trailer.end());
        return f;
    }
};

Bytes VgaTrailer(Pixel (*colour)(int)) {
    Bytes t{12};
    for (int i = 0; i < 256; ++i) {
        const Pixel c = colour(i);
        t.push_back(std::uint8_t(c >> 16));
        t.push_back(std::uint8_t(c >> 8));
        t.push_back(std::uint8_t(c));
    }
    return t;
}

Pixel Ramp(int i) {
    return Pixel(i << 16 | (255 - i) << 8 | (i ^ 0x5A));
}

void LoadBytes(const Bytes& file, Buffer& b, GFXtra32* x = nullptr) {
    TFixedMemoryStream s(file.data(), file.size());
    Pcx().Load(b, &s, x);
}

} // namespace

TEST(PcxSave, RunsSplitAtSixtyThreeAndPlanesEncodeSeparately) {
    Buffer b = Filled(130, 1, 0x070707);
    const Bytes f = SaveToBytes(b);
    const Bytes plane{255, 7, 255, 7, 196, 7};
    Bytes body;
    for (int i = 0; i < 3; ++i) body.insert(body.end(), plane.begin(), plane.end());
    EXPECT_EQ(Bytes(f.begin() + 128, f.end()), body);

    // 64 = 63 + one byte, which stays a plain byte; 63 exactly is one pair.
    Buffer b64 = Filled(64, 1, 0x000009);
    const Bytes f64 = SaveToBytes(b64);
    EXPECT_EQ(Bytes(f64.begin() + 128, f64.end()), (Bytes{255, 0, 0, 255, 0, 0, 255, 9, 9}));
}

TEST(PcxSave, ShortRunsAreLiteralUnlessTheyLookLikeRunBytes) {
    Buffer one = Filled(1, 1, 0xC80505);
    const Bytes f1 = SaveToBytes(one);
    EXPECT_EQ(Bytes(f1.begin() + 128, f1.end()), (Bytes{193, 200, 5, 5}));

    Buffer two = Filled(2, 1, 0x05C005);
    const Bytes f2 = SaveToBytes(two);
    EXPECT_EQ(Bytes(f2.begin() + 128, f2.end()), (Bytes{5, 5, 194, 192, 5, 5}));

    Buffer three = Filled(3, 1, 0x050505);
    const Bytes f3 = SaveToBytes(three);
    EXPECT_EQ(Bytes(f3.begin() + 128, f3.end()), (Bytes{195, 5, 195, 5, 195, 5}));
}

TEST(PcxSave, HeaderCarriesSizeAndHotSpot) {
    Buffer b = Filled(3, 2, 0);
    GFXtra32 x{-4, 7, 0, 0, 1};
    const Bytes f = SaveToBytes(b, &x);
    ASSERT_GE(f.size(), 128u);
    auto word = [&f](int at) { return f[at] | (f[at + 1] << 8); };
    EXPECT_EQ(f[0], 10);
    EXPECT_EQ(f[1], 5);
    EXPECT_EQ(f[2], 1);
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(word(4), 0xFFFC);
    EXPECT_EQ(word(6), 7);
    EXPECT_EQ(word(8), 0xFFFE);
    EXPECT_EQ(word(10), 8);
    EXPECT_EQ(word(12), 100);
    EXPECT_EQ(word(14), 100);
    EXPECT_EQ(f[65], 3);
    EXPECT_EQ(word(66), 3); // odd: not rounded up
    EXPECT_EQ(std::count(f.begin() + 16, f.begin() + 128, 0),
              112 - 2); // only planes and line length

    // An empty buffer gives a header with a zero-pixel window.
    Buffer empty;
    const Bytes e = SaveToBytes(empty);
    EXPECT_EQ(e.size(), 128u);
}

TEST(PcxSave, RoundTripKeepsPixelsAndHotSpot) {
    const imgtools::RgbImage pic = planar::Picture(211, 37, 0, 5);
    Buffer b;
    planar::ToBuffer(pic, b);
    b.Bool(2, 0x5A000000); // the top byte is not stored
    GFXtra32 x{-300, 12000, 1, 2, 1};
    const Bytes f = SaveToBytes(b, &x);

    Buffer back;
    GFXtra32 y{0, 0, 1, 2, 1};
    LoadBytes(f, back, &y);
    EXPECT_TRUE(imgtools::SamePixels(back, pic));
    EXPECT_EQ(y.HotX, -300);
    EXPECT_EQ(y.HotY, 12000);
    EXPECT_EQ(y.Fore, 1u); // PCX has no colours to give
    EXPECT_EQ(y.Back, 2u);
}

TEST(PcxSave, RefusesSizesTheHeaderCannotHold) {
    Buffer b = Filled(65536, 1, 0);
    TMemoryStream m;
    EXPECT_THROW(Pcx().Save(b, &m, nullptr, nullptr), EInvalidImage);
}

TEST(PcxLoad, SixteenColourPlanesBuildTheIndexBitByBit) {
    PcxFile p;
    p.bits = 1;
    p.planes = 4;
    p.w = 9;
    p.bpl = 2;
    for (int i = 0; i < 16; ++i) p.palette16[3 * i] = std::uint8_t(i * 16 + 1);
    // Pixel 0 gets index 1 (plane 0), pixel 1 index 2, pixel 2 index 4,
    // pixel 3 index 8 (plane 3 is bit 3), pixel 8 index 15.
    p.lines = {{0x80, 0x80, 0x40, 0x80, 0x20, 0x80, 0x10, 0x80}};
    Buffer b;
    LoadBytes(p.Build(), b);
    ASSERT_EQ(b.Width(), 9);
    const Pixel want[9] = {0x110000, 0x210000, 0x410000, 0x810000, 0x010000,
                           0x010000, 0x010000, 0x010000, 0xF10000};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(*b.At(x, 0), want[x]) << x;
}

TEST(PcxLoad, MonochromeWithoutPaletteIsBlackAndWhite) {
    PcxFile p;
    p.bits = 1;
    p.w = 8;
    p.lines = {{0x0F}};
    Buffer b;
    LoadBytes(p.Build(), b);
    EXPECT_EQ(*b.At(0, 0), 0u);
    EXPECT_EQ(*b.At(7, 0), 0xFFFFFFu);

    p.palette16[0] = 0x20; // a real palette is used as it stands
    Buffer c;
    LoadBytes(p.Build(), c);
    EXPECT_EQ(*c.At(0, 0), 0x200000u);
    EXPECT_EQ(*c.At(7, 0), 0u);
}

TEST(PcxLoad, PackedPixelsAndVgaPalette) {
    PcxFile p2;
    p2.bits = 2;
    p2.w = 5;
    p2.bpl = 2;
    for (int i = 0; i < 4; ++i) p2.palette16[3 * i + 2] = std::uint8_t(10 * i);
    p2.lines = {{0x1B, 0xC0}}; // 0 1 2 3 | 3 0 0 0
    Buffer b;
    LoadBytes(p2.Build(), b);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(*b.At(x, 0), Pixel(10 * (x < 4 ? x : 3))) << x;

    PcxFile p8;
    p8.w = 3;
    p8.bpl = 4;
    p8.lines = {{0, 200, 255, 9}};
    p8.trailer = VgaTrailer(Ramp);
    Buffer c;
    LoadBytes(p8.Build(), c);
    EXPECT_EQ(*c.At(0, 0), Ramp(0));
    EXPECT_EQ(*c.At(1, 0), Ramp(200));
    EXPECT_EQ(*c.At(2, 0), Ramp(255));
}

TEST(PcxLoad, IntoAnExistingBufferClipsAndClears) {
    const imgtools::RgbImage pic = planar::Picture(20, 10, 0, 9);
    Buffer src;
    planar::ToBuffer(pic, src);
    const Bytes f = SaveToBytes(src);

    Buffer big = Filled(30, 15, 0xABCDEF);
    Buffer view(big, Rect{5, 3, 12, 20}, true); // keeps the big buffer's coordinates
    LoadBytes(f, view);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 5 && x <= 12 && y >= 3;
            const Pixel want = inside ? (y < 10 ? pic.At(x, y) : 0xABCDEF) : 0xABCDEF;
            ASSERT_EQ(*big.At(x, y), want) << x << "," << y;
        }
}

TEST(PcxTest, DescribesAndRestoresPosition) {
    PcxFile p;
    p.bits = 1;
    p.planes = 4;
    p.w = 17;
    p.h = 3;
    p.bpl = 4;
    Bytes f = p.Build();
    f[68] = 2;
    TFixedMemoryStream s(f.data(), f.size());
    s.SetPosition(0);
    GFXFileDesc d;
    EXPECT_EQ(Pcx().Test(&s, &d), 1);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(d.Width, 17);
    EXPECT_EQ(d.Height, 3);
    EXPECT_EQ(d.BPP, 4);
    EXPECT_EQ(d.BPCC, 8);
    EXPECT_EQ(d.WithPal, 1);
    EXPECT_EQ(d.Color, 0); // palette information 2: greyscale

    PcxFile rgb;
    rgb.planes = 3;
    Bytes g = rgb.Build();
    g[68] = 2;
    TFixedMemoryStream t(g.data(), g.size());
    EXPECT_EQ(Pcx().Test(&t, &d), 1);
    EXPECT_EQ(d.Color, 1);
    EXPECT_EQ(d.WithPal, 0);
    EXPECT_EQ(d.BPP, 24);
}

TEST(PcxTest, UnsupportedAndForeignFiles) {
    auto test = [](const Bytes& f) {
        TFixedMemoryStream s(f.data(), f.size());
        return int(Pcx().Test(&s, nullptr));
    };
    PcxFile p;
    const Bytes f = p.Build();
    EXPECT_EQ(test(f), 1); // the 256-colour palette is only checked by Load
    Bytes other = f;
    other[0] = 11;
    EXPECT_EQ(test(other), 0);
    EXPECT_EQ(test(Bytes(f.begin(), f.begin() + 127)), 0);

    PcxFile rgba;
    rgba.planes = 4;
    PcxFile narrow; // 8 pixels cannot fit in a 1-byte 8-bit scanline
    narrow.w = 8;
    PcxFile raw;
    Bytes unencoded = raw.Build();
    unencoded[2] = 0;
    for (const Bytes& f : {rgba.Build(), narrow.Build(), unencoded}) {
        EXPECT_EQ(test(f), -1);
        Buffer b;
        EXPECT_THROW(LoadBytes(f, b), EInvalidImage);
    }
}

TEST(PcxLoad, DamagedFilesFailCleanly) {
    PcxFile good;
    good.planes = 3;
    good.w = 4;
    good.bpl = 4;
    good.h = 2;
    good.lines = {Bytes(12, 1), Bytes(12, 2)};
    Bytes f = good.Build();
    Buffer ok;
    LoadBytes(f, ok);

    // A run that would continue past the end of the scanline.
    Bytes crossing = f;
    crossing[128 + 10] = 0xC3;
    Buffer b1;
    EXPECT_THROW(LoadBytes(crossing, b1), EInvalidImage);

    // Cut short: the read error, with the rows decoded before it kept.
    Buffer b2;
    EXPECT_THROW(LoadBytes(Bytes(f.begin(), f.end() - 3), b2), EReadError);
    ASSERT_FALSE(b2.Empty());
    EXPECT_EQ(*b2.At(3, 0), 0x010101u);
    EXPECT_EQ(*b2.At(3, 1), 0u);

    // An 8-bit single-plane file whose palette marker is missing.
    PcxFile p8;
    p8.w = 2;
    p8.bpl = 2;
    p8.lines = {{1, 2}};
    p8.trailer = VgaTrailer([](int) { return Pixel(0); });
    Bytes noMarker = p8.Build();
    noMarker[noMarker.size() - 769] = 11;
    Buffer b3;
    EXPECT_THROW(LoadBytes(noMarker, b3), EInvalidImage);
    Buffer b4; // too short to hold a palette at all
    EXPECT_THROW(LoadBytes(Bytes(noMarker.begin(), noMarker.begin() + 300), b4), EInvalidImage);

    // A 65535 x 65535 window over a few bytes is refused before allocating.
    PcxFile huge;
    huge.planes = 3;
    huge.w = 65535;
    huge.h = 65535;
    huge.bpl = 65535;
    huge.lines = {Bytes(100, 0)};
    Buffer b5;
    EXPECT_THROW(LoadBytes(huge.Build(), b5), EInvalidImage);
    EXPECT_TRUE(b5.Empty());
}

TEST(PcxLoad, ReportsProgressPerRow) {
    static std::vector<int> seen;
    seen.clear();
    GFXFile::SetProgFunc(
        nullptr,
        [](int p) {
            seen.push_back(p);
            return true;
        },
        nullptr);
    Buffer src = Filled(5, 4, 0x123456);
    const Bytes f = SaveToBytes(src);
    EXPECT_EQ(seen, (std::vector<int>{0, 25, 50, 75}));
    seen.clear();
    Buffer b;
    LoadBytes(f, b);
    GFXFile::SetProgFunc(nullptr, nullptr, nullptr);
    EXPECT_EQ(seen, (std::vector<int>{25, 50, 75, 100}));
}
