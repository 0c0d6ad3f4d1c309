// PNG files: what Pillow and ImageMagick write, in every colour type, bit
// depth and interlace, loads with the pixels Pillow reads (translucency
// composited over the given background, or below half opacity made the
// brush marker); what we write Pillow reads back exactly; damaged and
// hostile files end in a clean error.
#include "image_tools.h"

#include <pixkit/gfxfile.h>
#include <pixkit/vector_level.h>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <set>
#include <sstream>

using namespace pixkit;
using namespace imgtools;

namespace {

const std::string kScript = std::string(VM_TEST_SOURCES) + "/pixkit/png_files.py";

struct Rgba {
    int w = 0, h = 0;
    std::vector<std::uint8_t> px; // R, G, B, A
};

Rgba PillowRgba(const std::string& png, const TempDir& dir) {
    const std::string raw = dir / "pillow.raw";
    Rgba img;
    if (!RunCmd("/usr/bin/python3 " + Quote(kScript) + " read " + Quote(png) + " " + Quote(raw)))
        return img;
    std::ifstream in(raw, std::ios::binary);
    in >> img.w >> img.h;
    in.get();
    img.px.resize(std::size_t(img.w) * img.h * 4);
    in.read(reinterpret_cast<char*>(img.px.data()), std::streamsize(img.px.size()));
    return img;
}

// What a load over back gives for one RGBA pixel.
Pixel Expected(const std::uint8_t* p, Pixel back) {
    const Pixel a = p[3];
    if (back == TransparentMarker) return a < 128 ? back : (Pixel(p[0]) << 16) | (p[1] << 8) | p[2];
    Pixel out = 0;
    for (int c = 0; c < 3; ++c) {
        const Pixel mix = (p[c] * a + ((back >> (16 - 8 * c)) & 255) * (255 - a) + 127) / 255;
        out |= mix << (16 - 8 * c);
    }
    return out;
}

::testing::AssertionResult Matches(const Buffer& b, const Rgba& ref, Pixel back) {
    if (ref.w == 0 || b.Empty() || b.Width() != ref.w || b.Height() != ref.h)
        return ::testing::AssertionFailure() << "size differs or no reference";
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            const Pixel want = Expected(&ref.px[(std::size_t(y) * ref.w + x) * 4], back);
            if (*b.At(x, y) != want)
                return ::testing::AssertionFailure() << "at " << x << "," << y << ": " << std::hex
                                                     << *b.At(x, y) << " want " << want;
        }
    return ::testing::AssertionSuccess();
}

void Load(Buffer& b, const std::string& name, Pixel back) {
    GFXtra32 x{0, 0, 0, back, 1};
    GFXFile::Load(b, name, &x);
}

TEST(PngTools, EveryColourTypeDepthAndInterlaceReadsAsPillowDoes) {
    TempDir dir;
    FILE* list = popen(("/usr/bin/python3 " + Quote(kScript) + " make " + Quote(dir.path.string()) +
                        " 2>/dev/null")
                           .c_str(),
                       "r");
    ASSERT_NE(list, nullptr);
    std::string manifest;
    char line[256];
    while (std::fgets(line, sizeof line, list) != nullptr) manifest += line;
    ASSERT_EQ(pclose(list), 0) << "Pillow or ImageMagick could not write the files";

    std::set<std::pair<int, int>> kinds;
    std::set<int> interlacedTypes;
    std::istringstream in(manifest);
    std::string name;
    int type, depth, interlace;
    while (in >> name >> type >> depth >> interlace) {
        SCOPED_TRACE(name);
        kinds.insert({type, depth});
        if (interlace) interlacedTypes.insert(type);
        const std::string path = dir / name;
        GFXFileDesc d;
        ASSERT_TRUE(GFXFile::Test(path, &d));
        EXPECT_EQ(d.WithPal, type == 3);
        EXPECT_EQ(d.Color, (type & 2) != 0);
        EXPECT_EQ(d.BPCC, type == 3 ? 8 : depth);
        const Rgba ref = PillowRgba(path, dir);
        for (Pixel back : {Pixel(0x336699), TransparentMarker}) {
            Buffer b;
            Load(b, path, back);
            EXPECT_TRUE(Matches(b, ref, back)) << std::hex << back;
        }
    }
    // Every colour type with every depth it allows, and interlace in four types.
    const std::set<std::pair<int, int>> all = {{0, 1}, {0, 2},  {0, 4},  {0, 8}, {0, 16},
                                               {2, 8}, {2, 16}, {3, 1},  {3, 2}, {3, 4},
                                               {3, 8}, {4, 8},  {4, 16}, {6, 8}, {6, 16}};
    EXPECT_EQ(kinds, all);
    EXPECT_GE(interlacedTypes.size(), 4u);
}

// A buffer of w x h whose pixels take `colours` distinct values.
Buffer Colours(int w, int h, int colours) {
    Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *b.At(x, y) = colours == 0
                              ? (Pixel(x * 5) << 16 | Pixel(y * 9) << 8 | Pixel(x ^ y)) & 0xFFFFFF
                              : Pixel((x + y * w) % colours) * 0x010203;
    return b;
}

std::array<int, 2> StoredTypeAndDepth(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t h[26] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    return {h[25], h[24]};
}

