// Turning, bending and shearing the brush without a window, checked
// against geometry written here rather than against the code's formulas.
#include "brushops/deform.h"
#include "brushops/rotate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace {

using kv::kBrushTransparent;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

constexpr double kPi = 3.14159265358979323846;

// A w x h buffer whose pixel (x, y) is 0x10000 + 0x100 y + x: every pixel
// different and none transparent.
Buffer Numbered(int w, int h) {
    Buffer b;
    b.Alloc(Pair<int>{w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = Pixel(0x10000 + 0x100 * y + x);
    return b;
}

std::vector<Pixel> PixelsOf(const Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

Buffer Transparent(int w, int h) {
    Buffer b;
    b.Alloc(Pair<int>{w, h});
    b.Box(b.Area, kBrushTransparent);
    return b;
}

TEST(BrushRotate, QuarterAndHalfTurnsArePermutationsThatComeBack) {
    // Sizes across the copy blocks of the quarter turn, and thin ones.
    const Pair<int> sizes[] = {{3, 2}, {1, 1}, {1, 7}, {9, 1}, {130, 67}};
    for (Pair<int> size : sizes) {
        const int w = size.x, h = size.y;
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        Buffer b = Numbered(w, h);
        const std::vector<Pixel> original = PixelsOf(b);
        ASSERT_TRUE(kv::Rotate90(b));
        ASSERT_EQ(b.Width(), h);
        ASSERT_EQ(b.Height(), w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(*b.At(y, w - 1 - x), original[std::size_t(y) * w + x]) << x << "," << y;
        ASSERT_TRUE(kv::Rotate90(b));
        // Two quarter turns are one half turn.
        Buffer half = Numbered(w, h);
        kv::Rotate180(half);
        EXPECT_EQ(PixelsOf(b), PixelsOf(half));
        ASSERT_TRUE(kv::Rotate90(b));
        ASSERT_TRUE(kv::Rotate90(b));
        EXPECT_EQ(PixelsOf(b), original);
        kv::Rotate180(half);
        EXPECT_EQ(PixelsOf(half), original);
    }
    // The 3 x 2 example: the top-left pixel is the old top-right one, the
    // bottom-left the old top-left one.
    Buffer b = Numbered(3, 2);
    ASSERT_TRUE(kv::Rotate90(b));
    EXPECT_EQ(*b.At(0, 0), 0x10002u);
    EXPECT_EQ(*b.At(0, 2), 0x10000u);
}

TEST(BrushRotate, AnyAngleSizesAndTheLimit) {
    EXPECT_EQ(kv::RotatedSize({10, 10}, kPi / 4), (Pair<int>{14, 14}));
    EXPECT_EQ(kv::RotatedSize({3, 2}, kPi / 2), (Pair<int>{2, 3}));
    EXPECT_EQ(kv::RotatedSize({1, 1}, kPi), (Pair<int>{1, 1}));
    EXPECT_EQ(kv::RotatedSize({7, 1}, -kPi / 2), (Pair<int>{1, 7}));

    Buffer b = Numbered(10, 10);
    ASSERT_EQ(kv::RotateBrushBy(b, kPi / 4, 0, 0), kv::ScaleOutcome::Done);
    EXPECT_EQ(b.Width(), 14);
    EXPECT_EQ(b.Height(), 14);

    // Any angle that is a multiple of 90 degrees turns about the brush's
    // centre exactly as the quarter turns do: nothing moves out of the
    // tight result, odd sides included.
    const Pair<int> sizes[] = {{5, 3}, {4, 6}, {1, 7}, {6, 1}, {1, 1}};
    for (Pair<int> size : sizes)
        for (int quarters : {1, 2, 3, -1}) {
            SCOPED_TRACE(testing::Message() << size.x << "x" << size.y << " by " << quarters);
            Buffer turned = Numbered(size.x, size.y), want = Numbered(size.x, size.y);
            ASSERT_EQ(kv::RotateBrushBy(turned, quarters * kPi / 2, 0, 0), kv::ScaleOutcome::Done);
            for (int i = 0; i < (quarters + 4) % 4; ++i) ASSERT_TRUE(kv::Rotate90(want));
            EXPECT_EQ(PixelsOf(turned), PixelsOf(want));
        }

    // A 20000 x 10000 brush whose rows share one row of memory: turned by
    // 45 degrees it would need 21213 x 21213 pixels, above the limit; it is
    // refused before anything is allocated and stays as it was.
    std::vector<Pixel> row(20000, 0x00FF0000);
    Buffer big;
    big.Alloc(Pair<int>{20000, 10000}, row.data());
    big.Pitch = 0;
    EXPECT_EQ(kv::RotateBrushBy(big, kPi / 4, 0, 1), kv::ScaleOutcome::TooBig);
    EXPECT_EQ(big.Data, row.data());
    EXPECT_EQ(big.Width(), 20000);
}

TEST(BrushRotate, APixelLandsWhereTheTurnPutsIt) {
    // One opaque pixel at offset (d, 0) from the middle pixel of a
    // transparent 45 x 30 brush: its centre lies (d, 1/2) from the brush's
    // centre (22.5, 15) and turned counter-clockwise on the screen (y down)
    // lands (d c + s/2, -d s + c/2) from the centre of the result. Every
    // pixel drawn has its centre within 1.5 pixels of that on both axes:
    // half a pixel for placing the result on whole pixels, the rest for
    // the samples of a turned square. Sampled plainly a turned pixel may
    // hit no pixel centre at all; supersampled it always covers a sample.
    const double angles[] = {0.3, 1.0, kPi / 2, 2.5, -2.0, -0.7};
    const int offsets[] = {12, -9};
    for (int mode : {0, 1})
        for (double a : angles)
            for (int d : offsets) {
                SCOPED_TRACE(testing::Message()
                             << "mode " << mode << " angle " << a << " offset " << d);
                Buffer b = Transparent(45, 30);
                *b.At(22 + d, 15) = 0x00FFFFFF;
                ASSERT_EQ(kv::RotateBrushBy(b, a, 0, mode), kv::ScaleOutcome::Done);
                const double c = std::cos(a), s = std::sin(a);
                const double ex = b.Width() / 2.0 + d * c + 0.5 * s;
                const double ey = b.Height() / 2.0 - d * s + 0.5 * c;
                int lit = 0;
                for (int y = 0; y < b.Height(); ++y)
                    for (int x = 0; x < b.Width(); ++x) {
                        if (*b.At(x, y) == kBrushTransparent) continue;
                        ++lit;
                        EXPECT_LE(std::fabs(x + 0.5 - ex), 1.5) << x << "," << y;
                        EXPECT_LE(std::fabs(y + 0.5 - ey), 1.5) << x << "," << y;
                    }
                if (mode != 0) {
                    EXPECT_GE(lit, 1);
                }
            }
}

TEST(BrushRotate, AntiAliasedTurnBlendsWithTheBackgroundNeverWithBlack) {
    // A white disc on transparent, cut from a grey background: turned by 30
    // degrees with supersampling, the edges are between grey and white, the
    // inside stays white and the corners stay transparent.
    constexpr Pixel kGrey = 0x00808080, kWhite = 0x00FFFFFF;
    Buffer b = Transparent(41, 41);
    kv::DrawDisc(b, 20, kWhite);
    ASSERT_EQ(kv::RotateBrushBy(b, kPi / 6, kGrey, 1), kv::ScaleOutcome::Done);
    int edge = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const Pixel p = *b.At(x, y);
            if (p == kBrushTransparent || p == kWhite) continue;
            ++edge;
            for (int shift : {0, 8, 16}) {
                const int v = int(p >> shift & 0xFF);
                ASSERT_TRUE(v >= 0x80 && v <= 0xFF) << std::hex << p << " at " << x << "," << y;
            }
        }
    EXPECT_GT(edge, 0);
    const int w = b.Width(), h = b.Height();
    for (Pair<int> corner : {Pair<int>{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
        EXPECT_EQ(*b.At(corner.x, corner.y), kBrushTransparent);
    EXPECT_EQ(*b.At(w >> 1, h >> 1), kWhite);
}

// The deformed brush drawn into a transparent buffer of its size.
Buffer Deformed(kv::DeformKind kind, Buffer& brush, Pair<int> anchor, Pair<int> p) {
    const Pair<int> size = kv::DeformSize(kind, anchor, {brush.Width(), brush.Height()}, p);
    Buffer out = Transparent(size.x, size.y);
    kv::DrawDeformed(kind, out, brush, anchor, p, {0, 0}, kBrushTransparent);
    return out;
}

// The first row of column x holding a pixel of the brush.
int TopOf(const Buffer& b, int x) {
    for (int y = 0; y < b.Height(); ++y)
        if (*b.At(x, y) != kBrushTransparent) return y;
    return -1;
}

TEST(BrushDeform, BendPeaksTowardThePointer) {
    // A 6 x 4 brush at (10, 10); its middle row is 12.
    struct Case {
        Pair<int> pointer;
        int peak; // the column nearest the pointer
    };
    const Case cases[] = {
        {{5, 2}, 1},   // left of the brush, above
        {{5, 20}, 1},  // left, below
        {{13, 3}, 3},  // over column 3
        {{30, 25}, 4}, // right of the brush: W - 2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pointer.x << "," << c.pointer.y);
        Buffer brush = Numbered(6, 4);
        const int g = 12 - c.pointer.y;
        Buffer out = Deformed(kv::DeformKind::BendUpDown, brush, {10, 10}, c.pointer);
        ASSERT_EQ(out.Width(), 6);
        ASSERT_EQ(out.Height(), 4 + std::abs(g));
        // Above, the peak is at the top and column 0 |g| rows lower; below,
        // column 0 is at the top and the peak |g| rows lower.
        EXPECT_EQ(TopOf(out, c.peak), g > 0 ? 0 : std::abs(g));
        EXPECT_EQ(TopOf(out, 0), g > 0 ? g : 0);
        for (int x = 0; x < 6; ++x) {
            const int top = TopOf(out, x);
            ASSERT_GE(top, 0) << x;
            EXPECT_LE(top, std::abs(g)) << x;
            EXPECT_EQ(*out.At(x, top), *brush.At(x, 0)) << "column " << x << " moved whole";
        }
        // The origin puts the peak's middle row on the pointer row.
        const Pair<int> origin =
            kv::DeformOrigin(kv::DeformKind::BendUpDown, {10, 10}, {6, 4}, c.pointer);
        EXPECT_EQ(origin.x, 10);
        EXPECT_EQ(origin.y + TopOf(out, c.peak) + 2, c.pointer.y);
    }
}

TEST(BrushDeform, ShearPutsTheCornerUnderThePointerWithoutGaps) {
    struct Case {
        kv::DeformKind kind;
        Pair<int> size, pointer;
    };
    using K = kv::DeformKind;
    // Anchor (10, 10); the bottom-right pixel starts at (10 + W - 1, 10 + H - 1).
    const Case cases[] = {
        {K::ShearUpDown, {5, 3}, {14, 14}},    // down 2: shallow
        {K::ShearUpDown, {3, 1}, {12, 17}},    // down 7 over 2 columns: steep
        {K::ShearUpDown, {4, 2}, {13, 2}},     // up 9: steep, upward
        {K::ShearLeftRight, {2, 4}, {20, 13}}, // right 9: steep
        {K::ShearLeftRight, {6, 5}, {12, 14}}, // left 3: shallow
        {K::ShearLeftRight, {1, 1}, {15, 10}}, // one pixel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.size.x << "x" << c.size.y << " to " << c.pointer.x << "," << c.pointer.y);
        const bool columns = c.kind == K::ShearUpDown;
        Buffer brush = Numbered(c.size.x, c.size.y);
        Buffer out = Deformed(c.kind, brush, {10, 10}, c.pointer);
        const int moved =
            columns ? c.pointer.y - (10 + c.size.y - 1) : c.pointer.x - (10 + c.size.x - 1);
        EXPECT_EQ(out.Width(), c.size.x + (columns ? 0 : std::abs(moved)));
        EXPECT_EQ(out.Height(), c.size.y + (columns ? std::abs(moved) : 0));
        // The brush's bottom-right pixel sits under the pointer.
        const Pair<int> origin = kv::DeformOrigin(c.kind, {10, 10}, c.size, c.pointer);
        EXPECT_EQ(*out.At(c.pointer.x - origin.x, c.pointer.y - origin.y),
                  *brush.At(c.size.x - 1, c.size.y - 1));
        // No row (columns moved) or column (rows moved) of the result is
        // left empty.
        const int lines = columns ? out.Height() : out.Width();
        for (int i = 0; i < lines; ++i) {
            bool any = false;
            for (int j = 0; j < (columns ? out.Width() : out.Height()); ++j)
                any |= *(columns ? out.At(j, i) : out.At(i, j)) != kBrushTransparent;
            EXPECT_TRUE(any) << "gap at " << i;
        }
    }
}

TEST(BrushDeform, EveryPixelSurvivesInsideTheNewSizeForThinBrushes) {
    using K = kv::DeformKind;
    const K kinds[] = {K::BendUpDown, K::BendLeftRight, K::ShearUpDown, K::ShearLeftRight};
    const Pair<int> sizes[] = {{1, 1}, {1, 6}, {6, 1}, {2, 2}, {5, 4}};
    const Pair<int> pointers[] = {{0, 0}, {10, 10}, {11, 30}, {40, 12}, {3, 25}};
    for (K kind : kinds)
        for (Pair<int> size : sizes)
            for (Pair<int> p : pointers) {
                SCOPED_TRACE(testing::Message() << int(kind) << ": " << size.x << "x" << size.y
                                                << " to " << p.x << "," << p.y);
                Buffer brush = Numbered(size.x, size.y);
                Buffer out = Deformed(kind, brush, {10, 10}, p);
                std::set<Pixel> seen;
                for (Pixel v : PixelsOf(out)) seen.insert(v);
                for (Pixel v : PixelsOf(brush)) ASSERT_TRUE(seen.count(v)) << std::hex << v;
            }
}

} // namespace
