// Scale against the plain reference on random sizes, mirrorings, clippings
// and views, plus the properties callers rely on.
#include <pixkit/buffer.h>
#include <pixkit/vector_level.h>

#include "reference_draw.h"
#include "reference_engine.h"

#include <gtest/gtest.h>

using namespace pixkit;
using testref::Pixels;

namespace {} // namespace

// Both modes, with and without key, mirrored or not, partly outside a view
// with coordinates kept and an odd pitch; with the portable loops and with
// the widest vectors the processor runs.
TEST(BufferScale, MatchesReferenceOnRandomCases) {
    for (const VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2}) {
        LimitVectorLevel(level);
        testref::Rng rng(2024);
        for (int round = 0; round < 500; ++round) {
            // Every fifth round halves exactly, every fifth enlarges by two or
            // three and every fifth doubles the width without averaging:
            // those take paths of their own.
            const bool halving = round % 5 == 1, enlarging = round % 5 == 2,
                       doubling = round % 5 == 3;
            const int sw = halving ? 2 * rng.Range(1, 25) : rng.Range(1, 19), sh = rng.Range(1, 19);
            Buffer block = testref::MakePattern(sw + 3, sh + 2, round, 0xFFFFFFFF);
            Buffer src(block, Rect{1, 1, sw, sh}, rng.Range(0, 1));
            const Pixel key = rng.Range(0, 2) == 0 ? NoKey : *src.At(src.Area.Left, src.Area.Top);
            const bool super = enlarging || (!doubling && rng.Range(0, 1));
            Pair<int> size{rng.Range(1, 40), rng.Range(1, 40)};
            if (halving) size.x = sw / 2;
            if (doubling) size.x = 2 * sw;
            if (enlarging) size = {sw * rng.Range(2, 3), sh * rng.Range(2, 3)};
            if (rng.Range(0, 1)) size.x = -size.x;
            if (rng.Range(0, 1)) size.y = -size.y;
            Buffer target = testref::MakePattern(37, 29, round + 77);
            Buffer expectedTarget = testref::MakePattern(37, 29, round + 77);
            const Rect view{rng.Range(-3, 10), rng.Range(-3, 10), rng.Range(10, 40),
                            rng.Range(10, 32)};
            Buffer dst(target, view, true), exp(expectedTarget, view, true);
            const Pair<int> pos{rng.Range(-20, 30), rng.Range(-20, 25)};

            testref::Scale(exp, testref::Snapshot(src), size, pos, key, super);
            dst.Scale(src, size, pos, key, super ? 1 : 0);
            ASSERT_EQ(Pixels(target), Pixels(expectedTarget))
                << "round " << round << " size " << size.x << "," << size.y << " pos " << pos.x
                << "," << pos.y << " super " << super << " level " << int(level);
        }
    }
}

// Targets too large for the caches are written past them, in bands.
TEST(BufferScale, LargeTargetsMatchTheReference) {
    Buffer block = testref::MakePattern(2053, 1031, 7, 0xFFFFFFFF);
    Buffer src(block, Rect{1, 1, 2050, 1030}, false);
    Buffer target, expected;
    target.Alloc({4103, 2063});
    expected.Alloc({4103, 2063});
    for (const Pair<int> size : {Pair<int>{4100, 2060}, Pair<int>{-4099, 2061}}) {
        target.Box(target.Area, 1);
        expected.Box(expected.Area, 1);
        Buffer dst(target, Rect{1, 2, 4101, 2062}, true),
            exp(expected, Rect{1, 2, 4101, 2062}, true);
        testref::Scale(exp, testref::Snapshot(src), size, {0, 1}, NoKey, false);
        dst.Scale(src, size, {0, 1}, NoKey, 0);
        ASSERT_EQ(Pixels(target), Pixels(expected)) << size.x;
    }
}

