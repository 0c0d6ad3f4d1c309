// Raster fonts built by rfnbuild: both file versions draw the same pixels,
// size selection, spacing modes, kerning, and the registry cache.
#include <pixkit/buffer.h>
#include <pixkit/font.h>
#include <pixkit/rfont.h>

#include "font_dirs.h"
#include "rfont_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace pixkit;
using testfonts::TempDir;
namespace fs = std::filesystem;

namespace {

Buffer White(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, 0xFFFFFF);
    return b;
}

int Inked(const Buffer& b) {
    int n = 0;
    for (int y = 0; y <= b.Area.Bottom; ++y)
        for (int x = 0; x <= b.Area.Right; ++x) n += *b.At(x, y) != 0xFFFFFF;
    return n;
}

std::string AllCharacters() {
    std::string s;
    for (int c = 33; c < 256; ++c) s += char(c);
    return s;
}

struct RasterFonts : ::testing::Test {
    TempDir dir{"rfont"};
    void SetUp() override {
        ASSERT_TRUE(testfonts::Build(dir.path / "sans.rfn", "DejaVu Sans", "10,12,16"));
        ASSERT_TRUE(testfonts::Build(dir.path / "serif.rfn", "DejaVu Serif", "10,14"));
        RFont::UseDirectory(dir.Dir());
    }
    void TearDown() override { RFont::UseDirectory(""); }
};

} // namespace

TEST_F(RasterFonts, RegistryIsSortedByFamilyThenSize) {
    RFont::InitReg();
    ASSERT_EQ(RFont::GetCount(), 5);
    const RFontEntry* reg = RFont::GetReg();
    EXPECT_EQ(reg[0].Family, "DejaVu Sans");
    EXPECT_EQ(reg[0].FamilyCount, 3);
    EXPECT_EQ(reg[1].FamilyCount, 0);
    EXPECT_EQ(reg[2].Height, 16);
    EXPECT_EQ(reg[3].Family, "DejaVu Serif");
    EXPECT_EQ(reg[3].FamilyCount, 2);
}

TEST_F(RasterFonts, NearestSizeSelection) {
    RFont f;
    f.SetName("no such family");
    EXPECT_EQ(f.GetName(), "");
    EXPECT_EQ(f.GetSize(), 0);
    f.SetName("dejavu sans"); // without regard to case; the smallest size first
    EXPECT_EQ(f.GetSize(), 10);
    f.SetSize(13);
    EXPECT_EQ(f.GetSize(), 12);
    f.SetSize(14); // 12 and 16 are equally near: the smaller
    EXPECT_EQ(f.GetSize(), 12);
    f.SetName("DejaVu Sans"); // the same family keeps its size
    EXPECT_EQ(f.GetSize(), 12);
    f.SetName("DejaVu Serif"); // 12 from 10 and 14: the smaller
    EXPECT_EQ(f.GetSize(), 10);
    f.SetSize(100);
    EXPECT_EQ(f.GetSize(), 14);
}

TEST_F(RasterFonts, UseCountsFreeGlyphsWithTheLastUser) {
    RFont a;
    a.SetName("DejaVu Sans");
    ASSERT_TRUE(a.Prepare());
    RFontEntry* e = a.Entry();
    {
        RFont b(a);
        EXPECT_EQ(e->UseCount, 2);
        RFont c;
        c = b;
        EXPECT_EQ(e->UseCount, 3);
    }
    EXPECT_EQ(e->UseCount, 1);
    EXPECT_TRUE(e->Loaded());
    a.SetSize(16);
    EXPECT_EQ(e->UseCount, 0);
    EXPECT_FALSE(e->Loaded());
    a.Unprepare();
    EXPECT_FALSE(a.Entry()->Loaded());
}

