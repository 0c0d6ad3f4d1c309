// GIF writing: the reference decoders read our files as exactly the palette
// and the indices Save leaves in the pixels' top bytes, for few and many
// colours, tiny and large images and long runs of one index; the palette
// is exact for at most 256 colours and holds the mean of each entry's
// pixels otherwise; the header says what the palette needs.
#include "gif_test_util.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace pixkit;
using namespace giftest;

namespace {

Buffer MakeImage(int w, int h, const std::vector<Pixel>& px) {
    Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y) std::copy_n(px.begin() + std::ptrdiff_t(y) * w, w, b.At(0, y));
    return b;
}

// count distinct colours, deterministic.
std::vector<Pixel> DistinctColours(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::set<Pixel> seen;
    std::vector<Pixel> out;
    while (static_cast<int>(out.size()) < count)
        if (const Pixel c = rng() & 0xFFFFFF; seen.insert(c).second) out.push_back(c);
    return out;
}

std::vector<Pixel> Palette(const std::vector<std::uint8_t>& file) {
    const int bits = (file[10] & 7) + 1;
    std::vector<Pixel> pal;
    for (int i = 0; i < (1 << bits); ++i)
        pal.push_back((Pixel(file[13 + 3 * i]) << 16) | (Pixel(file[14 + 3 * i]) << 8) |
                      file[15 + 3 * i]);
    return pal;
}

// Saves b as path (through the registry), then expects every reference
// decoder to see the indices of b's top bytes and their palette colours.
void SaveAndExpectToolsAgree(Buffer& b, const std::string& path) {
    Buffer work;
    GFXFile::Save(b, path, nullptr, &work);
    const std::vector<Pixel> pal = Palette(ReadFile(path));
    std::vector<Pixel> colours;
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const Pixel p = *b.At(x, y);
            ASSERT_LT(p >> 24, pal.size());
            indices.push_back(static_cast<std::uint8_t>(p >> 24));
            colours.push_back(pal[p >> 24]);
        }
    const RgbImage mine = ToRgb(b.Width(), b.Height(), colours);
    for (const char* tool : kTools) {
        std::vector<Frame> frames;
        ASSERT_TRUE(DecodeWith(tool, path, frames)) << tool;
        ASSERT_EQ(frames.size(), 1u) << tool;
        const Frame& f = frames[0];
        ASSERT_EQ(f.Rgb.w, mine.w);
        ASSERT_EQ(f.Rgb.h, mine.h);
        EXPECT_TRUE(f.Rgb.rgb == mine.rgb) << tool << " sees other colours";
        if (!f.Index.empty()) {
            EXPECT_TRUE(f.Index == indices) << tool << " sees other indices";
        }
    }
    Buffer back;
    GFXFile::Load(back, path, nullptr);
    EXPECT_TRUE(imgtools::SamePixels(back, mine)) << "our own decode";
}

} // namespace

TEST(GifSave, FewColoursAreExactAndSizeTheHeader) {
    TempDir dir;
    struct Case {
        int Colours, W, H, Bits;
    };
    for (const Case c : {Case{2, 33, 17, 1}, Case{5, 40, 25, 3}, Case{1, 1, 1, 1}, Case{3, 1, 3, 2},
                         Case{256, 64, 64, 8}}) {
        const std::vector<Pixel> colours = DistinctColours(c.Colours, 17 + c.Colours);
        std::mt19937 rng(c.Colours);
        std::vector<Pixel> px(std::size_t(c.W) * c.H);
        for (std::size_t i = 0; i < px.size(); ++i)
            px[i] = colours[i < colours.size() ? i : rng() % colours.size()];
        Buffer b = MakeImage(c.W, c.H, px);
        const std::string path = dir / ("few" + std::to_string(c.Colours) + ".gif");
        SaveAndExpectToolsAgree(b, path);
        const std::vector<std::uint8_t> file = ReadFile(path);
        EXPECT_EQ(file[10], 0x80 | ((c.Bits - 1) << 4) | (c.Bits - 1)) << c.Colours;
        const std::size_t codeSizeAt = 13 + 3 * (std::size_t(1) << c.Bits) + 10;
        EXPECT_EQ(file[codeSizeAt], std::max(c.Bits, 2)) << c.Colours;
        // Exact: every pixel keeps its colour, each colour one entry.
        const std::vector<Pixel> pal = Palette(file);
        std::set<Pixel> used;
        for (int y = 0; y < c.H; ++y)
            for (int x = 0; x < c.W; ++x) {
                const Pixel p = *b.At(x, y);
                EXPECT_EQ(pal[p >> 24], p & 0xFFFFFF);
                used.insert(p >> 24);
            }
        EXPECT_EQ(static_cast<int>(used.size()), c.Colours);
    }
}

