// The enhanced metafile player on small metafiles built here: each record
// kind it draws, with exact pixels at one logical unit per pixel, map
// modes and the world transform, paths, clipping, stock objects and broken
// files.
#include "metafile_builders.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace pixkit;
using namespace metatest;

namespace {
constexpr std::int32_t kSrcCopy = 0x00CC0020;
constexpr std::int32_t kStock = std::int32_t(0x80000000u);

std::int32_t F(float f) {
    std::int32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

Bytes Points16(std::initializer_list<int> xy) {
    Bytes b;
    for (int v : xy) Put16(b, std::uint32_t(v));
    return b;
}

// A red pen (handle 1) and a blue brush (handle 2), both selected.
Emf RedOnBlue() {
    Emf e;
    e.Rec(38, {1, 0, 0, 0, std::int32_t(Ref(kRed))});
    e.Rec(39, {2, 0, std::int32_t(Ref(kBlue)), 0});
    e.Rec(37, {1}).Rec(37, {2});
    return e;
}
// The stock null pen and a blue brush.
Emf BlueNoPen() {
    Emf e;
    e.Rec(39, {2, 0, std::int32_t(Ref(kBlue)), 0});
    e.Rec(37, {kStock | 8}).Rec(37, {2});
    return e;
}

Buffer Render(const Bytes& file) {
    Buffer b;
    LoadAs("emf", file, b);
    return b;
}

} // namespace

TEST(EmfFormat, RegisteredAndSized) {
    GFXFile* f = GFXFile::GetDefaultFormat("a.emf");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Desc, "Enhanced Metafile");
    EXPECT_EQ(f->Mask, "*.EMF");
    EXPECT_TRUE(f->CanSave);
    const Bytes file = Emf().Build(37, 21);
    TFixedMemoryStream s(file.data(), file.size());
    GFXFileDesc d;
    EXPECT_EQ(f->Test(&s, &d), 1);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(d.Width, 37);
    EXPECT_EQ(d.Height, 21);
}

TEST(EmfPlayer, RectangleAndStockObjects) {
    EXPECT_TRUE(Pixels(Render(RedOnBlue().Rec(43, {2, 3, 10, 8}).Build(12, 10)), [](int x, int y) {
        if (!In(x, 2, 9) || !In(y, 3, 7)) return kWhite;
        return x == 2 || x == 9 || y == 3 || y == 7 ? kRed : kBlue;
    }));
    Emf e;
    e.Rec(37, {kStock | 8}).Rec(37, {kStock | 4}).Rec(43, {1, 1, 3, 4});
    EXPECT_TRUE(Pixels(Render(e.Build(5, 5)),
                       [](int x, int y) { return In(x, 1, 2) && In(y, 1, 3) ? 0u : kWhite; }));
}

TEST(EmfPlayer, LinesAndPixels) {
    Emf e = RedOnBlue();
    e.Rec(27, {1, 1}).Rec(54, {6, 1});
    e.Rec(87, {0, 0, 0, 0, 3}, Points16({1, 3, 5, 3, 5, 7}));
    e.Rec(4, {0, 0, 0, 0, 2, 8, 0, 8, 4});
    e.Rec(15, {0, 9, std::int32_t(Ref(kGreen))});
    EXPECT_TRUE(Pixels(Render(e.Build(10, 10)), [](int x, int y) {
        if (x == 0 && y == 9) return kGreen;
        const bool line = (y == 1 && In(x, 1, 5)) || (y == 3 && In(x, 1, 4)) ||
                          (x == 5 && In(y, 3, 6)) || (x == 8 && In(y, 0, 3));
        return line ? kRed : kWhite;
    }));
}

TEST(EmfPlayer, PolygonsAndFillModes) {
    EXPECT_TRUE(Pixels(
        Render(
            BlueNoPen().Rec(86, {0, 0, 0, 0, 4}, Points16({2, 2, 8, 2, 8, 8, 2, 8})).Build(10, 10)),
        [](int x, int y) { return In(x, 2, 7) && In(y, 2, 7) ? kBlue : kWhite; }));
    for (int mode : {1, 2}) {
        Emf e = BlueNoPen();
        e.Rec(19, {mode});
        e.Rec(91, {0, 0, 0, 0, 2, 8, 4, 4},
              Points16({0, 0, 10, 0, 10, 10, 0, 10, 3, 3, 7, 3, 7, 7, 3, 7}));
        EXPECT_TRUE(Pixels(Render(e.Build(10, 10)),
                           [mode](int x, int y) {
                               return mode == 1 && In(x, 3, 6) && In(y, 3, 6) ? kWhite : kBlue;
                           }))
            << "mode " << mode;
    }
}

TEST(EmfPlayer, EllipseStaysInItsBox) {
    const Buffer b = Render(RedOnBlue().Rec(42, {1, 1, 11, 9}).Build(12, 10));
    EXPECT_EQ(*b.At(6, 5), kBlue);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            if (!In(x, 1, 10) || !In(y, 1, 8)) {
                EXPECT_EQ(*b.At(x, y), kWhite) << x << "," << y;
            }
}

