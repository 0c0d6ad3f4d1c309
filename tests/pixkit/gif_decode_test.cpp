// GIF reading against independent decoders on files that ImageMagick,
// giflib and Pillow write during the run: every image of multi-image and
// interlaced files, the image count, and what Load reports besides pixels.
#include "gif_test_util.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <random>

using namespace pixkit;
using namespace giftest;

namespace {

Buffer LoadImage(const std::string& path, int image, GFXtra32* extra = nullptr) {
    GFXtra32 x{0, 0, 0, 0, image};
    Buffer b;
    GFXFile::Load(b, path, extra != nullptr ? extra : &x);
    return b;
}

// Every image of gif decodes like each tool's own decode, and the image
// count matches each tool's.
void ExpectMatchesTools(const std::string& gif) {
    const int count = GFXFile::GetImgCount(gif);
    std::vector<Buffer> ours(static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) {
        GFXtra32 x{0, 0, 0, 0, n};
        GFXFile::Load(ours[static_cast<std::size_t>(n - 1)], gif, &x);
    }
    for (const char* tool : kTools) {
        std::vector<Frame> frames;
        ASSERT_TRUE(DecodeWith(tool, gif, frames)) << tool << " cannot read " << gif;
        ASSERT_EQ(count, static_cast<int>(frames.size())) << tool;
        for (int n = 0; n < count; ++n)
            EXPECT_TRUE(imgtools::SamePixels(ours[static_cast<std::size_t>(n)],
                                             frames[static_cast<std::size_t>(n)].Rgb))
                << tool << " image " << n + 1;
    }
}

// A giflib dump (the text gifbuild reads) of random images with a global
// table of 256 colours; images flagged local get their own 16-entry table.
struct DumpImage {
    int W, H, Left, Top;
    bool Interlaced;
    bool Local;
};

std::string GiflibDump(int sw, int sh, int background, const std::vector<DumpImage>& images,
                       unsigned seed) {
    std::mt19937 rng(seed);
    std::ostringstream out;
    out << "screen width " << sw << "\nscreen height " << sh << "\nscreen colors 256\n"
        << "screen background " << background << "\npixel aspect byte 0\n\nscreen map\n";
    auto entry = [&](int r, int g, int b) { out << "\trgb " << r << " " << g << " " << b << "\n"; };
    for (int i = 0; i < 256; ++i) entry(rng() & 255, rng() & 255, rng() & 255);
    out << "end\n\n";
    int n = 0;
    for (const DumpImage& im : images) {
        out << "image # " << ++n << "\nimage left " << im.Left << "\nimage top " << im.Top << "\n";
        if (im.Interlaced) out << "image interlaced\n";
        if (im.Local) {
            out << "image map\n";
            for (int i = 0; i < 16; ++i) entry(i * 16, 40 + i, 255 - i * 3);
            out << "end\n";
        }
        out << "image bits " << im.W << " by " << im.H << " hex\n";
        const unsigned colours = im.Local ? 16 : 256;
        for (int y = 0; y < im.H; ++y) {
            for (int x = 0; x < im.W; ++x) {
                // Flat patches among noise: long strings and a full table.
                const unsigned v = (x / 9 + y / 4) % 3 ? rng() % colours : (x / 9) % colours;
                out << "0123456789abcdef"[v >> 4] << "0123456789abcdef"[v & 15];
            }
            out << "\n";
        }
        out << "\n";
    }
    return out.str();
}

std::string BuildWithGiflib(const TempDir& dir, const std::string& name, const std::string& dump) {
    std::ofstream(dir / (name + ".txt")) << dump;
    const std::string gif = dir / (name + ".gif");
    EXPECT_TRUE(imgtools::RunCmd("gifbuild " + Quote(dir / (name + ".txt")) + " > " + Quote(gif)));
    return gif;
}

} // namespace

TEST(GifToolFiles, GiflibMultiImageLocalTablesAndInterlace) {
    TempDir dir;
    const std::string gif = BuildWithGiflib(dir, "multi",
                                            GiflibDump(300, 200, 3,
                                                       {{300, 200, 0, 0, true, false},
                                                        {120, 77, 7, 5, false, true},
                                                        {61, 199, 200, 1, true, true},
                                                        {1, 1, 0, 0, false, false}},
                                                       11));
    ExpectMatchesTools(gif);
}

