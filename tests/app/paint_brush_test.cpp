// Brush state, stamping and the spaced stamp walk, driven without a window.
#include "paint/brush.h"
#include "paint/stamper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using kv::BrushState;
using kv::kBrushTransparent;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

constexpr Pixel kDraw = 0x00FF0000, kBack = 0x000000FF, kGround = 0x00101010;

class FakeSurface : public kv::PaintSurface {
  public:
    FakeSurface(int w, int h) {
        image.Alloc(Pair<int>{w, h});
        image.Box(image.Area, kGround);
    }
    Buffer& Image() override { return image; }
    Buffer& ClipView() override { return clip.Empty() ? image : clip; }
    void Invalidate(Rect r) override { invalid.push_back(r); }
    Buffer image, clip;
    std::vector<Rect> invalid;
};

int CountPixels(const Buffer& b, Pixel c) {
    int n = 0;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) n += *b.At(x, y) == c;
    return n;
}

// Pixels that differ from the ground, as (x, y) pairs.
std::set<std::pair<int, int>> Painted(const Buffer& b) {
    std::set<std::pair<int, int>> s;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            if (*b.At(x, y) != kGround) s.insert({x, y});
    return s;
}

// A user brush: a 3 x 2 block whose middle column is transparent.
void MakeCutBrush(BrushState& b) {
    b.Brush.Alloc(Pair<int>{3, 2});
    b.Brush.Box(b.Brush.Area, 0x00123456);
    b.Brush.Line({1, 0}, {1, 1}, kBrushTransparent);
    b.Settings.UserBrush = true;
    b.Settings.Background = 0x00ABCDEF;
}

TEST(Brush, TwentyOneRoundStampCoversItsBoxAroundTheHandle) {
    BrushState b;
    b.Settings.Radius = 10;
    b.MakeRoundBrush(kDraw);
    FakeSurface s(200, 200);
    kv::Stamper st(b, s);
    EXPECT_EQ(st.StampRect({100, 100}), (Rect{90, 90, 110, 110}));
    st.StampQuiet({100, 100});
    // The disc touches all four sides of its box, and nothing lands outside.
    for (auto [x, y] : Painted(s.image)) {
        EXPECT_TRUE(x >= 90 && x <= 110 && y >= 90 && y <= 110);
        EXPECT_LE((x - 100) * (x - 100) + (y - 100) * (y - 100), 10 * 10 + 10);
    }
    for (auto p : {Pair<int>{90, 100}, {110, 100}, {100, 90}, {100, 110}, {100, 100}})
        EXPECT_EQ(*s.image.At(p.x, p.y), kDraw);
    EXPECT_EQ(*s.image.At(90, 90), kGround);
}

TEST(Brush, HandlePositionsMoveTheCorner) {
    BrushState b;
    b.Brush.Alloc(Pair<int>{5, 4});
    kv::CloneBuffer(b.Painting, b.Brush);
    const std::pair<int, Pair<int>> cases[] = {{kv::bhCentre, {2, 2}},
                                               {kv::bhLeftTop, {0, 0}},
                                               {kv::bhRightTop, {4, 0}},
                                               {kv::bhRightBottom, {4, 3}},
                                               {kv::bhLeftBottom, {0, 3}}};
    for (auto [h, off] : cases) {
        b.Settings.Handle = h;
        EXPECT_EQ(b.HandleOffset(), off) << h;
    }
}

TEST(Brush, DiscIsSymmetricAndRowsAreSolid) {
    for (int r : {0, 1, 2, 5, 10, 23}) {
        Buffer d;
        d.Alloc(Pair<int>{2 * r + 1, 2 * r + 1});
        d.Box(d.Area, kBrushTransparent);
        kv::DrawDisc(d, r, kDraw);
        for (int y = 0; y <= 2 * r; ++y) {
            int first = -1, last = -1;
            for (int x = 0; x <= 2 * r; ++x) {
                const bool in = *d.At(x, y) == kDraw;
                EXPECT_EQ(in, *d.At(2 * r - x, y) == kDraw);
                EXPECT_EQ(in, *d.At(y, x) == kDraw) << "transposed, r " << r;
                if (in && first < 0) first = x;
                if (in) last = x;
            }
            ASSERT_GE(first, 0) << "row " << y << " r " << r;
            Buffer row(d, Rect{0, y, 2 * r, y}, true);
            EXPECT_EQ(last - first + 1, CountPixels(row, kDraw));
        }
        EXPECT_EQ(*d.At(r, 0), kDraw);
        if (r >= 2) {
            EXPECT_EQ(*d.At(0, 0), kBrushTransparent);
        }
    }
}

