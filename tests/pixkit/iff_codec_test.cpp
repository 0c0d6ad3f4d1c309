// IFF/ILBM codec on hand-made files: the ByteRun1 packer's choices, the
// written structure (sizes patched at the end, pad byte), reading masks,
// PBM rows, colour maps and display modes, and damaged files.
#include <pixkit/gfxfile.h>

#include "planar_test_images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pixkit;
using Bytes = std::vector<std::uint8_t>;

namespace {

GFXFile& Iff() {
    GFXFile* f = GFXFile::GetDefaultFormat("x.lbm");
    EXPECT_NE(f, nullptr);
    return *f;
}

void Put32(Bytes& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
}
void Put16(Bytes& b, int v) {
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

Bytes Chunk(const char* id, const Bytes& body, std::uint32_t size = UINT32_MAX) {
    Bytes c(id, id + 4);
    Put32(c, size == UINT32_MAX ? std::uint32_t(body.size()) : size);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}

struct IffFile {
    std::string type = "ILBM";
    int w = 16, h = 1, x = 0, y = 0, planes = 1, masking = 0, compression = 0;
    int transparent = 0;
    Bytes cmap;
    bool withCmap = true;
    std::uint32_t camg = 0;
    Bytes body;

    Bytes Bmhd() const {
        Bytes b;
        Put16(b, w);
        Put16(b, h);
        Put16(b, x);
        Put16(b, y);
        b.insert(b.end(),
                 {std::uint8_t(planes), std::uint8_t(masking), std::uint8_t(compression), 0});
        Put16(b, transparent);
        b.insert(b.end(), {1, 1});
        Put16(b, w);
        Put16(b, h);
        return b;
    }
    Bytes Build() const {
        Bytes inner(type.begin(), type.end());
        for (const Bytes& c :
             {Chunk("BMHD", Bmhd()),
              camg ? Chunk("CAMG", {0, 0, std::uint8_t(camg >> 8), std::uint8_t(camg)}) : Bytes{},
              withCmap ? Chunk("CMAP", cmap) : Bytes{}, Chunk("BODY", body)})
            inner.insert(inner.end(), c.begin(), c.end());
        return Chunk("FORM", inner);
    }
};

Buffer LoadBytes(const Bytes& f, GFXtra32* x = nullptr) {
    TFixedMemoryStream s(f.data(), f.size());
    Buffer b;
    Iff().Load(b, &s, x);
    return b;
}

int TestBytes(const Bytes& f) {
    TFixedMemoryStream s(f.data(), f.size());
    return Iff().Test(&s, nullptr);
}

Bytes SaveToBytes(const imgtools::RgbImage& img, GFXtra32* x = nullptr) {
    Buffer b;
    planar::ToBuffer(img, b);
    TMemoryStream m;
    Iff().Save(b, &m, x, nullptr);
    return m.Bytes();
}

// The body of a saved file: what follows the 48 bytes of FORM, BMHD and
// the BODY chunk header, up to the size the BODY chunk gives.
Bytes SavedBody(const Bytes& f) {
    return Bytes(f.begin() + 48, f.begin() + 48 + Get32(f, 44));
}

// A picture whose plane rows are all the bytes given: a set bit is white.
imgtools::RgbImage FromPlaneBytes(const Bytes& row) {
    imgtools::RgbImage img{int(row.size() * 8), 1, {}};
    for (std::uint8_t v : row)
        for (int bit = 7; bit >= 0; --bit)
            img.rgb.insert(img.rgb.end(), 3, (v >> bit) & 1 ? 0xFF : 0);
    return img;
}

Bytes Repeat(const Bytes& plane, int times) {
    Bytes all;
    for (int i = 0; i < times; ++i) all.insert(all.end(), plane.begin(), plane.end());
    return all;
}

} // namespace

TEST(IffSave, ThreeEqualBytesRepeatTwoStayLiteral) {
    // Each of the 24 plane rows of the picture is the same four bytes.
    EXPECT_EQ(SavedBody(SaveToBytes(FromPlaneBytes({0xFF, 0xFF, 0xFF, 0x00}))),
              Repeat({0xFE, 0xFF, 0x00, 0x00}, 24));
    EXPECT_EQ(SavedBody(SaveToBytes(FromPlaneBytes({0xFF, 0xFF, 0x00, 0xAA}))),
              Repeat({0x03, 0xFF, 0xFF, 0x00, 0xAA}, 24));
    // A literal is closed where a run starts.
    EXPECT_EQ(SavedBody(SaveToBytes(FromPlaneBytes({0x11, 0x00, 0x00, 0x00}))),
              Repeat({0x00, 0x11, 0xFE, 0x00}, 24));
}

TEST(IffSave, LongRunsAndLiteralsSplitAtOneHundredTwentyEight) {
    EXPECT_EQ(SavedBody(SaveToBytes(FromPlaneBytes(Bytes(300, 0xFF)))),
              Repeat({0x81, 0xFF, 0x81, 0xFF, 0xD5, 0xFF}, 24));
    Bytes alternate;
    for (int i = 0; i < 130; ++i) alternate.push_back(i & 1 ? 0xF0 : 0x0F);
    Bytes plane(alternate.begin(), alternate.begin() + 128);
    plane.insert(plane.begin(), 0x7F);
    for (std::uint8_t v : {0x01, 0x0F, 0xF0}) plane.push_back(v);
    EXPECT_EQ(SavedBody(SaveToBytes(FromPlaneBytes(alternate))), Repeat(plane, 24));
}

TEST(IffSave, HeaderSizesAndPadByte) {
    // 5 x 1: each plane row is two bytes, one packet of two literal bytes,
    // 3 x 24 = 72 bytes: even, no pad.
    imgtools::RgbImage img = planar::Picture(5, 1, 0, 3);
    GFXtra32 x{-2, 9, 0, 0, 1};
    Bytes f = SaveToBytes(img, &x);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), Bytes({'F', 'O', 'R', 'M'}));
    EXPECT_EQ(Get32(f, 4), f.size() - 8);
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "ILBMBMHD");
    EXPECT_EQ(Get32(f, 16), 20u);
    const Bytes bmhd(f.begin() + 20, f.begin() + 40);
    EXPECT_EQ(bmhd, (Bytes{0, 5, 0, 1, 0xFF, 0xFE, 0, 9, 24, 0, 1, 0, 0, 0, 1, 1, 0, 5, 0, 1}));
    EXPECT_EQ(std::string(f.begin() + 40, f.begin() + 44), "BODY");
    EXPECT_EQ(Get32(f, 44) + 48, f.size());

    // An odd body gets a pad byte that the BODY size leaves out: 48 pixels
    // give plane rows of 6 bytes; 23 planes are a repeat packet of zeros (2
    // bytes) and plane 7 (bit 7 of red) is a 2-byte literal and a repeat.
    imgtools::RgbImage oddBody{48, 1, std::vector<std::uint8_t>(48 * 3, 0)};
    oddBody.rgb[0] = oddBody.rgb[9 * 3] = 0x80; // red of pixels 0 and 9
    const Bytes g = SaveToBytes(oddBody);
    EXPECT_EQ(Get32(g, 44), 23u * 2 + 5);
    ASSERT_EQ(g.size(), 48u + 51 + 1);
    EXPECT_EQ(g.back(), 0);
    EXPECT_EQ(Get32(g, 4), g.size() - 8);
    EXPECT_EQ(Bytes(g.begin() + 48 + 14, g.begin() + 48 + 19), (Bytes{0x01, 0x80, 0x40, 0xFD, 0}));
}

