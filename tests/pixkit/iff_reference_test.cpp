// IFF/ILBM against netpbm: files written by ppmtoilbm (colour-mapped with 1
// to 8 planes, 24 planes, hold-and-modify, compressed or not, with a mask
// plane) decode to the pixels ilbmtoppm gives, ilbmtoppm reads our files
// back, and the corpus files decode like ilbmtoppm or fail cleanly.
#include <pixkit/gfxfile.h>

#include "reference_tools.h"

#include <gtest/gtest.h>

using namespace pixkit;
using reftools::Image;

namespace {

Image Decode(const std::string& path, GFXtra32* x = nullptr) {
    Buffer b;
    GFXFile::Load(b, path, x);
    return reftools::FromBuffer(b);
}

class IffReference : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!reftools::HaveTool("ilbmtoppm") || !reftools::HaveTool("ppmtoilbm"))
            GTEST_SKIP() << "netpbm is not installed";
    }
    Image IlbmToPpm(const std::string& iff) {
        const std::string out = dir / "ilbmtoppm.ppm";
        if (!reftools::Run("ilbmtoppm '" + iff + "' > '" + out + "'")) return {};
        return reftools::ReadPnm(out);
    }
    // Writes src, runs ppmtoilbm with options on it; returns the file.
    std::string PpmToIlbm(const Image& src, const std::string& options) {
        reftools::WritePpm(dir / "src.ppm", src);
        const std::string iff = dir / "netpbm.iff";
        EXPECT_TRUE(
            reftools::Run("ppmtoilbm " + options + " '" + (dir / "src.ppm") + "' > '" + iff + "'"));
        return iff;
    }
    reftools::TempDir dir;
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
            const Image src = reftools::TestPicture(53 + planes, 19, 1 << planes, seed++);
            const std::string iff =
                PpmToIlbm(src, "-fixplanes " + std::to_string(planes) + " -cmethod " + method);
            EXPECT_EQ(StoredPlanes(iff), planes);
            const Image ref = IlbmToPpm(iff);
            EXPECT_TRUE(reftools::SamePixels(Decode(iff), ref));
            EXPECT_TRUE(reftools::SamePixels(ref, src));
        }
}

TEST_F(IffReference, TrueColourAndHoldAndModifyDecodeLikeIlbmtoppm) {
    const Image src = reftools::TestPicture(101, 23, 0, 7);
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
        EXPECT_TRUE(reftools::SamePixels(Decode(iff), IlbmToPpm(iff)));
    }
}

TEST_F(IffReference, MaskPlaneIsSkipped) {
    const Image src = reftools::TestPicture(77, 21, 16, 11);
    {
        std::ofstream mask(dir / "mask.pbm");
        mask << "P1\n" << src.w << " " << src.h << "\n";
        for (int i = 0; i < src.w * src.h; ++i) mask << ((i * 7) % 3 ? "0\n" : "1\n");
    }
    for (const char* options : {"", "-cmethod none", "-24force"}) {
        SCOPED_TRACE(options);
        const std::string iff = PpmToIlbm(src, std::string(options) + " -maskfile '" +
                                                   (dir / "mask.pbm") + "' -mmethod maskplane");
        const Image ref = IlbmToPpm(iff);
        EXPECT_TRUE(reftools::SamePixels(Decode(iff), ref));
        EXPECT_TRUE(reftools::SamePixels(ref, src));
    }
}

TEST_F(IffReference, OurFilesReadBackInIlbmtoppm) {
    const int sizes[][2] = {{97, 31}, {1, 3}, {16, 1}, {2400, 2}};
    unsigned seed = 30;
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
        const Image src = reftools::TestPicture(s[0], s[1], 0, seed++);
        Buffer b;
        reftools::ToBuffer(src, b);
        const std::string iff = dir / "ours.iff";
        GFXFile::Save(b, iff, nullptr, nullptr);
        EXPECT_TRUE(reftools::SamePixels(IlbmToPpm(iff), src));
    }
}

// Top-level and generated corpus files decode like ilbmtoppm; where it
// rejects a file we end in a clean error too, or decode it: ilbmtoppm
// refuses colour indices beyond the colour map, which we show as black.
TEST_F(IffReference, CorpusFilesDecodeLikeIlbmtoppm) {
    const std::string root = std::string(VM_CORPUS_DIR) + "/ilbm";
    std::vector<std::string> files = reftools::CorpusFiles(root);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << root;
    for (const std::string& f : reftools::CorpusFiles(root + "/generated")) files.push_back(f);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const Image ref = IlbmToPpm(f);
        if (ref.px.empty()) {
            Buffer b;
            try {
                GFXFile::Load(b, f, nullptr);
            } catch (const EFilerError&) {
            }
            continue;
        }
        EXPECT_TRUE(reftools::SamePixels(Decode(f), ref));
    }
}

TEST(IffCorpus, DamagedAndQuestionableFilesEndCleanly) {
    const std::string root = std::string(VM_CORPUS_DIR);
    std::vector<std::string> files = reftools::CorpusFiles(root + "/corrupt/ilbm");
    if (files.empty()) GTEST_SKIP() << "no corpus at " << root;
    for (const std::string& f : reftools::CorpusFiles(root + "/ilbm/questionable"))
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