TEST(GifSave, ManyColoursGetMeanColouredEntries) {
    TempDir dir;
    // A photo-like gradient with noise: far more than 256 colours.
    const int w = 211, h = 97;
    std::mt19937 rng(5);
    std::vector<Pixel> px(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[std::size_t(y) * w + x] = (Pixel((x * 255 / w + rng() % 9) & 255) << 16) |
                                         (Pixel((y * 255 / h) & 255) << 8) | Pixel(rng() % 256);
    Buffer b = MakeImage(w, h, px);
    SaveAndExpectToolsAgree(b, dir / "many.gif");
    const std::vector<Pixel> pal = Palette(ReadFile(dir / "many.gif"));
    EXPECT_EQ(pal.size(), 256u);

    // Each entry is the rounded mean of the pixels that got its index.
    std::map<int, std::array<std::int64_t, 4>> sums;
    for (std::size_t i = 0; i < px.size(); ++i) {
        const Pixel p = *b.At(int(i % w), int(i / w));
        auto& s = sums[int(p >> 24)];
        s[0] += (px[i] >> 16) & 255;
        s[1] += (px[i] >> 8) & 255;
        s[2] += px[i] & 255;
        ++s[3];
    }
    EXPECT_EQ(sums.size(), 256u);
    for (const auto& [index, s] : sums) {
        auto mean = [&](std::int64_t sum) { return Pixel((sum + s[3] / 2) / s[3]); };
        EXPECT_EQ(pal[std::size_t(index)], (mean(s[0]) << 16) | (mean(s[1]) << 8) | mean(s[2]))
            << "entry " << index;
    }
}

TEST(GifSave, ThreeHundredColoursFillThePalette) {
    TempDir dir;
    const std::vector<Pixel> colours = DistinctColours(300, 3);
    std::vector<Pixel> px(std::size_t(60) * 50);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = colours[i % colours.size()];
    Buffer b = MakeImage(60, 50, px);
    SaveAndExpectToolsAgree(b, dir / "300.gif");
    EXPECT_EQ(Palette(ReadFile(dir / "300.gif")).size(), 256u);
}

// Long runs of one index cross many clear points of the encoder; mixed
// with short runs and single pixels after each clear.
TEST(GifSave, LongRunsAcrossClearPoints) {
    TempDir dir;
    const int w = 2000, h = 2000;
    std::vector<Pixel> px(std::size_t(w) * h, 0x336699);
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y) {
        if (y % 250 == 7)
            for (int x = 0; x < w; ++x) px[std::size_t(y) * w + x] = (rng() % 3) * 0x404040;
        if (y % 333 == 0) px[std::size_t(y) * w + y] = 0xFF0000;
        if (y > 1500) // runs of every length 1..64
            for (int x = 0; x < w; ++x)
                px[std::size_t(y) * w + x] = ((x * (x + 1) / 2 + y) / 64) % 2 ? 0xFFFFFF : 0x336699;
    }
    Buffer b = MakeImage(w, h, px);
    SaveAndExpectToolsAgree(b, dir / "runs.gif");

    // Two colours only, so the smallest code size and the most codes per
    // table: a run of nine million pixels needs more codes than one table
    // holds even when sent as runs of 1, 2, 3, ... copies.
    Buffer flat = MakeImage(3000, 3000, std::vector<Pixel>(std::size_t(3000) * 3000, 0x00FF00));
    *flat.At(2999, 2999) = 0x0000FF;
    SaveAndExpectToolsAgree(flat, dir / "flat.gif");
}