TEST(IffSave, RoundTripKeepsPixelsAndHotSpot) {
    const imgtools::RgbImage pic = planar::Picture(203, 29, 0, 8);
    Buffer b;
    planar::ToBuffer(pic, b);
    b.Bool(2, 0x7F000000); // not stored
    GFXtra32 x{-5, 321, 0, 0, 1};
    TMemoryStream m;
    Iff().Save(b, &m, &x, nullptr);
    GFXtra32 y{0, 0, 0xAA, 0xBB, 1};
    const Buffer back = LoadBytes(m.Bytes(), &y);
    EXPECT_TRUE(imgtools::SamePixels(back, pic));
    EXPECT_EQ(y.HotX, -5);
    EXPECT_EQ(y.HotY, 321);
    EXPECT_EQ(y.Fore, 0xAAu); // true colour has no colour-map entries to give
    EXPECT_EQ(y.Back, 0xBBu);
}

TEST(IffLoad, MaskPlaneIsSkippedAndTransparentColourGivesBackAndFore) {
    IffFile f;
    f.planes = 4;
    f.masking = 1;
    f.x = -3;
    f.y = 4;
    f.transparent = 0x0502; // Fore = entry 5, Back = entry 2
    for (int i = 0; i < 16; ++i) f.cmap.insert(f.cmap.end(), {std::uint8_t(i * 16), 1, 2});
    // Plane 0..3 then the mask: pixel 0 has index 15, pixel 15 index 8.
    f.body = {0x80, 0x00, 0x80, 0x00, 0x80, 0x00, 0x80, 0x01, 0xFF, 0xFF};
    GFXtra32 x{};
    const Buffer b = LoadBytes(f.Build(), &x);
    EXPECT_EQ(*b.At(0, 0), 0xF00102u);
    EXPECT_EQ(*b.At(1, 0), 0x000102u);
    EXPECT_EQ(*b.At(15, 0), 0x800102u);
    EXPECT_EQ(x.HotX, -3);
    EXPECT_EQ(x.HotY, 4);
    EXPECT_EQ(x.Fore, 0x500102u);
    EXPECT_EQ(x.Back, 0x200102u);
}