TEST(Brush, PrepareForButtonAndTechnique) {
    BrushState b;
    MakeCutBrush(b);
    auto check = [&](bool right, int technique, Pixel outer, Pixel middle) {
        b.Settings.Technique = technique;
        b.PrepareBrush(right, kDraw, kBack);
        EXPECT_EQ(*b.Painting.At(0, 0), outer) << right << technique;
        EXPECT_EQ(*b.Painting.At(2, 1), outer) << right << technique;
        EXPECT_EQ(*b.Painting.At(1, 1), middle) << right << technique;
        EXPECT_EQ(*b.Brush.At(0, 0), 0x00123456u); // the brush itself never changes
    };
    check(false, kv::btPaint, 0x00123456, kBrushTransparent);
    check(false, kv::btColor, kDraw, kBrushTransparent);
    check(false, kv::btReplace, 0x00123456, 0x00ABCDEF);
    check(true, kv::btPaint, kBack, kBrushTransparent);
    check(true, kv::btColor, kBack, kBrushTransparent);
    check(true, kv::btReplace, kBack, kBack);
}

TEST(Brush, BuildingKeepsACutBrushForRestoreOnly) {
    BrushState b;
    MakeCutBrush(b);
    b.Settings.Radius = 5;
    b.MakeRoundBrush(kDraw);
    ASSERT_FALSE(b.Previous.Empty());
    EXPECT_EQ(b.Previous.Width(), 3);
    EXPECT_EQ(*b.Previous.At(1, 0), kBrushTransparent);
    EXPECT_TRUE(b.PreviousSettings.UserBrush);
    EXPECT_EQ(b.PreviousSettings.Background, 0x00ABCDEFu);
    EXPECT_EQ(b.Brush.Width(), 11);
    EXPECT_FALSE(b.Settings.UserBrush);
    EXPECT_EQ(b.Settings.Technique, kv::btColor);
    EXPECT_EQ(b.Settings.Kind, kv::BuiltinKind::Round);
    // A built-in brush is not kept: the cut brush stays the one to restore.
    b.MakeSquareBrush(kDraw);
    EXPECT_EQ(b.Previous.Width(), 3);
    EXPECT_EQ(CountPixels(b.Brush, kDraw), 121);
    b.MakePixelBrush(kDraw);
    EXPECT_EQ(b.Previous.Width(), 3);
    EXPECT_TRUE(b.IsBuiltinPixel());
    EXPECT_EQ(b.Settings.Radius, 5);
}

TEST(Stamp, SaveUnderRestoresExactlyAndOnlyOnce) {
    BrushState b;
    b.Settings.Radius = 3;
    b.MakeSquareBrush(kDraw);
    FakeSurface s(20, 20);
    s.image.Line({0, 0}, {19, 19}, 0x00777777);
    Buffer before;
    kv::CloneBuffer(before, s.image);
    kv::Stamper st(b, s);
    st.StampAt({1, 2}); // partly outside the image
    EXPECT_EQ(*s.image.At(0, 0), kDraw);
    st.RestoreUnder();
    EXPECT_EQ(Painted(s.image), Painted(before));
    s.image.PutPixel({1, 1}, 0x00AAAAAA); // painted after the restore
    st.RestoreUnder();                    // nothing saved any more
    EXPECT_EQ(*s.image.At(1, 1), 0x00AAAAAAu);
}

TEST(Stamp, ClipViewCutsTheStamp) {
    BrushState b;
    b.Settings.Radius = 2;
    b.MakeSquareBrush(kDraw);
    FakeSurface s(20, 20);
    s.clip.Alloc(s.image, {5, 5, 9, 9}, true);
    kv::Stamper st(b, s);
    st.StampQuiet({5, 5});
    EXPECT_EQ(Painted(s.image).size(), 9u); // (5..7, 5..7)
    EXPECT_EQ(*s.image.At(4, 4), kGround);
}

TEST(Stroke, SpacingFourFromTheStart) {
    BrushState b;
    FakeSurface s(20, 5);
    b.PrepareBrush(false, kDraw, kBack);
    kv::Stamper st(b, s);
    EXPECT_DOUBLE_EQ(st.StrokeLine({0, 0}, {10, 0}, 4, 1), 2);
    EXPECT_EQ(Painted(s.image), (std::set<std::pair<int, int>>{{0, 0}, {4, 0}, {8, 0}}));
    ASSERT_FALSE(s.invalid.empty());
    EXPECT_EQ(s.invalid.back(), (Rect{0, 0, 10, 0}));
}

// Stamps of a walk with spacing 1 at each step.
std::vector<Pair<int>> Walk(Pair<int> a, Pair<int> b) {
    std::vector<Pair<int>> v;
    kv::WalkSpaced(a, b, kv::kOnePixel, kv::kOnePixel, [&](Pair<int> p) { v.push_back(p); });
    return v;
}

