// Marking and the fill passes, driven without a window: the flood against
// a breadth-first search, outlines against an even-odd point-in-polygon
// test, patterns against the tiling formula. Random cases use fixed seeds.
#include "colors/colormath.h"
#include "paint/marking.h"
#include "paint/stamper.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using kv::kMarked;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;
using Points = std::set<std::pair<int, int>>;

void Fill(Buffer& b, std::mt19937& rng, const std::vector<Pixel>& palette) {
    std::uniform_int_distribution<std::size_t> pick(0, palette.size() - 1);
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) *b.At(x, y) = palette[pick(rng)];
}

Points MarkedIn(const Buffer& b) {
    Points s;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            if (*b.At(x, y) & kMarked) s.insert({x, y});
    return s;
}

int Distance(Pixel a, Pixel b) {
    return std::abs(kv::RedOf(a) - kv::RedOf(b)) + std::abs(kv::GreenOf(a) - kv::GreenOf(b)) +
           std::abs(kv::BlueOf(a) - kv::BlueOf(b));
}

// The component of seed by breadth-first search over the unmarked pixels.
Points Reference(const Buffer& v, Pair<int> seed, int tolerance, bool diagonal) {
    const Pixel s = *v.At(seed.x, seed.y);
    Points seen{{seed.x, seed.y}};
    std::deque<Pair<int>> queue{seed};
    while (!queue.empty()) {
        const Pair<int> p = queue.front();
        queue.pop_front();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if ((dx == 0 && dy == 0) || (!diagonal && dx != 0 && dy != 0)) continue;
                const Pair<int> q{p.x + dx, p.y + dy};
                if (!v.Contains(q) || seen.count({q.x, q.y})) continue;
                if (Distance(*v.At(q.x, q.y), s) > tolerance) continue;
                seen.insert({q.x, q.y});
                queue.push_back(q);
            }
    }
    return seen;
}

TEST(FloodMark, MatchesBreadthFirstSearchOnRandomImagesAndViews) {
    std::mt19937 rng(20);
    const std::vector<Pixel> palette = {0x000000, 0x0A0A0A, 0x141414, 0xFFFFFF, 0x0A0A0B};
    for (int round = 0; round < 120; ++round) {
        Buffer image;
        image.Alloc(Pair<int>{int(rng() % 40) + 1, int(rng() % 30) + 1});
        Fill(image, rng, palette);
        // Every third case works through a view inside the image (Clipping).
        Buffer view;
        const int w = image.Width(), h = image.Height();
        if (round % 3 == 0)
            view.Alloc(image, Rect{int(rng() % w), int(rng() % h), w - 1 - int(rng() % 3), h - 1},
                       true);
        else
            view.Alloc(image, Rect{0, 0, w - 1, h - 1}, true);
        if (view.Empty()) continue;
        const Pair<int> seed{view.Area.Left + int(rng() % view.Width()),
                             view.Area.Top + int(rng() % view.Height())};
        const int tolerance = std::vector<int>{0, 10, 30, 31, 700}[round % 5];
        const bool diagonal = (round / 5) % 2 == 1;
        const Points expected = Reference(view, seed, tolerance, diagonal);
        const kv::FloodResult r = kv::FloodMark(
            view, seed, tolerance, diagonal ? kv::Neighbours::Eight : kv::Neighbours::Four);
        ASSERT_EQ(MarkedIn(image), expected) << "round " << round;
        EXPECT_EQ(r.Marked, std::int64_t(expected.size()));
        EXPECT_EQ(r.Bounds, kv::MarkedBounds(image));
    }
}

