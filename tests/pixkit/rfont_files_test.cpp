// Damaged and hostile font files and caches: left out or rebuilt, never a
// crash; and the glyph-data code itself on random and skewed masks.
#include <pixkit/buffer.h>
#include <pixkit/rfont.h>

#include "font_dirs.h"
#include "reference_draw.h"
#include "rfn_encode.h"
#include "rfont_format.h"
#include "rfont_registry.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace pixkit;
using testfonts::TempDir;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A small font of two sizes with an "A"-like glyph pattern in every cell.
std::vector<rfnbuild::FontSize> SmallSizes() {
    std::vector<rfnbuild::FontSize> sizes;
    for (int h : {5, 9}) {
        rfnbuild::FontSize s;
        s.height = h;
        s.rowBytes = 2;
        s.first = 'A';
        s.last = 'F';
        s.spaceWidth = 4;
        for (int c = s.first; c <= s.last; ++c) {
            s.widths.push_back(c == 'C' ? 0 : std::uint8_t(3 + c % 5));
            std::vector<std::uint8_t> g(std::size_t(h * 2), 0);
            for (int y = 0; y < h; ++y) g[std::size_t(y * 2)] = std::uint8_t((c * 37 + y * 11) | 1);
            s.glyphs.push_back(g);
        }
        sizes.push_back(s);
    }
    return sizes;
}

// Draws every character of every size; returns whether anything drew.
bool DrawAll(const std::string& dir) {
    RFont::UseDirectory(dir);
    RFont::InitReg();
    bool drew = false;
    for (int i = 0; i < RFont::GetCount(); i += std::max(RFont::GetReg()[i].FamilyCount, 1)) {
        RFont f;
        f.SetName(RFont::GetReg()[i].Family);
        for (int size : {1, 5, 9, 40}) {
            f.SetSize(size);
            Buffer b;
            b.Alloc({64, 48});
            b.Box(b.Area, 0);
            b.OutText(f, {-3, 2}, "ABCDEF AB\xff", 1);
            drew |= b.CheckMask(1);
        }
    }
    RFont::UseDirectory("");
    return drew;
}

} // namespace

TEST(RasterFontCodes, RandomAndSkewedMasksRoundTrip) {
    testref::Rng rng(5);
    for (int round = 0; round < 60; ++round) {
        const std::size_t stride = std::size_t(rng.Range(1, 4));
        std::vector<std::uint8_t> masks(stride * std::size_t(rng.Range(0, 400)));
        // Sparse masks give long zero runs and code lengths past 8 bits.
        const int density = rng.Range(1, 200);
        for (auto& b : masks)
            for (int bit = 0; bit < 8; ++bit)
                if (rng.Range(0, 999) < density) b |= std::uint8_t(1u << bit);
        const auto body = rfnbuild::EncodeGlyphData(masks, stride);
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(rfn::DecodeGlyphData(body.data(), body.size(), masks.size() * 8, stride, back));
        ASSERT_EQ(back, masks) << round;
        if (!body.empty()) {
            ASSERT_LE(body[0], rfn::kMaxCodeLength);
        }
    }
}

TEST(RasterFontCodes, StreamsThatEndEarlyOrLieAreRejected) {
    std::vector<std::uint8_t> masks(300);
    for (std::size_t i = 0; i < masks.size(); ++i) masks[i] = std::uint8_t(i * 13);
    const auto body = rfnbuild::EncodeGlyphData(masks, 3);
    std::vector<std::uint8_t> out;
    for (std::size_t cut = 0; cut + 4 < body.size(); ++cut)
        EXPECT_FALSE(rfn::DecodeGlyphData(body.data(), cut, masks.size() * 8, 3, out)) << cut;
    auto bad = body;
    bad[0] = 17; // longer than any code may be
    EXPECT_FALSE(rfn::DecodeGlyphData(bad.data(), bad.size(), masks.size() * 8, 3, out));
    bad = body;
    bad[2] = 0xFF; // more codes of length 1 than can exist
    EXPECT_FALSE(rfn::DecodeGlyphData(bad.data(), bad.size(), masks.size() * 8, 3, out));
}

TEST(RasterFontFiles, BothVersionsLoadAndCharactersWithoutWidthDrawNothing) {
    for (int version : {1, 2}) {
        TempDir dir("small" + std::to_string(version));
        WriteBytes(dir.path / "s.rfn", rfnbuild::WriteFontFile("Small", SmallSizes(), version));
        RFont::UseDirectory(dir.Dir());
        RFont f;
        f.SetName("Small");
        ASSERT_TRUE(f.Prepare());
        Buffer b;
        b.Alloc({20, 12});
        b.Box(b.Area, 0);
        b.OutChar(f, {0, 0}, 'C', 1);
        EXPECT_FALSE(b.CheckMask(1));
        b.OutChar(f, {0, 0}, 'B', 1);
        EXPECT_TRUE(b.CheckMask(1));
        RFont::UseDirectory("");
    }
}

