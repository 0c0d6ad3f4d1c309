// The icon reader on small icons built here: the entry choice, the AND
// mask, 8/24/32-bit entries, loading into an existing buffer, and broken
// directories and entries.
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace pixkit;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A DIB entry: colour rows from colour(x, y) (a palette index for 8 bits,
// a pixel otherwise; 32-bit pixels keep their top byte as alpha) and the
// AND mask from masked(x, y), both stored bottom row first.
template <typename Colour, typename Masked>
Bytes DibEntry(int w, int h, int bits, const std::vector<Pixel>& palette, Colour colour,
               Masked masked) {
    Bytes b;
    Put32(b, 40);
    Put32(b, std::uint32_t(w));
    Put32(b, std::uint32_t(2 * h));
    Put16(b, 1);
    Put16(b, std::uint32_t(bits));
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    for (Pixel p : palette) Put32(b, p);
    const int row = (w * bits + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        Bytes r;
        for (int x = 0; x < w; ++x) {
            const Pixel c = colour(x, y);
            if (bits == 8)
                r.push_back(std::uint8_t(c));
            else
                for (int k = 0; k < bits / 8; ++k) r.push_back(std::uint8_t(c >> (8 * k)));
        }
        r.resize(std::size_t(row), 0);
        b.insert(b.end(), r.begin(), r.end());
    }
    const int maskRow = (w + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        Bytes r(std::size_t(maskRow), 0);
        for (int x = 0; x < w; ++x)
            if (masked(x, y)) r[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), r.begin(), r.end());
    }
    return b;
}

struct Entry {
    int w, h, bits;
    Bytes data;
};

Bytes Icon(const std::vector<Entry>& entries) {
    Bytes b;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, std::uint32_t(entries.size()));
    std::uint32_t offset = std::uint32_t(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        b.push_back(std::uint8_t(e.w & 255));
        b.push_back(std::uint8_t(e.h & 255));
        b.push_back(0);
        b.push_back(0);
        Put16(b, 1);
        Put16(b, std::uint32_t(e.bits));
        Put32(b, std::uint32_t(e.data.size()));
        Put32(b, offset);
        offset += std::uint32_t(e.data.size());
    }
    for (const Entry& e : entries) b.insert(b.end(), e.data.begin(), e.data.end());
    return b;
}

GFXFile* Ico() {
    return GFXFile::GetDefaultFormat("x.ico");
}

void LoadIcon(const Bytes& file, Buffer& b) {
    TFixedMemoryStream s(file.data(), file.size());
    Ico()->Load(b, &s, nullptr);
}

Pixel Gradient(int x, int y) {
    return Pixel(x * 8) << 16 | Pixel(y * 8) << 8 | 0x40;
}

} // namespace

TEST(IcoFormat, RegisteredReadOnly) {
    ASSERT_NE(Ico(), nullptr);
    EXPECT_EQ(Ico()->Desc, "Icon");
    EXPECT_EQ(Ico()->Mask, "*.ICO");
    EXPECT_FALSE(Ico()->CanSave);
    imgtools::TempDir dir;
    Buffer b;
    b.Alloc({4, 4});
    EXPECT_THROW(GFXFile::Save(b, dir / "out.ico", nullptr, nullptr), EInvalidImage);
}

