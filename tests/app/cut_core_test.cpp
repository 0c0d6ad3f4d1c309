// The cutting core without a window: rectangles clamped to the image, brushes
// from marks, the free background colour, and the brush trim.
#include "paint/brush.h"
#include "paint/cut.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

namespace {

using kv::CutOutcome;
using kv::kBrushTransparent;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

TEST(CutCore, RectanglesAreNormalisedAndClampedOnEverySide) {
    const Pair<int> size{100, 80};
    struct Case {
        Pair<int> a, b;
        std::optional<Rect> want;
    };
    const Case cases[] = {
        {{10, 20}, {30, 40}, Rect{10, 20, 30, 40}}, {{30, 40}, {10, 20}, Rect{10, 20, 30, 40}},
        {{-5, -9}, {150, 90}, Rect{0, 0, 99, 79}},  {{50, 50}, {-1, 200}, Rect{0, 50, 50, 79}},
        {{-20, 5}, {-1, 9}, std::nullopt},          {{100, 5}, {120, 9}, std::nullopt},
        {{5, -3}, {9, -1}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(kv::CutRect(c.a, c.b, size), c.want);
}

// The reference: the set of opaque colours, and a plain scan for the
// least-used value of each channel in turn.
Pixel FreeColourReference(const std::vector<Pixel>& opaque, Pixel fallback) {
    Pixel prefix = 0, mask = 0;
    for (int shift : {16, 8, 0}) {
        std::vector<int> count(256);
        for (Pixel p : opaque)
            if ((p & mask) == prefix) ++count[(p >> shift) & 0xFF];
        int best = 0;
        for (int v = 1; v < 256; ++v)
            if (count[std::size_t(v)] < count[std::size_t(best)]) best = v;
        prefix |= Pixel(best) << shift;
        mask |= 0xFFu << shift;
        if (count[std::size_t(best)] == 0) return prefix;
    }
    return fallback;
}

TEST(CutCore, FreeColourIsNeverAnOpaqueColourOfTheBrush) {
    std::mt19937 random(21);
    // Red from the column and green from the row: with every pair used the
    // choice goes down to blue; transparent pixels free some values.
    for (int round = 0; round < 24; ++round) {
        const int w = round < 12 ? 40 + 23 * round : 300, h = 250 + 3 * (round % 12);
        const unsigned holes = round % 4 == 0 ? 0 : 1 + round % 7; // one in 2..8 transparent
        Buffer b;
        b.Alloc(Pair<int>{w, h});
        std::vector<Pixel> opaque;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Pixel p = Pixel(x % 256) << 16 | Pixel(y % 256) << 8 | (random() % 3);
                if (holes != 0 && random() % (holes + 1) == 0) p = kBrushTransparent;
                *b.At(x, y) = p;
                if (p != kBrushTransparent) opaque.push_back(p);
            }
        const Pixel free = kv::ChooseFreeColour(b, 0x00FF00);
        EXPECT_EQ(free, FreeColourReference(opaque, 0x00FF00)) << round;
        EXPECT_EQ(std::set<Pixel>(opaque.begin(), opaque.end()).count(free), 0u) << round;
    }
}

TEST(CutCore, BrushFromMarksTakesTheColoursBeforeTheMarks) {
    Buffer image, before;
    for (Buffer* b : {&image, &before}) {
        b->Alloc(Pair<int>{20, 10});
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) *b->At(x, y) = Pixel(0x100000 * (x % 8) + 0x0101 * y);
    }
    // Marks: an outline pixel with its drawing colour, and a marked row.
    *image.At(4, 2) = 0x03FF00FF;
    for (int x = 3; x <= 9; ++x) *image.At(x, 5) |= 0x01000000;
    kv::MarkedCut cut;
    ASSERT_EQ(kv::MakeBrushFromMarks(image, {0, 0, 19, 9}, &before, 0x00FF00, cut),
              CutOutcome::Taken);
    EXPECT_EQ(cut.Bounds, (Rect{3, 2, 9, 5}));
    for (int y = 2; y <= 5; ++y)
        for (int x = 3; x <= 9; ++x) {
            const bool marked = y == 5 || (x == 4 && y == 2);
            EXPECT_EQ(*cut.Brush.At(x - 3, y - 2), marked ? *before.At(x, y) : kBrushTransparent)
                << x << "," << y;
        }
    // Without the image before, the marked pixels lose only their marks.
    Buffer copy;
    kv::CloneBuffer(copy, image);
    ASSERT_EQ(kv::MakeBrushFromMarks(copy, {0, 0, 19, 9}, nullptr, 0, cut, kv::AfterCut::Restore),
              CutOutcome::Taken);
    EXPECT_EQ(*cut.Brush.At(1, 0), 0x00FF00FFu);
    EXPECT_EQ(*copy.At(4, 2), 0x00FF00FFu); // restored: the marks only go
    EXPECT_EQ(*copy.At(5, 5), *before.At(5, 5));
    // With it the image is put back on the same pass.
    kv::CloneBuffer(copy, image);
    ASSERT_EQ(kv::MakeBrushFromMarks(copy, {0, 0, 19, 9}, &before, 0, cut, kv::AfterCut::Restore),
              CutOutcome::Taken);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(*copy.At(x, y), *before.At(x, y)) << x << "," << y;
    // Nothing marked inside the given box: nothing to cut.
    EXPECT_EQ(kv::MakeBrushFromMarks(image, {10, 0, 19, 9}, &before, 0, cut), CutOutcome::Nothing);
    EXPECT_TRUE(cut.Brush.Empty());

    Buffer wide;
    wide.Alloc(Pair<int>{kv::kMaxBrushSide + 1, 1});
    wide.Box(wide.Area, 0x01000000);
    EXPECT_EQ(kv::MakeBrushFromMarks(wide, wide.Area, nullptr, 0, cut), CutOutcome::TooBig);
}

TEST(CutCore, OptimizeTrimsMovesTheOriginAndLeavesAnEmptyBrush) {
    kv::BrushState s;
    s.Brush.Alloc(Pair<int>{9, 7});
    s.Brush.Box(s.Brush.Area, kBrushTransparent);
    s.Settings.Origin = {100, 50};
    s.Settings.Handle = kv::bhCentre;
    // Nothing opaque: left alone.
    EXPECT_EQ(s.OptimizeBrush(), (Pair<int>{0, 0}));
    EXPECT_EQ(s.Brush.Width(), 9);

    s.Brush.Box({2, 1, 3, 4}, 0x00445566);
    const Pair<int> shift = s.OptimizeBrush();
    EXPECT_EQ((Pair<int>{s.Brush.Width(), s.Brush.Height()}), (Pair<int>{2, 4}));
    EXPECT_EQ(s.Settings.Origin, (Pair<int>{102, 51}));
    // The handle was over image point (104, 53); now it is at the new
    // origin plus the new centre (1, 2): the pointer moves by (-1, 0).
    EXPECT_EQ(shift, (Pair<int>{-1, 0}));
    EXPECT_EQ(s.OptimizeBrush(), (Pair<int>{0, 0}));
}

TEST(CutCore, RestoreGivesBackTheUserBrushThenTheBuiltIn) {
    kv::BrushState s;
    s.Settings.Radius = 2;
    s.Settings.Kind = kv::BuiltinKind::Round;
    s.Brush.Alloc(Pair<int>{3, 1});
    s.Brush.Box(s.Brush.Area, 0x00111111);
    s.Settings.UserBrush = true;
    s.Settings.Handle = kv::bhRightTop;
    s.Settings.Origin = {7, 8};
    s.SaveForRestore();
    s.MakePixelBrush(0x00FF0000);
    s.RestoreBrush(0x00FF0000, 0x0000FF00);
    EXPECT_EQ(s.Brush.Width(), 3);
    EXPECT_EQ(s.Painting.Width(), 3);
    EXPECT_EQ(s.Settings.Handle, kv::bhRightTop);
    EXPECT_EQ(s.Settings.Origin, (Pair<int>{7, 8}));
    EXPECT_TRUE(s.Previous.Empty());
    s.RestoreBrush(0x00FF0000, 0x0000FF00);
    EXPECT_FALSE(s.Settings.UserBrush);
    EXPECT_EQ(s.Brush.Width(), 5);
    EXPECT_EQ(*s.Brush.At(2, 2), 0x00FF0000u);
    EXPECT_EQ(*s.Brush.At(0, 0), kBrushTransparent);
}

} // namespace
