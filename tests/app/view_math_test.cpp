// Zoom positions, the view/image mapping, the view's stretching loop against
// a plain reference, and the progress throttle.
#include "view/progress.h"
#include "view/stretch.h"
#include "view/zoom.h"

#include <gtest/gtest.h>

#include <random>

using namespace kv;

namespace {

constexpr int kAllPositions[] = {-4, -3, -2, -1, 0, 1, 2, 3, 5, 8, 32};

TEST(ZoomTest, PackedValuesAndReduction) {
    EXPECT_EQ(PackedZoom(1), 0x00010001u);
    EXPECT_EQ(PackedZoom(7), 0x00010007u);
    EXPECT_EQ(PackedZoom(0), 0x00040003u);
    EXPECT_EQ(PackedZoom(-1), 0x00030002u);
    EXPECT_EQ(PackedZoom(-2), 0x00020001u);
    EXPECT_EQ(PackedZoom(-3), 0x00030001u);
    EXPECT_EQ(PackedZoom(-4), 0x00040001u);
    // The view control keeps m:q reduced and a divisor of 1 as 0.
    EXPECT_EQ(ReducePacked(0x00010005u), 0x00000005u);
    EXPECT_EQ(ReducePacked(0x00060004u), 0x00030002u);
    EXPECT_EQ(ReducePacked(0x00040004u), 0x00000001u);
    EXPECT_EQ(ReducePacked(0), 0x00000001u);
    for (int p : kAllPositions)
        EXPECT_EQ(RatioOfPacked(ReducePacked(PackedZoom(p))), RatioOfPosition(p)) << p;
}

TEST(ZoomTest, PositionFromFactorTruncatesAndSteps) {
    EXPECT_EQ(PositionFromFactor(1.0), 1);
    EXPECT_EQ(PositionFromFactor(2.99), 2);
    EXPECT_EQ(PositionFromFactor(1e9), 32);
    EXPECT_EQ(PositionFromFactor(0.999), 0);
    EXPECT_EQ(PositionFromFactor(0.75), 0);
    EXPECT_EQ(PositionFromFactor(0.7), -1);
    EXPECT_EQ(PositionFromFactor(0.5), -2);
    EXPECT_EQ(PositionFromFactor(0.34), -3);
    EXPECT_EQ(PositionFromFactor(0.3), -4);
    EXPECT_EQ(PositionFromFactor(0.0), -4);
    // Every position is reached from its own factor.
    for (int p : kAllPositions) EXPECT_EQ(PositionFromFactor(FactorOfPosition(p)), p);
    EXPECT_EQ(ZoomFactorText(0), "3/4");
    EXPECT_EQ(ZoomFactorText(-4), "1/4");
    EXPECT_EQ(ZoomFactorText(12), "12");
}

TEST(ZoomTest, ViewToImageTruncatesTowardZero) {
    EXPECT_EQ(ViewToImageCoord(3, RatioOfPosition(0)), 4);
    EXPECT_EQ(ViewToImageCoord(5, RatioOfPosition(3)), 1);
    // 2/3 must not fall just short of a whole number through rounding.
    EXPECT_EQ(ViewToImageCoord(2, RatioOfPosition(-1)), 3);
    EXPECT_EQ(ViewToImageCoord(200, RatioOfPosition(-1)), 300);
    // Left of the view: -1 and -2 still map to 0 at zoom 3, -3 to -1.
    EXPECT_EQ(ViewToImageCoord(-1, RatioOfPosition(3)), 0);
    EXPECT_EQ(ViewToImageCoord(-2, RatioOfPosition(3)), 0);
    EXPECT_EQ(ViewToImageCoord(-3, RatioOfPosition(3)), -1);
    EXPECT_EQ(ViewExtent(101, RatioOfPosition(-3)), 33);
    EXPECT_EQ(ViewExtent(101, RatioOfPosition(0)), 75);
    EXPECT_EQ(ViewExtent(16000, RatioOfPosition(32)), 512000);
}

TEST(ZoomTest, InvalidationAndVisibleRectangles) {
    const pixkit::Rect r = InvalidationRect(10, 20, 4, 2, 3.0);
    EXPECT_EQ(r, (pixkit::Rect{11, 5, 31, 61}));
    const pixkit::Rect q = InvalidationRect(1, 1, 3, 3, 0.25);
    EXPECT_EQ(q, (pixkit::Rect{0, 0, 1, 1}));
    // A 100 x 50 client scrolled to (30, 9) at 2/3 sees image columns
    // 45..193 and rows 13..87.
    EXPECT_EQ(VisibleImageRect(100, 50, 30, 9, RatioOfPosition(-1)),
              (pixkit::Rect{45, 13, 193, 87}));
}

TEST(ZoomTest, AnchoredScrollKeepsThePointUnderTheAnchor) {
    // View at 0, mouse 100 px into it, factor 1 -> 4: the point now 400 px
    // into the view stays at container position 100.
    EXPECT_EQ(AnchoredScroll(100, 0, 4, 1), 300);
    // View centred at 50: 60 px into the view; twice the size -> 120 - 110.
    EXPECT_EQ(AnchoredScroll(110, 50, 2, 1), 10);
    // Zooming out never scrolls before the start.
    EXPECT_EQ(AnchoredScroll(100, -20, 0.5, 1), 0);
}

// The reference: every view pixel looked up on its own.
pixkit::Pixel Reference(const pixkit::Buffer& b, ZoomRatio r, int vx, int vy) {
    return *b.At(b.Area.Left + ViewToImageCoord(vx, r), b.Area.Top + ViewToImageCoord(vy, r)) |
           0xFF000000u;
}

TEST(StretchTest, EveryZoomMatchesTheReferenceOnOddRectanglesAndViews) {
    std::mt19937 rng(20261208);
    pixkit::Buffer whole;
    whole.Alloc({53, 41});
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 53; ++x) *whole.At(x, y) = rng(); // top bytes carry noise
    // A view with its own coordinates and a pitch wider than its rows.
    pixkit::Buffer view(whole, {7, 5, 43, 37}, true);
    std::vector<int> cols;
    for (int p : kAllPositions) {
        const ZoomRatio r = RatioOfPosition(p);
        const int vw = MappedViewExtent(view.Width(), r);
        const int vh = MappedViewExtent(view.Height(), r);
        ASSERT_EQ(ViewToImageCoord(vw - 1, r), view.Width() - 1) << p;
        ASSERT_EQ(ViewToImageCoord(vw, r) >= view.Width(), true) << p;
        for (int trial = 0; trial < 20; ++trial) {
            const int x0 = int(rng() % unsigned(vw)), y0 = int(rng() % unsigned(vh));
            const int w = 1 + int(rng() % unsigned(vw - x0)),
                      h = 1 + int(rng() % unsigned(vh - y0));
            std::vector<pixkit::Pixel> out(std::size_t(w + 3) * h, 0xDEADBEEF);
            StretchToView(view, r, x0, y0, w, h, out.data(), w + 3, cols);
            for (int j = 0; j < h; ++j) {
                for (int i = 0; i < w; ++i)
                    ASSERT_EQ(out[std::size_t(j * (w + 3) + i)], Reference(view, r, x0 + i, y0 + j))
                        << "position " << p << " at " << x0 + i << "," << y0 + j;
                // Nothing is written past the rectangle.
                ASSERT_EQ(out[std::size_t(j * (w + 3) + w)], 0xDEADBEEFu);
            }
        }
    }
}

TEST(ProgressThrottleTest, BarEvery100MsAndViewEvery2s) {
    std::int64_t now = 5000;
    ProgressThrottle t;
    t.Clock = [&] { return now; };
    t.Start();
    EXPECT_FALSE(t.BarDue());
    now += 99;
    EXPECT_FALSE(t.BarDue());
    now += 1;
    EXPECT_TRUE(t.BarDue());
    EXPECT_FALSE(t.BarDue()); // counted as shown
    now += 150;
    EXPECT_TRUE(t.BarDue());
    EXPECT_FALSE(t.ViewDue());
    now = 5000 + 1999;
    EXPECT_FALSE(t.ViewDue());
    now = 7000;
    EXPECT_TRUE(t.ViewDue());
    EXPECT_FALSE(t.ViewDue());
    now = 8999;
    EXPECT_FALSE(t.ViewDue());
    now = 9000;
    EXPECT_TRUE(t.ViewDue());
    EXPECT_DOUBLE_EQ(t.SecondsSinceStart(), 4.0);
    // A new operation starts the periods again.
    t.Start();
    EXPECT_FALSE(t.BarDue());
    EXPECT_FALSE(t.ViewDue());
}

} // namespace