TEST(GifToolFiles, ImageMagickAnimationAndInterlace) {
    TempDir dir;
    const int sizes[3][2] = {{97, 64}, {97, 64}, {40, 33}};
    std::string inputs;
    for (int i = 0; i < 3; ++i) {
        const std::string ppm = dir / ("f" + std::to_string(i) + ".ppm");
        imgtools::WritePpm(
            ppm, ToRgb(sizes[i][0], sizes[i][1],
                       RandomPixels(std::size_t(sizes[i][0]) * sizes[i][1], 40 + 60 * i, 7 + i)));
        inputs += " " + Quote(ppm);
    }
    const std::string anim = dir / "anim.gif", interlaced = dir / "interlaced.gif";
    ASSERT_TRUE(
        imgtools::RunCmd("/usr/bin/convert -delay 10" + inputs + " -loop 0 " + Quote(anim)));
    ASSERT_TRUE(
        imgtools::RunCmd("/usr/bin/convert" + inputs + " -interlace GIF " + Quote(interlaced)));
    ExpectMatchesTools(anim);
    ExpectMatchesTools(interlaced);
}

TEST(GifToolFiles, PillowAnimationWithLocalPalettes) {
    TempDir dir;
    const std::string gif = dir / "pillow.gif";
    const std::string script =
        "import random,sys\n"
        "from PIL import Image\n"
        "r=random.Random(3)\n"
        "frames=[]\n"
        "for k in range(4):\n"
        "  im=Image.new('P',(83,57))\n"
        "  im.putdata([r.randrange(256) if (x//5+y//3+k)%4 else k for y in range(57) for x in "
        "range(83)])\n"
        "  im.putpalette([r.randrange(256) for i in range(768)])\n"
        "  frames.append(im)\n"
        "frames[0].save(sys.argv[1],save_all=True,append_images=frames[1:],interlace=True,"
        "optimize=False,duration=40,loop=0)\n"
        // Pillow interlaces only single images.
        "frames[1].save(sys.argv[2],interlace=True)\n";
    std::ofstream(dir / "make.py") << script;
    const std::string single = dir / "single.gif";
    ASSERT_TRUE(imgtools::RunCmd("/usr/bin/python3 " + Quote(dir / "make.py") + " " + Quote(gif) +
                                 " " + Quote(single)));
    ExpectMatchesTools(gif);
    ExpectMatchesTools(single);
}

TEST(GifToolFiles, InterlacedImageDecodesLikeItsTwin) {
    TempDir dir;
    const std::vector<DumpImage> plain = {{53, 37, 0, 0, false, false}};
    const std::vector<DumpImage> interlaced = {{53, 37, 0, 0, true, false}};
    const Buffer a = LoadImage(BuildWithGiflib(dir, "plain", GiflibDump(53, 37, 0, plain, 5)), 1);
    const Buffer b =
        LoadImage(BuildWithGiflib(dir, "inter", GiflibDump(53, 37, 0, interlaced, 5)), 1);
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y)
        ASSERT_TRUE(std::equal(a.At(0, y), a.At(0, y) + a.Width(), b.At(0, y))) << "row " << y;
}

// A stream that keeps coding with a full 4096-entry table (no clear) is
// read like the reference decoders read it.
TEST(GifToolFiles, FullTableWithoutClearMatchesTools) {
    TempDir dir;
    const int w = 300, h = 200;
    std::mt19937 rng(9);
    std::vector<std::uint8_t> idx(std::size_t(w) * h);
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = (i / 50) % 3 ? rng() % 64 : 7;
    const auto gif = OneImageGif(w, h, w, h, 6, 6, SubBlocks(PackCodes(EncodeLzw(idx, 6))));
    WriteFile(dir / "full.gif", gif.v);
    ExpectMatchesTools(dir / "full.gif");
    // With periodic clears too.
    const auto cleared =
        OneImageGif(w, h, w, h, 6, 6, SubBlocks(PackCodes(EncodeLzw(idx, 6, 1000))));
    WriteFile(dir / "cleared.gif", cleared.v);
    ExpectMatchesTools(dir / "cleared.gif");
}

