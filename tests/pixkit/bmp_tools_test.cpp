// BMP files written during the run by ImageMagick, netpbm and Pillow decode
// to the pixels those tools decode; the tools read our files back; the
// shared corpus decodes like its reference renderings or fails cleanly.
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace pixkit;
using namespace imgtools;

namespace {

bool Have(const std::string& probe) {
    return RunCmd(probe);
}

struct Variant {
    std::string make;  // shell command writing in.bmp from src.ppm
    int tolerance = 0; // colour difference allowed (fields narrower than 8 bits)
};

// Makes each variant with its tool, decodes it with decode (a command
// writing out.ppm from in.bmp) and with GFXFile::Load, and compares.
void CheckVariants(const std::vector<Variant>& variants, const std::string& decode) {
    TempDir t;
    WritePpm(t / "src.ppm", Pattern(37, 23));
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.make);
        std::filesystem::remove(t / "in.bmp");
        ASSERT_TRUE(RunCmd("cd " + Quote(t.path.string()) + " && " + v.make));
        ASSERT_TRUE(RunCmd("cd " + Quote(t.path.string()) + " && " + decode));
        Buffer b;
        GFXFile::Load(b, t / "in.bmp", nullptr);
        EXPECT_TRUE(SamePixels(b, ReadPnm(t / "out.ppm"), v.tolerance));
    }
}

} // namespace

TEST(BmpTools, ImageMagickFilesDecodeLikeImageMagick) {
    if (!Have("convert -version")) GTEST_SKIP() << "ImageMagick convert is not installed";
    CheckVariants({{"convert src.ppm BMP2:in.bmp"}, // 12-byte core header
                   {"convert src.ppm BMP3:in.bmp"},
                   {"convert src.ppm BMP:in.bmp"}, // 124-byte header
                   {"convert src.ppm -colors 2 BMP3:in.bmp"},
                   {"convert src.ppm -colors 16 BMP3:in.bmp"},
                   {"convert src.ppm -colors 16 BMP2:in.bmp"},
                   {"convert src.ppm -colors 200 BMP3:in.bmp"},
                   {"convert src.ppm -colors 200 -compress RLE BMP3:in.bmp"},
                   {"convert src.ppm -colors 12 -compress RLE BMP3:in.bmp"},
                   {"convert src.ppm -define bmp:subtype=RGB565 BMP:in.bmp", 1},
                   {"convert src.ppm -define bmp:subtype=RGB555 BMP:in.bmp", 1},
                   {"convert src.ppm -alpha set -channel A -fx 0.5 BMP:in.bmp"}},
                  "convert in.bmp -alpha off -type TrueColor -depth 8 ppm:out.ppm");
}

TEST(BmpTools, NetpbmFilesDecodeLikeBmptopnm) {
    if (!Have("ppmtobmp -version")) GTEST_SKIP() << "netpbm is not installed";
    CheckVariants({{"ppmtobmp -windows src.ppm > in.bmp"},
                   {"ppmtobmp -os2 src.ppm > in.bmp"},
                   {"pnmquant 200 src.ppm | ppmtobmp -bpp=8 > in.bmp"},
                   {"pnmquant 200 src.ppm | ppmtobmp -os2 -bpp=8 > in.bmp"},
                   {"pnmquant 16 src.ppm | ppmtobmp -bpp=4 > in.bmp"},
                   {"pnmquant 2 src.ppm | ppmtobmp -bpp=1 > in.bmp"}},
                  "bmptopnm in.bmp | ppmtoppm > out.ppm");
}

