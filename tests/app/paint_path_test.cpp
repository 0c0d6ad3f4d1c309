// Arrowheads, curve points, spacing rules and grid snapping.
#include "paint/pathmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using kv::GridAxis;
using pixkit::Pair;

TEST(Arrow, StrokesTurnThirtyDegreesBackTowardTheStart) {
    // A line from (0, 100) to (200, 100): the strokes lead back left, one up
    // and one down, each 60 pixels long.
    const Pair<int> tip{200, 100}, from{0, 100};
    const Pair<int> a = kv::ArrowPoint(tip, from, -30, kv::ArrowLength(4));
    const Pair<int> b = kv::ArrowPoint(tip, from, 30, kv::ArrowLength(4));
    // 60 cos 30 = 51.96 and 60 sin 30 = 29.99999... in doubles, truncated.
    EXPECT_EQ(a, (Pair<int>{200 - 51, 100 + 29}));
    EXPECT_EQ(b, (Pair<int>{200 - 51, 100 - 29}));
    // Any direction: length 60 within truncation, 30 degrees off the line.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> c(-300, 300);
    for (int n = 0; n < 200; ++n) {
        const Pair<int> t{c(rng), c(rng)}, f{c(rng), c(rng)};
        if (t == f) continue;
        for (double angle : {-30.0, 30.0}) {
            const Pair<int> p = kv::ArrowPoint(t, f, angle, 60);
            const double vx = p.x - t.x, vy = p.y - t.y, lx = f.x - t.x, ly = f.y - t.y;
            EXPECT_NEAR(std::hypot(vx, vy), 60, 1.5);
            const double cosAngle = (vx * lx + vy * ly) / (std::hypot(vx, vy) * std::hypot(lx, ly));
            EXPECT_NEAR(cosAngle, std::cos(M_PI / 6), 0.03);
        }
    }
    EXPECT_EQ(kv::ArrowPoint({5, 5}, {5, 5}, 30, 60), (Pair<int>{5, 5}));
    EXPECT_EQ(kv::ArrowLength(0), 0);
    EXPECT_EQ(kv::ArrowLength(3), 35);
}

TEST(Curve, PassesThroughTheThirdPointAndIsStraightOnTheChord) {
    const Pair<int> s{10, 10}, e{90, 50}, p{50, 30};
    const Pair<int> c = kv::ControlPoint(s, e, p);
    EXPECT_EQ(c, (Pair<int>{50, 30}));
    EXPECT_EQ(kv::CurvePoint(s, c, e, 0.5), p);
    // Every point lies on the chord (within truncation).
    for (int k = 0; k <= 16; ++k) {
        const Pair<int> q = kv::CurvePoint(s, c, e, k / 16.0);
        EXPECT_NEAR(q.y, 10 + (q.x - 10) * 0.5, 1.0);
    }
    EXPECT_EQ(kv::CurvePoint(s, c, e, 0), s);
    EXPECT_EQ(kv::CurvePoint(s, c, e, 1), e);
    EXPECT_EQ(kv::CurveLength(s, c, e), 80);
    // The halving truncates toward zero on negative sums too.
    EXPECT_EQ(kv::ControlPoint({-3, 0}, {0, 0}, {0, 0}), (Pair<int>{1, 0}));
}

TEST(Spacing, ModesGiveTheWalkSpacing) {
    EXPECT_EQ(kv::SpacingFor(kv::smEveryPixel, 7, 100, false), 1);
    EXPECT_EQ(kv::SpacingFor(kv::smPixels, 2.5, 100, false), 2.5);
    EXPECT_EQ(kv::SpacingFor(kv::smCount, 2, 100, false), 100);
    EXPECT_EQ(kv::SpacingFor(kv::smCount, 5, 100, false), 25);
    EXPECT_DOUBLE_EQ(kv::SpacingFor(kv::smCount, 5, 100, true), 99.95 / 4);
    // One stamp: only the start, never a division by zero.
    EXPECT_GT(kv::SpacingFor(kv::smCount, 1, 100, false), 100);
    EXPECT_GT(kv::SpacingFor(kv::smCount, 0, 100, true), 100);
}

TEST(Grid, SnapsToTheNearestLineTiesUp) {
    const GridAxis eight{8, 0};
    EXPECT_EQ(kv::SnapAxis(3, eight), 0);
    EXPECT_EQ(kv::SnapAxis(4, eight), 8);
    EXPECT_EQ(kv::SnapAxis(12, eight), 16);
    const GridAxis ten{10, 23};
    EXPECT_EQ(kv::SnapAxis(7, ten), 3);
    EXPECT_EQ(kv::SnapAxis(8, ten), 13);
    // Against a brute-force nearest line, also left of the image.
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> v(-500, 500), d(1, 40), p(0, 100);
    for (int n = 0; n < 2000; ++n) {
        const GridAxis g{d(rng), p(rng)};
        const int x = v(rng), s = kv::SnapAxis(x, g);
        EXPECT_EQ(((s - g.Pos) % g.Delta + g.Delta) % g.Delta, 0);
        const int dist = std::abs(s - x);
        EXPECT_LE(2 * dist, g.Delta) << x << " " << g.Delta << " " << g.Pos;
        if (2 * dist == g.Delta) {
            EXPECT_GT(s, x);
        }
    }
}

} // namespace
