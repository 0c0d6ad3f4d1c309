// Colour arithmetic of the colour dialog and the palette model and files.
#include "colors/colormath.h"
#include "colors/palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

using kv::Hsv;

void ExpectHsv(int r, int g, int b, int h, int s, int v) {
    const Hsv got = kv::RgbToHsv(r, g, b);
    EXPECT_EQ(got.H, h) << r << "," << g << "," << b;
    EXPECT_EQ(got.S, s) << r << "," << g << "," << b;
    EXPECT_EQ(got.V, v) << r << "," << g << "," << b;
}

TEST(ColorMath, RgbToHsvExamples) {
    ExpectHsv(255, 0, 0, 0, 255, 255);
    ExpectHsv(0, 0, 0, 0, 0, 0);
    ExpectHsv(0, 0, 255, 240, 255, 255);
    ExpectHsv(0, 255, 0, 120, 255, 255);
    ExpectHsv(255, 0, 128, 330, 255, 255); // negative h wraps
    ExpectHsv(100, 100, 100, 0, 0, 100);   // grey: no hue
    ExpectHsv(200, 100, 50, 20, 191, 200); // (100-50)/150*60 = 20; 150*255/200 = 191.25
}

TEST(ColorMath, HsvToRgbExamples) {
    EXPECT_EQ(kv::HsvToRgb(0, 255, 255), 0xFF0000u);
    EXPECT_EQ(kv::HsvToRgb(360, 255, 255), 0xFF0000u) << "360 counts as 0";
    EXPECT_EQ(kv::HsvToRgb(240, 255, 255), 0x0000FFu);
    EXPECT_EQ(kv::HsvToRgb(77, 0, 93), 0x5D5D5Du);
    EXPECT_EQ(kv::HsvToRgb(60, 255, 255), 0xFFFF00u);
    EXPECT_EQ(kv::HsvToRgb(300, 255, 128), 0x800080u);
}

// Primary and secondary colours, and their darker versions, survive the
// trip through HSV exactly; any colour comes back within the truncation.
TEST(ColorMath, RoundTripStaysClose) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 5000; ++i) {
        const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256),
                  b = static_cast<int>(rng() % 256);
        const Hsv hsv = kv::RgbToHsv(r, g, b);
        ASSERT_GE(hsv.H, 0);
        ASSERT_LT(hsv.H, 360);
        const std::uint32_t back = kv::HsvToRgb(hsv.H, hsv.S, hsv.V);
        EXPECT_NEAR(kv::RedOf(back), r, 6) << r << "," << g << "," << b;
        EXPECT_NEAR(kv::GreenOf(back), g, 6) << r << "," << g << "," << b;
        EXPECT_NEAR(kv::BlueOf(back), b, 6) << r << "," << g << "," << b;
    }
    for (std::uint32_t c :
         {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u, 0x00FFFFu, 0xFF00FFu, 0x800000u, 0x008080u})
        EXPECT_EQ(kv::HsvToRgb(kv::RgbToHsv(kv::RedOf(c), kv::GreenOf(c), kv::BlueOf(c)).H, 255,
                               std::max({kv::RedOf(c), kv::GreenOf(c), kv::BlueOf(c)})),
                  c);
}

TEST(ColorMath, FieldCornerReachesFullSaturationAndValue) {
    Hsv corner = kv::SvAtFieldPoint(127, 127);
    EXPECT_EQ(corner.S, 255);
    EXPECT_EQ(corner.V, 255);
    Hsv near = kv::SvAtFieldPoint(126, 127);
    EXPECT_EQ(near.S, 252);
    EXPECT_EQ(near.V, 254);
    Hsv origin = kv::SvAtFieldPoint(0, 0);
    EXPECT_EQ(origin.S, 0);
    EXPECT_EQ(origin.V, 0);
    Hsv dragged = kv::SvAtFieldPoint(400, -3); // a drag beyond the field
    EXPECT_EQ(dragged.S, 254);
    EXPECT_EQ(dragged.V, 0);
}

