// Elementary drawing: exact line pixels, clipping against an unclipped
// reference, XOR reversibility, and nothing written outside a view.
#include <pixkit/buffer.h>

#include "reference_draw.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

using namespace pixkit;

namespace {

std::vector<Pair<int>> SetPixels(const Buffer& b) {
    std::vector<Pair<int>> out;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            if (*b.At(x, y) != 0) out.push_back({x, y});
    return out;
}

std::set<std::pair<int, int>> InsideOf(const std::vector<Pair<int>>& pts, const Rect& a) {
    std::set<std::pair<int, int>> s;
    for (auto p : pts)
        if (p.x >= a.Left && p.x <= a.Right && p.y >= a.Top && p.y <= a.Bottom)
            s.insert({p.x, p.y});
    return s;
}

std::set<std::pair<int, int>> AsSet(const std::vector<Pair<int>>& pts) {
    std::set<std::pair<int, int>> s;
    for (auto p : pts) s.insert({p.x, p.y});
    return s;
}

Buffer Blank(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, 0);
    return b;
}

} // namespace

TEST(BufferLine, ShallowLineMatchesTheWalkInBothDirections) {
    Buffer b = Blank(8, 8);
    b.Line({0, 0}, {3, 1}, 1);
    EXPECT_EQ(AsSet(SetPixels(b)), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    Buffer c = Blank(8, 8);
    c.Line({3, 1}, {0, 0}, 1);
    EXPECT_EQ(AsSet(SetPixels(c)), AsSet(SetPixels(b)));
}

TEST(BufferLine, DiagonalClippedFromOutsideKeepsItsPixels) {
    Buffer b = Blank(6, 6);
    b.Line({-10, -10}, {10, 10}, 1);
    std::set<std::pair<int, int>> diag;
    for (int i = 0; i <= 5; ++i) diag.insert({i, i});
    EXPECT_EQ(AsSet(SetPixels(b)), diag);
}

TEST(BufferLine, ClippedLinesEqualTheUnclippedReference) {
    testref::Rng rng(42);
    const Rect area{0, 0, 23, 17};
    for (int i = 0; i < 20000; ++i) {
        const Pair<int> p1{rng.Range(-60, 80), rng.Range(-60, 80)};
        const Pair<int> p2{rng.Range(-60, 80), rng.Range(-60, 80)};
        Buffer b = Blank(24, 18);
        b.Line(p1, p2, 1);
        const auto want = InsideOf(testref::LinePixels(p1, p2), area);
        ASSERT_EQ(AsSet(SetPixels(b)), want)
            << "line " << p1.x << "," << p1.y << " -> " << p2.x << "," << p2.y;
    }
}

TEST(BufferLine, LongLinesFarOutsideClipExactly) {
    // Ends far outside the area exercise the analytic jump to the first and
    // last visible steps of the walk.
    testref::Rng rng(7);
    for (int i = 0; i < 200; ++i) {
        const Pair<int> p1{rng.Range(-200000, -1000), rng.Range(-3000, 3000)};
        const Pair<int> p2{rng.Range(1000, 200000), rng.Range(-3000, 3000)};
        Buffer b = Blank(100, 100);
        b.Line(p1, p2, 1);
        Buffer r = Blank(100, 100);
        for (auto p : testref::LinePixels(p1, p2))
            if (p.x >= 0 && p.x <= 99 && p.y >= 0 && p.y <= 99) r.PutPixel(p, 1);
        ASSERT_EQ(AsSet(SetPixels(b)), AsSet(SetPixels(r))) << i;
    }
}

TEST(BufferXor, EveryPrimitiveDrawnTwiceRestoresTheBuffer) {
    Buffer b;
    b.Alloc({40, 30});
    testref::FillPattern(b);
    Buffer before;
    before.Alloc({40, 30});
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) *before.At(x, y) = *b.At(x, y);

    const Pixel xc = 0x808F8F8F;
    testref::Rng rng(3);
    for (int i = 0; i < 500; ++i) {
        const Rect r{rng.Range(-5, 45), rng.Range(-5, 35), rng.Range(-5, 45), rng.Range(-5, 35)};
        const Pair<int> p1{r.Left, r.Top}, p2{r.Right, r.Bottom};
        for (int twice = 0; twice < 2; ++twice) {
            b.Rectangle(r, xc);
            b.Box(r, xc);
            b.Line(p1, p2, xc);
            b.VLine(r.Left, r.Top, r.Bottom, xc);
            b.PutPixel(p1, xc);
        }
    }
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(*b.At(x, y), *before.At(x, y)) << x << "," << y;
}