TEST_F(RasterFonts, FixedCellsAndSpaceOnlyExtents) {
    RFont f;
    f.SetName("DejaVu Sans");
    f.SetSize(16);
    Buffer b;
    f.Mode = 0;
    const int space = f.GetSpaceSize(), spacing = f.GetSpacing();
    EXPECT_EQ(b.GetTextExtent(f, "MiWil").x, 5 * (space + spacing));
    EXPECT_EQ(b.GetTextExtent(f, "MiWil").y, 16);
    f.Mode = 1;
    EXPECT_EQ(b.GetTextExtent(f, "    ").x, 4 * (space + spacing));
    f.SpaceOverride = 9;
    f.SpacingOverride = 2;
    EXPECT_EQ(f.GetSpaceSize(), 9);
    EXPECT_EQ(b.GetTextExtent(f, "   ").x, 3 * 11);
    EXPECT_EQ(b.GetTextExtent(f, "").x, 0);
}

TEST_F(RasterFonts, KerningNeverOverlapsInkAndTightensPairs) {
    RFont f;
    f.SetName("DejaVu Sans");
    f.SetSize(16);
    f.SpacingOverride = 0; // glyphs as close as the kerning lets them
    for (const std::string text : {"AVAWAT", "To.Ty", "LTVWy", "f/j\\"}) {
        Buffer all = White(300, 20);
        all.OutText(f, {2, 2}, text, 0);
        int separate = 0;
        for (char c : text) {
            Buffer one = White(300, 20);
            one.OutChar(f, {2, 2}, static_cast<unsigned char>(c), 0);
            separate += Inked(one);
        }
        EXPECT_EQ(Inked(all), separate) << text; // no pixel is inked twice
    }
    Buffer b;
    RFont plain(f);
    plain.Mode = -1;
    EXPECT_LT(b.GetTextExtent(f, "AVAWAT").x, b.GetTextExtent(plain, "AVAWAT").x);
}

TEST_F(RasterFonts, ExtentMatchesTheDrawnAdvance) {
    RFont f;
    f.SetName("DejaVu Sans");
    f.SetSize(12);
    Buffer b = White(400, 16);
    const std::string text = "Wave to AVA, 01";
    const int width = b.GetTextExtent(f, text).x;
    b.OutText(f, {0, 0}, text + " |", 0);
    // The bar after the text and a space starts exactly one space past the extent.
    const int at = width + f.GetSpaceSize() + f.GetSpacing();
    Buffer bar = White(400, 16);
    bar.OutChar(f, {at, 0}, '|', 0);
    for (int y = 0; y < 16; ++y)
        for (int x = width; x < at + 8; ++x) ASSERT_EQ(*b.At(x, y), *bar.At(x, y)) << x << "," << y;
}

