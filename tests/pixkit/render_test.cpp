// Span lists of hand-computed quadrilaterals. The corners are chosen so that
// every edge position is exact in single precision; the expected spans
// follow from the pixel centres (plain) or quarter positions (supersampling)
// that lie inside each row.
#include <pixkit/buffer.h>

#include <gtest/gtest.h>

#include <vector>

using namespace pixkit;

namespace {

struct Spans {
    Pair<int> origin{-1, -1};
    int rows = -1;
    std::vector<int> v;
    bool null = true;
};

Spans RenderOn(const Buffer& b, std::vector<Pair<double>> quad, int mode) {
    Spans s;
    auto out = b.Render(quad.data(), s.origin, s.rows, mode);
    s.null = out == nullptr;
    if (out) s.v.assign(out.get(), out.get() + s.rows * (mode ? 4 : 2));
    return s;
}

Buffer Blank(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    return b;
}

const std::vector<Pair<double>> kSquare{{1, 1}, {5, 1}, {5, 4}, {1, 4}};
const std::vector<Pair<double>> kDiamond{{4, 0}, {8, 4}, {4, 8}, {0, 4}};

} // namespace

TEST(Render, SquarePlainAndSupersampled) {
    Buffer b = Blank(10, 10);
    Spans p = RenderOn(b, kSquare, 0);
    EXPECT_EQ(p.origin, (Pair<int>{1, 1}));
    EXPECT_EQ(p.v, (std::vector<int>{1, 4, 1, 4, 1, 4}));
    // Quarter positions 1.25 .. 4.75 lie inside [1, 5]: sub-columns 2 .. 9.
    Spans s = RenderOn(b, kSquare, 1);
    EXPECT_EQ(s.origin, (Pair<int>{1, 1}));
    EXPECT_EQ(s.v, (std::vector<int>{2, 9, 2, 9, 2, 9, 2, 9, 2, 9, 2, 9}));
}

// A sample exactly on the left edge is outside, one exactly on the right
// edge inside (plain), outside (supersampling).
TEST(Render, DiamondPlain) {
    Spans p = RenderOn(Blank(10, 10), kDiamond, 0);
    EXPECT_EQ(p.origin, (Pair<int>{1, 0}));
    EXPECT_EQ(p.v, (std::vector<int>{4, 4, 3, 5, 2, 6, 1, 7, 1, 7, 2, 6, 3, 5, 4, 4}));
}

TEST(Render, DiamondSupersampled) {
    Spans s = RenderOn(Blank(10, 10), kDiamond, 1);
    EXPECT_EQ(s.origin, (Pair<int>{0, 0}));
    EXPECT_EQ(s.v, (std::vector<int>{8, 8,  7, 8,  6, 10, 5, 10, 4, 12, 3, 12, 2, 14, 1, 14,
                                     1, 14, 2, 14, 3, 12, 4, 12, 5, 10, 6, 10, 7, 8,  8, 8}));
}

// Rows too narrow to hold a pixel centre are dropped at the top and not
// counted at the bottom.
TEST(Render, EmptyRowsAtEitherEnd) {
    Buffer b = Blank(10, 10);
    Spans top = RenderOn(b, {{5, 0}, {5, 0}, {6, 4}, {4, 4}}, 0);
    EXPECT_EQ(top.origin, (Pair<int>{4, 2}));
    EXPECT_EQ(top.v, (std::vector<int>{4, 5, 4, 5}));
    Spans bottom = RenderOn(b, {{4, 0}, {6, 0}, {5, 4}, {5, 4}}, 0);
    EXPECT_EQ(bottom.origin, (Pair<int>{4, 0}));
    EXPECT_EQ(bottom.v, (std::vector<int>{4, 5, 4, 5}));
}

TEST(Render, ClippedToTheViewArea) {
    Buffer b = Blank(10, 10);
    Buffer view(b, Rect{2, 2, 3, 8}, true);
    Spans p = RenderOn(view, kSquare, 0);
    EXPECT_EQ(p.origin, (Pair<int>{2, 2}));
    EXPECT_EQ(p.v, (std::vector<int>{2, 3, 2, 3}));
    Spans s = RenderOn(view, kSquare, 1);
    EXPECT_EQ(s.v, (std::vector<int>{4, 7, 4, 7, 4, 7, 4, 7}));
}

TEST(Render, NullWhenNothingIsCovered) {
    Buffer b = Blank(10, 10);
    for (const int mode : {0, 1}) {
        EXPECT_TRUE(RenderOn(b, {{1.1, 1.1}, {1.2, 1.1}, {1.2, 1.2}, {1.1, 1.2}}, mode).null);
        EXPECT_TRUE(RenderOn(b, {{20, 1}, {25, 1}, {25, 4}, {20, 4}}, mode).null);
        EXPECT_TRUE(RenderOn(b, {{0, 0}, {1e300, 0}, {0, 1e308 * 10}, {0, 1}}, mode).null);
        Buffer empty;
        EXPECT_TRUE(RenderOn(empty, kSquare, mode).null);
    }
}
