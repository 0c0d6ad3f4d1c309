// XFormLin: exact properties of quarter turns and the identity, and a
// per-pixel reference on random matrices, views and keys.
#include <pixkit/buffer.h>
#include <pixkit/vector_level.h>

#include "reference_draw.h"
#include "reference_engine.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace pixkit;
using testref::Pixels;

namespace {

using i128 = __int128;

const Matrix2D kQuarter{{0, 1}, {-1, 0}};

// Each target sample position straight from the formula: the 16.16 value
// at (origin.x + f, origin.y + f) plus whole multiples of the truncated
// column and row steps (and of the half steps for the second sub-column and
// the lower sub-row). Coverage comes from Render, tested on its own.
void ReferenceXForm(Buffer& dst, const testref::Snapshot& src, const Matrix2D& m, Pair<int> off,
                    Pixel key, bool super) {
    const double det = m.X.x * m.Y.y - m.X.y * m.Y.x;
    const double a = m.Y.y / det, b = -m.Y.x / det, c = -m.X.y / det, d = m.X.x / det;
    const Rect& s = src.area;
    const Pair<double> quad[4] = {{(s.Left + .05) * m.X.x + (s.Top + .05) * m.Y.x + off.x,
                                   (s.Left + .05) * m.X.y + (s.Top + .05) * m.Y.y + off.y},
                                  {(s.Right + .95) * m.X.x + (s.Top + .05) * m.Y.x + off.x,
                                   (s.Right + .95) * m.X.y + (s.Top + .05) * m.Y.y + off.y},
                                  {(s.Right + .95) * m.X.x + (s.Bottom + .95) * m.Y.x + off.x,
                                   (s.Right + .95) * m.X.y + (s.Bottom + .95) * m.Y.y + off.y},
                                  {(s.Left + .05) * m.X.x + (s.Bottom + .95) * m.Y.x + off.x,
                                   (s.Left + .05) * m.X.y + (s.Bottom + .95) * m.Y.y + off.y}};
    Pair<int> o;
    int rows = 0;
    auto spans = dst.Render(quad, o, rows, super);
    if (!spans) return;
    const double f = super ? 0.25 : 0.5;
    const double tx = o.x + f - off.x, ty = o.y + f - off.y;
    const i128 u0 = i128(std::trunc((a * tx + b * ty) * 65536)),
               v0 = i128(std::trunc((c * tx + d * ty) * 65536));
    const i128 cu = i128(std::trunc(a * 65536)), cv = i128(std::trunc(c * 65536));
    const i128 ru = i128(std::trunc(b * 65536)), rv = i128(std::trunc(d * 65536));
    const i128 hcu = i128(std::trunc(a * 32768)), hcv = i128(std::trunc(c * 32768));
    const i128 hru = i128(std::trunc(b * 32768)), hrv = i128(std::trunc(d * 32768));
    // Source pixel of a 16.16 position, if inside src.
    const auto read = [&](i128 u, i128 v, Pixel& out) {
        const i128 x = u >> 16, y = v >> 16;
        if (!src.Has(std::int64_t(x), std::int64_t(y))) return false;
        out = src.At(std::int64_t(x), std::int64_t(y));
        return true;
    };
    for (int r = 0; r < rows; ++r) {
        const int y = o.y + r;
        const int* e = &spans[std::size_t(r) * (super ? 4 : 2)];
        for (int x = dst.Area.Left; x <= dst.Area.Right; ++x) {
            const i128 u = u0 + i128(x - o.x) * cu + i128(r) * ru;
            const i128 v = v0 + i128(x - o.x) * cv + i128(r) * rv;
            Pixel& t = *dst.At(x, y);
            if (!super) {
                Pixel p;
                if (x >= e[0] && x <= e[1] && read(u, v, p) && p != key) t = p;
                continue;
            }
            Pixel smp[4];
            bool covered = false;
            for (int k = 0; k < 4; ++k) {
                const int right = k & 1, lower = k >> 1;
                const int sub = 2 * x + right;
                const bool in = lower ? sub >= e[2] && sub <= e[3] : sub >= e[0] && sub <= e[1];
                Pixel p;
                smp[k] = t;
                if (in && read(u + right * hcu + lower * hru, v + right * hcv + lower * hrv, p)) {
                    covered = true;
                    if (p != key) smp[k] = p;
                }
            }
            if (covered) t = testref::Mean4(smp[0], smp[1], smp[2], smp[3]);
        }
    }
}

} // namespace

TEST(XFormLin, IdentityEqualsKeyedCopy) {
    testref::Rng rng(5);
    for (int round = 0; round < 50; ++round) {
        Buffer block = testref::MakePattern(23, 17, round, 0xFFFFFFFF);
        Buffer src(block,
                   Rect{rng.Range(0, 5), rng.Range(0, 5), rng.Range(6, 22), rng.Range(6, 16)},
                   rng.Range(0, 1));
        const Pixel key = *src.At(src.Area.Left + 1, src.Area.Top);
        const Pair<int> off{rng.Range(-8, 12), rng.Range(-8, 12)};
        Buffer a = testref::MakePattern(20, 20, 999), b = testref::MakePattern(20, 20, 999);
        a.XFormLin(src, Matrix2D::Unit, off, key, 0);
        b.Copy(src, off, key);
        ASSERT_EQ(Pixels(a), Pixels(b)) << "round " << round;
    }
}

