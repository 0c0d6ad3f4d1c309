// The Windows metafile player on small metafiles built here: each record
// kind it draws, with exact pixels at one logical unit per pixel, the
// window mapping, the object table, and broken files.
#include "metafile_builders.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

using namespace pixkit;
using namespace metatest;

namespace {
constexpr std::int32_t kSrcCopyLo = 0x0020, kSrcCopyHi = 0x00CC;

Wmf& Pen(Wmf& w, int style, Pixel c) {
    return w.Rec(0x02FA, {style, 0, 0, std::int32_t(Ref(c) & 0xFFFF), std::int32_t(Ref(c) >> 16)});
}
Wmf& Brush(Wmf& w, int style, Pixel c) {
    return w.Rec(0x02FC, {style, std::int32_t(Ref(c) & 0xFFFF), std::int32_t(Ref(c) >> 16), 0});
}
// A red pen in slot 0 and a blue brush in slot 1, both selected.
Wmf RedOnBlue() {
    Wmf w;
    Pen(w, 0, kRed);
    Brush(w, 0, kBlue);
    w.Rec(0x012D, {0}).Rec(0x012D, {1});
    return w;
}
// A null pen and a blue brush.
Wmf BlueNoPen() {
    Wmf w;
    Pen(w, 5, 0);
    Brush(w, 0, kBlue);
    w.Rec(0x012D, {0}).Rec(0x012D, {1});
    return w;
}

Buffer Render(const Bytes& file) {
    Buffer b;
    LoadAs("wmf", file, b);
    return b;
}

} // namespace

TEST(WmfFormat, Registered) {
    GFXFile* f = GFXFile::GetDefaultFormat("a.wmf");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Desc, "Windows Metafile");
    EXPECT_EQ(f->Mask, "*.WMF");
    EXPECT_TRUE(f->CanSave);
}

// RECTANGLE covers [left, right) x [top, bottom): pen on the border,
// brush inside, white paper around.
TEST(WmfPlayer, Rectangle) {
    const Buffer b = Render(RedOnBlue().Rec(0x041B, {8, 10, 3, 2}).Placeable(12, 10));
    ASSERT_EQ(b.Width(), 12);
    ASSERT_EQ(b.Height(), 10);
    EXPECT_TRUE(Pixels(b, [](int x, int y) {
        if (!In(x, 2, 9) || !In(y, 3, 7)) return kWhite;
        return x == 2 || x == 9 || y == 3 || y == 7 ? kRed : kBlue;
    }));
}

TEST(WmfPlayer, Ellipse) {
    const Buffer b = Render(RedOnBlue().Rec(0x0418, {9, 11, 1, 1}).Placeable(12, 10));
    EXPECT_EQ(*b.At(6, 5), kBlue);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool box = In(x, 1, 10) && In(y, 1, 8);
            const bool corner = (x == 1 || x == 10) && (y == 1 || y == 8);
            if (!box || corner) {
                EXPECT_EQ(*b.At(x, y), kWhite) << x << "," << y;
            }
        }
    // Each row inside is bounded by the outline on both sides.
    for (int y = 2; y <= 7; ++y) {
        int first = 0, last = 11;
        while (*b.At(first, y) == kWhite) ++first;
        while (*b.At(last, y) == kWhite) --last;
        EXPECT_EQ(*b.At(first, y), kRed) << y;
        EXPECT_EQ(*b.At(last, y), kRed) << y;
    }
}

