// Text records of both metafile players, checked pixel by pixel against
// Buffer::OutText with the font and position the records ask for: font
// selection and size, colours, background modes, alignment, advances, the
// opaque and clipping rectangles, and broken records.
#include "metafile_builders.h"

#include "font_engine.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <functional>

using namespace pixkit;
using namespace metatest;

namespace {

constexpr Pixel kInk = 0x1030C0, kBack = 0x40E060;
constexpr int kW = 160, kH = 60;

Bytes Face(const std::string& name, bool wide) {
    Bytes b;
    for (char c : name) {
        b.push_back(std::uint8_t(c));
        if (wide) b.push_back(0);
    }
    b.resize(wide ? 64 : 32, 0);
    return b;
}

// A WMF font (slot 0, selected), the ink colour and a background mode.
Wmf WmfText(int height, int bkMode = 1, int weight = 400, int escapement = 0) {
    Wmf w;
    w.Rec(0x02FB, {height, 0, escapement, 0, weight, 0, 0, 0, 0}, Face("DejaVu Sans", false));
    w.Rec(0x012D, {0});
    w.Rec(0x0209, {std::int32_t(Ref(kInk) & 0xFFFF), std::int32_t(Ref(kInk) >> 16)});
    w.Rec(0x0201, {std::int32_t(Ref(kBack) & 0xFFFF), std::int32_t(Ref(kBack) >> 16)});
    w.Rec(0x0102, {bkMode});
    return w;
}

// TEXTOUT of Latin-1 text at (x, y).
Wmf& TextOut(Wmf& w, const std::string& s, int x, int y) {
    Bytes bytes(s.begin(), s.end());
    Bytes tail;
    Put16(tail, std::uint32_t(s.size()));
    tail.insert(tail.end(), bytes.begin(), bytes.end());
    if (tail.size() % 2) tail.push_back(0);
    Put16(tail, std::uint32_t(y));
    Put16(tail, std::uint32_t(x));
    return w.Rec(0x0521, {}, tail);
}

// EXTTEXTOUT with options, a rectangle and optional advances.
Wmf& ExtTextOut(Wmf& w, const std::string& s, int x, int y, int options,
                std::initializer_list<int> rect, const std::vector<int>& dx = {}) {
    Bytes tail;
    for (int v : {y, x, int(s.size()), options}) Put16(tail, std::uint32_t(v));
    for (int v : rect) Put16(tail, std::uint32_t(v));
    tail.insert(tail.end(), s.begin(), s.end());
    if (tail.size() % 2) tail.push_back(0);
    for (int d : dx) Put16(tail, std::uint32_t(d));
    return w.Rec(0x0A32, {}, tail);
}

// An EMF font (handle 1, selected) and the ink colour, transparent.
Emf EmfText(int height) {
    Emf e;
    e.Rec(82, {1, height, 0, 0, 0, 400, 0, 0}, Face("DejaVu Sans", true));
    e.Rec(37, {1});
    e.Rec(24, {std::int32_t(Ref(kInk))});
    e.Rec(18, {1});
    return e;
}

// EXTTEXTOUTW of UTF-16 code units at (x, y), with advances when given.
Emf& ExtTextOutW(Emf& e, const std::u16string& s, int x, int y, const std::vector<int>& dx = {},
                 int stringAt = 76) {
    Bytes tail;
    for (char16_t c : s) Put16(tail, c);
    while (tail.size() % 4) tail.push_back(0);
    const int dxAt = dx.empty() ? 0 : 76 + int(tail.size());
    for (int d : dx) Put32(tail, std::uint32_t(d));
    return e.Rec(84, {0, 0, kW, kH, 1, 0, 0, x, y, int(s.size()), stringAt, 0, 0, 0, 0, 0, dxAt},
                 tail);
}

Buffer Load(const char* ext, const Bytes& file) {
    Buffer b;
    LoadAs(ext, file, b);
    return b;
}

FontDesc Font(int em) {
    FontDesc f;
    f.Height = em;
    return f;
}

detail::TextLayout Measure(const FontDesc& f, const std::u32string& s) {
    detail::TextSession session(f);
    return session.Measure(s);
}

// The picture without text, with text drawn onto it as OutText draws it.
Buffer Expected(const Bytes& base, const char* ext, const std::function<void(Buffer&)>& draw) {
    Buffer b = Load(ext, base);
    draw(b);
    return b;
}

::testing::AssertionResult Same(const Buffer& a, const Buffer& b) {
    return Pixels(a, [&](int x, int y) { return *b.At(x, y); });
}

int InkCount(const Buffer& b, Pixel c) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) n += *b.At(x, y) == c;
    return n;
}

} // namespace

