// Halve, Double and Mirror of the brush without a window, against plain
// references written here.
#include "brushops/transform.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using kv::kBrushTransparent;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

constexpr Pixel kBack = 0x00203040;

// A w x h brush of a few colours, some transparent and some exactly the
// background, so that both paths to transparency are exercised.
std::vector<Pixel> RandomBrush(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    const Pixel colours[] = {0x00FF0000, 0x0000FF00, 0x000000FF,
                             0x00123456, kBack,      kBrushTransparent};
    std::vector<Pixel> v(std::size_t(w) * h);
    for (Pixel& p : v) p = colours[random() % 6];
    return v;
}

void Fill(Buffer& b, int w, int h, const std::vector<Pixel>& pixels) {
    b.Alloc(Pair<int>{w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = pixels[std::size_t(y) * w + x];
}

// Nearest sample: target pixel i of n source pixels drawn as m samples
// floor((i + 1/2) * n / m).
int Sample(int i, int n, int m) {
    return int((std::int64_t(2 * i + 1) * n) / (2 * std::int64_t(m)));
}

TEST(BrushOps, PlainScaleSamplesNearestAndMakesBackgroundTransparent) {
    struct Case {
        int w, h;
        double fx, fy;
        int wantW, wantH;
    };
    const Case cases[] = {
        {5, 4, 0.5, 0.5, 2, 2}, {5, 4, 0.5, 1, 2, 4}, {7, 3, 1, 0.5, 7, 1},
        {3, 5, 2, 2, 6, 10},    {4, 1, 2, 1, 8, 1},   {1, 6, 1, 2, 1, 12},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " by " << c.fx << "," << c.fy);
        const std::vector<Pixel> src = RandomBrush(c.w, c.h, seed++);
        Buffer b;
        Fill(b, c.w, c.h, src);
        ASSERT_EQ(kv::ScaleBrush(b, c.fx, c.fy, kBack, 0), kv::ScaleOutcome::Done);
        ASSERT_EQ(b.Width(), c.wantW);
        ASSERT_EQ(b.Height(), c.wantH);
        for (int y = 0; y < c.wantH; ++y)
            for (int x = 0; x < c.wantW; ++x) {
                const Pixel s = src[std::size_t(Sample(y, c.h, c.wantH)) * c.w +
                                    std::size_t(Sample(x, c.w, c.wantW))];
                const Pixel want = s == kBack ? kBrushTransparent : s;
                ASSERT_EQ(*b.At(x, y), want) << "at " << x << "," << y;
            }
    }
}

TEST(BrushOps, AntiAliasedEdgesBlendWithTheBackgroundNotTheMarker) {
    // One opaque and one transparent pixel halved into one: the mean of the
    // colour and the background, per channel (sum + 2) / 4.
    Buffer b;
    Fill(b, 2, 1, {0x00FF8000, kBrushTransparent});
    ASSERT_EQ(kv::ScaleBrush(b, 0.5, 1, 0x00000000, 1), kv::ScaleOutcome::Done);
    ASSERT_EQ(b.Width(), 1);
    EXPECT_EQ(*b.At(0, 0), Pixel(((0xFF * 2 + 2) / 4) << 16 | ((0x80 * 2 + 2) / 4) << 8));
}

TEST(BrushOps, MenuConditionsAndTheBrushLimitRefuseBeforeAllocating) {
    EXPECT_FALSE(kv::ScaleAllowed({1, 9}, 0.5, 1));
    EXPECT_FALSE(kv::ScaleAllowed({9, 1}, 0.5, 0.5));
    EXPECT_FALSE(kv::ScaleAllowed({9, 1}, 1, 0.5));
    EXPECT_TRUE(kv::ScaleAllowed({2, 2}, 0.5, 0.5));
    EXPECT_TRUE(kv::ScaleAllowed({16384, 1}, 2, 2));
    EXPECT_FALSE(kv::ScaleAllowed({16385, 1}, 2, 1));
    EXPECT_FALSE(kv::ScaleAllowed({1, 16385}, 2, 2));
    EXPECT_TRUE(kv::ScaleAllowed({16385, 1}, 1, 2));

    Buffer wide;
    Fill(wide, 16384, 1, std::vector<Pixel>(16384, 0x00FF0000));
    ASSERT_EQ(kv::ScaleBrush(wide, 2, 1, kBack, 0), kv::ScaleOutcome::Done);
    EXPECT_EQ(wide.Width(), 32768);
    EXPECT_EQ(*wide.At(32767, 0), 0x00FF0000u);

    // Brushes whose rows all share one row of memory (pitch 0), so that a
    // size near the limits costs no memory: a result above either limit is
    // refused and the brush is left exactly as it was.
    std::vector<Pixel> row(16385, 0x00FF0000);
    const Pair<int> tooBig[] = {{16385, 1}, {16384, 16384}, {16384, 8193}};
    for (Pair<int> size : tooBig) {
        Buffer b;
        b.Alloc(size, row.data());
        b.Pitch = 0;
        ASSERT_EQ(kv::ScaleBrush(b, 2, size.y > 1 ? 2 : 1, kBack, 0), kv::ScaleOutcome::TooBig);
        EXPECT_EQ(b.Data, row.data());
        EXPECT_EQ(b.Width(), size.x);
        EXPECT_EQ(b.Height(), size.y);
    }
}

TEST(BrushOps, BuiltinBrushKeepsItsPixelsWhenTheyMatchItsBackground) {
    kv::BrushState state;
    state.Settings.Radius = 3;
    state.Settings.Background = 0;
    state.MakeRoundBrush(0); // black on a black "background"
    ASSERT_EQ(kv::ScaleBrush(state.Brush, 0.5, 0.5, kv::ScaleBackground(state), 0),
              kv::ScaleOutcome::Done);
    EXPECT_EQ(*state.Brush.At(1, 1), 0u);
}

TEST(BrushOps, MirrorIsTheExactPermutationAndTwiceIsIdentity) {
    const Pair<int> sizes[] = {{1, 1}, {1, 5}, {6, 1}, {4, 4}, {7, 5}};
    unsigned seed = 40;
    for (Pair<int> size : sizes) {
        const int w = size.x, h = size.y;
        // A view inside a larger buffer: the pixels around it stay put.
        std::vector<Pixel> outer = RandomBrush(w + 2, h + 2, seed++);
        Buffer whole;
        whole.Alloc(Pair<int>{w + 2, h + 2}, outer.data());
        Buffer view(whole, {1, 1, w, h}, false);
        const std::vector<Pixel> before = outer;
        auto at = [&](const std::vector<Pixel>& v, int x, int y) {
            return v[std::size_t(y) * (w + 2) + x];
        };
        kv::MirrorLeftRight(view);
        kv::MirrorTopBottom(view);
        for (int y = 0; y < h + 2; ++y)
            for (int x = 0; x < w + 2; ++x) {
                const bool inside = x >= 1 && x <= w && y >= 1 && y <= h;
                const Pixel want = inside ? at(before, w + 1 - x, h + 1 - y) : at(before, x, y);
                ASSERT_EQ(at(outer, x, y), want) << w << "x" << h << " at " << x << "," << y;
            }
        kv::MirrorTopBottom(view);
        kv::MirrorLeftRight(view);
        EXPECT_EQ(outer, before);
    }
}

TEST(BrushOps, SizerRadiiFollowTheirRulesAndStayWithinTheLimits) {
    struct Case {
        int dx, dy, round, square;
    };
    const Case cases[] = {{3, 4, 5, 4},
                          {-3, -4, 5, 4},
                          {0, 0, 0, 0},
                          {-7, 2, 7, 7},
                          {1, 1, 1, 1},
                          {2, 2, 3, 2},
                          {100000, 0, kv::MaxSizerRadius(), kv::MaxSizerRadius()}};
    for (const Case& c : cases) {
        EXPECT_EQ(kv::RoundSizerRadius(c.dx, c.dy), c.round) << c.dx << "," << c.dy;
        EXPECT_EQ(kv::SquareSizerRadius(c.dx, c.dy), c.square) << c.dx << "," << c.dy;
    }
    const int s = kv::MaxSizerRadius();
    EXPECT_TRUE(kv::FitsBrushLimit({2 * s + 1, 2 * s + 1}));
    EXPECT_FALSE(kv::FitsBrushLimit({2 * s + 3, 2 * s + 3}));
    // The spray's step divides by the radius: never 0, at most 999.
    EXPECT_EQ(kv::SprayRadiusFor(0), 1);
    EXPECT_EQ(kv::SprayRadiusFor(5), 5);
    EXPECT_EQ(kv::SprayRadiusFor(5000), kv::kMaxSprayRadius);
}

} // namespace