TEST(IffLoad, PbmRowsArePaddedToEvenLength) {
    IffFile f;
    f.type = "PBM ";
    f.planes = 8;
    f.w = 3;
    f.h = 2;
    for (int i = 0; i < 256; ++i) f.cmap.insert(f.cmap.end(), {std::uint8_t(i), 0, 0});
    f.body = {1, 2, 3, 99, 4, 5, 6, 99};
    const Buffer b = LoadBytes(f.Build());
    EXPECT_EQ(*b.At(2, 0), 0x030000u);
    EXPECT_EQ(*b.At(0, 1), 0x040000u);
    EXPECT_EQ(*b.At(2, 1), 0x060000u);
}

TEST(IffLoad, ColourMapVariants) {
    // No colour map: grey levels.
    IffFile grey;
    grey.planes = 2;
    grey.withCmap = false;
    grey.body = {0x50, 0x00, 0x30, 0x00}; // pixels 0..3: indices 0, 1, 2, 3
    const Buffer g = LoadBytes(grey.Build());
    EXPECT_EQ(*g.At(0, 0), 0u);
    EXPECT_EQ(*g.At(1, 0), 0x555555u);
    EXPECT_EQ(*g.At(2, 0), 0xAAAAAAu);
    EXPECT_EQ(*g.At(3, 0), 0xFFFFFFu);

    // Entries the map does not give are black.
    IffFile shortMap;
    shortMap.planes = 2;
    shortMap.cmap = {9, 9, 9, 8, 8, 8, 7}; // one and a bit entries; odd size is padded
    shortMap.body = {0x50, 0x00, 0x30, 0x00};
    const Buffer s = LoadBytes(shortMap.Build());
    EXPECT_EQ(*s.At(0, 0), 0x090909u);
    EXPECT_EQ(*s.At(1, 0), 0x080808u);
    EXPECT_EQ(*s.At(2, 0), 0u);

    // Extra half-brite: indices from 32 halve colours 0 to 31.
    IffFile ehb;
    ehb.planes = 6;
    ehb.camg = 0x80;
    for (int i = 0; i < 96; ++i) ehb.cmap.push_back(std::uint8_t(i + 100));
    ehb.body = {0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0}; // pixel 0: 33, pixel 1: 1
    const Buffer e = LoadBytes(ehb.Build());
    EXPECT_EQ(*e.At(0, 0), Pixel((103 / 2) << 16 | (104 / 2) << 8 | (105 / 2)));
    EXPECT_EQ(*e.At(1, 0), Pixel(103 << 16 | 104 << 8 | 105));
}