TEST(MetafileText, WmfTextOutTopLeftTransparent) {
    Wmf base = WmfText(-20);
    Wmf w = WmfText(-20);
    TextOut(w, "Hig", 10, 12);
    const Buffer got = Load("wmf", w.Placeable(kW, kH));
    const int start = int(Measure(Font(20), U"Hig").start);
    const Buffer want = Expected(base.Placeable(kW, kH), "wmf", [&](Buffer& b) {
        b.OutText(Font(20), {10 - start, 12}, "Hig", kInk);
    });
    EXPECT_GT(InkCount(got, kInk), 40);
    EXPECT_TRUE(Same(got, want));
}

TEST(MetafileText, AlignmentBaselineCentreAndBottomRight) {
    const FontDesc f = Font(24);
    const detail::TextLayout l = Measure(f, U"Mw");
    for (const int align : {24 | 6, 8 | 2}) {
        Wmf w = WmfText(-24);
        w.Rec(0x012E, {align});
        TextOut(w, "Mw", 80, 40);
        const Buffer got = Load("wmf", w.Placeable(kW, kH));
        const int left = align == (24 | 6) ? 80 - int(l.advance) / 2 : 80 - int(l.advance);
        const int top = align == (24 | 6) ? 40 - int(l.ascent) : 40 - int(l.height);
        const Buffer want = Expected(WmfText(-24).Placeable(kW, kH), "wmf", [&](Buffer& b) {
            b.OutText(f, {left - int(l.start), top}, "Mw", kInk);
        });
        EXPECT_TRUE(Same(got, want)) << "align " << align;
    }
}

TEST(MetafileText, OpaqueModeFillsTheCellAndCellHeightSizesTheFont) {
    // A positive height is the cell height: the em is chosen so that the
    // cell comes out at that height.
    Wmf w = WmfText(30, 2);
    TextOut(w, "ab", 5, 5);
    const Buffer got = Load("wmf", w.Placeable(kW, kH));
    int top = kH, bottom = -1, right = -1;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (*got.At(x, y) == kBack) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                right = std::max(right, x);
            }
    EXPECT_EQ(top, 5);
    EXPECT_EQ(bottom - top + 1, 30);
    EXPECT_GT(InkCount(got, kInk), 20);
    EXPECT_EQ(*got.At(right + 1, 6), kWhite);
}

TEST(MetafileText, ExtTextOutOpaqueRectangleClipsAndSpaces) {
    // ETO_OPAQUE | ETO_CLIPPED with a rectangle that cuts the text in two.
    Wmf w = WmfText(-20);
    ExtTextOut(w, "WWWW", 10, 10, 2 | 4, {0, 0, 30, 50});
    const Buffer got = Load("wmf", w.Placeable(kW, kH));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Pixel p = *got.At(x, y);
            if (x >= 30 || y >= 50)
                ASSERT_EQ(p, kWhite) << x << "," << y;
            else
                ASSERT_TRUE(p == kBack || p == kInk) << x << "," << y;
        }
    EXPECT_GT(InkCount(got, kInk), 20);

    // Advances place each character on its own.
    Wmf s = WmfText(-20);
    ExtTextOut(s, "AB", 10, 10, 0, {}, {40, 40});
    const Buffer spaced = Load("wmf", s.Placeable(kW, kH));
    const Buffer want = Expected(WmfText(-20).Placeable(kW, kH), "wmf", [&](Buffer& b) {
        b.OutText(Font(20), {10 - int(Measure(Font(20), U"A").start), 10}, "A", kInk);
        b.OutText(Font(20), {50 - int(Measure(Font(20), U"B").start), 10}, "B", kInk);
    });
    EXPECT_TRUE(Same(spaced, want));
}