TEST(FloodMark, ToleranceIsTheChannelSumAndClamped) {
    Buffer b;
    b.Alloc(Pair<int>{3, 1});
    const Pixel s = 0x00506070;
    for (auto [right, joins] : {std::pair{Pixel{0x005A6A7A}, true}, {0x005A6A7B, false}}) {
        *b.At(0, 0) = s, *b.At(1, 0) = 0x00465666, *b.At(2, 0) = right;
        kv::FloodMark(b, {0, 0}, 30, kv::Neighbours::Four);
        EXPECT_EQ(MarkedIn(b).size(), joins ? 3u : 2u);
        kv::StripMarks(b);
    }
    // Above the largest distance everything joins once; below 0 is 0.
    *b.At(1, 0) = 0x00FFFFFF, *b.At(2, 0) = 0;
    *b.At(0, 0) = 0;
    EXPECT_EQ(kv::FloodMark(b, {0, 0}, 5000, kv::Neighbours::Four).Marked, 3);
    kv::StripMarks(b);
    EXPECT_EQ(kv::FloodMark(b, {0, 0}, -5, kv::Neighbours::Four).Marked, 1);
    kv::StripMarks(b);
    EXPECT_EQ(kv::FloodMark(b, {3, 0}, 0, kv::Neighbours::Four).Marked, 0);
    EXPECT_FALSE(kv::HasMarks(b));
}

