// IFF/ILBM against netpbm: files written by ppmtoilbm (colour-mapped with 1
// to 8 planes, 24 planes, hold-and-modify, compressed or not, with a mask
// plane) decode to the pixels ilbmtoppm gives, ilbmtoppm reads our files
// back, and the corpus files decode like ilbmtoppm or fail cleanly.
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

class IffReference : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!planar::HaveTool("ilbmtoppm") || !planar::HaveTool("ppmtoilbm"))
            GTEST_SKIP() << "netpbm is not installed";
    }
    RgbImage IlbmToPpm(const std::string& iff) {
        const std::string out = dir / "ilbmtoppm.ppm";
        if (!imgtools::RunCmd("ilbmtoppm " + Quote(iff) + " > " + Quote(out))) return {};
        return imgtools::ReadPnm(out);
    }
    // Writes src, runs ppmtoilbm with options on it; returns the file.
    std::string PpmToIlbm(const RgbImage& src, const std::string& options) {
        imgtools::WritePpm(dir / "src.ppm", src);
        const std::string iff = dir / "netpbm.iff";
        EXPECT_TRUE(imgtools::RunCmd("ppmtoilbm " + options + " " + Quote(dir / "src.ppm") + " > " +
                                     Quote(iff)));
        return iff;
    }
    imgtools::TempDir dir;
};

int StoredPlanes(const std::string& path) {
    GFXFileDesc d;
    return GFXFile::Test(path, &d) ? d.BPP : -1;
}

} // namespace

TEST_F(IffReference, ColourMappedPlanesDecodeLikeIlbmtoppm) {
    unsigned seed = 1;
    for (int planes = 1; planes <= 8; ++planes)
        for (const char* method : {"byterun1", "none"}) {
            SCOPED_TRACE(std::to_string(planes) + " planes, " + method);
            const RgbImage src = planar::Picture(53 + planes, 19, 1 << planes, seed++);
            const std::string iff =
                PpmToIlbm(src, "-fixplanes " + std::to_string(planes) + " -cmethod " + method);
            EXPECT_EQ(StoredPlanes(iff), planes);
            const RgbImage ref = IlbmToPpm(iff);
            EXPECT_TRUE(imgtools::SamePixels(Decode(iff), ref));
            EXPECT_TRUE(planar::SameImage(ref, src));
        }
}

TEST_F(IffReference, TrueColourAndHoldAndModifyDecodeLikeIlbmtoppm) {
    const RgbImage src = planar::Picture(101, 23, 0, 7);
    const struct {
        const char* options;
        int planes;
    } cases[] = {{"-24force", 24},
                 {"-24force -cmethod none", 24},
                 {"-ham6", 6},
                 {"-ham8", 8},
                 {"-ham6 -cmethod none", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string iff = PpmToIlbm(src, c.options);
        EXPECT_EQ(StoredPlanes(iff), c.planes);
        EXPECT_TRUE(imgtools::SamePixels(Decode(iff), IlbmToPpm(iff)));
    }
}

TEST_F(IffReference, MaskPlaneIsSkipped) {
    const RgbImage src = planar::Picture(77, 21, 16, 11);
    {
        std::ofstream mask(dir / "mask.pbm");
        mask << "P1\n" << src.w << " " << src.h << "\n";
        for (int i = 0; i < src.w * src.h; ++i) mask << ((i * 7) % 3 ? "0\n" : "1\n");
    }
    for (const char* options : {"", "-cmethod none", "-24force"}) {
        SCOPED_TRACE(options);
        const std::string iff = PpmToIlbm(src, std::string(options) + " -maskfile " +
                                                   Quote(dir / "mask.pbm") + " -mmethod maskplane");
        const RgbImage ref = IlbmToPpm(iff);
        EXPECT_TRUE(imgtools::SamePixels(Decode(iff), ref));
        EXPECT_TRUE(planar::SameImage(ref, src));
    }
}

TEST_F(IffReference, OurFilesReadBackInIlbmtoppm) {
    const int sizes[][2] = {{97, 31}, {1, 3}, {16, 1}, {2400, 2}};
    unsigned seed = 30;
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
        const RgbImage src = planar::Picture(s[0], s[1], 0, seed++);
        Buffer b;
        planar::ToBuffer(src, b);
        const std::string iff = dir / "ours.iff";
        GFXFile::Save(b, iff, nullptr, nullptr);
        EXPECT_TRUE(planar::SameImage(IlbmToPpm(iff), src));
    }
}

// Top-level and generated corpus files decode like ilbmtoppm; where it
// rejects a file we end in a clean error too, or decode it: ilbmtoppm
// refuses colour indices beyond the colour map, which we show as black.
TEST_F(IffReference, CorpusFilesDecodeLikeIlbmtoppm) {
    const std::string root = std::string(VM_CORPUS_DIR) + "/ilbm";
    std::vector<std::string> files = planar::CorpusFiles(root);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << root;
    for (const std::string& f : planar::CorpusFiles(root + "/generated")) files.push_back(f);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const RgbImage ref = IlbmToPpm(f);
        if (ref.rgb.empty()) {
            Buffer b;
            try {
                GFXFile::Load(b, f, nullptr);
            } catch (const EFilerError&) {
            }
            continue;
        }
        EXPECT_TRUE(imgtools::SamePixels(Decode(f), ref));
    }
}

TEST(IffCorpus, DamagedAndQuestionableFilesEndCleanly) {
    const std::string root = std::string(VM_CORPUS_DIR);
    std::vector<std::string> files = planar::CorpusFiles(root + "/corrupt/ilbm");
    if (files.empty()) GTEST_SKIP() << "no corpus at " << root;
    for (const std::string& f : planar::CorpusFiles(root + "/ilbm/questionable"))
        files.push_back(f);
    GFXFile* iff = GFXFile::GetDefaultFormat("x.iff");
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        TMemoryStream s;
        s.LoadFromFile(f);
        Buffer b;
        try {
            iff->Load(b, &s, nullptr);
        } catch (const EStreamError&) {
        }
    }
}

// The command-line converter goes through the registry both ways.
TEST_F(IffReference, PixconvConvertsBetweenPcxAndIff) {
    const std::string pixconv = std::string(VM_BIN_DIR) + "/pixconv";
    if (!std::filesystem::exists(pixconv)) GTEST_SKIP() << "pixconv is not built";
    const RgbImage src = planar::Picture(61, 17, 0, 50);
    Buffer b;
    planar::ToBuffer(src, b);
    GFXFile::Save(b, dir / "a.pcx", nullptr, nullptr);
    ASSERT_TRUE(imgtools::RunCmd(Quote(pixconv) + " convert " + Quote(dir / "a.pcx") + " " +
                                 Quote(dir / "b.ilbm")));
    EXPECT_TRUE(planar::SameImage(IlbmToPpm(dir / "b.ilbm"), src));
    ASSERT_TRUE(imgtools::RunCmd(Quote(pixconv) + " convert " + Quote(dir / "b.ilbm") + " " +
                                 Quote(dir / "c.pcx")));
    EXPECT_TRUE(imgtools::SamePixels(Decode(dir / "c.pcx"), src));
}