TEST(BufferXor, XorUsesTheLow31Bits) {
    Buffer b = Blank(2, 2);
    b.PutPixel({0, 0}, 0x00FF00FF);
    b.PutPixel({0, 0}, 0x80FF0000);
    EXPECT_EQ(*b.At(0, 0), 0x000000FFu);
    b.Box({0, 1, 1, 1}, 0xFF000001);
    EXPECT_EQ(*b.At(1, 1), 0x7F000001u);
}

TEST(BufferRectangle, OutlinesOfSmallRectangles) {
    Buffer b = Blank(10, 10);
    b.Rectangle({2, 2, 2, 2}, 1);
    EXPECT_EQ(SetPixels(b).size(), 1u);
    Buffer c = Blank(10, 10);
    c.Rectangle({2, 2, 5, 3}, 1);
    EXPECT_EQ(SetPixels(c).size(), 8u);
    Buffer d = Blank(10, 10);
    d.Rectangle({1, 1, 6, 8}, 1);
    EXPECT_EQ(SetPixels(d).size(), 2u * 6 + 2u * 6);
    EXPECT_EQ(*d.At(3, 4), 0u); // the inside stays untouched
    Buffer e = Blank(10, 10);
    e.Rectangle({5, 5, 4, 4}, 1); // reversed: nothing
    EXPECT_TRUE(SetPixels(e).empty());
}

TEST(BufferVLine, EndsAreClippedButNeverSwapped) {
    Buffer b = Blank(5, 5);
    b.VLine(2, 4, 1, 1);
    EXPECT_TRUE(SetPixels(b).empty());
    b.VLine(2, -100, 100, 1);
    EXPECT_EQ(SetPixels(b).size(), 5u);
    b.VLine(7, 0, 4, 1);
    EXPECT_EQ(SetPixels(b).size(), 5u);
}

TEST(BufferGuardBand, DrawingThroughAViewTouchesNothingOutsideIt) {
    const Pixel canary = 0x5EADBEEF; // bit 31 clear: Box replaces
    Buffer big;
    big.Alloc({64, 48});
    big.Box(big.Area, canary);
    const Rect inner{9, 7, 40, 30};
    for (bool keep : {false, true}) {
        Buffer v(big, inner, keep);
        v.Box(v.Area, 0);
        testref::Rng rng(keep ? 11 : 12);
        for (int i = 0; i < 2000; ++i) {
            const Pair<int> p1{rng.Range(-100, 150), rng.Range(-100, 150)};
            const Pair<int> p2{rng.Range(-100, 150), rng.Range(-100, 150)};
            const Pixel c = rng.Next() | 1;
            v.Line(p1, p2, c);
            v.Rectangle({p1.x, p1.y, p2.x, p2.y}, c);
            v.Box({p1.x, p1.y, p2.x, p2.y}, c | XorFlag);
            v.VLine(p1.x, p1.y, p2.y, c);
            v.PutPixel(p2, c);
        }
        v.ChColor(0, 5);
        v.XChColor(5, 6);
        v.Bool(2, 0x100);
        v.Bool(4, 3);
        v.VClr(2);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool in =
                    x >= inner.Left && x <= inner.Right && y >= inner.Top && y <= inner.Bottom;
                if (!in) {
                    ASSERT_EQ(*big.At(x, y), canary) << x << "," << y;
                }
            }
    }
}
