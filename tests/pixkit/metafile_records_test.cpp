// The records that draw curves, regions, raster operations, blits and
// gradients: raster operations pixel-exact against their Boolean
// definitions, and whole pictures per record family compared with an
// independent renderer (libwmf's wmf2gd, emf2svg with rsvg-convert) by
// coverage mask; those comparisons are skipped where the tools are absent.
#include "image_tools.h"
#include "metafile_builders.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <functional>
#include <string>

using namespace pixkit;
using namespace metatest;
using namespace imgtools;

namespace {

constexpr std::int32_t kStock = std::int32_t(0x80000000u);
constexpr std::int32_t kNullPen = kStock | 8;

// Channel bytes whose bits run through all eight combinations of pattern,
// source and destination: each result byte is the operation's own table.
constexpr std::uint32_t kP = 0xF0F0F0, kS = 0xCCCCCC, kD = 0xAAAAAA;

Buffer Render(const char* ext, const Bytes& file) {
    Buffer b;
    LoadAs(ext, file, b);
    return b;
}

Bytes SolidDib(std::uint32_t c) {
    return Dib24(4, 4, [c](int, int) { return c; });
}

// STRETCHDIBITS of a 4 x 4 DIB at (0, 0) with a raster operation.
Emf& StretchDib(Emf& e, const Bytes& dib, std::int32_t rop) {
    return e.Rec(
        81,
        {0, 0, 3, 3, 0, 0, 0, 0, 4, 4, 80, 40, 120, std::int32_t(dib.size() - 40), 0, rop, 4, 4},
        dib);
}

TEST(MetafileRecords, TernaryRasterOperationsFollowTheirDefinitions) {
    using Op = std::function<std::uint32_t(std::uint32_t, std::uint32_t, std::uint32_t)>;
    struct Case {
        const char* name;
        std::int32_t rop;
        Op expected; // pattern, source, destination
    };
    const Case cases[] = {
        {"SRCCOPY", 0x00CC0020, [](auto, auto s, auto) { return s; }},
        {"SRCPAINT", 0x00EE0086, [](auto, auto s, auto d) { return s | d; }},
        {"SRCAND", 0x008800C6, [](auto, auto s, auto d) { return s & d; }},
        {"SRCINVERT", 0x00660046, [](auto, auto s, auto d) { return s ^ d; }},
        {"SRCERASE", 0x00440328, [](auto, auto s, auto d) { return s & ~d; }},
        {"NOTSRCCOPY", 0x00330008, [](auto, auto s, auto) { return ~s; }},
        {"NOTSRCERASE", 0x001100A6, [](auto, auto s, auto d) { return ~(s | d); }},
        {"MERGECOPY", 0x00C000CA, [](auto p, auto s, auto) { return p & s; }},
        {"MERGEPAINT", 0x00BB0226, [](auto, auto s, auto d) { return ~s | d; }},
        {"PATCOPY", 0x00F00021, [](auto p, auto, auto) { return p; }},
        {"PATPAINT", 0x00FB0A09, [](auto p, auto s, auto d) { return p | ~s | d; }},
        {"PATINVERT", 0x005A0049, [](auto p, auto, auto d) { return p ^ d; }},
        {"DSTINVERT", 0x00550009, [](auto, auto, auto d) { return ~d; }},
        {"BLACKNESS", 0x00000042, [](auto, auto, auto) { return 0u; }},
        {"WHITENESS", 0x00FF0062, [](auto, auto, auto) { return ~0u; }},
        {"DPSao (0xEA)", 0x00EA02E9, [](auto p, auto s, auto d) { return (p & s) | d; }},
        {"PDSxon (0x09)", 0x00090000, [](auto p, auto s, auto d) { return ~(p | (d ^ s)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t want = c.expected(kP, kS, kD) & 0xFFFFFF;
        // EMF: the destination drawn first, then the brush, then the blit.
        Emf e;
        StretchDib(e, SolidDib(kD), 0x00CC0020);
        e.Rec(39, {1, 0, std::int32_t(Ref(kP)), 0}).Rec(37, {1});
        StretchDib(e, SolidDib(kS), c.rop);
        EXPECT_TRUE(Pixels(Render("emf", e.Build(4, 4)), [&](int, int) { return want; }));
        // WMF: DIBBITBLT with the source; without one (PATBLT) the source
        // plays no part, so only operations that ignore it are compared.
        Wmf w;
        w.Rec(0x0940, {0x0020, 0x00CC, 0, 0, 4, 4, 0, 0}, SolidDib(kD));
        w.Rec(0x02FC, {0, std::int32_t(Ref(kP) & 0xFFFF), std::int32_t(Ref(kP) >> 16), 0});
        w.Rec(0x012D, {0});
        w.Rec(0x0940, {c.rop & 0xFFFF, c.rop >> 16, 0, 0, 4, 4, 0, 0}, SolidDib(kS));
        EXPECT_TRUE(Pixels(Render("wmf", w.Placeable(4, 4)), [&](int, int) { return want; }));
        const unsigned table = unsigned(c.rop >> 16) & 0xFF;
        if (((table >> 2) & 0x33) == (table & 0x33)) {
            Wmf pat;
            pat.Rec(0x0940, {0x0020, 0x00CC, 0, 0, 4, 4, 0, 0}, SolidDib(kD));
            pat.Rec(0x02FC, {0, std::int32_t(Ref(kP) & 0xFFFF), std::int32_t(Ref(kP) >> 16), 0});
            pat.Rec(0x012D, {0});
            pat.Rec(0x061D, {c.rop & 0xFFFF, c.rop >> 16, 4, 4, 0, 0});
            EXPECT_TRUE(Pixels(Render("wmf", pat.Placeable(4, 4)), [&](int, int) { return want; }));
        }
    }
}

TEST(MetafileRecords, BinaryRasterOperationsOfFills) {
    using Op = std::function<std::uint32_t(std::uint32_t, std::uint32_t)>;
    const Op ops[16] = {
        [](auto, auto) { return 0u; },         [](auto p, auto d) { return ~(p | d); },
        [](auto p, auto d) { return ~p & d; }, [](auto p, auto) { return ~p; },
        [](auto p, auto d) { return p & ~d; }, [](auto, auto d) { return ~d; },
        [](auto p, auto d) { return p ^ d; },  [](auto p, auto d) { return ~(p & d); },
        [](auto p, auto d) { return p & d; },  [](auto p, auto d) { return ~(p ^ d); },
        [](auto, auto d) { return d; },        [](auto p, auto d) { return ~p | d; },
        [](auto p, auto) { return p; },        [](auto p, auto d) { return p | ~d; },
        [](auto p, auto d) { return p | d; },  [](auto, auto) { return ~0u; },
    };
    constexpr std::uint32_t kPen = 0xCCCCCC, kDst = 0xAAAAAA;
    for (int r2 = 1; r2 <= 16; ++r2) {
        SCOPED_TRACE(r2);
        const std::uint32_t want = ops[r2 - 1](kPen, kDst) & 0xFFFFFF;
        Emf e;
        StretchDib(e, SolidDib(kDst), 0x00CC0020);
        e.Rec(39, {1, 0, std::int32_t(Ref(kPen)), 0}).Rec(37, {1}).Rec(37, {kNullPen});
        e.Rec(20, {r2}).Rec(43, {0, 0, 4, 4});
        EXPECT_TRUE(Pixels(Render("emf", e.Build(4, 4)), [&](int, int) { return want; }));
    }
}

// A wide pen under XOR paints each pixel of its stroke once, also where a
// joint's disc and the two segments overlap (twice would give the paper
// back there).
TEST(MetafileRecords, WidePenStrokesApplyTheirOperationOnce) {
    Wmf w;
    w.Rec(0x02FA, {0, 6, 0, std::int32_t(Ref(kRed) & 0xFFFF), std::int32_t(Ref(kRed) >> 16)});
    w.Rec(0x012D, {0}).Rec(0x0104, {7}); // the pen, R2_XORPEN
    w.Rec(0x0325, {3, 5, 5, 30, 5, 30, 30});
    const Buffer b = Render("wmf", w.Placeable(40, 40));
    constexpr Pixel kXored = 0xFFFFFF ^ kRed;
    int stroked = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const Pixel c = *b.At(x, y) & 0xFFFFFF;
            EXPECT_TRUE(c == kWhite || c == kXored) << x << "," << y;
            // Within two pixels of the centre line: inside the stroke.
            const bool near = (std::abs(y - 5) <= 2 && x >= 5 && x <= 30) ||
                              (std::abs(x - 30) <= 2 && y >= 5 && y <= 30);
            if (near) {
                EXPECT_EQ(c, kXored) << x << "," << y;
            }
            stroked += c == kXored;
        }
    EXPECT_GT(stroked, 2 * 26 * 5);
}

// ---- Comparison with independent renderers ----

bool HaveWmfRenderer() {
    return RunCmd("command -v wmf2gd") && RunCmd("/usr/bin/python3 -c 'import PIL'");
}
bool HaveEmfRenderer() {
    return RunCmd("command -v emf2svg-conv") && RunCmd("command -v rsvg-convert") &&
           RunCmd("/usr/bin/python3 -c 'import PIL'");
}

// The reference's rendering of file at w x h, as an image on white.
RgbImage ReferenceRendering(const std::string& file, bool wmf, int w, int h, const TempDir& dir) {
    const std::string png = dir / "ref.png", ppm = dir / "ref.ppm";
    const std::string size = std::to_string(w) + " " + std::to_string(h);
    const std::string render =
        wmf ? "wmf2gd -t png --maxwidth=" + std::to_string(w) +
                  " --maxheight=" + std::to_string(h) + " -o " + Quote(png) + " " + Quote(file)
            : "emf2svg-conv -i " + Quote(file) + " -o " + Quote(dir / "ref.svg") +
                  " && rsvg-convert -w " + std::to_string(w) + " -h " + std::to_string(h) +
                  " -b white " + Quote(dir / "ref.svg") + " > " + Quote(png);
    if (!RunCmd(render)) return {};
    const std::string script = "import sys\nfrom PIL import Image\n"
                               "im = Image.open(sys.argv[1]).convert('RGBA')\n"
                               "bg = Image.new('RGBA', im.size, (255, 255, 255, 255))\n"
                               "im = Image.alpha_composite(bg, im).convert('RGB')\n"
                               "im.resize((int(sys.argv[3]), int(sys.argv[4])), "
                               "Image.NEAREST).save(sys.argv[2])\n";
    if (!RunCmd("/usr/bin/python3 -c " + Quote(script) + " " + Quote(png) + " " + Quote(ppm) + " " +
                size))
        return {};
    return ReadPnm(ppm);
}

struct Coverage {
    double agreement = 0; // share of pixels both call ink or both call paper
    double inked = 0;     // share of pixels either calls ink
};

Coverage Compare(const Buffer& ours, const RgbImage& ref) {
    Coverage c;
    std::int64_t same = 0, ink = 0;
    const auto inkOf = [](std::uint32_t p) {
        return ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) < 3 * 235;
    };
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            const bool a = inkOf(*ours.At(x, y)), b = inkOf(ref.At(x, y));
            same += a == b;
            ink += a || b;
        }
    const double n = double(ref.w) * ref.h;
    c.agreement = double(same) / n;
    c.inked = double(ink) / n;
    return c;
}

void ExpectLikeReference(const char* what, const char* ext, const Bytes& file, int w, int h) {
    SCOPED_TRACE(what);
    TempDir dir;
    const std::string path = dir / (std::string("family.") + ext);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    Buffer ours;
    GFXFile::Load(ours, path, nullptr);
    EXPECT_TRUE(LastSkippedRecords().empty()) << SkippedRecordsText();
    const RgbImage ref = ReferenceRendering(path, std::string(ext) == "wmf", w, h, dir);
    ASSERT_EQ(ref.w, w);
    ASSERT_EQ(ours.Width(), w);
    const Coverage c = Compare(ours, ref);
    EXPECT_GE(c.agreement, 0.98);
    EXPECT_GE(c.inked, 0.1); // the picture is no blank page
}

Wmf WmfWithBrush(std::uint32_t colour, int style = 0, int hatch = 0) {
    Wmf w;
    w.Rec(0x02FC,
          {style, std::int32_t(Ref(colour) & 0xFFFF), std::int32_t(Ref(colour) >> 16), hatch});
    w.Rec(0x012D, {0});
    return w;
}

// Only what the references draw as the system does is compared: libwmf
// leaves out the viewport records and rounded corners and draws pies and
// chords of WMF files elsewhere; emf2svg leaves out clip regions and
// gradients. Those are checked at known pixels below, and WMF arcs by the
// corpus file that has a reference rendering.
TEST(MetafileReference, WmfRecordFamiliesDrawLikeLibwmf) {
    if (!HaveWmfRenderer()) GTEST_SKIP() << "wmf2gd (libwmf-bin) or Pillow is not installed";
    // A region selected as the clip, a rectangle taken out of it, then a
    // large rectangle through both. The region object has one scan: header,
    // bounds, then count, top, bottom, left, right, count.
    Wmf clip = WmfWithBrush(kGreen);
    clip.Rec(0x06FF, {0, 6, 0, 0, 34, 1, 2, 40, 20, 300, 180, 2, 20, 180, 40, 300, 2});
    clip.Rec(0x012C, {1}).Rec(0x0415, {120, 200, 80, 100});
    clip.Rec(0x041B, {200, 400, 0, 0});
    ExpectLikeReference("clip region and excluded rectangle", "wmf", clip.Placeable(400, 200), 400,
                        200);
}

TEST(MetafileReference, EmfRecordFamiliesDrawLikeEmf2svg) {
    if (!HaveEmfRenderer()) GTEST_SKIP() << "emf2svg-conv or rsvg-convert is not installed";
    Emf curves;
    curves.Rec(39, {1, 0, std::int32_t(Ref(kBlue)), 0}).Rec(37, {1});
    curves.Rec(47, {200, 10, 390, 190, 390, 100, 300, 10});
    curves.Rec(57, {2}).Rec(46, {10, 10, 190, 190, 190, 100, 10, 100});
    ExpectLikeReference("pie, clockwise chord", "emf", curves.Build(400, 200), 400, 200);
}

// Families the references leave out, at pixels the system's rules fix.
TEST(MetafileRecords, FamiliesAtKnownPixels) {
    // Rounded corners: the corner ellipse is 40 x 40, so the box's corner
    // pixel stays paper while a pixel 20 in along the edge is filled.
    Wmf round = WmfWithBrush(kBlue);
    round.Rec(0x061C, {40, 40, 90, 190, 10, 10});
    const Buffer rr = Render("wmf", round.Placeable(200, 100));
    EXPECT_EQ(*rr.At(11, 11), kWhite);
    EXPECT_EQ(*rr.At(100, 10), 0u); // the outline
    EXPECT_EQ(*rr.At(30, 12), kBlue);
    EXPECT_EQ(*rr.At(100, 50), kBlue);

    // A pie from the box's right end counter-clockwise to its bottom
    // leaves out the lower right quarter (WMF words are stored reversed).
    Wmf pie = WmfWithBrush(kBlue);
    pie.Rec(0x081A, {190, 200, 100, 390, 190, 390, 10, 10});
    const Buffer pi = Render("wmf", pie.Placeable(400, 200));
    EXPECT_EQ(*pi.At(150, 50), kBlue);
    EXPECT_EQ(*pi.At(150, 150), kBlue);
    EXPECT_EQ(*pi.At(250, 50), kBlue);
    EXPECT_EQ(*pi.At(250, 150), kWhite);

    // Window and viewport: a 200 x 100 window onto a 400 x 200 viewport
    // moved by (40, 20) device units draws (10, 10)-(50, 30) at (60, 40)-(140, 80).
    Wmf mapping = WmfWithBrush(kRed);
    mapping.Rec(0x0103, {8}).Rec(0x020C, {100, 200}).Rec(0x020E, {200, 400});
    mapping.Rec(0x0211, {20, 40}).Rec(0x0214, {0, 0}).Rec(0x0418, {30, 50, 10, 10});
    const Buffer mp = Render("wmf", mapping.Placeable(400, 200));
    EXPECT_EQ(*mp.At(100, 60), kRed);
    EXPECT_EQ(*mp.At(55, 60), kWhite);
    EXPECT_EQ(*mp.At(145, 60), kWhite);

    // Gradient: red at the left edge to blue at the right.
    Bytes vertices;
    for (const auto& v :
         {std::array<int, 5>{0, 0, 0xFF00, 0, 0}, std::array<int, 5>{100, 10, 0, 0, 0xFF00}}) {
        Put32(vertices, std::uint32_t(v[0]));
        Put32(vertices, std::uint32_t(v[1]));
        for (int k = 2; k < 5; ++k) Put16(vertices, std::uint32_t(v[k]));
        Put16(vertices, 0);
    }
    Put32(vertices, 0);
    Put32(vertices, 1);
    Emf gradient;
    gradient.Rec(118, {0, 0, 99, 9, 2, 1, 0}, vertices);
    const Buffer gr = Render("emf", gradient.Build(100, 10));
    EXPECT_EQ(*gr.At(0, 5), kRed);
    EXPECT_EQ(*gr.At(99, 5), kBlue);
    EXPECT_NEAR(int(*gr.At(50, 5) >> 16), 0x80, 3);
    EXPECT_NEAR(int(*gr.At(50, 5) & 0xFF), 0x80, 3);

    // A clip region of two rectangles: a fill reaches only into them.
    Emf region;
    region.Rec(39, {1, 0, std::int32_t(Ref(kGreen)), 0}).Rec(37, {1}).Rec(37, {kNullPen});
    Bytes rgn;
    for (int v : {32, 1, 2, 32, 0, 0, 40, 20, 2, 2, 10, 10, 20, 5, 30, 15})
        Put32(rgn, std::uint32_t(v));
    region.Rec(75, {std::int32_t(rgn.size()), 5}, rgn).Rec(43, {0, 0, 40, 20});
    EXPECT_TRUE(Pixels(Render("emf", region.Build(40, 20)), [](int x, int y) {
        return (In(x, 2, 9) && In(y, 2, 9)) || (In(x, 20, 29) && In(y, 5, 14)) ? kGreen : kWhite;
    }));

    // TRANSPARENTBLT leaves out the key colour; ALPHABLEND at constant
    // alpha 128 mixes with the paper. Both share STRETCHBLT's layout.
    const Bytes quad = Dib24(2, 2, Quadrant);
    const auto blit = [&](std::int32_t type, std::int32_t how) {
        Emf e;
        e.Rec(type,
              {0, 0, 1, 1, 0, 0, 2, 2, how, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 108, 40, 148, 16, 2, 2},
              quad);
        return Render("emf", e.Build(2, 2));
    };
    EXPECT_TRUE(Pixels(blit(116, std::int32_t(Ref(kRed))),
                       [](int x, int y) { return x + y == 0 ? kWhite : Quadrant(x, y); }));
    const Buffer blend = blit(114, 128 << 16);
    EXPECT_NEAR(int(*blend.At(0, 1) >> 16), 0x7F, 1);
    EXPECT_EQ(*blend.At(0, 1) & 0xFF, 0xFFu);

    // A path as the clip: only its inside is filled.
    Emf clipPath;
    clipPath.Rec(39, {1, 0, std::int32_t(Ref(kGreen)), 0}).Rec(37, {1}).Rec(37, {kNullPen});
    clipPath.Rec(59, {}).Rec(43, {4, 2, 12, 6}).Rec(60, {}).Rec(67, {5});
    clipPath.Rec(43, {0, 0, 40, 20});
    EXPECT_TRUE(Pixels(Render("emf", clipPath.Build(40, 20)),
                       [](int x, int y) { return In(x, 4, 11) && In(y, 2, 5) ? kGreen : kWhite; }));

    // A hatched brush (vertical lines) on an opaque background: every
    // eighth column of the pattern is the hatch colour, the rest the
    // background colour.
    Emf hatch;
    hatch.Rec(25, {std::int32_t(Ref(kOther))}); // SETBKCOLOR
    hatch.Rec(39, {1, 2, std::int32_t(Ref(kBlue)), 1}).Rec(37, {1}).Rec(37, {kNullPen});
    hatch.Rec(43, {0, 0, 16, 8});
    const Buffer ht = Render("emf", hatch.Build(16, 8));
    int hatchColumns = 0;
    for (int x = 0; x < 16; ++x) hatchColumns += *ht.At(x, 3) == kBlue;
    EXPECT_EQ(hatchColumns, 2);
    EXPECT_TRUE(*ht.At(0, 3) == kOther || *ht.At(0, 3) == kBlue);
}

} // namespace
