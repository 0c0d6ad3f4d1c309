// Copy, CopyLine and Swap against plain references, on views of one block
// (overlapping, with odd pitches) and on separate buffers.
#include <pixkit/buffer.h>

#include "reference_draw.h"
#include "reference_engine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pixkit;

namespace {

Buffer Make(int w, int h, std::uint32_t seed = 1) {
    Buffer b;
    b.Alloc({w, h});
    testref::FillPattern(b, seed);
    return b;
}

// A random rectangle around (and partly outside) a w x h area.
Rect RandomRect(testref::Rng& rng, int w, int h) {
    const int l = rng.Range(-4, w - 1), t = rng.Range(-4, h - 1);
    return Rect{l, t, l + rng.Range(0, w), t + rng.Range(0, h)};
}

// A buffer holding the same pixels as b, with the same Area.
Buffer Duplicate(const Buffer& b) {
    Buffer out = Make(b.Width(), b.Height());
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) *out.At(x, y) = *b.At(x, y);
    return out;
}

void ExpectSame(const Buffer& a, const Buffer& b, const char* what, int round) {
    ASSERT_EQ(a.Area, b.Area);
    for (int y = a.Area.Top; y <= a.Area.Bottom; ++y)
        for (int x = a.Area.Left; x <= a.Area.Right; ++x)
            ASSERT_EQ(*a.At(x, y), *b.At(x, y))
                << what << " round " << round << " at " << x << "," << y;
}

} // namespace

// Views of one block copy as if the source were read first, keyed or not,
// whatever the direction of the overlap; nothing outside the target view
// changes.
TEST(BufferCopy, OverlappingViewsMatchCopyingFromASnapshot) {
    testref::Rng rng(7);
    for (int round = 0; round < 400; ++round) {
        const int w = rng.Range(1, 37), h = rng.Range(1, 23);
        Buffer block = Make(w, h, round);
        // Some pixels take the key value so that keyed copies skip some.
        const Pixel key = round % 3 == 0 ? NoKey : *block.At(0, 0);
        for (int i = 0; i < w * h / 3; ++i)
            *block.At(rng.Range(0, w - 1), rng.Range(0, h - 1)) = key;
        Buffer expected = Duplicate(block);
        const Rect rs = RandomRect(rng, w, h), rd = RandomRect(rng, w, h);
        const bool ks = rng.Range(0, 1), kd = rng.Range(0, 1);
        const Pair<int> off{rng.Range(-6, 6), rng.Range(-6, 6)};

        Buffer src(block, rs, ks), dst(block, rd, kd), expDst(expected, rd, kd);
        const testref::Snapshot snap(src);
        testref::Copy(expDst, snap, off, key);
        dst.Copy(src, off, key);
        ExpectSame(block, expected, "copy", round);
    }
}

TEST(BufferCopy, ShiftOntoItselfDoesNotSmear) {
    for (const Pixel key : {NoKey, Pixel(0x00FF00FF)}) {
        Buffer b = Make(9, 7);
        const testref::Snapshot before(b);
        Buffer whole(b, Rect{WholeArea, 0, 0, 0}, true);
        b.Copy(whole, {1, 1}, key);
        for (int y = 1; y < 7; ++y)
            for (int x = 1; x < 9; ++x) ASSERT_EQ(*b.At(x, y), before.At(x - 1, y - 1));
        // And back up-left, the other direction of overlap.
        Buffer c = Make(9, 7);
        const testref::Snapshot cBefore(c);
        Buffer cw(c, Rect{WholeArea, 0, 0, 0}, true);
        c.Copy(cw, {-2, -1}, key);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 7; ++x) ASSERT_EQ(*c.At(x, y), cBefore.At(x + 2, y + 1));
    }
}

