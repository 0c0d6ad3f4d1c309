// PCX against independent tools: files written by netpbm's ppmtopcx and by
// ImageMagick decode to the pixels pcxtoppm gives, our files read back the
// same in pcxtoppm and ImageMagick, and the corpus files decode like their
// references or fail cleanly.
#include <pixkit/gfxfile.h>

#include "planar_test_images.h"

#include <gtest/gtest.h>

using namespace pixkit;
using imgtools::Quote;
using imgtools::RgbImage;

namespace {

Buffer Decode(const std::string& path, GFXtra32* x = nullptr) {
    Buffer b;
    GFXFile::Load(b, path, x);
    return b;
}

int StoredBpp(const std::string& path) {
    GFXFileDesc d;
    return GFXFile::Test(path, &d) ? d.BPP : -1;
}

class PcxReference : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!planar::HaveTool("pcxtoppm") || !planar::HaveTool("ppmtopcx"))
            GTEST_SKIP() << "netpbm is not installed";
    }
    RgbImage PcxToPpm(const std::string& pcx) {
        const std::string out = dir / "pcxtoppm.ppm";
        if (!imgtools::RunCmd("pcxtoppm " + Quote(pcx) + " > " + Quote(out))) return {};
        return imgtools::ReadPnm(out);
    }
    imgtools::TempDir dir;
};

struct NetpbmCase {
    int colours; // 0: true colour
    const char* options;
    int bpp; // the layout the options give
};

} // namespace

TEST_F(PcxReference, NetpbmLayoutsDecodeLikePcxtoppm) {
    const NetpbmCase cases[] = {
        {2, "", 1},          {4, "", 2},         {8, "", 3},         {16, "", 4},
        {4, "-planes=2", 2}, {4, "-packed", 2},  {16, "-packed", 4}, {200, "", 8},
        {16, "-8bit", 8},    {16, "-24bit", 24}, {0, "", 24},
    };
    unsigned seed = 1;
    for (const NetpbmCase& c : cases) {
        SCOPED_TRACE(std::string("colours ") + std::to_string(c.colours) + " " + c.options);
        const RgbImage src = planar::Picture(75, 41, c.colours, seed++);
        imgtools::WritePpm(dir / "src.ppm", src);
        const std::string pcx = dir / "netpbm.pcx";
        ASSERT_TRUE(imgtools::RunCmd(std::string("ppmtopcx ") + c.options + " " +
                                     Quote(dir / "src.ppm") + " > " + Quote(pcx)));
        EXPECT_EQ(StoredBpp(pcx), c.bpp);
        const RgbImage ref = PcxToPpm(pcx);
        EXPECT_TRUE(imgtools::SamePixels(Decode(pcx), ref));
        EXPECT_TRUE(planar::SameImage(ref, src));
    }
}

TEST_F(PcxReference, WindowOriginBecomesTheHotSpot) {
    const RgbImage src = planar::Picture(20, 9, 16, 3);
    imgtools::WritePpm(dir / "src.ppm", src);
    const std::string pcx = dir / "pos.pcx";
    ASSERT_TRUE(imgtools::RunCmd("ppmtopcx -xpos=37 -ypos=5 " + Quote(dir / "src.ppm") + " > " +
                                 Quote(pcx)));
    GFXtra32 x{0, 0, 0, 0, 1};
    EXPECT_TRUE(imgtools::SamePixels(Decode(pcx, &x), src));
    EXPECT_EQ(x.HotX, 37);
    EXPECT_EQ(x.HotY, 5);
}

TEST_F(PcxReference, ImageMagickFilesDecodeLikePcxtoppm) {
    if (!planar::HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    const struct {
        int colours;
        const char* options;
    } cases[] = {{0, ""}, {120, "-type Palette"}, {2, "-monochrome"}, {16, "-type Palette"}};
    unsigned seed = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const RgbImage src = planar::Picture(93, 30, c.colours, seed++);
        imgtools::WritePpm(dir / "src.ppm", src);
        const std::string pcx = dir / "magick.pcx";
        ASSERT_TRUE(imgtools::RunCmd("convert " + Quote(dir / "src.ppm") + " " + c.options + " " +
                                     Quote("PCX:" + pcx)));
        EXPECT_TRUE(imgtools::SamePixels(Decode(pcx), PcxToPpm(pcx)));
    }
}

