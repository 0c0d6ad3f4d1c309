// System-font text: monochrome glyphs, extents with overhangs, clipping, the
// font lock under concurrent use, and the list of families that draw.
#include <pixkit/buffer.h>
#include <pixkit/font.h>

#include "reference_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <thread>
#include <vector>

using namespace pixkit;

namespace {

constexpr Pixel kBack = 0x00203040;

Buffer Canvas(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, kBack);
    return b;
}

struct Ink {
    int left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
    int count = 0;
};

Ink InkOf(const Buffer& b) {
    Ink k;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            if (*b.At(x, y) != kBack) {
                k.left = std::min(k.left, x);
                k.right = std::max(k.right, x);
                k.top = std::min(k.top, y);
                k.bottom = std::max(k.bottom, y);
                ++k.count;
            }
    return k;
}

FontDesc Font(int height, bool italic = false) {
    FontDesc f;
    f.Family = "DejaVu Sans";
    f.Height = height;
    f.Italic = italic;
    return f;
}

} // namespace

TEST(Text, OnlyTheTextColourAppears) {
    for (const Pixel colour : {Pixel(0x00000000), Pixel(0x00FF8000), Pixel(0x05123456)}) {
        Buffer b = Canvas(200, 60);
        b.OutText(Font(24), {5, 5}, "Quartz glyph jig 123", colour);
        std::set<Pixel> seen;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x) seen.insert(*b.At(x, y));
        EXPECT_EQ(seen, (std::set<Pixel>{kBack, colour})); // top byte carried
    }
}

// The extent holds the ink and reaches it at an end where the text
// overhangs: italic "j" and "y" ink left of their origin, an italic "f" or
// "/" right of its advance. An end overhangs when the extent is more than
// the advance widths, seen by adding a space at that end.
TEST(Text, ItalicExtentEqualsInkedWidthWithOverhangs) {
    int both = 0;
    for (const char* family : {"DejaVu Sans", "DejaVu Serif"})
        for (const std::string text : {"jf", "yf", "Jf", "/", "f"}) {
            FontDesc f = Font(40, true);
            f.Family = family;
            const Pair<int> size = Buffer::GetTextExtent(f, text);
            const int space = Buffer::GetTextExtent(f, " ").x;
            const bool left = size.x > Buffer::GetTextExtent(f, " " + text).x - space;
            const bool right = size.x > Buffer::GetTextExtent(f, text + " ").x - space;
            Buffer b = Canvas(300, 100);
            b.OutText(f, {30, 20}, text, 0);
            const Ink ink = InkOf(b);
            ASSERT_GT(ink.count, 0);
            EXPECT_GE(ink.left, 30) << family << " " << text;
            EXPECT_LE(ink.right, 30 + size.x - 1) << family << " " << text;
            EXPECT_GE(ink.top, 20);
            EXPECT_LE(ink.bottom, 20 + size.y - 1);
            if (left) {
                EXPECT_EQ(ink.left, 30) << family << " " << text;
            }
            if (right) {
                EXPECT_EQ(ink.right, 30 + size.x - 1) << family << " " << text;
            }
            both += left && right;
        }
    EXPECT_GT(both, 0) << "no test text overhangs at both ends";
}

TEST(Text, EmptyTextDrawsNothing) {
    Buffer b = Canvas(50, 50);
    b.OutText(Font(20), {0, 0}, "", 0x00FFFFFF);
    EXPECT_EQ(InkOf(b).count, 0);
    EXPECT_EQ(Buffer::GetTextExtent(Font(20), ""), (Pair<int>{0, 0}));
}

// Text drawn through a view clipped anywhere equals the unclipped text
// inside the view, and nothing outside it changes.
TEST(Text, ClippedTextKeepsItsPixels) {
    Buffer full = Canvas(120, 50);
    full.OutText(Font(30), {-7, 3}, "Clip Wy", 0x00FFFFFF);
    Buffer clipped = Canvas(120, 50);
    Buffer view(clipped, Rect{10, 12, 60, 30}, true);
    view.OutText(Font(30), {-7, 3}, "Clip Wy", 0x00FFFFFF);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(*clipped.At(x, y), view.Contains({x, y}) ? *full.At(x, y) : kBack);
}