TEST(BufferCopy, KeyRules) {
    Buffer src = Make(4, 1), dst = Make(4, 1, 99);
    *src.At(0, 0) = 0xFFFFFFFF;
    *src.At(1, 0) = 0x00FF00FF;
    const Pixel keep = *dst.At(1, 0);
    dst.Copy(src, {0, 0}, 0x00FF00FF);
    EXPECT_EQ(*dst.At(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(*dst.At(1, 0), keep);
    EXPECT_EQ(*dst.At(2, 0), *src.At(2, 0));
    dst.Copy(src, {0, 0}, NoKey);
    EXPECT_EQ(*dst.At(1, 0), 0x00FF00FFu);
}

// Wide rows exercise the vectorised keyed loop and its tail.
TEST(BufferCopy, LongKeyedRowsBetweenSeparateBuffers) {
    testref::Rng rng(3);
    for (int round = 0; round < 40; ++round) {
        const int w = rng.Range(1, 300), h = rng.Range(1, 4);
        Buffer src = Make(w, h, round), dst = Make(w + 5, h + 1, round + 1000);
        const Pixel key = 0x01000000;
        for (int i = 0; i < w * h / 2; ++i) *src.At(rng.Range(0, w - 1), rng.Range(0, h - 1)) = key;
        Buffer expected = Duplicate(dst);
        const Pair<int> off{rng.Range(-3, 5), rng.Range(-1, 1)};
        testref::Copy(expected, testref::Snapshot(src), off, key);
        dst.Copy(src, off, key);
        ExpectSame(dst, expected, "keyed", round);
    }
}

TEST(BufferCopy, PlacementsNearTheCoordinateLimitsAreClipped) {
    Buffer src = Make(5, 5), dst = Make(5, 5, 2);
    const testref::Snapshot before(dst);
    dst.Copy(src, {INT32_MAX, INT32_MIN}, NoKey);
    dst.Copy(src, {INT32_MIN, 0}, NoKey);
    EXPECT_EQ(testref::Snapshot(dst).px, before.px);
}

// CopyLine visits exactly the pixels of the unclipped line walk that land
// in the target, for lines crossing both buffers' edges.
TEST(BufferCopyLine, CopiesTheLinePixelsOnly) {
    testref::Rng rng(11);
    for (int round = 0; round < 300; ++round) {
        const int sw = rng.Range(1, 20), sh = rng.Range(1, 20);
        const int dw = rng.Range(1, 20), dh = rng.Range(1, 20);
        Buffer src = Make(sw, sh, round);
        Buffer dst;
        dst.Alloc({dw, dh});
        dst.Box(dst.Area, 0x5EADBEEF);
        const Pair<int> p1{rng.Range(-8, 28), rng.Range(-8, 28)};
        const Pair<int> p2{rng.Range(-8, 28), rng.Range(-8, 28)};
        const Pair<int> off{rng.Range(-6, 6), rng.Range(-6, 6)};
        Buffer expected;
        expected.Alloc({dst.Width(), dst.Height()});
        expected.Box(expected.Area, 0x5EADBEEF);
        for (const auto p : testref::LinePixels(p1, p2)) {
            const Pair<int> t{p.x + off.x, p.y + off.y};
            if (src.Contains(p) && expected.Contains(t)) *expected.At(t.x, t.y) = *src.At(p.x, p.y);
        }
        dst.CopyLine(src, p1, p2, off);
        SCOPED_TRACE(testing::Message() << "line " << p1.x << "," << p1.y << " to " << p2.x << ","
                                        << p2.y << " offset " << off.x << "," << off.y);
        ExpectSame(dst, expected, "copyline", round);
    }
}

TEST(BufferSwap, ExchangesTheOverlapOnly) {
    Buffer a = Make(6, 5, 1), b = Make(6, 5, 2);
    const testref::Snapshot sa(a), sb(b);
    Buffer va(a, Rect{1, 1, 4, 3}, true), vb(b, Rect{2, 0, 5, 2}, true);
    va.Swap(vb);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool in = x >= 2 && x <= 4 && y >= 1 && y <= 2;
            EXPECT_EQ(*a.At(x, y), in ? sb.At(x, y) : sa.At(x, y));
            EXPECT_EQ(*b.At(x, y), in ? sa.At(x, y) : sb.At(x, y));
        }
}