TEST(BmpTools, PillowFilesDecodeLikePillow) {
    if (!Have("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "Pillow is not installed";
    const std::string py = "/usr/bin/python3 -c \"from PIL import Image; "
                           "Image.open('src.ppm').convert('%s').save('in.bmp')\"";
    std::vector<Variant> variants;
    for (const char* mode : {"1", "L", "P", "RGB", "RGBA"}) {
        std::string cmd = py;
        cmd.replace(cmd.find("%s"), 2, mode);
        variants.push_back({cmd});
    }
    CheckVariants(variants, "/usr/bin/python3 -c \"from PIL import Image; "
                            "Image.open('in.bmp').convert('RGB').save('out.ppm')\"");
}

TEST(BmpTools, ToolsReadOurFilesBack) {
    TempDir t;
    const RgbImage pat = Pattern(37, 23, 5);
    Buffer b;
    b.Alloc({pat.w, pat.h});
    for (int y = 0; y < pat.h; ++y)
        for (int x = 0; x < pat.w; ++x) *b.At(x, y) = pat.At(x, y) | (Pixel(x & 3) << 24);
    GFXFile::Save(b, t / "ours.bmp", nullptr, nullptr);
    const std::string dir = "cd " + Quote(t.path.string()) + " && ";
    if (Have("convert -version")) {
        ASSERT_TRUE(RunCmd(dir + "convert ours.bmp -type TrueColor -depth 8 ppm:im.ppm"));
        EXPECT_TRUE(SamePixels(b, ReadPnm(t / "im.ppm"))) << "ImageMagick";
    }
    if (Have("bmptopnm -version")) {
        ASSERT_TRUE(RunCmd(dir + "bmptopnm ours.bmp > pbm.ppm"));
        EXPECT_TRUE(SamePixels(b, ReadPnm(t / "pbm.ppm"))) << "netpbm";
    }
    EXPECT_TRUE(SamePixels(b, PillowDecode(t / "ours.bmp", t / "pil.ppm"))) << "Pillow";
}

namespace {

const std::string kCorpus = VM_CORPUS_DIR;

// The reference rendering of a corpus file: the one SOURCES.md names, else
// image-rs's rendering of the same file name, else empty.
std::string ReferenceOf(const std::string& rel) {
    std::ifstream in(kCorpus + "/SOURCES.md");
    const std::string key = "| `" + rel + "`";
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        const auto at = line.find("Reference render: ");
        if (at == std::string::npos) break;
        const auto start = at + 18;
        const auto end = line.find(".png", start);
        if (end != std::string::npos) return kCorpus + "/" + line.substr(start, end + 4 - start);
        break;
    }
    const std::string name = std::filesystem::path(rel).filename().string();
    const std::string imagers = kCorpus + "/bmp/_ref/image-rs/" + name + ".png";
    return std::filesystem::exists(imagers) ? imagers : std::string();
}

std::vector<std::string> CorpusFiles(const std::string& folder) {
    std::vector<std::string> files;
    const std::string dir = kCorpus + "/bmp/" + folder;
    if (!std::filesystem::is_directory(dir)) return files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_regular_file()) files.push_back(folder + "/" + e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

// What the file should decode to: its reference rendering when there is
// one of the image's size (renderings of non-square pixels are stretched),
// else Pillow's decoding, else ImageMagick's. Fields narrower than 8 bits
// are widened by bit repetition here; renderers that scale arithmetically
// differ by one step at most, ImageMagick leaves the low bits 0.
struct Expectation {
    RgbImage image;
    int tolerance = 0;
};
Expectation Expected(const std::string& rel, const GFXFileDesc& d, const TempDir& t) {
    const std::string path = kCorpus + "/bmp/" + rel;
    const std::string ref = ReferenceOf("bmp/" + rel);
    Expectation e;
    e.tolerance = d.BPP == 16 ? 1 : 0;
    if (!ref.empty()) e.image = PillowDecode(ref, t / "ref.ppm");
    if (e.image.w != d.Width || e.image.h != d.Height) e.image = PillowDecode(path, t / "ref.ppm");
    if (e.image.w == 0) {
        e.image = ImageMagickDecode(path, t / "ref.ppm");
        e.tolerance = d.BPP == 16 ? 15 : 0;
    }
    return e;
}

} // namespace

TEST(BmpCorpus, GoodAndGeneratedFilesMatchTheirReferences) {
    if (!std::filesystem::is_directory(kCorpus + "/bmp"))
        GTEST_SKIP() << "no corpus at " << kCorpus;
    TempDir t;
    std::vector<std::string> files = CorpusFiles("good");
    for (const std::string& f : CorpusFiles("generated")) files.push_back(f);
    for (const std::string& rel : files) {
        SCOPED_TRACE(rel);
        const std::string path = kCorpus + "/bmp/" + rel;
        GFXFileDesc d;
        ASSERT_TRUE(GFXFile::Test(path, &d));
        Buffer b;
        GFXFile::Load(b, path, nullptr);
        const Expectation want = Expected(rel, d, t);
        EXPECT_TRUE(SamePixels(b, want.image, want.tolerance));
    }
}

TEST(BmpCorpus, BadAndQuestionableFilesFailCleanly) {
    if (!std::filesystem::is_directory(kCorpus + "/bmp"))
        GTEST_SKIP() << "no corpus at " << kCorpus;
    std::vector<std::string> files = CorpusFiles("bad");
    for (const std::string& f : CorpusFiles("questionable")) files.push_back(f);
    ASSERT_FALSE(files.empty());
    for (const std::string& rel : files) {
        SCOPED_TRACE(rel);
        Buffer b;
        try {
            GFXFile::Load(b, kCorpus + "/bmp/" + rel, nullptr);
        } catch (const Exception&) {
            // A clean error: EInvalidImage or a stream error.
        }
        // Whatever was decoded is a buffer of sane size.
        if (!b.Empty()) {
            EXPECT_LE(std::int64_t(b.Width()) * b.Height(), std::int64_t(1) << 28);
        }
    }
}