// One-pixel pens of the dashed styles repeat their runs along the whole
// path, across vertices; the gaps take the background colour in the opaque
// background mode and are left alone in the transparent one. A wider
// dashed pen draws solid. Row 1 runs 0..29, then column 30 down to row 9.
TEST(WmfPlayer, DashedPens) {
    const struct {
        int style, mode, width;
        const char* path; // R pen, G background, . paper
    } cases[] = {
        {1, 2, 0, "RRRRRRRRRRRRRRRRRRGGGGGGRRRRRRRRRRRRRRRRRRGGGGGGRRRRRR"},
        {2, 1, 0, "RRR...RRR...RRR...RRR...RRR...RRR...RRR...RRR...RRR..."},
        {3, 2, 0, "RRRRRRRRRGGGGGGRRRGGGGGGRRRRRRRRRGGGGGGRRRGGGGGGRRRRRR"},
        {4, 1, 0, "RRRRRRRRR...RRR...RRR...RRRRRRRRR...RRR...RRR...RRRRRR"},
        {1, 2, 3, "RRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        Wmf w;
        w.Rec(0x02FA, {c.style, c.width, 0, std::int32_t(Ref(kRed) & 0xFFFF),
                       std::int32_t(Ref(kRed) >> 16)});
        w.Rec(0x012D, {0});
        w.Rec(0x0201, {std::int32_t(Ref(kGreen) & 0xFFFF), std::int32_t(Ref(kGreen) >> 16)});
        w.Rec(0x0102, {c.mode});
        w.Rec(0x0325, {3, 0, 1, 30, 1, 30, 25});
        const Buffer b = Render(w.Placeable(40, 30));
        const auto letter = [&](int x, int y) {
            const Pixel p = *b.At(x, y) & 0xFFFFFF;
            return p == kRed ? 'R' : p == kGreen ? 'G' : p == kWhite ? '.' : '?';
        };
        std::string shown;
        for (int x = 0; x < 30; ++x) shown += letter(x, 1);
        for (int y = 1; y < 25; ++y) shown += letter(30, y);
        EXPECT_EQ(shown, c.path);
    }
}

// LINETO and POLYLINE leave out the last point.
TEST(WmfPlayer, LinesLeaveOutTheirLastPixel) {
    Wmf w = RedOnBlue();
    w.Rec(0x0214, {1, 1}).Rec(0x0213, {1, 6});
    w.Rec(0x0325, {3, 1, 3, 5, 3, 5, 7});
    const Buffer b = Render(w.Placeable(10, 10));
    EXPECT_TRUE(Pixels(b, [](int x, int y) {
        const bool line =
            (y == 1 && In(x, 1, 5)) || (y == 3 && In(x, 1, 4)) || (x == 5 && In(y, 3, 6));
        return line ? kRed : kWhite;
    }));
}

TEST(WmfPlayer, PolygonFillsPixelCentresInside) {
    const Buffer b = Render(BlueNoPen().Rec(0x0324, {4, 2, 2, 8, 2, 8, 8, 2, 8}).Placeable(10, 10));
    EXPECT_TRUE(
        Pixels(b, [](int x, int y) { return In(x, 2, 7) && In(y, 2, 7) ? kBlue : kWhite; }));
}

// Two nested squares of the same direction: the alternate rule leaves the
// inner one open, the winding rule fills it.
TEST(WmfPlayer, PolyPolygonRespectsFillMode) {
    for (int mode : {1, 2}) {
        Wmf w = BlueNoPen();
        w.Rec(0x0106, {mode});
        w.Rec(0x0538, {2, 4, 4, 0, 0, 10, 0, 10, 10, 0, 10, 3, 3, 7, 3, 7, 7, 3, 7});
        const Buffer b = Render(w.Placeable(10, 10));
        EXPECT_TRUE(Pixels(b,
                           [mode](int x, int y) {
                               return mode == 1 && In(x, 3, 6) && In(y, 3, 6) ? kWhite : kBlue;
                           }))
            << "mode " << mode;
    }
}

TEST(WmfPlayer, SetPixelAndUnknownRecords) {
    Wmf w;
    w.Rec(0x0999, {1, 2, 3, 4});
    w.Rec(0x041F, {std::int32_t(Ref(kGreen) & 0xFFFF), std::int32_t(Ref(kGreen) >> 16), 2, 3});
    const Buffer b = Render(w.Placeable(5, 4));
    EXPECT_TRUE(Pixels(b, [](int x, int y) { return x == 3 && y == 2 ? kGreen : kWhite; }));
}

// The frame maps onto the natural size (units per inch at 96 dpi), and
// the window records move and scale the logical coordinates.
TEST(WmfPlayer, WindowMapping) {
    const Buffer b = Render(BlueNoPen().Rec(0x041B, {4, 4, 1, 1}).Placeable(10, 10, 48));
    ASSERT_EQ(b.Width(), 20);
    EXPECT_TRUE(
        Pixels(b, [](int x, int y) { return In(x, 2, 7) && In(y, 2, 7) ? kBlue : kWhite; }));
    Wmf w = BlueNoPen();
    w.Rec(0x020B, {5, 5}).Rec(0x020C, {5, 5}); // window (5, 5) + (5 x 5): two pixels a unit
    w.Rec(0x041B, {7, 7, 5, 5});
    const Buffer c = Render(w.Placeable(10, 10));
    EXPECT_TRUE(
        Pixels(c, [](int x, int y) { return In(x, 0, 3) && In(y, 0, 3) ? kBlue : kWhite; }));
}

// A plain metafile takes its size from the window extent.
TEST(WmfPlayer, PlainMetafileSize) {
    Wmf w;
    w.Rec(0x020B, {0, 0}).Rec(0x020C, {8, 12});
    const Bytes file = w.Plain();
    TFixedMemoryStream s(file.data(), file.size());
    GFXFileDesc d;
    EXPECT_EQ(GFXFile::GetDefaultFormat("a.wmf")->Test(&s, &d), 1);
    EXPECT_EQ(d.Width, 12);
    EXPECT_EQ(d.Height, 8);
    EXPECT_EQ(Render(file).Width(), 12);
}

// FLOODFILL fills with the brush up to a border colour; EXTFLOODFILL in
// surface mode fills the connected pixels of one colour.
TEST(WmfPlayer, FloodFills) {
    Wmf w;
    Pen(w, 0, kRed);
    Brush(w, 1, 0); // hollow
    w.Rec(0x012D, {0}).Rec(0x012D, {1}).Rec(0x041B, {10, 12, 2, 2});
    Brush(w, 0, kBlue);
    w.Rec(0x012D, {2})
        .Rec(0x0419, {std::int32_t(Ref(kRed) & 0xFFFF), std::int32_t(Ref(kRed) >> 16), 5, 5});
    Brush(w, 0, kGreen);
    w.Rec(0x012D, {3})
        .Rec(0x0548,
             {1, std::int32_t(Ref(kWhite) & 0xFFFF), std::int32_t(Ref(kWhite) >> 16), 0, 0});
    const Buffer b = Render(w.Placeable(14, 12));
    EXPECT_TRUE(Pixels(b, [](int x, int y) {
        if (In(x, 3, 10) && In(y, 3, 8)) return kBlue;
        if (In(x, 2, 11) && In(y, 2, 9)) return kRed;
        return kGreen;
    }));
}

// New objects take the first free slot; a deleted slot is reused.
TEST(WmfPlayer, ObjectSlots) {
    Wmf w;
    Pen(w, 0, kRed);
    Pen(w, 0, kBlue);
    w.Rec(0x01F0, {0});
    Pen(w, 0, kGreen); // slot 0 again
    w.Rec(0x012D, {0}).Rec(0x0214, {0, 0}).Rec(0x0213, {0, 3});
    w.Rec(0x012D, {1}).Rec(0x0214, {1, 0}).Rec(0x0213, {1, 3});
    const Buffer b = Render(w.Placeable(4, 2));
    EXPECT_TRUE(
        Pixels(b, [](int x, int y) { return x == 3 ? kWhite : (y == 0 ? kGreen : kBlue); }));
}

// The DIB records, stretched and 1:1; source rectangles of bottom-up DIBs
// count from the bottom row.
TEST(WmfPlayer, BitmapRecords) {
    const Bytes dib = Dib24(2, 2, Quadrant);
    Wmf w;
    w.Rec(0x0F43, {kSrcCopyLo, kSrcCopyHi, 0, 2, 2, 0, 0, 4, 4, 0, 0}, dib); // STRETCHDIB
    w.Rec(0x0940, {kSrcCopyLo, kSrcCopyHi, 0, 0, 2, 2, 0, 4}, dib);          // DIBBITBLT
    w.Rec(0x0B41, {kSrcCopyLo, kSrcCopyHi, 2, 2, 0, 0, 2, 4, 0, 6}, dib);    // DIBSTRETCHBLT
    w.Rec(0x0D33, {0, 2, 0, 0, 0, 2, 2, 2, 4}, dib);                         // SETDIBTODEVICE
    w.Rec(0x0F43, {kSrcCopyLo, kSrcCopyHi, 0, 1, 1, 0, 1, 2, 2, 4, 8}, dib); // one source pixel
    const Buffer b = Render(w.Placeable(10, 6));
    EXPECT_TRUE(Pixels(b, [](int x, int y) {
        if (x < 4 && y < 4) return Quadrant(x / 2, y / 2);
        if (In(x, 4, 5) && y < 2) return Quadrant(x - 4, y);
        if (In(x, 6, 9) && y < 2) return Quadrant((x - 6) / 2, y);
        if (In(x, 4, 5) && In(y, 2, 3)) return Quadrant(x - 4, y - 2);
        if (In(x, 8, 9) && In(y, 4, 5)) return kOther;
        return kWhite;
    }));
}

// The picture fills its own area of a larger buffer; the rest is cleared.
TEST(WmfPlayer, IntoLargerBuffer) {
    Buffer b;
    b.Alloc({8, 6});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) *b.At(x, y) = 0x00ABCDEF;
    LoadAs("wmf", BlueNoPen().Rec(0x041B, {2, 2, 0, 0}).Placeable(4, 3), b);
    EXPECT_TRUE(Pixels(b, [](int x, int y) {
        if (x >= 4 || y >= 3) return 0u;
        return x < 2 && y < 2 ? kBlue : kWhite;
    }));
}