TEST(GifSave, DeterministicAndKeepsTheWorkBuffersPixels) {
    TempDir dir;
    const std::vector<Pixel> px = RandomPixels(100 * 80, 4000, 9);
    Buffer a = MakeImage(100, 80, px), b = MakeImage(100, 80, px);
    Buffer workA, workB;
    GFXFile::Save(a, dir / "a.gif", nullptr, &workA);
    GFXFile::Save(b, dir / "b.gif", nullptr, &workB);
    EXPECT_TRUE(ReadFile(dir / "a.gif") == ReadFile(dir / "b.gif"));
    for (int y = 0; y < 80; ++y) {
        EXPECT_TRUE(std::equal(a.At(0, y), a.At(0, y) + 100, b.At(0, y)));
        // The work buffer holds the image again after the palette is built.
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(*workA.At(x, y) & 0xFFFFFF, px[std::size_t(y) * 100 + x]);
    }
    // A view's pixels are saved, not its parent's.
    Buffer view(a, Rect{10, 20, 39, 49}, false);
    SaveAndExpectToolsAgree(view, dir / "view.gif");
}

TEST(GifSave, PositionBackgroundAndRequirements) {
    TempDir dir;
    const std::vector<Pixel> colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<Pixel> px(64);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = colours[i % 4];
    Buffer b = MakeImage(8, 8, px);
    Buffer work;
    GFXtra32 x{12, 34, 0, 0x10EE20, 1}; // nearest to green
    GFXFile::Save(b, dir / "pos.gif", &x, &work);
    const std::vector<std::uint8_t> file = ReadFile(dir / "pos.gif");
    const std::vector<Pixel> pal = Palette(file);
    EXPECT_EQ(pal[file[11]], 0x00FF00u);

    GFXtra32 back{0, 0, 0, 0, 1};
    Buffer loaded;
    GFXFile::Load(loaded, dir / "pos.gif", &back);
    EXPECT_EQ(back.HotX, 12);
    EXPECT_EQ(back.HotY, 34);
    EXPECT_EQ(back.Back, 0x00FF00u);

    GFXFile* gif = GFXFile::GetDefaultFormat("a.gif");
    TMemoryStream m;
    EXPECT_THROW(gif->Save(b, &m, nullptr, nullptr), EInvalidImage);
    // A work buffer that shares the image's pixels is replaced, not used.
    std::vector<Pixel> colour(64);
    for (int i = 0; i < 64; ++i) colour[std::size_t(i)] = *b.At(i % 8, i / 8) & 0xFFFFFF;
    Buffer alias(b, Rect{0, 0, 7, 7}, true);
    TMemoryStream again;
    gif->Save(b, &again, nullptr, &alias);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(*b.At(i % 8, i / 8) & 0xFFFFFF, colour[std::size_t(i)]);
    EXPECT_THROW(gif->Save(b, &again, nullptr, &b), EInvalidImage);

    // The writer puts an empty image as a 0 x 0 screen and image, which we
    // do not read back, so the registry refuses to save one at all.
    Buffer empty, emptyWork;
    TMemoryStream emptyGif;
    gif->Save(empty, &emptyGif, nullptr, &emptyWork);
    const std::vector<std::uint8_t>& bytes = emptyGif.Bytes();
    ASSERT_GT(bytes.size(), 13u);
    EXPECT_EQ(bytes[6] | bytes[7] | bytes[8] | bytes[9], 0);
    EXPECT_EQ(bytes.back(), ';');
    EXPECT_THROW(GFXFile::Save(empty, dir / "empty.gif", nullptr, &emptyWork), EInvalidImage);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.gif"));

    // The old file survives a failed save through the registry.
    EXPECT_THROW(GFXFile::Save(b, dir / "pos.gif", nullptr, nullptr), EInvalidImage);
    EXPECT_TRUE(ReadFile(dir / "pos.gif") == file);
}