// The 32 x 32 entry wins over the 16 x 16 ones, and of two 32 x 32 entries
// the one with more colours; transparent (AND) pixels are black and no
// pixel keeps a top byte.
TEST(IcoFormat, ChoosesLargestThenDeepestAndAppliesMask) {
    auto none = [](int, int) { return false; };
    auto corner = [](int x, int y) { return x < 4 && y < 2; };
    const std::vector<Pixel> grey(256, 0x00808080);
    const Bytes file = Icon({{16, 16, 32, DibEntry(16, 16, 32, {}, Gradient, none)},
                             {32, 32, 8,
                              DibEntry(
                                  32, 32, 8, grey, [](int, int) { return 1u; }, none)},
                             {32, 32, 24, DibEntry(32, 32, 24, {}, Gradient, corner)},
                             {16, 16, 24, DibEntry(16, 16, 24, {}, Gradient, none)}});
    TFixedMemoryStream s(file.data(), file.size());
    GFXFileDesc d;
    EXPECT_EQ(Ico()->Test(&s, &d), 1);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(d.Width, 32);
    EXPECT_EQ(d.Height, 32);
    Buffer b;
    LoadIcon(file, b);
    ASSERT_EQ(b.Width(), 32);
    ASSERT_EQ(b.Height(), 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(*b.At(x, y), corner(x, y) ? 0u : Gradient(x, y)) << x << "," << y;
}

// 32-bit entries: the alpha byte is dropped, pixels with alpha 0 are
// transparent (black) even where the AND mask is clear, other alpha is
// ignored.
TEST(IcoFormat, ThirtyTwoBitAlpha) {
    auto colour = [](int x, int y) -> Pixel {
        const Pixel alpha = x == 0 ? 0 : (x == 1 ? 0x80 : 0xFF);
        return alpha << 24 | Gradient(x, y);
    };
    const Bytes file =
        Icon({{8, 4, 32, DibEntry(8, 4, 32, {}, colour, [](int, int) { return false; })}});
    Buffer b;
    LoadIcon(file, b);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(*b.At(x, y), x == 0 ? 0u : Gradient(x, y));
}

TEST(IcoFormat, LoadsIntoExistingBufferClipped) {
    const Bytes file =
        Icon({{16, 16, 24, DibEntry(16, 16, 24, {}, Gradient, [](int, int) { return false; })}});
    Buffer b;
    b.Alloc({10, 20});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x) *b.At(x, y) = 0x00ABCDEF;
    LoadIcon(file, b);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(*b.At(x, y), y < 16 ? Gradient(x, y) : 0x00ABCDEFu) << x << "," << y;
}

TEST(IcoFormat, RejectsBrokenDirectories) {
    const Bytes good =
        Icon({{4, 4, 24, DibEntry(4, 4, 24, {}, Gradient, [](int, int) { return false; })}});
    Buffer b;
    // Not an icon: reserved word set, unknown type, no entries.
    for (int at : {0, 2, 4}) {
        Bytes bad = good;
        bad[std::size_t(at)] = at == 4 ? 0 : 7;
        TFixedMemoryStream s(bad.data(), bad.size());
        EXPECT_EQ(Ico()->Test(&s, nullptr), 0) << at;
        EXPECT_THROW(LoadIcon(bad, b), EInvalidImage) << at;
    }
    // The entry starts past the end of the file.
    Bytes outside = good;
    outside[18] = 0xF0;
    TFixedMemoryStream s(outside.data(), outside.size());
    EXPECT_EQ(Ico()->Test(&s, nullptr), -1);
    EXPECT_THROW(LoadIcon(outside, b), EInvalidImage);
    // The directory promises more entries than the file holds.
    Bytes many = good;
    many[4] = 200;
    EXPECT_THROW(LoadIcon(many, b), EReadError);
}

TEST(IcoFormat, RejectsBrokenEntries) {
    auto none = [](int, int) { return false; };
    Buffer b;
    // Colour rows cut short: the read error, with the rows decoded so far.
    Bytes cut = Icon({{8, 8, 24, DibEntry(8, 8, 24, {}, Gradient, none)}});
    cut.resize(6 + 16 + 40 + 3 * 8 * 3);
    EXPECT_THROW(LoadIcon(cut, b), EReadError);
    // An absurd size in the DIB header.
    Bytes huge = Icon({{8, 8, 24, DibEntry(8, 8, 24, {}, Gradient, none)}});
    huge[6 + 16 + 4 + 3] = 0x40;
    Buffer c;
    EXPECT_THROW(LoadIcon(huge, c), EInvalidImage);
    EXPECT_TRUE(c.Empty());
    // A PNG entry libpng rejects (bad CRC of the header chunk).
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
                 0,    0,   8,   0,   0,    0,    8,    8,    2, 0, 0, 0,  1,   2,   3,   4};
    png.resize(64, 0);
    Buffer d;
    EXPECT_THROW(LoadIcon(Icon({{8, 8, 32, png}}), d), EInvalidImage);
}