TEST(MetafileText, UpdateCurrentPositionChainsRuns) {
    Wmf w = WmfText(-20);
    w.Rec(0x0214, {12, 8}); // MOVETO y, x
    w.Rec(0x012E, {1});
    TextOut(w, "ab", 0, 0);
    TextOut(w, "cd", 0, 0);
    const Buffer got = Load("wmf", w.Placeable(kW, kH));
    const FontDesc f = Font(20);
    const detail::TextLayout ab = Measure(f, U"ab");
    const Buffer want = Expected(WmfText(-20).Placeable(kW, kH), "wmf", [&](Buffer& b) {
        b.OutText(f, {8 - int(ab.start), 12}, "ab", kInk);
        b.OutText(f, {8 + int(ab.advance) - int(Measure(f, U"cd").start), 12}, "cd", kInk);
    });
    EXPECT_TRUE(Same(got, want));
}

TEST(MetafileText, EmfWideTextWithAdvancesAndAnsiMapping) {
    Emf e = EmfText(-22);
    ExtTextOutW(e, u"\u00e9\u20ac", 20, 15);
    const Buffer got = Load("emf", e.Build(kW, kH));
    const FontDesc f = Font(22);
    const Buffer want = Expected(EmfText(-22).Build(kW, kH), "emf", [&](Buffer& b) {
        b.OutText(f, {20 - int(Measure(f, U"\u00e9\u20ac").start), 15}, "\u00e9\u20ac", kInk);
    });
    EXPECT_GT(InkCount(got, kInk), 20);
    EXPECT_TRUE(Same(got, want));

    Emf s = EmfText(-22);
    ExtTextOutW(s, u"xy", 20, 15, {50, 50});
    const Buffer spaced = Load("emf", s.Build(kW, kH));
    const Buffer want2 = Expected(EmfText(-22).Build(kW, kH), "emf", [&](Buffer& b) {
        b.OutText(f, {20 - int(Measure(f, U"x").start), 15}, "x", kInk);
        b.OutText(f, {70 - int(Measure(f, U"y").start), 15}, "y", kInk);
    });
    EXPECT_TRUE(Same(spaced, want2));

    // WMF bytes are in the ANSI code page: 0x80 is the euro sign.
    Wmf w = WmfText(-22);
    TextOut(w, "\x80", 20, 15);
    const Buffer ansi = Load("wmf", w.Placeable(kW, kH));
    const Buffer want3 = Expected(WmfText(-22).Placeable(kW, kH), "wmf", [&](Buffer& b) {
        b.OutText(f, {20 - int(Measure(f, U"\u20ac").start), 15}, "\u20ac", kInk);
    });
    EXPECT_TRUE(Same(ansi, want3));
}

TEST(MetafileText, BrokenAndAbsurdRecords) {
    // Lengths past the record's end.
    Wmf w = WmfText(-20);
    w.Rec(0x0521, {200, 0x4141});
    EXPECT_THROW(Load("wmf", w.Placeable(kW, kH)), EInvalidImage);
    Emf e = EmfText(-20);
    ExtTextOutW(e, u"ab", 0, 0, {}, 4000);
    EXPECT_THROW(Load("emf", e.Build(kW, kH)), EInvalidImage);
    Emf n = EmfText(-20);
    n.Rec(84, {0, 0, 1, 1, 1, 0, 0, 0, 0, 0x7FFFFFFF, 76, 0, 0, 0, 0, 0, 0});
    EXPECT_THROW(Load("emf", n.Build(kW, kH)), EInvalidImage);
    // A truncated advance array is ignored rather than read past the end.
    Wmf d = WmfText(-20);
    ExtTextOut(d, "AB", 10, 10, 0, {}, {40});
    EXPECT_NO_THROW(Load("wmf", d.Placeable(kW, kH)));

    // A font far larger than any picture draws nothing.
    Wmf big = WmfText(-32000);
    TextOut(big, "WWWWWWWWWWWWWWWWWWWW", 0, 0);
    const Buffer b = Load("wmf", big.Placeable(kW, kH));
    EXPECT_EQ(InkCount(b, kInk), 0);
}