TEST(WmfPlayer, BrokenFiles) {
    GFXFile* wmf = GFXFile::GetDefaultFormat("a.wmf");
    Buffer b;
    // A record of size 0 and one running past the end.
    EXPECT_THROW(LoadAs("wmf", Wmf().Raw({0, 0, 0, 0, 0x1F, 0x04}).Placeable(4, 4), b),
                 EInvalidImage);
    EXPECT_THROW(LoadAs("wmf", Wmf().Raw({0xE8, 3, 0, 0, 0x1F, 0x04}).Placeable(4, 4), b),
                 EInvalidImage);
    // Points beyond the record, an object index beyond the table, a full
    // table, a DIB cut short.
    EXPECT_THROW(LoadAs("wmf", BlueNoPen().Rec(0x0324, {50, 1, 1}).Placeable(4, 4), b),
                 EInvalidImage);
    EXPECT_THROW(LoadAs("wmf", Wmf().Rec(0x012D, {8}).Placeable(4, 4, 96, 8), b), EInvalidImage);
    EXPECT_THROW(LoadAs("wmf", BlueNoPen().Placeable(4, 4, 96, 1), b), EInvalidImage);
    Bytes dib = Dib24(8, 8, Quadrant);
    dib.resize(60);
    EXPECT_THROW(
        LoadAs("wmf",
               Wmf().Rec(0x0F43, {0x20, 0xCC, 0, 8, 8, 0, 0, 8, 8, 0, 0}, dib).Placeable(4, 4), b),
        EInvalidImage);
    // An absurd natural size is refused before anything is allocated.
    const Bytes huge = Wmf().Placeable(30000, 30000, 1);
    TFixedMemoryStream s(huge.data(), huge.size());
    EXPECT_EQ(wmf->Test(&s, nullptr), -1);
    Buffer empty;
    EXPECT_THROW(LoadAs("wmf", huge, empty), EInvalidImage);
    EXPECT_TRUE(empty.Empty());
    // A plain metafile without a window has no size.
    EXPECT_THROW(LoadAs("wmf", Wmf().Plain(), empty), EInvalidImage);
}