// The scan reads each pixel a bounded number of times, whatever the shape:
// a picket fence (the costly case of a pointer-walking scan), random holes
// and a serpentine.
TEST(FloodMark, WorkStaysLinearOnFencesHolesAndSerpentines) {
    constexpr int w = 601, h = 200;
    Buffer fence;
    fence.Alloc(Pair<int>{w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *fence.At(x, y) = (x % 2 == 0 || y == h - 1) ? 0 : 0xFFFFFF;
    Buffer holes;
    holes.Alloc(Pair<int>{w, h});
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *holes.At(x, y) = rng() % 3 == 0 ? 0xFFFFFF : 0;
    *holes.At(w - 1, h - 1) = 0;
    Buffer serpentine; // walls across every other row, the gap at alternate ends
    serpentine.Alloc(Pair<int>{w, h});
    serpentine.Box(serpentine.Area, 0);
    for (int y = 1; y < h; y += 2)
        serpentine.Box(y % 4 == 1 ? Rect{1, y, w - 1, y} : Rect{0, y, w - 2, y}, 0xFFFFFF);
    for (Buffer* b : {&fence, &holes, &serpentine}) {
        for (auto n : {kv::Neighbours::Four, kv::Neighbours::Eight}) {
            const kv::FloodResult r = kv::FloodMark(*b, {w - 1, h - 1}, 0, n);
            EXPECT_GT(r.Marked, 0);
            EXPECT_LE(r.Examined, 8LL * w * h);
            kv::StripMarks(*b);
        }
    }
}

// --- Outlines ---------------------------------------------------------

// Even-odd parity of the pixel centre (x, y) against the closed polygon.
bool InsideEvenOdd(const std::vector<Pair<int>>& poly, int x, int y) {
    bool inside = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Pair<int> a = poly[i], b = poly[j];
        if ((a.y > y) == (b.y > y)) continue;
        // x < crossing, in integers: (x - a.x)(b.y - a.y) < (y - a.y)(b.x - a.x) for b.y > a.y.
        const long long lhs = (long long)(x - a.x) * (b.y - a.y);
        const long long rhs = (long long)(y - a.y) * (b.x - a.x);
        if (b.y > a.y ? lhs < rhs : lhs > rhs) inside = !inside;
    }
    return inside;
}

Points OutlineOf(const std::vector<Pair<int>>& poly) {
    Points s;
    for (std::size_t i = 0; i < poly.size(); ++i)
        kv::WalkSpaced(poly[i], poly[(i + 1) % poly.size()], kv::kOnePixel, kv::kOnePixel,
                       [&](Pair<int> p) {
                           s.insert({p.x, p.y});
                       });
    return s;
}

std::vector<Pair<int>> RandomPolygon(std::mt19937& rng, int w, int h, bool walk) {
    std::vector<Pair<int>> poly;
    const int n = walk ? 40 + int(rng() % 80) : 3 + int(rng() % 8);
    Pair<int> p{int(rng() % w), int(rng() % h)};
    for (int i = 0; i < n; ++i) {
        if (walk) { // a freehand path: small moves, some of them none
            p = {p.x + int(rng() % 7) - 3, p.y + int(rng() % 7) - 3};
        } else { // vertices reach beyond the image; some repeat or stay level
            const int kind = int(rng() % 6);
            if (kind == 0 && !poly.empty()) {
                p = poly.back();
            } else if (kind == 1 && !poly.empty()) {
                p = {int(rng() % (w + 20)) - 10, poly.back().y};
            } else {
                p = {int(rng() % (w + 20)) - 10, int(rng() % (h + 20)) - 10};
            }
        }
        poly.push_back(p);
    }
    return poly;
}

TEST(OutlineMarker, MarksTheEvenOddInsideAndTheOutlineOnly) {
    std::mt19937 rng(31);
    constexpr Pixel kGround = 0x00202020, kK = 0x00FF0000;
    for (int round = 0; round < 160; ++round) {
        const int w = 10 + int(rng() % 50), h = 10 + int(rng() % 40);
        Buffer image;
        image.Alloc(Pair<int>{w, h});
        image.Box(image.Area, kGround);
        Buffer view; // every other case through a visible part (Clipping)
        view.Alloc(image,
                   round % 2 ? Rect{int(rng() % 5), int(rng() % 5), w - 1 - int(rng() % 5), h - 3}
                             : Rect{0, 0, w - 1, h - 1},
                   true);
        const std::vector<Pair<int>> poly = RandomPolygon(rng, w, h, round % 4 >= 2);
        kv::OutlineMarker m(view, kK);
        m.Start(poly[0]);
        for (std::size_t i = 1; i < poly.size(); ++i) m.LineTo(poly[i]);
        m.Close();
        const Points outline = OutlineOf(poly);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Pixel p = *image.At(x, y);
                const bool inView = view.Contains({x, y});
                const bool onOutline = outline.count({x, y}) != 0;
                const bool expected = inView && (onOutline || InsideEvenOdd(poly, x, y));
                ASSERT_EQ((p & kMarked) != 0, expected)
                    << "round " << round << " at " << x << "," << y;
                if (inView && onOutline) {
                    EXPECT_EQ(p, kK | kv::kOutlineMark);
                }
                if (!expected) {
                    EXPECT_EQ(p, kGround);
                }
            }
        const Rect b = m.Bounds();
        const Rect marked = kv::MarkedBounds(image);
        if (!marked.Empty()) {
            EXPECT_TRUE(marked.Left >= b.Left && marked.Right <= b.Right && marked.Top >= b.Top &&
                        marked.Bottom <= b.Bottom);
        }
    }
}

TEST(OutlineMarker, KeepColourMarksOnlyAndOnePixelShapes) {
    Buffer image;
    image.Alloc(Pair<int>{8, 8});
    image.Box(image.Area, 0x00123456);
    kv::OutlineMarker m(image, kv::OutlineMarker::kKeepColour);
    m.MarkPoint({3, 4});
    EXPECT_EQ(*image.At(3, 4), 0x00123456 | kv::kOutlineMark);
    EXPECT_EQ(kv::FillMarkedSolid(image, 0x00ABCDEF, false), (Rect{3, 4, 3, 4}));
    EXPECT_EQ(*image.At(3, 4), 0x00ABCDEFu);
    EXPECT_FALSE(kv::HasMarks(image));
}

// --- Fill passes ---------------------------------------------------------