// The fixed-point field against the floating-point conversion, pixel by
// pixel, for every hue of a sextant boundary and some in between.
TEST(ColorMath, FieldMatchesTheConversionWithinOneStep) {
    pixkit::Buffer field;
    field.Alloc({kv::kSvFieldSize, kv::kSvFieldSize});
    for (int hue : {0, 1, 59, 60, 119, 121, 180, 239, 240, 300, 359}) {
        kv::DrawSvField(field, hue, 254, 254, 0);
        for (int r = 0; r < 127; ++r)
            for (int c = 0; c < 128; ++c) {
                const std::uint32_t want = kv::HsvToRgb(hue, 2 * c, 2 * r);
                const std::uint32_t got = *field.At(c, r);
                ASSERT_NEAR(kv::RedOf(got), kv::RedOf(want), 1) << hue << " " << c << "," << r;
                ASSERT_NEAR(kv::GreenOf(got), kv::GreenOf(want), 1) << hue << " " << c << "," << r;
                ASSERT_NEAR(kv::BlueOf(got), kv::BlueOf(want), 1) << hue << " " << c << "," << r;
            }
    }
}

TEST(ColorMath, FieldMarkerShadeFollowsTheColour) {
    pixkit::Buffer field;
    field.Alloc({kv::kSvFieldSize, kv::kSvFieldSize});
    kv::DrawSvField(field, 0, 100, 60, 0xF0F0F0);
    EXPECT_EQ(*field.At(50, 30), 0x00FFFFFFu);
    kv::DrawSvField(field, 0, 100, 60, 0x202020);
    EXPECT_EQ(*field.At(50, 30), 0x00000000u);
    EXPECT_NE(*field.At(51, 30), 0u) << "only the marker pixel";
    // A colour exactly at the limit 12800 is not below it: black.
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const int rest = 12800 - 30 * a - 59 * b;
            if (rest <= 0 || rest % 11 != 0 || rest / 11 > 255) continue;
            kv::DrawSvField(field, 0, 2, 2, kv::MakeRgb(255 - a, 255 - b, 255 - rest / 11));
            ASSERT_EQ(*field.At(1, 1), 0u);
            kv::DrawSvField(field, 0, 2, 2, kv::MakeRgb(255 - a, 255 - b, 255 - rest / 11 + 1));
            ASSERT_EQ(*field.At(1, 1), 0x00FFFFFFu);
            return;
        }
    FAIL() << "no colour at the limit";
}

TEST(Palette, RequestsRoundUpToTheFiveSizes) {
    const int sizes[][2] = {{-5, 8},  {0, 8},   {8, 8},   {9, 12},  {10, 12}, {12, 12},
                            {13, 16}, {16, 16}, {17, 24}, {24, 24}, {25, 32}, {1000, 32}};
    for (auto [asked, got] : sizes) EXPECT_EQ(kv::LayoutForRequest(asked).Count, got) << asked;
    const kv::PaletteLayout twelve = kv::LayoutForRequest(10);
    EXPECT_EQ(twelve.Columns, 2);
    EXPECT_EQ(twelve.Width, 28);
    EXPECT_EQ(twelve.Height, 18);
    EXPECT_EQ(twelve.Index, 1);
    const kv::PaletteLayout big = kv::LayoutForRequest(25);
    EXPECT_EQ(big.Columns, 4);
    EXPECT_EQ(big.Width, 14);
    EXPECT_EQ(big.Height, 14);
    EXPECT_EQ(big.Index, 4);
    EXPECT_EQ(kv::LayoutForIndex(3).Count, 24);
    EXPECT_EQ(kv::LayoutForIndex(9).Count, 32);
}

TEST(Palette, GrowingKeepsColoursAndShrinkingDropsTheLast) {
    std::vector<std::uint32_t> p = kv::ResizedPalette({}, 8);
    ASSERT_EQ(p.size(), 8u);
    EXPECT_EQ(p[1], 0x00FFFFu);
    p[0] = 0x123456;
    p = kv::ResizedPalette(p, 16);
    ASSERT_EQ(p.size(), 16u);
    EXPECT_EQ(p[0], 0x123456u);
    EXPECT_EQ(p[15], 0xAAAAAAu);
    p = kv::ResizedPalette(p, 12);
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(p[0], 0x123456u);
    EXPECT_EQ(kv::FastColorHint(0x0A80FF), "(10,128,255)");
}

class PaletteFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kvpal_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& text) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path dir_;
};

TEST_F(PaletteFileTest, SavedFileHasTheExactTextFormat) {
    const std::string path = (dir_ / "p.pal").string();
    ASSERT_TRUE(kv::WritePaletteFile(path, {0xFF0000, 0x00000A, 0xabcdef, 0x1000000}));
    EXPECT_EQ(Slurp(path), "4\nFF0000\n00000A\nABCDEF\n000000\n");
    EXPECT_FALSE(kv::WritePaletteFile((dir_ / "no" / "p.pal").string(), {0}));

    // A write that fails part way (a full disk: files may not grow beyond
    // 16 bytes) reports it and leaves the old file whole, with nothing beside it.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{}, small{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    small = old;
    small.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = kv::WritePaletteFile(path, std::vector<std::uint32_t>(32, 0x123456));
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(Slurp(path), "4\nFF0000\n00000A\nABCDEF\n000000\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(PaletteFileTest, EightRedLinesGiveAnEightEntryBar) {
    std::string text = "8\n";
    for (int i = 0; i < 8; ++i) text += "FF0000\n";
    auto file = kv::ReadPaletteFile(Write("red.pal", text));
    ASSERT_TRUE(file);
    const auto p = kv::ApplyPaletteFile(kv::ResizedPalette({}, 32), *file);
    EXPECT_EQ(p, std::vector<std::uint32_t>(8, 0xFF0000));
    EXPECT_EQ(kv::LayoutForRequest(file->Count).Columns, 2);
}

TEST_F(PaletteFileTest, ShortListKeepsTheRemainingEntries) {
    auto file = kv::ReadPaletteFile(Write("short.pal", "10\nff0000\r\n00ff00\nzz\n0000FF\n"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Count, 10);
    EXPECT_EQ(file->Colors, (std::vector<std::uint32_t>{0xFF0000, 0x00FF00}))
        << "reading stops at the first line that is no number";
    std::vector<std::uint32_t> before = kv::ResizedPalette({}, 8);
    before[5] = 0x777777;
    const auto p = kv::ApplyPaletteFile(before, *file);
    ASSERT_EQ(p.size(), 12u) << "a count of 10 gives 12 entries";
    EXPECT_EQ(p[0], 0xFF0000u);
    EXPECT_EQ(p[1], 0x00FF00u);
    EXPECT_EQ(p[2], 0x0000FFu) << "entries not in the file keep their colour";
    EXPECT_EQ(p[5], 0x777777u);
    EXPECT_EQ(p[11], 0x880088u) << "new entries take the defaults";
}

TEST_F(PaletteFileTest, LongListIsCutAtTheBarSize) {
    std::string text = "9\n";
    for (int i = 0; i < 40; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "%06X\n", i);
        text += line;
    }
    auto file = kv::ReadPaletteFile(Write("long.pal", text));
    ASSERT_TRUE(file);
    ASSERT_EQ(file->Colors.size(), 12u);
    const auto p = kv::ApplyPaletteFile({}, *file);
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(p[11], 11u);
}

TEST_F(PaletteFileTest, BadFilesAreRefusedOrClamped) {
    EXPECT_FALSE(kv::ReadPaletteFile((dir_ / "missing.pal").string()));
    EXPECT_FALSE(kv::ReadPaletteFile(Write("text.pal", "palette\nFF0000\n")));
    EXPECT_FALSE(kv::ReadPaletteFile(Write("empty.pal", "")));
    auto huge =
        kv::ReadPaletteFile(Write("huge.pal", "99999999999999999999\n1FFFFFFFFFFFFFFFFFFFF\n"));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->Count, 32);
    ASSERT_EQ(huge->Colors.size(), 1u);
    EXPECT_EQ(huge->Colors[0], 0xFFFFFFu) << "colours are 24-bit";
    auto negative = kv::ReadPaletteFile(Write("neg.pal", "-4\n-FF\n"));
    ASSERT_TRUE(negative);
    EXPECT_EQ(kv::LayoutForRequest(negative->Count).Count, 8);
    EXPECT_TRUE(negative->Colors.empty());
}

} // namespace