// Supersampling the identity averages four samples of the same pixel.
TEST(XFormLin, SupersampledIdentityClearsOnlyTheTopByte) {
    Buffer src = testref::MakePattern(9, 7, 4, 0xFFFFFFFF);
    Buffer dst = testref::MakePattern(9, 7, 5);
    dst.XFormLin(src, Matrix2D::Unit, {0, 0}, NoKey, 1);
    src.Bool(1, 0x00FFFFFF);
    EXPECT_EQ(Pixels(dst), Pixels(src));
}

TEST(XFormLin, QuarterTurnIsExact) {
    const int w = 7, h = 4;
    Buffer src = testref::MakePattern(w, h, 1, 0xFFFFFFFF);
    Buffer dst;
    dst.Alloc({h + 2, w + 2});
    dst.Box(dst.Area, 0x12345678);
    dst.XFormLin(src, kQuarter, {h, 0}, NoKey, 0);
    for (int y = 0; y < w + 2; ++y)
        for (int x = 0; x < h + 2; ++x) {
            const bool inside = x < h && y < w;
            ASSERT_EQ(*dst.At(x, y), inside ? *src.At(y, h - 1 - x) : 0x12345678u) << x << "," << y;
        }
}

TEST(XFormLin, FourQuarterTurnsGiveTheOriginal) {
    for (const int mode : {0, 1}) {
        Buffer a = testref::MakePattern(13, 6, 2), b;
        Buffer original = testref::MakePattern(13, 6, 2);
        for (int turn = 0; turn < 4; ++turn) {
            b.Alloc({a.Height(), a.Width()});
            b.XFormLin(a, kQuarter, {a.Height(), 0}, NoKey, mode);
            a = b;
        }
        EXPECT_EQ(Pixels(a), Pixels(original)) << "mode " << mode;
    }
}

// With the portable loops and with the widest vectors the processor runs.
TEST(XFormLin, MatchesReferenceOnRandomTransforms) {
    for (const VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2}) {
        LimitVectorLevel(level);
        testref::Rng rng(77);
        for (int round = 0; round < 400; ++round) {
            const bool super = round % 2;
            Buffer block = testref::MakePattern(31, 27, round, super ? 0x00FFFFFF : 0xFFFFFFFF);
            const Rect sr{rng.Range(0, 6), rng.Range(0, 6), rng.Range(6, 30), rng.Range(6, 26)};
            Buffer src(block, sr, rng.Range(0, 1));
            const Pixel key = rng.Range(0, 2) == 0 ? NoKey : *src.At(src.Area.Left, src.Area.Top);
            const double angle = rng.Range(0, 359) * M_PI / 180;
            const double sx = rng.Range(20, 300) / 100.0, sy = rng.Range(20, 300) / 100.0;
            const double shear = rng.Range(-100, 100) / 100.0;
            const Matrix2D m{{sx * std::cos(angle), sx * std::sin(angle)},
                             {sy * (shear * std::cos(angle) - std::sin(angle)),
                              sy * (shear * std::sin(angle) + std::cos(angle))}};
            const Pair<int> off{rng.Range(-20, 40), rng.Range(-20, 40)};
            const Rect view{rng.Range(-5, 10), rng.Range(-5, 10), rng.Range(10, 45),
                            rng.Range(10, 45)};
            Buffer target = testref::MakePattern(41, 41, 500 + round),
                   expected = testref::MakePattern(41, 41, 500 + round);
            Buffer dst(target, view, true), exp(expected, view, true);
            ReferenceXForm(exp, testref::Snapshot(src), m, off, key, super);
            dst.XFormLin(src, m, off, key, super);
            ASSERT_EQ(Pixels(target), Pixels(expected))
                << "round " << round << " level " << int(level);
        }
    }
}

// Large targets are drawn in tiles of rows and columns: turned, enlarged and
// sheared pictures that span many tiles, with and without supersampling and
// key, still match the reference pixel for pixel.
TEST(XFormLin, LargeTargetsInTilesMatchTheReference) {
    for (const VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2}) {
        LimitVectorLevel(level);
        for (int round = 0; round < 4; ++round) {
            const bool super = round & 1;
            Buffer src = testref::MakePattern(640, 300, round, super ? 0x00FFFFFF : 0xFFFFFFFF);
            const Pixel key = round & 2 ? *src.At(3, 3) : NoKey;
            const double angle = (17 + 40 * round) * M_PI / 180, k = 1.7;
            const Matrix2D m{{k * std::cos(angle), k * std::sin(angle)},
                             {k * (0.3 * std::cos(angle) - std::sin(angle)),
                              k * (0.3 * std::sin(angle) + std::cos(angle))}};
            Buffer target = testref::MakePattern(1700, 1500, 900 + round),
                   expected = testref::MakePattern(1700, 1500, 900 + round);
            Buffer dst(target, Rect{3, 2, 1690, 1497}, true),
                exp(expected, Rect{3, 2, 1690, 1497}, true);
            const Pair<int> off{700, 300};
            ReferenceXForm(exp, testref::Snapshot(src), m, off, key, super);
            dst.XFormLin(src, m, off, key, super);
            ASSERT_EQ(Pixels(target), Pixels(expected))
                << "round " << round << " level " << int(level);
        }
    }
    LimitVectorLevel(VectorLevel::Avx2);
}