TEST(RasterFontFiles, TruncatedFilesAreLeftOutOrDrawSafely) {
    const auto whole = rfnbuild::WriteFontFile("Small", SmallSizes(), 2);
    for (std::size_t cut = 0; cut < whole.size(); cut += 3) {
        TempDir dir("cut");
        WriteBytes(dir.path / "s.rfn",
                   std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
        DrawAll(dir.Dir());
    }
    TempDir dir("whole");
    WriteBytes(dir.path / "s.rfn", whole);
    EXPECT_TRUE(DrawAll(dir.Dir()));
}

TEST(RasterFontFiles, HostileHeadersAndRanges) {
    auto sizes = SmallSizes();
    sizes[0].last = 'A' - 1; // last below first: that size is left out
    sizes[0].widths.clear();
    sizes[0].glyphs.clear();
    const auto file = rfnbuild::WriteFontFile("Small", sizes, 1);
    std::vector<RFontEntry> entries;
    ASSERT_TRUE(rfn::ScanFontFile(file, 0, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Height, 9);

    auto future = rfnbuild::WriteFontFile("Small", SmallSizes(), 2);
    future[10] = 3; // version 3.0: ignored
    EXPECT_EQ(rfn::FileVersion(future), 0);
    auto huge = rfnbuild::WriteFontFile("Small", SmallSizes(), 1);
    huge[12 + 4] = 0x7F; // the NAME chunk claims far more than the file holds
    entries.clear();
    EXPECT_FALSE(rfn::ScanFontFile(huge, 0, entries));
    EXPECT_TRUE(entries.empty());
}

TEST(RasterFontFiles, WidthTablesOfTheWrongLengthArePaddedOrCut) {
    for (std::size_t n : {std::size_t(2), std::size_t(40)}) {
        auto sizes = SmallSizes();
        sizes.resize(1);
        sizes[0].widths.resize(n, 7);
        sizes[0].glyphs.resize(6); // one glyph per character, whatever the width table says
        TempDir dir("widths");
        WriteBytes(dir.path / "w.rfn", rfnbuild::WriteFontFile("W", sizes, 1));
        RFont::UseDirectory(dir.Dir());
        RFont f;
        f.SetName("W");
        ASSERT_TRUE(f.Prepare());
        EXPECT_EQ(f.Entry()->Widths.size(), 6u);
        Buffer b;
        b.Alloc({40, 10});
        b.Box(b.Area, 0);
        b.OutText(f, {0, 0}, "ABCDEF", 1);
        RFont::UseDirectory("");
    }
}

TEST(RasterFontCacheFiles, GarbageCachesAreRebuilt) {
    TempDir dir("garbage");
    WriteBytes(dir.path / "s.rfn", rfnbuild::WriteFontFile("Small", SmallSizes(), 2));
    const auto good = rfn::SerializeCache(rfn::LoadRegistry(dir.Dir()));
    rfn::Registry reg;
    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(rfn::ParseCache(
            std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(cut)), reg));
    testref::Rng rng(9);
    for (int i = 0; i < 2000; ++i) {
        auto bytes = good;
        bytes[std::size_t(rng.Range(0, int(bytes.size()) - 1))] ^=
            std::uint8_t(1u << rng.Range(0, 7));
        rfn::ParseCache(bytes, reg); // must not crash; may or may not be accepted
    }
    WriteBytes(dir.path / "fonts.bin", std::vector<std::uint8_t>(good.begin(), good.begin() + 30));
    bool rebuilt = false;
    const auto fresh = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_TRUE(rebuilt);
    EXPECT_EQ(fresh.entries.size(), 2u);
    EXPECT_EQ(fs::file_size(dir.path / "fonts.bin"), good.size());
}

TEST(RasterFontCacheFiles, AFailedCacheWriteLeavesNoPartialFile) {
    TempDir dir("nowrite");
    WriteBytes(dir.path / "s.rfn", rfnbuild::WriteFontFile("Small", SmallSizes(), 2));
    fs::create_directory(dir.path / "fonts.bin"); // the cache cannot replace a directory
    bool rebuilt = false;
    const auto reg = rfn::LoadRegistry(dir.Dir(), &rebuilt);
    EXPECT_TRUE(rebuilt);
    EXPECT_EQ(reg.entries.size(), 2u);
    for (const auto& e : fs::directory_iterator(dir.path))
        EXPECT_TRUE(e.path().filename() == "s.rfn" || e.path().filename() == "fonts.bin")
            << e.path();
}