TEST_F(PcxReference, OurFilesReadBackInPcxtoppmAndImageMagick) {
    const bool magick = planar::HaveTool("convert");
    const int sizes[][2] = {{127, 33}, {1, 5}, {300, 2}};
    unsigned seed = 40;
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
        const RgbImage src = planar::Picture(s[0], s[1], 0, seed++);
        Buffer b;
        planar::ToBuffer(src, b);
        const std::string pcx = dir / "ours.pcx";
        GFXFile::Save(b, pcx, nullptr, nullptr);
        EXPECT_TRUE(planar::SameImage(PcxToPpm(pcx), src));
        if (!magick) continue;
        ASSERT_TRUE(
            imgtools::RunCmd("convert " + Quote(pcx) + " " + Quote("PPM:" + (dir / "magick.ppm"))));
        EXPECT_TRUE(planar::SameImage(imgtools::ReadPnm(dir / "magick.ppm"), src));
    }
}

// Top-level and generated corpus files decode like pcxtoppm; where pcxtoppm
// rejects a file, so do we, with a clean error.
TEST_F(PcxReference, CorpusFilesDecodeLikePcxtoppm) {
    const std::string root = std::string(VM_CORPUS_DIR) + "/pcx";
    std::vector<std::string> files = planar::CorpusFiles(root);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << root;
    for (const std::string& f : planar::CorpusFiles(root + "/generated")) files.push_back(f);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const RgbImage ref = PcxToPpm(f);
        if (ref.rgb.empty()) {
            Buffer b;
            EXPECT_THROW(GFXFile::Load(b, f, nullptr), EFilerError);
            continue;
        }
        EXPECT_TRUE(imgtools::SamePixels(Decode(f), ref));
    }
}

// The corpus's own renderings. CGA_BW.PCX is left out: its header palette
// says red and black, which pcxtoppm shows as well, while its rendering
// shows the black and white of a CGA screen in 640 x 200 mode.
TEST_F(PcxReference, CorpusFilesMatchTheirRenderings) {
    const std::string root = std::string(VM_CORPUS_DIR) + "/pcx";
    const std::vector<std::string> refs = planar::CorpusFiles(root + "/_ref");
    if (refs.empty()) GTEST_SKIP() << "no corpus at " << root;
    if (!planar::HaveTool("pngtopnm")) GTEST_SKIP() << "pngtopnm is not installed";
    int compared = 0;
    for (const std::string& png : refs) {
        const std::filesystem::path p(png);
        if (p.extension() != ".png" || p.stem() == "CGA_BW") continue;
        std::string pcx;
        for (const char* ext : {".pcx", ".PCX"})
            if (std::filesystem::exists(root + "/" + p.stem().string() + ext))
                pcx = root + "/" + p.stem().string() + ext;
        if (pcx.empty()) continue;
        SCOPED_TRACE(pcx);
        const std::string ppm = dir / "ref.ppm";
        ASSERT_TRUE(imgtools::RunCmd("pngtopnm " + Quote(png) + " > " + Quote(ppm)));
        EXPECT_TRUE(imgtools::SamePixels(Decode(pcx), imgtools::ReadPnm(ppm)));
        ++compared;
    }
    EXPECT_GE(compared, 6);
}

TEST(PcxCorpus, DamagedAndQuestionableFilesEndCleanly) {
    const std::string root = std::string(VM_CORPUS_DIR);
    std::vector<std::string> files = planar::CorpusFiles(root + "/corrupt/pcx");
    if (files.empty()) GTEST_SKIP() << "no corpus at " << root;
    for (const std::string& f : planar::CorpusFiles(root + "/pcx/questionable")) files.push_back(f);
    GFXFile* pcx = GFXFile::GetDefaultFormat("x.pcx");
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        TMemoryStream s;
        s.LoadFromFile(f);
        Buffer b;
        try {
            pcx->Load(b, &s, nullptr);
        } catch (const EStreamError&) {
        }
    }
}
