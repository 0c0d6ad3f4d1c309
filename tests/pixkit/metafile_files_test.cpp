// Metafiles as files: our writer's WMF and EMF read back with our players
// and with other programs (ImageMagick renders the WMF, Pillow reads both
// headers), progress reporting, and the corpus: references where the
// corpus has them, structure elsewhere, clean failures on broken files.
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace pixkit;
using namespace imgtools;

namespace {

namespace fs = std::filesystem;
const std::string kCorpus = VM_CORPUS_DIR;

bool HavePillow() {
    return RunCmd("/usr/bin/python3 -c 'import PIL'");
}

Buffer FromImage(const RgbImage& img) {
    Buffer b;
    b.Alloc({img.w, img.h});
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) *b.At(x, y) = img.At(x, y);
    return b;
}

std::vector<int> g_progress;
bool Progress(int percent) {
    g_progress.push_back(percent);
    return true;
}

// Pillow's reading of a metafile header: "width height bbox".
std::string PillowHeader(const std::string& path, const TempDir& dir) {
    const std::string script = "import sys\nfrom PIL import Image\n"
                               "im = Image.open(sys.argv[1])\n"
                               "open(sys.argv[2], 'w').write('%d %d %s' % (im.size + "
                               "(' '.join(map(str, im.info['wmf_bbox'])),)))\n";
    const std::string out = dir / "header.txt";
    if (!RunCmd("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path) + " " + Quote(out)))
        return "";
    std::ifstream in(out);
    std::string s;
    std::getline(in, s);
    return s;
}

// The share of pixels of ours (clipped to the reference's size) within
// tolerance of the reference.
double Agreement(const Buffer& b, const RgbImage& ref, int tolerance) {
    const int w = std::min(b.Width(), ref.w), h = std::min(b.Height(), ref.h);
    std::int64_t ok = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = *b.At(x, y), e = ref.At(x, y);
            int d = 0;
            for (int sh = 0; sh < 24; sh += 8)
                d = std::max(d, std::abs(int((p >> sh) & 255) - int((e >> sh) & 255)));
            ok += d <= tolerance;
        }
    return w > 0 && h > 0 ? double(ok) / (double(w) * h) : 0;
}

// A reference rendering with its transparency put on white paper, scaled
// to w x h when given.
RgbImage Reference(const fs::path& png, const TempDir& dir, int w = 0, int h = 0) {
    const std::string script = "import sys\nfrom PIL import Image\n"
                               "im = Image.open(sys.argv[1]).convert('RGBA')\n"
                               "bg = Image.new('RGBA', im.size, (255, 255, 255, 255))\n"
                               "im = Image.alpha_composite(bg, im).convert('RGB')\n"
                               "w, h = int(sys.argv[3]), int(sys.argv[4])\n"
                               "if w: im = im.resize((w, h), Image.BOX)\n"
                               "im.save(sys.argv[2], 'PPM')\n";
    const std::string ppm = dir / "ref.ppm";
    if (!RunCmd("/usr/bin/python3 -c " + Quote(script) + " " + Quote(png.string()) + " " +
                Quote(ppm) + " " + std::to_string(w) + " " + std::to_string(h)))
        return RgbImage{};
    return ReadPnm(ppm);
}

Buffer LoadFile(const fs::path& p) {
    Buffer b;
    GFXFile::Load(b, p.string(), nullptr);
    return b;
}

} // namespace

// Saving keeps size and pixels, and reports progress(50) once each way.
TEST(MetafileFiles, RoundTripKeepsSizeAndPixels) {
    TempDir dir;
    const RgbImage img = Pattern(37, 23, 5);
    for (const char* ext : {"wmf", "emf"}) {
        Buffer src = FromImage(img);
        const std::string name = dir / (std::string("rt.") + ext);
        g_progress.clear();
        GFXFile::SetProgFunc(nullptr, Progress, nullptr);
        GFXFile::Save(src, name, nullptr, nullptr);
        EXPECT_EQ(g_progress, std::vector<int>{50}) << ext;
        g_progress.clear();
        Buffer back;
        GFXFile::Load(back, name, nullptr);
        EXPECT_EQ(g_progress, std::vector<int>{50}) << ext;
        GFXFile::SetProgFunc(nullptr, nullptr, nullptr);
        EXPECT_TRUE(SamePixels(back, img)) << ext;
        GFXFileDesc d;
        EXPECT_TRUE(GFXFile::Test(name, &d));
        EXPECT_EQ(d.Width, 37);
        EXPECT_EQ(d.Height, 23);
        EXPECT_EQ(d.BPP, 24);
    }
}