TEST(GifLoad, ImageNumberHotSpotBackgroundAndDescription) {
    TempDir dir;
    const std::string gif = BuildWithGiflib(dir, "three",
                                            GiflibDump(64, 48, 3,
                                                       {{64, 48, 0, 0, false, false},
                                                        {20, 10, 4, 6, true, false},
                                                        {30, 12, 33, 35, false, true}},
                                                       2));
    EXPECT_EQ(GFXFile::GetImgCount(gif), 3);

    GFXtra32 x{-1, -1, 0x123456, 0, 3};
    Buffer b = LoadImage(gif, 3, &x);
    EXPECT_EQ(b.Area, (Rect{0, 0, 29, 11}));
    EXPECT_EQ(x.HotX, 33);
    EXPECT_EQ(x.HotY, 35);
    EXPECT_EQ(x.Fore, 0x123456u); // not carried by the format
    EXPECT_EQ(x.Back, 0x302BF6u); // entry 3 of image 3's own table: 48, 43, 246
    std::vector<Frame> frames;
    ASSERT_TRUE(DecodeWith("giflib", gif, frames));
    EXPECT_TRUE(imgtools::SamePixels(b, frames[2].Rgb));

    GFXFileDesc d;
    d.Image = 2;
    ASSERT_TRUE(GFXFile::Test(gif, &d));
    EXPECT_EQ(d.Width, 20);
    EXPECT_EQ(d.Height, 10);
    EXPECT_EQ(d.BPP, 8);
    EXPECT_EQ(d.BPCC, 8);
    EXPECT_EQ(d.Color, 1);
    EXPECT_EQ(d.WithPal, 1);
    d.Image = 3;
    ASSERT_TRUE(GFXFile::Test(gif, &d));
    EXPECT_EQ(d.BPP, 4);

    // Past the last image: not this format's image, and Load refuses it.
    GFXFile* format = GFXFile::GetDefaultFormat(gif);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->Desc, "CompuServe's GIF");
    TMemoryStream m;
    m.LoadFromFile(gif);
    d.Image = 4;
    EXPECT_EQ(format->Test(&m, &d), 0);
    EXPECT_EQ(m.Position(), 0);
    GFXtra32 past{0, 0, 0, 0, 4};
    Buffer none;
    EXPECT_THROW(format->Load(none, &m, &past), EInvalidImage);
    EXPECT_EQ(m.Position(), 0);
}

TEST(GifLoad, IntoAnExistingBufferClipsToIt) {
    TempDir dir;
    const std::string gif =
        BuildWithGiflib(dir, "clip", GiflibDump(40, 30, 0, {{40, 30, 0, 0, true, false}}, 4));
    const Buffer whole = LoadImage(gif, 1);

    // Smaller than the image: its pixels are the image's top-left part.
    Buffer small;
    small.Alloc({17, 9});
    GFXFile::Load(small, gif, nullptr);
    for (int y = 0; y < 9; ++y)
        EXPECT_TRUE(std::equal(small.At(0, y), small.At(0, y) + 17, whole.At(0, y))) << y;

    // Larger: the image lands at (0, 0), the rest keeps its pixels.
    Buffer large;
    large.Alloc({50, 35});
    large.Box({0, 0, 49, 34}, 0x00ABCDEF);
    GFXFile::Load(large, gif, nullptr);
    EXPECT_EQ(*large.At(10, 10), *whole.At(10, 10));
    EXPECT_EQ(*large.At(45, 10), 0x00ABCDEFu);
    EXPECT_EQ(*large.At(10, 32), 0x00ABCDEFu);
}

// pixconv picks an image with --image and writes GIF through the registry.
TEST(GifLoad, PixconvConvertsAChosenImage) {
    TempDir dir;
    const std::string gif = BuildWithGiflib(
        dir, "pick",
        GiflibDump(30, 20, 0, {{30, 20, 0, 0, false, false}, {17, 9, 3, 4, true, true}}, 8));
    const std::string out = dir / "second.gif";
    ASSERT_TRUE(imgtools::RunCmd(std::string(VM_BIN_DIR) + "/pixconv convert " + Quote(gif) + " " +
                                 Quote(out) + " --image 2"));
    EXPECT_EQ(GFXFile::GetImgCount(out), 1);
    std::vector<Frame> frames;
    ASSERT_TRUE(DecodeWith("giflib", gif, frames));
    EXPECT_TRUE(imgtools::SamePixels(LoadImage(out, 1), frames[1].Rgb));
}