// Character extra space puts each character further on; justification
// shares its extra out over the spaces only.
TEST(MetafileText, CharacterExtraAndJustificationSpaceTheRun) {
    const FontDesc f = Font(20);
    const auto glyph = [&](Buffer& b, const char* s, double x) {
        const std::u32string u(s, s + 1);
        b.OutText(f, {int(x) - int(Measure(f, u).start), 12}, s, kInk);
    };
    const double a = double(Measure(f, U"a").advance), space = double(Measure(f, U" ").advance);
    Wmf base = WmfText(-20);
    Wmf extra = WmfText(-20);
    extra.Rec(0x0108, {7});
    TextOut(extra, "ab", 10, 12);
    EXPECT_TRUE(Same(Load("wmf", extra.Placeable(kW, kH)),
                     Expected(base.Placeable(kW, kH), "wmf", [&](Buffer& b) {
                         glyph(b, "a", 10);
                         glyph(b, "b", 10 + a + 7);
                     })));
    Wmf justified = WmfText(-20);
    justified.Rec(0x020A, {2, 30}); // two breaks share 30 units
    TextOut(justified, "a a", 10, 12);
    EXPECT_TRUE(Same(Load("wmf", justified.Placeable(kW, kH)),
                     Expected(base.Placeable(kW, kH), "wmf", [&](Buffer& b) {
                         glyph(b, "a", 10);
                         glyph(b, "a", 10 + a + space + 15);
                     })));
}

// A font's escapement turns the whole run, glyphs and opaque box, counter-
// clockwise about its reference point: quarter and half turns put every
// pixel of the upright run exactly where the turn takes it, and nothing
// else is drawn.
TEST(MetafileText, EscapementTurnsTheRunAboutItsReferencePoint) {
    constexpr int kSide = 120, px = 60, py = 60;
    const auto render = [&](int escapement) {
        Wmf w = WmfText(-16, 2, 400, escapement);
        TextOut(w, "Fy", px, py);
        return Load("wmf", w.Placeable(kSide, kSide));
    };
    const Buffer upright = render(0);
    const struct {
        int escapement;
        std::function<std::pair<int, int>(int, int)> turn;
    } turns[] = {
        {900,
         [](int x, int y) {
             return std::pair{px + y - py, py + px - x - 1};
         }},
        {1800,
         [](int x, int y) {
             return std::pair{2 * px - x - 1, 2 * py - y - 1};
         }},
        {-900,
         [](int x, int y) {
             return std::pair{px + py - y - 1, py + x - px};
         }},
    };
    for (const auto& t : turns) {
        SCOPED_TRACE(t.escapement);
        const Buffer turned = render(t.escapement);
        int drawn = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const Pixel c = *upright.At(x, y) & 0xFFFFFF;
                if (c == 0xFFFFFF) continue;
                const auto [tx, ty] = t.turn(x, y);
                ASSERT_TRUE(tx >= 0 && ty >= 0 && tx < kSide && ty < kSide) << x << "," << y;
                EXPECT_EQ(*turned.At(tx, ty) & 0xFFFFFF, c) << x << "," << y;
                ++drawn;
            }
        EXPECT_GT(InkCount(upright, kInk), 20);
        EXPECT_EQ(kSide * kSide - InkCount(turned, 0xFFFFFF), drawn);
    }
}
