// Icons written by ImageMagick and Pillow during the run (8/4/32-bit DIB
// entries with and without transparency, PNG entries up to 256 x 256)
// decode to the pixels those tools give for the entry we choose, and the
// corpus icons decode like their references.
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

using namespace pixkit;
using namespace imgtools;

namespace {

bool Have(const std::string& cmd) {
    return RunCmd(cmd);
}

// A tool's RGBA decode with the icon rule applied: fully transparent
// pixels are black, other alpha is dropped. frame selects ImageMagick's
// frame; an empty frame decodes through Pillow (which takes the largest
// entry itself).
RgbImage ReferenceDecode(const std::string& path, const std::string& frame, const TempDir& dir) {
    std::string rgba = path;
    if (!frame.empty()) {
        rgba = dir / "frame.png";
        if (!RunCmd("convert " + Quote(path + "[" + frame + "]") + " " + Quote(rgba)))
            return RgbImage{};
    }
    const std::string script =
        "import sys\nfrom PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "if hasattr(im, 'ico'): im = im.ico.getimage(max(im.ico.sizes(), key=lambda s: s[0] * "
        "s[1]))\n"
        "im = im.convert('RGBA')\n"
        "out = Image.new('RGB', im.size)\n"
        "out.putdata([(0, 0, 0) if a == 0 else (r, g, b) for r, g, b, a in im.getdata()])\n"
        "out.save(sys.argv[2], 'PPM')\n";
    const std::string ppm = dir / "ref.ppm";
    if (!RunCmd("/usr/bin/python3 -c " + Quote(script) + " " + Quote(rgba) + " " + Quote(ppm)))
        return RgbImage{};
    return ReadPnm(ppm);
}

void LoadFile(const std::string& path, Buffer& b) {
    std::string name = path;
    GFXFile::Load(b, name, nullptr);
}

// Writes the test sources: an opaque 64 x 64 pattern, and the same with a
// transparent corner.
void WriteSources(const TempDir& dir) {
    WritePpm(dir / "p.ppm", Pattern(64, 64, 3));
    const std::string script = "import sys\nfrom PIL import Image\n"
                               "im = Image.open(sys.argv[1]).convert('RGBA')\n"
                               "px = im.load()\n"
                               "for y in range(10):\n"
                               "    for x in range(12): px[x, y] = (10, 20, 30, 0)\n"
                               "im.save(sys.argv[2])\n";
    ASSERT_TRUE(RunCmd("/usr/bin/python3 -c " + Quote(script) + " " + Quote(dir / "p.ppm") + " " +
                       Quote(dir / "pa.png")));
}

struct Written {
    const char* name;
    const char* command; // run in the temporary directory
    const char* frame;   // ImageMagick's frame of the largest entry
};

const Written kImageMagick[] = {
    {"im8.ico", "convert p.ppm -colors 100 -type Palette im8.ico", "0"},
    {"im4.ico", "convert p.ppm -colors 12 im4.ico", "0"},
    {"im32.ico", "convert pa.png im32.ico", "0"},
    {"imauto.ico", "convert pa.png -define icon:auto-resize=256,48,32,16 imauto.ico", "0"},
};

const Written kPillow[] = {
    {"pilbmp.ico",
     "/usr/bin/python3 -c \"from PIL import Image; Image.open('pa.png').save('pilbmp.ico', "
     "sizes=[(16, 16), (32, 32), (64, 64)], bitmap_format='bmp')\"",
     "2"},
    {"pilpng.ico",
     "/usr/bin/python3 -c \"from PIL import Image; Image.open('pa.png').resize((256, 256))"
     ".save('pilpng.ico', sizes=[(16, 16), (48, 48), (256, 256)])\"",
     "2"},
};

void CheckWritten(const Written& w, const TempDir& dir) {
    ASSERT_TRUE(RunCmd("cd " + Quote(dir.path.string()) + " && " + w.command)) << w.command;
    Buffer b;
    LoadFile(dir / w.name, b);
    EXPECT_TRUE(SamePixels(b, ReferenceDecode(dir / w.name, "", dir))) << w.name << " vs Pillow";
    EXPECT_TRUE(SamePixels(b, ReferenceDecode(dir / w.name, w.frame, dir)))
        << w.name << " vs ImageMagick";
}

} // namespace

TEST(IcoTools, ImageMagickIconsDecodeLikeTheTools) {
    if (!Have("convert -version")) GTEST_SKIP() << "ImageMagick convert is not installed";
    if (!Have("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    WriteSources(dir);
    for (const Written& w : kImageMagick) CheckWritten(w, dir);
}

TEST(IcoTools, PillowIconsDecodeLikeTheTools) {
    if (!Have("convert -version")) GTEST_SKIP() << "ImageMagick convert is not installed";
    if (!Have("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    WriteSources(dir);
    for (const Written& w : kPillow) CheckWritten(w, dir);
}

namespace {

const std::string kCorpus = VM_CORPUS_DIR;
namespace fs = std::filesystem;

std::vector<fs::path> Files(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file()) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// Pixels that differ from ref; with blackAllowed, a black pixel of ours
// where ref has colour is accepted (files whose mask the reference does not
// apply: Pillow reads cursors without their AND mask, and the mask of the
// V5 icon from other bytes than the entry's).
int Differences(const Buffer& b, const RgbImage& ref, bool blackAllowed) {
    if (ref.w != b.Width() || ref.h != b.Height()) return -1;
    int bad = 0;
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            const Pixel p = *b.At(x, y);
            if (p != ref.At(x, y) && !(blackAllowed && (p == 0 || ref.At(x, y) == 0))) ++bad;
        }
    return bad;
}

} // namespace

// Files with the peer's own rendering of the chosen entry match it exactly.
TEST(IcoCorpus, MatchesReferenceRenderings) {
    const fs::path refs = fs::path(kCorpus) / "ico" / "_ref" / "image-rs";
    if (!fs::exists(refs)) GTEST_SKIP() << "no corpus at " << kCorpus;
    if (!Have("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    for (const fs::path& ref : Files(refs)) {
        const std::string icon = "image-rs_" + ref.stem().string(); // x.ico.png -> x.ico
        Buffer b;
        LoadFile((fs::path(kCorpus) / "ico" / icon).string(), b);
        EXPECT_EQ(Differences(b, ReferenceDecode(ref.string(), "", dir), false), 0) << icon;
    }
}

// The other top-level and generated files decode like Pillow's reading.
TEST(IcoCorpus, DecodesLikePillow) {
    const fs::path root = fs::path(kCorpus) / "ico";
    if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << kCorpus;
    if (!Have("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    std::vector<fs::path> files = Files(root);
    const std::vector<fs::path> generated = Files(root / "generated");
    files.insert(files.end(), generated.begin(), generated.end());
    int checked = 0;
    for (const fs::path& f : files) {
        const std::string name = f.filename().string();
        // Pillow picks the other of two equal entries; its reference is above.
        if (name == "image-rs_two-entry-order-test.ico") continue;
        const bool maskDiffers = f.extension() == ".cur" || name == "image-rs_bmp_v5_with_icc.ico";
        Buffer b;
        LoadFile(f.string(), b);
        EXPECT_EQ(Differences(b, ReferenceDecode(f.string(), "", dir), maskDiffers), 0) << name;
        ++checked;
    }
    EXPECT_GE(checked, 30);
}

// Broken files end in a clean error or a partial image.
TEST(IcoCorpus, CorruptFilesFailCleanly) {
    const fs::path root = fs::path(kCorpus) / "corrupt" / "ico";
    if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << kCorpus;
    int errors = 0;
    for (const fs::path& f : Files(root)) {
        try {
            Buffer b;
            LoadFile(f.string(), b);
            EXPECT_LE(std::int64_t(b.Width()) * b.Height(), 1 << 20) << f;
        } catch (const EStreamError&) {
            ++errors;
        }
    }
    EXPECT_GE(errors, 5);
}