TEST(IffLoad, ByteRun1NoOperationAndPacketsOverrunningTheRow) {
    IffFile f;
    f.compression = 1;
    f.cmap = {0, 0, 0, 255, 255, 255};
    f.body = {0x80, 0x01, 0xAA, 0x55}; // -128 does nothing (EA IFF 85)
    const Buffer b = LoadBytes(f.Build());
    EXPECT_EQ(*b.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(*b.At(1, 0), 0u);
    EXPECT_EQ(*b.At(15, 0), 0xFFFFFFu);

    f.body = {0xFE, 0xAA}; // three bytes into a two-byte row
    EXPECT_THROW(LoadBytes(f.Build()), EInvalidImage);
    f.body = {0x02, 0xAA, 0x55, 0x00};
    EXPECT_THROW(LoadBytes(f.Build()), EInvalidImage);
}

TEST(IffTest, RecognisesVariantsAndDescribes) {
    IffFile f;
    f.w = 33;
    f.h = 7;
    f.planes = 5;
    f.body = Bytes(4 * 5 * 7, 0);
    const Bytes good = f.Build();
    TFixedMemoryStream s(good.data(), good.size());
    s.SetPosition(0);
    GFXFileDesc d;
    EXPECT_EQ(Iff().Test(&s, &d), 1);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(d.Width, 33);
    EXPECT_EQ(d.Height, 7);
    EXPECT_EQ(d.BPP, 5);
    EXPECT_EQ(d.WithPal, 1);
    EXPECT_EQ(d.Color, 1);
    EXPECT_EQ(d.BPCC, 8);

    EXPECT_EQ(TestBytes(Bytes(good.begin(), good.begin() + 30)), 0); // short
    Bytes notForm = good;
    notForm[0] = 'f';
    EXPECT_EQ(TestBytes(notForm), 0);

    auto variant = [](auto change) {
        IffFile v;
        change(v);
        return v.Build();
    };
    const Bytes unloadable[] = {
        variant([](IffFile& v) { v.type = "ACBM"; }),
        variant([](IffFile& v) { v.planes = 12; }),
        variant([](IffFile& v) { v.planes = 0; }),
        variant([](IffFile& v) { v.compression = 2; }),
        variant([](IffFile& v) {
            v.type = "PBM ";
            v.planes = 4;
        }),
        variant([](IffFile& v) {
            v.type = "PBM ";
            v.planes = 8;
            v.masking = 1;
        }),
        variant([](IffFile& v) { v.w = 0; }),
    };
    for (const Bytes& u : unloadable) {
        EXPECT_EQ(TestBytes(u), -1);
        EXPECT_THROW(LoadBytes(u), EInvalidImage);
    }
    // A bitmap header shorter than 20 bytes.
    Bytes shortHeader = Chunk("FORM", [] {
        Bytes inner{'I', 'L', 'B', 'M'};
        const Bytes c = Chunk("BMHD", Bytes(18, 1));
        inner.insert(inner.end(), c.begin(), c.end());
        return inner;
    }());
    EXPECT_EQ(TestBytes(shortHeader), -1);

    // Recognised but not loadable: still described.
    const Bytes twelve = variant([](IffFile& v) { v.planes = 12; });
    TFixedMemoryStream t(twelve.data(), twelve.size());
    GFXFileDesc d12;
    EXPECT_EQ(Iff().Test(&t, &d12), -1);
    EXPECT_EQ(d12.BPP, 12);
    EXPECT_EQ(d12.WithPal, 0);

    IffFile deep;
    deep.planes = 24;
    deep.masking = 1;
    deep.withCmap = false;
    EXPECT_EQ(TestBytes(deep.Build()), 1);
}

TEST(IffLoad, DamagedFilesFailCleanly) {
    IffFile big;
    big.planes = 2;
    big.cmap = Bytes(771, 1); // 257 entries
    big.body = Bytes(4, 0);
    EXPECT_THROW(LoadBytes(big.Build()), EInvalidImage);

    // A chunk claiming more bytes than the file has: the search for BODY
    // runs off the end.
    IffFile f;
    f.cmap = {1, 2, 3};
    f.camg = 4;
    f.body = {0, 0};
    Bytes past = f.Build();
    const std::size_t camgAt = 12 + 8 + 20;
    ASSERT_EQ(past[camgAt], 'C');
    past[camgAt + 4] = 0x7F;
    EXPECT_THROW(LoadBytes(past), EReadError);

    // No BODY at all.
    Bytes noBody = f.Build();
    noBody.resize(noBody.size() - 10);
    EXPECT_THROW(LoadBytes(noBody), EReadError);

    // A body cut short.
    IffFile cut;
    cut.h = 4;
    cut.cmap = {1, 2, 3};
    cut.body = {0, 0, 0, 0, 0};
    EXPECT_THROW(LoadBytes(cut.Build()), EReadError);

    // 65535 x 65535 pixels with a few bytes of body are refused before
    // anything is allocated, compressed or not.
    for (int compression : {0, 1}) {
        IffFile huge;
        huge.w = huge.h = 65535;
        huge.planes = 24;
        huge.compression = compression;
        huge.body = Bytes(1000, 0x81);
        const Bytes file = huge.Build();
        TFixedMemoryStream in(file.data(), file.size());
        Buffer b;
        EXPECT_THROW(Iff().Load(b, &in, nullptr), EInvalidImage);
        EXPECT_TRUE(b.Empty());
    }
}