TEST(RasterFontFallback, WithoutAFontTheSystemFontDrawsTheLatin1Text) {
    TempDir empty("nofonts");
    RFont::UseDirectory(empty.Dir());
    RFont f;
    f.SetName("DejaVu Sans");
    EXPECT_EQ(f.Entry(), nullptr);
    const std::string latin1 = "Caf\xe9 \xc5";
    const std::string utf8 = "Caf\xc3\xa9 \xc3\x85";
    Buffer raster = White(200, 40), system = White(200, 40);
    raster.OutText(f, {3, 4}, latin1, 0);
    system.OutText(FontDesc{}, {3, 4}, utf8, 0);
    EXPECT_GT(Inked(raster), 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(*raster.At(x, y), *system.At(x, y)) << x << "," << y;
    EXPECT_EQ(raster.GetTextExtent(f, latin1), Buffer::GetTextExtent(FontDesc{}, utf8));
    Buffer one = White(40, 40);
    one.OutChar(f, {0, 0}, 0xe9, 0);
    EXPECT_GT(Inked(one), 0);
    RFont::UseDirectory("");
}

TEST(RasterFontVersions, Version1And2DrawIdenticalPixels) {
    TempDir v1("v1"), v2("v2");
    ASSERT_TRUE(testfonts::Build(v1.path / "f.rfn", "DejaVu Serif", "8,13,24", 1));
    ASSERT_TRUE(testfonts::Build(v2.path / "f.rfn", "DejaVu Serif", "8,13,24", 2));
    EXPECT_LT(fs::file_size(v2.path / "f.rfn"), fs::file_size(v1.path / "f.rfn"));
    for (int size : {8, 13, 24}) {
        Buffer out[2];
        for (int v = 0; v < 2; ++v) {
            RFont::UseDirectory(v == 0 ? v1.Dir() : v2.Dir());
            RFont f;
            f.SetName("DejaVu Serif");
            f.SetSize(size);
            ASSERT_EQ(f.GetSize(), size);
            Buffer canvas = White(size * 230, size + 4);
            out[v] = canvas;
            out[v].OutText(f, {1, 1}, AllCharacters(), 0x123456);
        }
        ASSERT_GT(Inked(out[0]), 0);
        for (int y = 0; y <= out[0].Area.Bottom; ++y)
            for (int x = 0; x <= out[0].Area.Right; ++x)
                ASSERT_EQ(*out[0].At(x, y), *out[1].At(x, y)) << size << ": " << x << "," << y;
    }
    RFont::UseDirectory("");
}

TEST(RasterFontCache, RebuiltAfterAddingOrTouchingAFileAndReusedOtherwise) {
    TempDir dir("cache");
    ASSERT_TRUE(testfonts::Build(dir.path / "a.rfn", "DejaVu Sans", "10"));
    bool rebuilt = false;
    auto reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_TRUE(rebuilt);
    EXPECT_TRUE(fs::exists(dir.path / "fonts.bin"));
    reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_FALSE(rebuilt);
    EXPECT_EQ(reg.entries.size(), 1u);

    ASSERT_TRUE(testfonts::Build(dir.path / "b.rfn", "DejaVu Serif", "12,14"));
    reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_TRUE(rebuilt);
    EXPECT_EQ(reg.entries.size(), 3u);

    fs::last_write_time(dir.path / "a.rfn",
                        fs::last_write_time(dir.path / "a.rfn") + std::chrono::seconds(5));
    reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_TRUE(rebuilt);
    reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_FALSE(rebuilt);

    fs::remove(dir.path / "b.rfn");
    reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_TRUE(rebuilt);
    EXPECT_EQ(reg.entries.size(), 1u);
}

TEST(RasterFontCache, SerializedCacheParsesBackIdentically) {
    TempDir dir("cache-rt");
    ASSERT_TRUE(testfonts::Build(dir.path / "a.rfn", "DejaVu Sans", "10,12"));
    ASSERT_TRUE(testfonts::Build(dir.path / "b.rfn", "DejaVu Sans Mono", "8"));
    const auto reg = rfn::LoadRegistry(dir.Dir());
    const auto bytes = rfn::SerializeCache(reg);
    rfn::Registry back;
    ASSERT_TRUE(rfn::ParseCache(bytes, back));
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[1].Name, "b.rfn");
    ASSERT_EQ(back.entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.entries[i].Family, reg.entries[i].Family);
        EXPECT_EQ(back.entries[i].Position, reg.entries[i].Position);
        EXPECT_EQ(back.entries[i].FamilyCount, reg.entries[i].FamilyCount);
    }
    // 4 + 2 file records + names + 4 + 3 entry records + family names.
    EXPECT_EQ(bytes.size(), 4 + 2 * 20 + 12 + 4 + 3 * 44 + 12 + 17);
}

TEST(RasterFontThreads, RegistryBuildsOnceUnderConcurrentUse) {
    TempDir dir("threads");
    ASSERT_TRUE(testfonts::Build(dir.path / "a.rfn", "DejaVu Sans", "10"));
    RFont::UseDirectory(dir.Dir());
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([] { RFont::InitReg(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(RFont::GetCount(), 1);
    RFont::UseDirectory("");
}
