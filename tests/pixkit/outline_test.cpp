// OutlineEQ and OutlineNE against a reference that decides every pixel from
// a snapshot taken before the call.
#include <pixkit/buffer.h>

#include "reference_draw.h"
#include "reference_engine.h"

#include <gtest/gtest.h>

using namespace pixkit;

namespace {

// Reference: P becomes b when candidate(P) and a neighbour (up to eight,
// clipped to Area) satisfies hit, all tested on the snapshot.
template <typename C, typename H> void ReferenceOutline(Buffer& buf, Pixel b, C candidate, H hit) {
    const testref::Snapshot s(buf);
    for (int y = buf.Area.Top; y <= buf.Area.Bottom; ++y)
        for (int x = buf.Area.Left; x <= buf.Area.Right; ++x) {
            if (!candidate(s.At(x, y))) continue;
            bool any = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dy) && s.Has(x + dx, y + dy) && hit(s.At(x + dx, y + dy)))
                        any = true;
            if (any) *buf.At(x, y) = b;
        }
}

Buffer Random(testref::Rng& rng, int w, int h, const Pixel* palette, int n) {
    Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = palette[rng.Range(0, n - 1)];
    return b;
}

} // namespace

TEST(Outline, MatchesSnapshotReferenceOnRandomViews) {
    testref::Rng rng(31);
    const Pixel palette[4] = {0x01000000, 0x00000000, 0x00FF0000, 0x0000FF00};
    for (int round = 0; round < 300; ++round) {
        const int w = rng.Range(1, 17), h = rng.Range(1, 13);
        // Sparse foreground, so that both operations change many pixels.
        Buffer block = Random(rng, w, h, palette, rng.Range(0, 1) ? 2 : 4);
        Buffer expected = Random(rng, w, h, palette, 1);
        expected.Copy(block, {0, 0}, NoKey);
        const Rect view{rng.Range(-1, w - 1), rng.Range(-1, h - 1), rng.Range(0, w),
                        rng.Range(0, h)};
        const bool keep = rng.Range(0, 1);
        Buffer v(block, view, keep), e(expected, view, keep);
        const Pixel a = palette[rng.Range(0, 3)];
        // b may equal a: the result is still decided on the old pixels.
        const Pixel b = palette[rng.Range(0, 3)];
        if (round % 2) {
            v.OutlineEQ(a, b);
            ReferenceOutline(
                e, b, [&](Pixel p) { return p != a; }, [&](Pixel p) { return p == a; });
        } else {
            v.OutlineNE(a, b);
            ReferenceOutline(
                e, b, [&](Pixel p) { return p == a; }, [&](Pixel p) { return p != a && p != b; });
        }
        ASSERT_EQ(testref::Snapshot(block).px, testref::Snapshot(expected).px) << "round " << round;
    }
}

TEST(Outline, SinglePixelOnTheBottomRowGetsItsNeighbours) {
    Buffer buf;
    buf.Alloc({5, 3});
    buf.Box(buf.Area, TransparentMarker);
    buf.PutPixel({2, 2}, 0x00FF0000);
    buf.OutlineNE(TransparentMarker, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const Pixel want = (x == 2 && y == 2)             ? 0x00FF0000u
                               : (x >= 1 && x <= 3 && y >= 1) ? 0u
                                                              : TransparentMarker;
            EXPECT_EQ(*buf.At(x, y), want) << x << "," << y;
        }
}

TEST(Outline, OneRowLooksLeftAndRight) {
    Buffer buf;
    buf.Alloc({6, 1});
    buf.Box(buf.Area, 7);
    buf.PutPixel({3, 0}, 1);
    buf.OutlineEQ(1, 9);
    const Pixel want[6] = {7, 7, 9, 1, 9, 7};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(*buf.At(x, 0), want[x]);
}