// A view's Area is what is written.
TEST(MetafileFiles, WritesTheViewArea) {
    TempDir dir;
    Buffer whole = FromImage(Pattern(20, 20, 6));
    Buffer view(whole, Rect{3, 4, 12, 9}, false);
    const std::string name = dir / "view.emf";
    GFXFile::Save(view, name, nullptr, nullptr);
    const Buffer back = LoadFile(name);
    ASSERT_EQ(back.Width(), 10);
    ASSERT_EQ(back.Height(), 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(*back.At(x, y), *whole.At(x + 3, y + 4));
}

TEST(MetafileFiles, ImageMagickRendersOurWmf) {
    if (!RunCmd("convert -version")) GTEST_SKIP() << "ImageMagick convert is not installed";
    TempDir dir;
    const RgbImage img = Pattern(61, 37, 7);
    Buffer src = FromImage(img);
    GFXFile::Save(src, dir / "out.wmf", nullptr, nullptr);
    if (!RunCmd("convert -density 96 " + Quote(dir / "out.wmf") + " -depth 8 " +
                Quote(dir / "im.ppm")))
        GTEST_SKIP() << "this ImageMagick has no WMF delegate";
    const RgbImage im = ReadPnm(dir / "im.ppm");
    EXPECT_TRUE(SamePixels(src, im));
}

// Pillow reads our headers: the WMF frame at 96 units per inch, the EMF
// bounds (inclusive) of the picture.
TEST(MetafileFiles, PillowReadsOurHeaders) {
    if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    Buffer src = FromImage(Pattern(48, 30, 8));
    GFXFile::Save(src, dir / "h.wmf", nullptr, nullptr);
    GFXFile::Save(src, dir / "h.emf", nullptr, nullptr);
    EXPECT_EQ(PillowHeader(dir / "h.wmf", dir), "36 22 0 0 48 30"); // Pillow sizes WMF at 72 dpi
    EXPECT_EQ(PillowHeader(dir / "h.emf", dir), "47 29 0 0 47 29");
}

// The references the corpus has. Tolerances: the Pillow drawing EMF
// reference is 1625 pixels wide with a thicker, smoothed outline (scaled
// down to our 110 pixels, 95 % of pixels within 48 levels); the full-test
// references are the same pictures with text and the records we do not
// draw (arcs, hatches, dashes, raster operations), so 90 % of pixels agree.
TEST(MetafileCorpus, MatchesReferenceRenderings) {
    const fs::path root(kCorpus);
    if (!fs::exists(root / "emf")) GTEST_SKIP() << "no corpus at " << kCorpus;
    if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    const Buffer drawing = LoadFile(root / "emf" / "pillow_drawing.emf");
    ASSERT_EQ(drawing.Width(), 110);
    EXPECT_GE(Agreement(drawing,
                        Reference(root / "emf/_ref/pillow_drawing_emf_ref.png", dir, 110, 110), 48),
              0.95);
    const Buffer wmf = LoadFile(root / "wmf" / "wmf2svg_fulltest.wmf");
    EXPECT_EQ(wmf.Width(), 1056);
    EXPECT_EQ(wmf.Height(), 816);
    EXPECT_GE(Agreement(wmf, Reference(root / "wmf/_ref/wmf2svg_fulltest.png", dir), 48), 0.9);
    const Buffer emf = LoadFile(root / "emf" / "wmf2svg_fulltest.emf");
    EXPECT_GE(Agreement(emf, Reference(root / "emf/_ref/wmf2svg_fulltest.png", dir), 48), 0.9);
}

// The Pillow drawing WMF: its reference is scaled to the drawing's own
// extent rather than the header's frame, so the structure is checked: a
// red disc of (1587 - 263) / 1369 * 110 = 106 pixels across, centred at
// 74, on white.
TEST(MetafileCorpus, DrawingWmfStructure) {
    const fs::path file = fs::path(kCorpus) / "wmf" / "pillow_drawing.wmf";
    if (!fs::exists(file)) GTEST_SKIP() << "no corpus at " << kCorpus;
    const Buffer b = LoadFile(file);
    ASSERT_EQ(b.Width(), 110);
    EXPECT_EQ(*b.At(74, 74), 0xFF0000u);
    EXPECT_EQ(*b.At(5, 5), 0xFFFFFFu);
    int first = 0;
    while (first < 110 && *b.At(first, 74) == 0xFFFFFFu) ++first;
    EXPECT_NEAR(first, 74 - 53, 2);
    int top = 0;
    while (top < 110 && *b.At(74, top) == 0xFFFFFFu) ++top;
    EXPECT_NEAR(top, 74 - 53, 2);
}

// Every top-level file plays to the end; its size agrees with Pillow's
// reading of the header (WMF frames at 72 dpi there, 96 here), and the
// files with more than text draw something on the paper. Files are loaded into a 512 x 512 buffer
// so the two very large pictures need no gigabyte.
// The records the players draw, which no corpus file may report as skipped.
const std::set<std::string> kDrawnRecords = {"ARC",
                                             "ARCTO",
                                             "CHORD",
                                             "PIE",
                                             "ANGLEARC",
                                             "POLYDRAW",
                                             "POLYDRAW16",
                                             "ROUNDRECT",
                                             "CREATEREGION",
                                             "SELECTCLIPREGION",
                                             "FILLREGION",
                                             "FRAMEREGION",
                                             "INVERTREGION",
                                             "PAINTREGION",
                                             "FILLRGN",
                                             "FRAMERGN",
                                             "INVERTRGN",
                                             "PAINTRGN",
                                             "EXTSELECTCLIPRGN",
                                             "EXCLUDECLIPRECT",
                                             "OFFSETCLIPRGN",
                                             "SETVIEWPORTORG",
                                             "SETVIEWPORTEXT",
                                             "OFFSETVIEWPORTORG",
                                             "SCALEVIEWPORTEXT",
                                             "SCALEWINDOWEXT",
                                             "SCALEVIEWPORTEXTEX",
                                             "SCALEWINDOWEXTEX",
                                             "BITBLT",
                                             "STRETCHBLT",
                                             "PATBLT",
                                             "MASKBLT",
                                             "PLGBLT",
                                             "TRANSPARENTBLT",
                                             "ALPHABLEND",
                                             "GRADIENTFILL",
                                             "CREATEBRUSHINDIRECT",
                                             "DIBCREATEPATTERNBRUSH",
                                             "CREATEDIBPATTERNBRUSHPT",
                                             "CREATEMONOBRUSH",
                                             "SETROP2",
                                             "SETPOLYFILLMODE",
                                             "SETARCDIRECTION",
                                             "SETBRUSHORGEX",
                                             "SELECTCLIPPATH",
                                             "SMALLTEXTOUT",
                                             "POLYTEXTOUTA",
                                             "POLYTEXTOUTW"};

TEST(MetafileCorpus, TopLevelFilesPlay) {
    const fs::path root(kCorpus);
    if (!fs::exists(root / "wmf")) GTEST_SKIP() << "no corpus at " << kCorpus;
    TempDir dir;
    int checked = 0, drawing = 0;
    for (const char* kind : {"wmf", "emf"}) {
        for (const auto& e : fs::directory_iterator(root / kind)) {
            if (!e.is_regular_file()) continue;
            const std::string name = e.path().string();
            GFXFileDesc d;
            ASSERT_TRUE(GFXFile::Test(name, &d)) << name;
            if (std::string(kind) == "wmf" && HavePillow()) {
                const std::string pil = PillowHeader(name, dir);
                const int w72 = std::stoi(pil.substr(0, pil.find(' ')));
                EXPECT_NEAR(d.Width * 72.0 / 96, w72, 1.5) << name; // Pillow truncates, we round
            }
            Buffer b;
            b.Alloc({512, 512});
            GFXFile::Load(b, name, nullptr);
            // What the file is drawn without, in the test's log; none of it
            // may be a record the player is meant to draw.
            if (!LastSkippedRecords().empty())
                std::printf("%s: skipped records: %s\n", e.path().filename().c_str(),
                            SkippedRecordsText().c_str());
            for (const SkippedRecord& r : LastSkippedRecords())
                EXPECT_EQ(kDrawnRecords.find(r.Name), kDrawnRecords.end())
                    << name << ": " << r.Name;
            bool drawn = false;
            for (int y = 0; y < std::min(512, d.Height) && !drawn; ++y)
                for (int x = 0; x < std::min(512, d.Width) && !drawn; ++x)
                    drawn = *b.At(x, y) != 0xFFFFFFu;
            drawing += drawn;
            ++checked;
        }
    }
    EXPECT_GE(checked, 80);
    // Text records are not drawn yet: the 22 text-only WMFs stay blank.
    EXPECT_GE(drawing, 55);
}

TEST(MetafileCorpus, CorruptFilesFailCleanly) {
    const fs::path root = fs::path(kCorpus) / "corrupt" / "emf";
    if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << kCorpus;
    int errors = 0;
    for (const auto& e : fs::directory_iterator(root)) {
        try {
            Buffer b;
            b.Alloc({256, 256});
            GFXFile::Load(b, e.path().string(), nullptr);
        } catch (const EStreamError&) {
            ++errors;
        }
    }
    EXPECT_GE(errors, 5);
}

// Inputs that once broke the players (from fuzzing) end cleanly.
TEST(MetafileFiles, RegressionInputs) {
    for (const char* kind : {"wmf", "emf"}) {
        const fs::path dir = fs::path(VM_TEST_DATA) / kind / "regress";
        if (!fs::exists(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir)) {
            TMemoryStream m;
            m.LoadFromFile(e.path().string());
            for (int fresh = 0; fresh < 2; ++fresh) {
                try {
                    Buffer b;
                    if (!fresh) b.Alloc({64, 64});
                    m.SetPosition(0);
                    GFXFile::GetDefaultFormat(std::string("x.") + kind)->Load(b, &m, nullptr);
                } catch (const EStreamError&) {
                }
            }
        }
    }
}