TEST(FillMarked, SolidPlainAndColorizedKeepShading) {
    Buffer image;
    image.Alloc(Pair<int>{16, 4});
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 4; ++y)
            *image.At(x, y) = kv::MakeRgb(x * 16, x * 8, y * 40) | (y % 2 ? kMarked : 0);
    Buffer before;
    before.Alloc(Pair<int>{16, 4});
    before.Copy(image, {0, 0}, 0xFFFFFFFF);
    const Pixel c = 0x003060C0;
    const kv::Hsv hc = kv::RgbToHsv(0x30, 0x60, 0xC0);
    EXPECT_EQ(kv::FillMarkedSolid(image, c, true), (Rect{0, 1, 15, 3}));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x) {
            const Pixel old = *before.At(x, y);
            const int v = std::max({kv::RedOf(old), kv::GreenOf(old), kv::BlueOf(old)});
            EXPECT_EQ(*image.At(x, y), y % 2 ? kv::HsvToRgb(hc.H, hc.S, v) : old);
        }
    image.Box(image.Area, kMarked | 0x00777777);
    kv::FillMarkedSolid(image, c, false, Rect{2, 1, 5, 2});
    EXPECT_EQ(*image.At(2, 1), c);
    EXPECT_EQ(*image.At(6, 1), kMarked | 0x00777777); // outside within
}

TEST(FillMarked, PatternTilesByFloorModuloAndAlignsWithTheCut) {
    std::mt19937 rng(5);
    Buffer tile;
    tile.Alloc(Pair<int>{5, 3});
    Fill(tile, rng, {0x00112233, 0x00445566, 0x00FF0000, kv::kBrushTransparent, 0x00808080});
    const Pixel back = 0x0000FF00;
    Buffer source; // the image the tile was cut from, at (-7, 4)
    const Pair<int> cutFrom{-7, 4};
    source.Alloc(Pair<int>{30, 20});
    for (auto origin : {Pair<int>{0, 0}, kv::OriginAlignedWithCut({5, 3}, cutFrom),
                        kv::OriginAtPoint({5, 3}, {2, 1}, {13, 9}), Pair<int>{-12, -4}}) {
        for (bool colorize : {false, true}) {
            Fill(source, rng, {0x00000000 | kMarked, 0x00A0B0C0, 0x00405060 | kMarked});
            Buffer old;
            old.Alloc(Pair<int>{30, 20});
            old.Copy(source, {0, 0}, 0xFFFFFFFF);
            kv::FillMarkedPattern(source, {&tile, origin, back, colorize});
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 30; ++x) {
                    const Pixel was = *old.At(x, y);
                    Pixel m = *tile.At(((x + origin.x) % 5 + 5) % 5, ((y + origin.y) % 3 + 3) % 3);
                    if (m == kv::kBrushTransparent) m = back;
                    if (colorize) {
                        const kv::Hsv hm =
                            kv::RgbToHsv(kv::RedOf(m), kv::GreenOf(m), kv::BlueOf(m));
                        const int v = std::max({kv::RedOf(was), kv::GreenOf(was), kv::BlueOf(was)});
                        m = kv::HsvToRgb(hm.H, hm.S, (v + hm.V) / 2);
                    }
                    ASSERT_EQ(*source.At(x, y), (was & kMarked) ? m : was) << x << "," << y;
                }
        }
    }
    // Aligned with the cut: the tile's pixels come back where it was cut.
    const Pair<int> o = kv::OriginAlignedWithCut({5, 3}, {7, 4});
    source.Box(source.Area, kMarked);
    kv::FillMarkedPattern(source, {&tile, o, back, false});
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 5; ++i) {
            const Pixel m = *tile.At(i, j);
            EXPECT_EQ(*source.At(7 + i, 4 + j), m == kv::kBrushTransparent ? back : m);
        }
    // At a point: the handle pixel lands on the point.
    const Pair<int> at = kv::OriginAtPoint({5, 3}, {4, 2}, {11, 3});
    EXPECT_EQ((Pair<int>{(11 + at.x) % 5, (3 + at.y) % 3}), (Pair<int>{4, 2}));
}

} // namespace