TEST(BufferScale, SmallCases) {
    Buffer src;
    src.Alloc({2, 2});
    *src.At(0, 0) = 0x000000FF;
    *src.At(1, 0) = 0x0000FF00;
    *src.At(0, 1) = 0x00FF0000;
    *src.At(1, 1) = 0x00000003;
    Buffer dst;
    dst.Alloc({4, 4});
    dst.Scale(src, {4, 4}, {0, 0}, NoKey, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(*dst.At(x, y), *src.At(x / 2, y / 2));
    dst.Scale(src, {-4, 4}, {0, 0}, NoKey, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(*dst.At(x, y), *src.At(1 - x / 2, y / 2));
    // The rounded mean: (255 + 2) / 4 = 64 per channel, (3 + 2) / 4 = 1.
    dst.Scale(src, {1, 1}, {0, 0}, NoKey, 1);
    EXPECT_EQ(*dst.At(0, 0), 0x00404041u);
}

TEST(BufferScale, AutomaticModeThresholds) {
    Buffer src = testref::MakePattern(100, 100, 5);
    const auto averaged = [&](Pair<int> size) {
        Buffer plain, automatic;
        plain.Alloc({size.x, size.y});
        automatic.Alloc({size.x, size.y});
        plain.Scale(src, size, {0, 0}, NoKey, 0);
        automatic.Scale(src, size, {0, 0}, NoKey, -1);
        return Pixels(plain) != Pixels(automatic);
    };
    EXPECT_FALSE(averaged({140, 140}));
    EXPECT_FALSE(averaged({67, 67}));
    EXPECT_TRUE(averaged({150, 150}));
    EXPECT_TRUE(averaged({140, 60}));
    EXPECT_TRUE(averaged({66, 100}));
}

TEST(BufferScale, SameSizeIsACopyAndMirroringTwiceIsTheIdentity) {
    Buffer src = testref::MakePattern(13, 9, 3, 0xFFFFFFFF);
    Buffer same, once, twice;
    same.Alloc({13, 9});
    once.Alloc({13, 9});
    twice.Alloc({13, 9});
    same.Scale(src, {13, 9}, {0, 0}, NoKey, 0);
    EXPECT_EQ(Pixels(same), Pixels(src)); // top bytes carried too
    once.Scale(src, {-13, -9}, {0, 0}, NoKey, 0);
    EXPECT_NE(Pixels(once), Pixels(src));
    twice.Scale(once, {-13, -9}, {0, 0}, NoKey, 0);
    EXPECT_EQ(Pixels(twice), Pixels(src));
    // Supersampling at the same size averages four copies of one pixel.
    Buffer super;
    super.Alloc({13, 9});
    Buffer colours = testref::MakePattern(13, 9, 3);
    super.Scale(colours, {13, 9}, {0, 0}, NoKey, 1);
    EXPECT_EQ(Pixels(super), Pixels(colours));
}

// Drawing through a clipped view gives the pixels of the unclipped drawing.
TEST(BufferScale, ClippingDoesNotShiftTheSampling) {
    Buffer src = testref::MakePattern(17, 11, 8);
    for (const int mode : {0, 1}) {
        Buffer full, clipped;
        full.Alloc({50, 40});
        clipped.Alloc({50, 40});
        full.Box(full.Area, 0);
        clipped.Box(clipped.Area, 0);
        full.Scale(src, {-41, 33}, {3, 2}, NoKey, mode);
        Buffer view(clipped, Rect{20, 9, 30, 25}, true);
        view.Scale(src, {-41, 33}, {3, 2}, NoKey, mode);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                ASSERT_EQ(*clipped.At(x, y), view.Contains({x, y}) ? *full.At(x, y) : 0u);
    }
}

TEST(BufferScale, KeyedSupersamplingBlendsWithTheTarget) {
    Buffer src;
    src.Alloc({2, 2});
    src.Box(src.Area, 0x000000F0);
    *src.At(1, 1) = TransparentMarker;
    Buffer dst;
    dst.Alloc({1, 1});
    *dst.At(0, 0) = 0x00000010;
    dst.Scale(src, {1, 1}, {0, 0}, TransparentMarker, 1);
    EXPECT_EQ(*dst.At(0, 0), Pixel((3 * 0xF0 + 0x10 + 2) / 4));
}