// MM_ANISOTROPIC scales the window onto the viewport; the world transform
// applies before it.
TEST(EmfPlayer, MappingAndWorldTransform) {
    Emf e = BlueNoPen();
    e.Rec(17, {8}).Rec(9, {5, 5}).Rec(11, {10, 10});
    e.Rec(43, {1, 1, 3, 3});
    EXPECT_TRUE(Pixels(Render(e.Build(10, 10)),
                       [](int x, int y) { return In(x, 2, 5) && In(y, 2, 5) ? kBlue : kWhite; }));
    Emf w = BlueNoPen();
    w.Rec(35, {F(1), F(0), F(0), F(1), F(3), F(1)});
    w.Rec(43, {0, 0, 2, 2});
    EXPECT_TRUE(Pixels(Render(w.Build(6, 4)),
                       [](int x, int y) { return In(x, 3, 4) && In(y, 1, 2) ? kBlue : kWhite; }));
}

// A path of lines closed and filled; a clip rectangle limits drawing until
// the saved state comes back.
TEST(EmfPlayer, PathsAndClipping) {
    Emf e = BlueNoPen();
    e.Rec(59, {}).Rec(27, {1, 1}).Rec(54, {7, 1}).Rec(54, {7, 5}).Rec(54, {1, 5});
    e.Rec(61, {}).Rec(60, {}).Rec(62, {0, 0, 0, 0});
    EXPECT_TRUE(Pixels(Render(e.Build(9, 7)),
                       [](int x, int y) { return In(x, 1, 6) && In(y, 1, 4) ? kBlue : kWhite; }));
    Emf c = BlueNoPen();
    c.Rec(33, {}).Rec(30, {2, 2, 5, 5}).Rec(43, {0, 0, 8, 8});
    c.Rec(34, {-1}).Rec(15, {7, 7, std::int32_t(Ref(kGreen))});
    EXPECT_TRUE(Pixels(Render(c.Build(8, 8)), [](int x, int y) {
        if (x == 7 && y == 7) return kGreen;
        return In(x, 2, 4) && In(y, 2, 4) ? kBlue : kWhite;
    }));
}

TEST(EmfPlayer, BitmapRecords) {
    const Bytes dib = Dib24(2, 2, Quadrant);
    const std::int32_t bits = std::int32_t(dib.size() - 40);
    Emf e;
    // STRETCHDIBITS to 4 x 4 at (0, 0).
    e.Rec(81, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 80, 40, 120, bits, 0, kSrcCopy, 4, 4}, dib);
    // BITBLT 1:1 at (4, 0).
    e.Rec(76, {0, 0, 0,    0, 4, 0, 2, 2,   kSrcCopy, 0,   0,   F(1),
               0, 0, F(1), 0, 0, 0, 0, 100, 40,       140, bits},
          dib);
    // SETDIBITSTODEVICE at (4, 2).
    e.Rec(80, {0, 0, 0, 0, 4, 2, 0, 0, 2, 2, 76, 40, 116, bits, 0, 0, 2}, dib);
    EXPECT_TRUE(Pixels(Render(e.Build(6, 4)), [](int x, int y) {
        if (x < 4) return Quadrant(x / 2, y / 2);
        return y < 2 ? Quadrant(x - 4, y) : Quadrant(x - 4, y - 2);
    }));
}

TEST(EmfPlayer, BrokenFiles) {
    GFXFile* emf = GFXFile::GetDefaultFormat("a.emf");
    Buffer b;
    EXPECT_THROW(LoadAs("emf", Emf().Raw({15, 0, 0, 0, 0, 0, 0, 0}).Build(4, 4), b), EInvalidImage);
    EXPECT_THROW(LoadAs("emf", Emf().Raw({15, 0, 0, 0, 0, 1, 0, 0}).Build(4, 4), b), EInvalidImage);
    // Handles beyond the table, points beyond the record, a DIB outside it.
    EXPECT_THROW(LoadAs("emf", Emf().Rec(38, {8, 0, 0, 0, 0}).Build(4, 4, 8), b), EInvalidImage);
    EXPECT_THROW(LoadAs("emf", Emf().Rec(37, {9}).Build(4, 4, 8), b), EInvalidImage);
    EXPECT_THROW(LoadAs("emf", Emf().Rec(86, {0, 0, 0, 0, 1000000}).Build(4, 4), b), EInvalidImage);
    EXPECT_THROW(
        LoadAs("emf",
               Emf()
                   .Rec(81, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 80, 40, 4000, 16, 0, kSrcCopy, 2, 2})
                   .Build(4, 4),
               b),
        EInvalidImage);
    // Not an EMF: no signature.
    Bytes plain = Emf().Build(4, 4);
    plain[40] = 'X';
    TFixedMemoryStream s(plain.data(), plain.size());
    EXPECT_EQ(emf->Test(&s, nullptr), 0);
    // An absurd frame and bounds are refused before anything is allocated.
    const Bytes huge = Emf().Build(100000, 100000);
    TFixedMemoryStream h(huge.data(), huge.size());
    EXPECT_EQ(emf->Test(&h, nullptr), -1);
    Buffer empty;
    EXPECT_THROW(LoadAs("emf", huge, empty), EInvalidImage);
    EXPECT_TRUE(empty.Empty());
}