TEST(Stroke, WalkIsAConnectedNearestPixelLine) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> coord(-40, 40);
    for (int n = 0; n < 500; ++n) {
        const Pair<int> a{coord(rng), coord(rng)}, b{coord(rng), coord(rng)};
        const auto v = Walk(a, b);
        const int dx = b.x - a.x, dy = b.y - a.y;
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        ASSERT_EQ(int(v.size()), std::max(std::abs(dx), std::abs(dy)) + 1);
        EXPECT_EQ(v.front(), a);
        EXPECT_EQ(v.back(), b);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i > 0) {
                EXPECT_LE(std::abs(v[i].x - v[i - 1].x), 1);
                EXPECT_LE(std::abs(v[i].y - v[i - 1].y), 1);
            }
            // The minor coordinate is within half a pixel of the true line.
            const double t =
                xMajor ? double(v[i].x - a.x) / (dx ? dx : 1) : double(v[i].y - a.y) / dy;
            const double exact = xMajor ? a.y + t * dy : a.x + t * dx;
            EXPECT_LE(std::abs((xMajor ? v[i].y : v[i].x) - exact), 0.5 + 1e-9);
        }
    }
}

TEST(Stroke, PhaseCarriesTheRhythmAcrossJoinedSegments) {
    for (double spacing : {1.0, 2.5, 3.0, 7.0}) {
        BrushState b;
        FakeSurface whole(40, 1), joined(40, 1);
        kv::Stamper s1(b, whole), s2(b, joined);
        s1.StrokeLine({0, 0}, {30, 0}, spacing, 1);
        double phase = 1;
        for (int x = 0; x < 30; x += 7)
            phase = s2.StrokeLine({x, 0}, {std::min(x + 7, 30), 0}, spacing, phase) + 1;
        EXPECT_EQ(Painted(whole.image), Painted(joined.image)) << spacing;
    }
}

TEST(Stroke, InvalidatesTheSegmentGrownByTheBrush) {
    BrushState b;
    b.Settings.Radius = 2;
    b.MakeSquareBrush(kDraw);
    FakeSurface s(30, 30);
    kv::Stamper st(b, s);
    st.StrokeLine({10, 12}, {4, 20}, 1, 1);
    EXPECT_EQ(s.invalid.back(), (Rect{2, 10, 12, 22}));
    for (auto [x, y] : Painted(s.image)) EXPECT_TRUE(x >= 2 && x <= 12 && y >= 10 && y <= 22);
}

} // namespace

namespace {

TEST(Brush, HandleFromHotSpotAndSizeLimit) {
    const pixkit::Rect r{0, 0, 6, 3}; // 7 x 4
    for (int h = kv::bhCentre; h <= kv::bhLeftBottom; ++h)
        EXPECT_EQ(kv::HandleAt(r, kv::HandleOffsetIn(r, h)), h) << h;
    EXPECT_EQ(kv::HandleAt(r, {5, 1}), kv::bhCentre);
    EXPECT_EQ(kv::HandleAt(r, {-32768, -32768}), kv::bhCentre);

    EXPECT_TRUE(kv::FitsBrushLimit({kv::kMaxBrushSide, 1}));
    EXPECT_FALSE(kv::FitsBrushLimit({kv::kMaxBrushSide + 1, 1}));
    EXPECT_FALSE(kv::FitsBrushLimit({1, kv::kMaxBrushSide + 1}));
    EXPECT_FALSE(kv::FitsBrushLimit({kv::kMaxBrushSide, kv::kMaxBrushSide}));
    EXPECT_FALSE(kv::FitsBrushLimit({0, 5}));
}

TEST(Brush, TakeUserBrushMarksTheTransparentColour) {
    BrushState b;
    MakeCutBrush(b); // kept for Restore
    Buffer image;
    image.Alloc(Pair<int>{2, 2});
    image.Box(image.Area, 0x00445566);
    image.PutPixel({1, 0}, 0x00ABCDEF);
    b.TakeUserBrush(image, 0x00ABCDEF, kv::bhLeftTop);
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(*b.Brush.At(1, 0), kBrushTransparent);
    EXPECT_EQ(*b.Brush.At(0, 0), 0x00445566u);
    EXPECT_EQ(b.Settings.Technique, kv::btPaint);
    EXPECT_EQ(b.HandleOffset(), (Pair<int>{0, 0}));
    EXPECT_EQ(b.Previous.Width(), 3);

    // No colour came back from the file: nothing becomes transparent.
    Buffer plain;
    plain.Alloc(Pair<int>{1, 1});
    plain.PutPixel({0, 0}, 0);
    b.TakeUserBrush(plain, kBrushTransparent, kv::bhCentre);
    EXPECT_EQ(*b.Brush.At(0, 0), 0u);
}

} // namespace