TEST(Text, UnderlineAndStrikeoutAddLinesAcrossTheText) {
    FontDesc plain = Font(30), lined = Font(30);
    lined.Underline = true;
    lined.StrikeOut = true;
    Buffer a = Canvas(200, 60), b = Canvas(200, 60);
    a.OutText(plain, {4, 4}, "o o", 0);
    b.OutText(lined, {4, 4}, "o o", 0);
    EXPECT_GT(InkOf(b).count, InkOf(a).count);
    // The gap between the letters is crossed only with the lines.
    const int mid = 4 + Buffer::GetTextExtent(plain, "o ").x - 2;
    int crossA = 0, crossB = 0;
    for (int y = 0; y < 60; ++y) {
        crossA += *a.At(mid, y) != kBack;
        crossB += *b.At(mid, y) != kBack;
    }
    EXPECT_EQ(crossA, 0);
    EXPECT_GE(crossB, 2);
}

TEST(Text, FourThreadsDrawWhatOneThreadDraws) {
    const std::vector<std::string> texts{"Alpha", "Beta gamma", "Delta 42", "Epsilon!"};
    std::vector<Buffer> sequential(4), parallel(4);
    for (int i = 0; i < 4; ++i) {
        sequential[i].Alloc({160, 40});
        sequential[i].Box(sequential[i].Area, kBack);
        parallel[i].Alloc({160, 40});
        parallel[i].Box(parallel[i].Area, kBack);
    }
    const auto draw = [&](Buffer& b, int i) {
        for (int k = 0; k < 20; ++k)
            b.OutText(Font(14 + i * 3, i % 2), {k % 5, k % 7}, texts[std::size_t(i)], Pixel(k));
    };
    for (int i = 0; i < 4; ++i) draw(sequential[std::size_t(i)], i);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&, i] { draw(parallel[std::size_t(i)], i); });
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(testref::Snapshot(parallel[i]).px, testref::Snapshot(sequential[i]).px);
}

TEST(Text, BadFontSizesDrawNothing) {
    Buffer b = Canvas(40, 40);
    b.OutText(Font(0), {0, 0}, "x", 0);
    b.OutText(Font(-12), {0, 0}, "x", 0);
    EXPECT_EQ(InkOf(b).count, 0);
    EXPECT_EQ(Buffer::GetTextExtent(Font(0), "x"), (Pair<int>{0, 0}));
}

// The families listed are the ones that draw: each once, in order without
// regard to case, and an unknown name is named by the substitute that
// draws in its place.
TEST(Text, SystemFamiliesNameTheFontsThatDraw) {
    const std::vector<std::string> families = SystemFontFamilies();
    const auto lower = [](std::string s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (std::size_t i = 1; i < families.size(); ++i)
        EXPECT_LT(lower(families[i - 1]), lower(families[i])) << families[i];
    const auto listed = [&](const std::string& f) {
        return std::find(families.begin(), families.end(), f) != families.end();
    };
    EXPECT_TRUE(listed("DejaVu Sans"));
    EXPECT_EQ(SystemFontFamily("DejaVu Serif"), "DejaVu Serif");
    for (const std::string asked : {"Times New Roman", "No Such Family Qx"}) {
        const std::string drawn = SystemFontFamily(asked);
        EXPECT_TRUE(listed(drawn)) << asked << " -> " << drawn;
        FontDesc a = Font(20), b = Font(20);
        a.Family = asked;
        b.Family = drawn;
        Buffer x = Canvas(200, 40), y = Canvas(200, 40);
        x.OutText(a, {2, 2}, "Rag Wq", 0);
        y.OutText(b, {2, 2}, "Rag Wq", 0);
        EXPECT_EQ(testref::Snapshot(x).px, testref::Snapshot(y).px) << asked;
    }
}