// A white square turned by 45 degrees over black: inside stays white, the
// edges get in-between values, nothing else is touched.
TEST(XFormLin, SupersamplingSmoothsEdgesAgainstWhatLiesBelow) {
    Buffer src;
    src.Alloc({16, 16});
    src.Box(src.Area, 0x00FFFFFF);
    Buffer dst;
    dst.Alloc({30, 30});
    dst.Box(dst.Area, 0);
    const double c = std::sqrt(0.5);
    dst.XFormLin(src, Matrix2D{{c, c}, {-c, c}}, {15, 3}, NoKey, 1);
    int partial = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const Pixel p = *dst.At(x, y);
            ASSERT_TRUE(p == 0 || p == 0x00FFFFFF || p == 0x00404040 || p == 0x00808080 ||
                        p == 0x00BFBFBF)
                << std::hex << p;
            partial += p != 0 && p != 0x00FFFFFF;
        }
    EXPECT_GT(partial, 40);
    EXPECT_EQ(*dst.At(15, 14), 0x00FFFFFFu);
    EXPECT_EQ(*dst.At(0, 0), 0u);
}

TEST(XFormLin, AutomaticModeUsesColumnLengths) {
    Buffer src = testref::MakePattern(20, 20, 3);
    const auto same = [&](const Matrix2D& m, int mode) {
        Buffer a = testref::MakePattern(60, 60, 1), b = testref::MakePattern(60, 60, 1);
        a.XFormLin(src, m, {20, 5}, NoKey, -1);
        b.XFormLin(src, m, {20, 5}, NoKey, mode);
        return Pixels(a) == Pixels(b);
    };
    const double c = std::cos(0.5), s = std::sin(0.5);
    EXPECT_TRUE(same({{c, s}, {-s, c}}, 0));
    EXPECT_TRUE(same({{1.4, 0}, {0, 0.7}}, 0));
    EXPECT_TRUE(same({{1.5, 0}, {0, 1}}, 1));
    EXPECT_TRUE(same({{1, 0}, {0.2, 0.6}}, 1));
}

TEST(XFormLin, SingularOrInvalidMatricesDrawNothing) {
    Buffer src = testref::MakePattern(8, 8, 1);
    Buffer dst = testref::MakePattern(20, 20, 2);
    const auto before = Pixels(dst);
    for (const Matrix2D& m : {Matrix2D{{1, 1}, {2, 2}}, Matrix2D{{NAN, 0}, {0, 1}},
                              Matrix2D{{INFINITY, 0}, {0, 1}}, Matrix2D{{0, 0}, {0, 0}}})
        for (const int mode : {0, 1}) dst.XFormLin(src, m, {2, 2}, NoKey, mode);
    EXPECT_EQ(Pixels(dst), before);
}

// Over thousands of pixels the truncated 16.16 steps drift by more than the
// 0.05 inset; the source is a view inside a red frame, so any sample read
// from outside it would show up red.
TEST(XFormLin, LongSpansNeverSampleOutsideTheSource) {
    Buffer block;
    block.Alloc({4002, 6});
    block.Box(block.Area, 0x00FF0000);
    Buffer src(block, Rect{1, 1, 4000, 4}, false);
    src.Box(src.Area, 0x0000FF00);
    Buffer dst;
    dst.Alloc({5520, 267});
    for (const double angle : {0.04, -0.04, M_PI + 0.04})
        for (const int mode : {0, 1}) {
            dst.Box(dst.Area, 0);
            const Matrix2D m{{1.37 * std::cos(angle), 1.37 * std::sin(angle)},
                             {-1.37 * std::sin(angle), 1.37 * std::cos(angle)}};
            dst.XFormLin(src, m, {std::cos(angle) < 0 ? 5500 : 20, std::sin(angle) < 0 ? 247 : 20},
                         NoKey, mode);
            std::int64_t green = 0;
            for (int y = 0; y < dst.Height(); ++y)
                for (int x = 0; x < dst.Width(); ++x) {
                    ASSERT_EQ(*dst.At(x, y) & 0x00FF0000, 0u) << angle << " mode " << mode;
                    green += (*dst.At(x, y) & 0xFF00) != 0;
                }
            EXPECT_GT(green, 29000);
        }
}
