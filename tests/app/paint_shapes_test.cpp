// Shape geometry: the square constraint, the polygon's edge count and
// vertices, and the filled spans against the polygon they come from.
#include "paint/shapemath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using pixkit::Pair;

TEST(ShapeMath, SquaresTakeTheLargerExtent) {
    EXPECT_EQ(kv::ConstrainSquare({10, 10}, {13, 20}), (Pair<int>{20, 20}));
    EXPECT_EQ(kv::ConstrainSquare({10, 10}, {10, 25}), (Pair<int>{10, 25})); // straight below
    EXPECT_EQ(kv::ConstrainSquare({10, 10}, {2, 7}), (Pair<int>{2, 2}));
    EXPECT_EQ(kv::ConstrainSquare({10, 10}, {14, 6}), (Pair<int>{14, 6}));
}

TEST(ShapeMath, EdgeCountsVerticesAndSpans) {
    struct Case {
        int r, edges;
    } cases[] = {{0, 16},     {31, 16},     {32, 32},       {191, 512},
                 {192, 1024}, {5000, 1024}, {1 << 30, 1024}};
    for (const Case& c : cases) EXPECT_EQ(kv::SegmentCount(c.r, c.r / 2), c.edges) << c.r;
    for (int r : {0, 1, 7, 31, 32, 100, 5000}) {
        const Pair<int> centre{300, 200};
        const auto v = kv::EllipseVertices(centre, r, r);
        ASSERT_EQ(v.size(), std::size_t(kv::SegmentCount(r, r)) + 1);
        EXPECT_EQ(v.front(), (Pair<int>{300, 200 - r}));
        EXPECT_EQ(v.back(), v.front());
        // A quarter of the way: the leftmost point; halfway: the bottom.
        EXPECT_EQ(v[v.size() / 4], (Pair<int>{300 - r, 200}));
        EXPECT_EQ(v[v.size() / 2], (Pair<int>{300, 200 + r}));
        for (const Pair<int>& p : v) {
            const double d = std::hypot(p.x - centre.x, p.y - centre.y);
            // Both coordinates truncate, and the table is exact to 1/512.
            EXPECT_LE(std::abs(d - r), 1.5 + r * 0.003) << r;
        }
    }
    // One span per row from top to bottom, centred, covering the disc.
    const int r = 40;
    const auto spans = kv::EllipseSpans({50, 60}, r, r);
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans.back().Y, 60 + r);
    for (std::size_t i = 1; i < spans.size(); ++i) EXPECT_EQ(spans[i].Y, spans[i - 1].Y + 1);
    for (const kv::Span& s : spans) {
        EXPECT_EQ(s.Left + s.Right, 100);
        const double half = std::sqrt(double(r) * r - double(s.Y - 60) * (s.Y - 60));
        // Near the poles a row's reach changes fast with y.
        EXPECT_NEAR(50 - s.Left, half, std::abs(s.Y - 60) > r - 3 ? 4 : 2.5) << s.Y;
    }
}

} // namespace
