// Windows bitmaps: small hand-built files for the decoder's rules and
// hostile headers, files written by independent tools, and our files read
// by those tools.
#include "image_tools.h"

#include <pixkit/bitmap.h>
#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace pixkit;
using namespace imgtools;

namespace {

void Put(std::vector<std::uint8_t>& v, std::uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(std::uint8_t(x >> (8 * i)));
}

// Builds a BMP file with a 40-byte info header (or a 12-byte core header),
// the given colour table or masks and pixel bits.
struct BmpBuilder {
    std::int32_t width = 1, height = 1;
    std::uint16_t planes = 1, bits = 24;
    std::uint32_t compression = BI_RGB;
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> table; // info: whole words; core: low 3 bytes
    std::vector<std::uint8_t> bitsData;

    std::vector<std::uint8_t> Info() const {
        std::vector<std::uint8_t> v;
        if (headerSize == 12) {
            Put(v, 12, 4);
            Put(v, std::uint32_t(width), 2);
            Put(v, std::uint32_t(height), 2);
            Put(v, planes, 2);
            Put(v, bits, 2);
            for (std::uint32_t t : table) Put(v, t, 3);
            return v;
        }
        Put(v, headerSize, 4);
        Put(v, std::uint32_t(width), 4);
        Put(v, std::uint32_t(height), 4);
        Put(v, planes, 2);
        Put(v, bits, 2);
        Put(v, compression, 4);
        Put(v, 0, 4);
        Put(v, 0, 4);
        Put(v, 0, 4);
        Put(v, compression == BI_BITFIELDS ? 0 : std::uint32_t(table.size()), 4);
        Put(v, 0, 4);
        while (v.size() < headerSize) v.push_back(0);
        for (std::uint32_t t : table) Put(v, t, 4);
        return v;
    }
    std::vector<std::uint8_t> File() const {
        const std::vector<std::uint8_t> info = Info();
        std::vector<std::uint8_t> v{'B', 'M'};
        Put(v, std::uint32_t(14 + info.size() + bitsData.size()), 4);
        Put(v, 0, 4);
        Put(v, std::uint32_t(14 + info.size()), 4);
        v.insert(v.end(), info.begin(), info.end());
        v.insert(v.end(), bitsData.begin(), bitsData.end());
        return v;
    }
};

GFXFile& Bmp() {
    GFXFile* f = GFXFile::GetDefaultFormat("x.bmp");
    if (f == nullptr) throw std::runtime_error("BMP format not registered");
    return *f;
}

void LoadBytes(Buffer& b, const std::vector<std::uint8_t>& bytes) {
    TFixedMemoryStream s(bytes.data(), bytes.size());
    Bmp().Load(b, &s, nullptr);
}

std::vector<Pixel> Pixels(const Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

// The pixels of the built file loaded into a fresh buffer, top row first.
std::vector<Pixel> Decode(const BmpBuilder& f) {
    Buffer b;
    LoadBytes(b, f.File());
    return Pixels(b);
}

} // namespace

TEST(BmpDecode, OneBitTableAndRowOrder) {
    BmpBuilder f;
    f.width = 3;
    f.height = 2;
    f.bits = 1;
    f.table = {0x000000, 0xFFFFFF};
    // Bottom row first: bottom 1,0,1 then top 0,1,1; rows padded to 4 bytes.
    f.bitsData = {0xA0, 0, 0, 0, 0x60, 0, 0, 0};
    Buffer up;
    LoadBytes(up, f.File());
    EXPECT_EQ(Pixels(up), (std::vector<Pixel>{0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF}));

    f.height = -2; // the same image stored top row first
    f.bitsData = {0x60, 0, 0, 0, 0xA0, 0, 0, 0};
    EXPECT_EQ(Decode(f), Pixels(up));
}

TEST(BmpDecode, ThirtyTwoBitKeepsFourthByteAsTopByte) {
    BmpBuilder f;
    f.width = 2;
    f.bits = 32;
    f.bitsData = {0x10, 0x20, 0x30, 0xFF, 1, 2, 3, 0xFF};
    EXPECT_EQ(Decode(f), (std::vector<Pixel>{0xFF302010, 0xFF030201}));
}

TEST(BmpDecode, SixteenBitDefaultAndMaskedLayouts) {
    BmpBuilder f;
    f.width = 2;
    f.bits = 16;
    f.bitsData = {0xFF, 0x7F, 0x21, 0x04}; // 5-5-5: white, then 1/1/1
    Buffer b;
    LoadBytes(b, f.File());
    EXPECT_EQ(Pixels(b), (std::vector<Pixel>{0xFFFFFF, 0x080808}));

    f.compression = BI_BITFIELDS; // 5-6-5: green field 6 bits
    f.table = {0xF800, 0x07E0, 0x001F};
    f.bitsData = {0xFF, 0xFF, 0x41, 0x08};
    EXPECT_EQ(Decode(f), (std::vector<Pixel>{0xFFFFFF, 0x080808}));

    // Bit fields declared without masks (as some writers do) read as 5-5-5.
    f.table.clear();
    f.bitsData = {0xFF, 0x7F, 0x21, 0x04};
    EXPECT_EQ(Decode(f), Pixels(b));

    // 32 bits with masks in an unusual order are applied (top byte 0).
    f.bits = 32;
    f.table = {0x000000FF, 0x0000FF00, 0x00FF0000};
    f.bitsData = {0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0};
    EXPECT_EQ(Decode(f), (std::vector<Pixel>{0x00112233, 0}));
}

TEST(BmpDecode, CoreHeaderMatchesInfoHeader) {
    BmpBuilder f;
    f.width = 2;
    f.height = 2;
    f.bitsData = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    Buffer info, core;
    LoadBytes(info, f.File());
    f.headerSize = 12;
    LoadBytes(core, f.File());
    EXPECT_EQ(Pixels(core), Pixels(info));
    EXPECT_EQ(Pixels(core)[0], 0x090807u); // top row stored last, blue first

    f.bits = 8; // core tables have 3-byte entries
    f.table = {0x102030, 0x405060};
    f.bitsData = {1, 0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(Decode(f), (std::vector<Pixel>{0x102030, 0x405060, 0x405060, 0x102030}));
}

TEST(BmpDecode, Rle4DeltaLeavesBlackAndRunsAreClipped) {
    BmpBuilder f;
    f.width = 4;
    f.height = 3;
    f.bits = 4;
    f.compression = BI_RLE4;
    f.table = {0x111111, 0x222222, 0x333333};
    // Table index 0, 1, 2 -> 0x111111, 0x222222, 0x333333.
    f.bitsData = {6,   0x12,             // bottom row: 1 2 1 2, two more beyond the edge
                  0,   0,                // end of line
                  0,   2,    1,    0,    // delta: one to the right
                  3,   0x22,             // middle row from x = 1: 2 2 2
                  0,   0,                // end of line
                  0,   3,    0x01, 0x20, // literal 0 1 2 on the top row
                  0,   2,    0,    9,    // a delta up and out of the image ends it
                  200, 0x11, 0,    1};
    Buffer b;
    LoadBytes(b, f.File());
    const std::vector<Pixel> want{0x111111, 0x222222, 0x333333, 0,         // top
                                  0,        0x333333, 0x333333, 0x333333,  // middle
                                  0x222222, 0x333333, 0x222222, 0x333333}; // bottom
    EXPECT_EQ(Pixels(b), want);
}

TEST(BmpDecode, Rle8LiteralAndDeltaAreClippedToTheImage) {
    BmpBuilder f;
    f.width = 3;
    f.height = 2;
    f.bits = 8;
    f.compression = BI_RLE8;
    f.table = {0, 0xAA, 0xBB};
    // A literal of five on a row of three, a delta far to the right and a
    // run there, then a run longer than the top row: only visible parts land.
    f.bitsData = {0, 5, 1, 2, 1, 2, 1, 0, 0, 2, 250, 0, 255, 2, 0, 0, 9, 1, 0, 1};
    EXPECT_EQ(Decode(f), (std::vector<Pixel>{0xAA, 0xAA, 0xAA, 0xAA, 0xBB, 0xAA}));
}

TEST(BmpDecode, ClipsIntoAnExistingBuffer) {
    BmpBuilder f;
    f.width = 5;
    f.height = -4;
    const RgbImage pat = Pattern(5, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x)
            for (int c = 2; c >= 0; --c) f.bitsData.push_back(pat.rgb[(y * 5 + x) * 3 + c]);
        f.bitsData.push_back(0);
    }
    Buffer small;
    small.Alloc({3, 2});
    LoadBytes(small, f.File());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(*small.At(x, y), pat.At(x, y));

    // A larger buffer keeps its pixels outside the image.
    Buffer large;
    large.Alloc({7, 6});
    large.Box(large.Area, 0x00ABCDEF);
    f.height = 4; // bottom-up this time
    std::vector<std::uint8_t> rows;
    for (int y = 3; y >= 0; --y)
        rows.insert(rows.end(), f.bitsData.begin() + y * 16, f.bitsData.begin() + y * 16 + 16);
    f.bitsData = rows;
    LoadBytes(large, f.File());
    EXPECT_EQ(*large.At(4, 3), pat.At(4, 3));
    EXPECT_EQ(*large.At(5, 3), 0x00ABCDEFu);
    EXPECT_EQ(*large.At(0, 4), 0x00ABCDEFu);
}

TEST(BmpDecode, HostileHeadersAreRejectedBeforeAllocating) {
    BmpBuilder f;
    f.bitsData = {1, 2, 3, 0};
    const auto rejects = [](const BmpBuilder& g) {
        Buffer b;
        EXPECT_THROW(LoadBytes(b, g.File()), EInvalidImage);
        EXPECT_TRUE(b.Empty());
    };
    BmpBuilder g = f;
    g.width = 0x7FFFFFFF;
    g.height = 0x7FFFFFFF;
    rejects(g);
    g = f;
    g.width = -3;
    rejects(g);
    g = f;
    g.planes = 2;
    rejects(g);
    g = f;
    g.bits = 2;
    rejects(g);
    g = f;
    g.compression = BI_RLE8; // RLE8 needs 8 bits
    rejects(g);

    // Recognised but not loadable variants are still reported as bitmaps.
    g = f;
    g.bits = 2;
    const auto bytes = g.File();
    TFixedMemoryStream s(bytes.data(), bytes.size());
    GFXFileDesc d;
    EXPECT_EQ(Bmp().Test(&s, &d), -1);
    EXPECT_EQ(d.BPP, 2);
    EXPECT_EQ(s.Position(), 0);
}

TEST(BmpDecode, TruncatedFileKeepsDecodedRowsAndClearsTheRest) {
    BmpBuilder f;
    f.width = 1;
    f.height = 3;
    f.bitsData = {1, 2, 3, 0, 4, 5, 6, 0}; // the top row is missing
    Buffer b;
    EXPECT_THROW(LoadBytes(b, f.File()), EReadError);
    ASSERT_FALSE(b.Empty());
    EXPECT_EQ(Pixels(b), (std::vector<Pixel>{0, 0x060504, 0x030201}));
}

TEST(BmpDecode, BitmapFromStreamTakesAHeaderAndBits) {
    // The clipboard hands over a header block and a stream over the bits.
    std::vector<std::uint8_t> info;
    Put(info, 40, 4);
    Put(info, 2, 4);
    Put(info, 1, 4);
    Put(info, 1, 2);
    Put(info, 8, 2);
    Put(info, BI_RGB, 4);
    for (int i = 0; i < 3; ++i) Put(info, 0, 4);
    Put(info, 2, 4); // two table entries follow the header
    Put(info, 0, 4);
    Put(info, 0x00FF0000, 4);
    Put(info, 0x0000FF00, 4);
    const std::uint8_t bits[] = {1, 0, 0, 0};
    TFixedMemoryStream s(bits, sizeof bits);
    Buffer b;
    BitmapFromStream(b, reinterpret_cast<const BITMAPINFO*>(info.data()), &s);
    EXPECT_EQ(Pixels(b), (std::vector<Pixel>{0x0000FF00, 0x00FF0000}));
}

TEST(BmpEncode, SavesTwentyFourBitBottomUp) {
    Buffer b;
    b.Alloc({3, 2});
    Pixel v = 0x7F010203;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x, v += 0x00010101) *b.At(x, y) = v;
    TMemoryStream s;
    Bmp().Save(b, &s, nullptr, nullptr);
    const auto& d = s.Bytes();
    ASSERT_EQ(d.size(), 78u);
    EXPECT_EQ(d[0], 'B');
    EXPECT_EQ(d[2], 78);
    EXPECT_EQ(d[10], 54);
    EXPECT_EQ(d[14], 40);
    EXPECT_EQ(d[28], 24);
    // First stored row is the bottom one: 0x040506 as blue, green, red.
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin() + 54, d.begin() + 66),
              (std::vector<std::uint8_t>{6, 5, 4, 7, 6, 5, 8, 7, 6, 0, 0, 0}));

    s.SetPosition(0);
    Buffer back;
    Bmp().Load(back, &s, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(*back.At(x, y), *b.At(x, y) & 0xFFFFFF);

    Buffer empty; // an empty buffer is a 0 x 0 image, which reads back empty
    TMemoryStream e;
    Bmp().Save(empty, &e, nullptr, nullptr);
    EXPECT_EQ(e.Size(), 54);
    e.SetPosition(0);
    Bmp().Load(empty, &e, nullptr);
    EXPECT_TRUE(empty.Empty());
}