TEST(PngTools, OurFilesReadBackInPillowAndHereExactly) {
    TempDir dir;
    struct Case {
        int colours; // 0: more than 256
        bool brush;  // some pixels transparent, saved as a brush
        std::array<int, 2> stored;
    };
    const Case cases[] = {{0, false, {2, 8}}, {200, false, {3, 8}}, {16, false, {3, 4}},
                          {3, false, {3, 2}}, {2, false, {3, 1}},   {0, true, {6, 8}},
                          {40, true, {3, 8}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.colours) + (c.brush ? " brush" : ""));
        Buffer b = Colours(53, 31, c.colours);
        const Pixel back = c.brush ? TransparentMarker : Pixel(0x00FFFFFF);
        if (c.brush)
            for (int y = 3; y < 20; ++y)
                for (int x = 10; x < 17 + y; ++x) *b.At(x, y) = TransparentMarker;
        const std::string path = dir / "ours.png";
        GFXtra32 x{0, 0, 0, back, 1};
        GFXFile::Save(b, path, &x, nullptr);
        EXPECT_EQ(StoredTypeAndDepth(path), c.stored);
        // Pillow sees the marker as alpha 0 and every other pixel opaque.
        EXPECT_TRUE(Matches(b, PillowRgba(path, dir), TransparentMarker));
        Buffer back_;
        Load(back_, path, back);
        EXPECT_TRUE(Matches(back_, PillowRgba(path, dir), back));
        EXPECT_TRUE(SamePixels(back_, FromBuffer(b)));
    }
    // An RGB photo-like picture, noisy above and smooth below so that each
    // row filter wins somewhere, saved from a view with an odd pitch by the
    // portable and the AVX2 filter loops.
    Buffer block = Colours(203, 77, 0);
    std::uint32_t r = 7;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 203; ++x) {
            r = r * 1664525u + 1013904223u;
            *block.At(x, y) ^= (r >> 8) & (y < 20 ? 0xFFFFFF : 0x070707);
        }
    Buffer view(block, Rect{3, 2, 190, 70}, false);
    for (const VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2}) {
        LimitVectorLevel(level);
        const std::string path = dir / "rgb.png";
        GFXFile::Save(view, path, nullptr, nullptr);
        EXPECT_EQ(StoredTypeAndDepth(path), (std::array<int, 2>{2, 8}));
        EXPECT_TRUE(Matches(view, PillowRgba(path, dir), TransparentMarker));
        // ImageMagick checks every chunk's CRC, which Pillow does not.
        EXPECT_TRUE(RunCmd("convert " + Quote(path) + " " + Quote(dir / "magick.ppm")));
        Buffer back;
        Load(back, path, 0);
        EXPECT_TRUE(SamePixels(back, FromBuffer(view)));
    }
    LimitVectorLevel(VectorLevel::Avx2);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::uint32_t Crc(const std::string& s, std::size_t from, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFF;
    for (std::size_t i = from; i < from + n; ++i) {
        c ^= std::uint8_t(s[i]);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}

void PutBE32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (24 - 8 * i));
}

// A copy of png with the IHDR size changed and its CRC made right again.
std::string Resized(std::string png, std::uint32_t w, std::uint32_t h) {
    PutBE32(png, 16, w);
    PutBE32(png, 20, h);
    PutBE32(png, 29, Crc(png, 12, 17));
    return png;
}

TEST(PngTools, DamagedAndHostileFilesEndInACleanError) {
    TempDir dir;
    // Noise: the data spans several IDAT chunks, which libpng reads whole.
    const RgbImage pattern = Pattern(300, 200);
    Buffer image;
    image.Alloc({pattern.w, pattern.h});
    for (int y = 0; y < pattern.h; ++y)
        for (int x = 0; x < pattern.w; ++x) *image.At(x, y) = pattern.At(x, y);
    const std::string good = dir / "good.png";
    GFXFile::Save(image, good, nullptr, nullptr);
    const std::string bytes = Slurp(good);
    const std::size_t idat = bytes.find("IDAT") - 4;
    ASSERT_LT(idat, bytes.size());

    // The outcome: nothing allocated, the image allocated but no row
    // decoded, or the rows before the damage kept.
    enum Outcome { Empty, Allocated, Kept };
    struct Case {
        const char* what;
        std::string data;
        Outcome outcome;
    };
    std::string badHeaderCrc = bytes, badDataCrc = bytes, badDeflate = bytes;
    badHeaderCrc[30] ^= 1;
    badDataCrc[bytes.size() - 13] ^= 1; // the last byte of the final IDAT's CRC
    badDeflate[idat + 8] ^= 0x40;       // the zlib header
    const Case cases[] = {
        {"cut in the header", bytes.substr(0, 40), Empty},
        {"cut in the image data", bytes.substr(0, idat + (bytes.size() - idat) / 2), Kept},
        {"bad header CRC", badHeaderCrc, Empty},
        {"bad data CRC", badDataCrc, Kept},
        {"bad zlib header", badDeflate, Allocated},
        {"huge size, little data", Resized(bytes, 12000, 12000), Empty},
        {"width beyond the limit", Resized(bytes, 0x7FFFFFFF, 1), Empty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir / "bad.png";
        Spit(path, c.data);
        Buffer b;
        EXPECT_THROW(Load(b, path, 0), EStreamError);
        EXPECT_EQ(b.Empty(), c.outcome == Empty);
        if (c.outcome == Kept) {
            EXPECT_EQ(*b.At(7, 3), *image.At(7, 3));
        }
    }
    EXPECT_EQ(GFXFile::GetDefaultFormat("x.Png")->Desc, "PNG");
}

} // namespace
