// Malformed GIF input: every case ends in EInvalidImage or a read error
// (never a write outside the image), with what was decoded before the
// fault kept; and the block walk of Test and GetImgCount on odd files.
#include "gif_test_util.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

using namespace pixkit;
using namespace giftest;

namespace {

GFXFile* Gif() {
    return GFXFile::GetDefaultFormat("x.gif");
}

void LoadBytes(Buffer& b, const Bytes& g, int image = 1) {
    TFixedMemoryStream s(g.v.data(), g.v.size());
    GFXtra32 x{0, 0, 0, 0, image};
    Gif()->Load(b, &s, &x);
}

std::int8_t TestBytes(const Bytes& g, GFXFileDesc* d = nullptr) {
    TFixedMemoryStream s(g.v.data(), g.v.size());
    return Gif()->Test(&s, d);
}

int CountBytes(const Bytes& g) {
    TFixedMemoryStream s(g.v.data(), g.v.size());
    return Gif()->GetImgCount(&s);
}

// A 2 x 2 image with a 4-entry table (minimum code size 2: clear 4, end 5,
// codes of 3 bits at first) coded as the given codes.
Bytes TwoByTwo(const std::vector<std::pair<int, int>>& codes, int sw = 2, int sh = 2) {
    return OneImageGif(sw, sh, 2, 2, 2, 2, SubBlocks(PackCodes(codes)));
}

} // namespace

TEST(GifBadInput, CodesTheTableDoesNotHoldYet) {
    Buffer ok;
    // 0, then 6 = "0 0" (the entry being defined), then 1 at the new width.
    LoadBytes(ok, TwoByTwo({{4, 3}, {0, 3}, {6, 3}, {1, 4}, {5, 4}}));
    EXPECT_EQ(*ok.At(1, 0), 0x0000FFu); // entry 0: 0, 0, 255
    EXPECT_EQ(*ok.At(0, 1), 0x0000FFu);
    EXPECT_EQ(*ok.At(1, 1), 0x5501FEu); // entry 1: 85, 1, 254

    Buffer b;
    // After the first code the next free code is 6; 7 is beyond it.
    EXPECT_THROW(LoadBytes(b, TwoByTwo({{4, 3}, {0, 3}, {7, 3}, {5, 3}})), EInvalidImage);
    // The first code after a clear must be a literal ...
    Buffer c;
    EXPECT_THROW(LoadBytes(c, TwoByTwo({{4, 3}, {6, 3}, {5, 3}})), EInvalidImage);
    // ... and so must the first code of all.
    Buffer d;
    EXPECT_THROW(LoadBytes(d, TwoByTwo({{6, 3}, {5, 3}})), EInvalidImage);
    // A clear in the middle starts over: 6 is again undefined.
    Buffer e;
    EXPECT_THROW(LoadBytes(e, TwoByTwo({{4, 3}, {0, 3}, {1, 3}, {4, 3}, {6, 3}})), EInvalidImage);
}

TEST(GifBadInput, ImpossibleSizes) {
    const std::vector<std::uint8_t> data = SubBlocks(PackCodes({{4, 3}, {0, 3}, {5, 3}}));
    struct Case {
        int Sw, Sh, W, H;
    };
    for (const Case c :
         {Case{4, 4, 0, 2}, Case{4, 4, 2, 0}, Case{0, 0, 0, 0}, Case{65535, 65535, 65535, 65535}}) {
        const Bytes g = OneImageGif(c.Sw, c.Sh, c.W, c.H, 2, 2, data);
        Buffer b;
        EXPECT_THROW(LoadBytes(b, g), EInvalidImage) << c.W << "x" << c.H;
        EXPECT_TRUE(b.Empty()) << "nothing is allocated for " << c.W << "x" << c.H;
        // Recognised as GIF; only the sizes themselves tell it cannot load.
        EXPECT_EQ(TestBytes(g), c.W == 65535 ? 1 : -1) << c.W << "x" << c.H;
    }
    // An image larger than its logical screen loads at its own size.
    for (const Case c : {Case{2, 2, 3, 2}, Case{2, 2, 2, 3}}) {
        const Bytes g = OneImageGif(c.Sw, c.Sh, c.W, c.H, 2, 2, data);
        Buffer b;
        EXPECT_EQ(TestBytes(g), 1) << c.W << "x" << c.H;
        try {
            LoadBytes(b, g);
        } catch (const EStreamError&) {
            // The codes above cover fewer pixels than the image: a partial image.
        }
        EXPECT_EQ(b.Width(), c.W);
        EXPECT_EQ(b.Height(), c.H);
    }
}

TEST(GifBadInput, StructuralFaults) {
    const std::vector<std::uint8_t> data = SubBlocks(PackCodes({{4, 3}, {0, 3}, {5, 3}}));
    Bytes good = OneImageGif(2, 2, 2, 2, 2, 2, data);
    Buffer b;
    LoadBytes(b, good);

    Bytes signature = good;
    signature.v[4] = '8';
    EXPECT_EQ(TestBytes(signature), 0);
    EXPECT_THROW(LoadBytes(b, signature), EInvalidImage);

    // No global and no local table.
    Bytes noTable;
    noTable.Str("GIF89a").W(2).W(2).B(0).B(0).B(0).B(',').W(0).W(0).W(2).W(2).B(0).B(2);
    noTable.Append(data).B(';');
    EXPECT_EQ(TestBytes(noTable), 0);
    EXPECT_THROW(LoadBytes(b, noTable), EInvalidImage);

    for (int codeSize : {0, 12, 13}) {
        Bytes g = OneImageGif(2, 2, 2, 2, 2, codeSize, data);
        EXPECT_THROW(LoadBytes(b, g), EInvalidImage) << codeSize;
    }

    // A sub-block that claims more bytes than the file has.
    Bytes cut = OneImageGif(2, 2, 2, 2, 2, 2, {});
    cut.v.pop_back(); // the trailer
    cut.B(200).B(0x44).B(0x01);
    Buffer c;
    EXPECT_THROW(LoadBytes(c, cut), EReadError);

    // An extension whose sub-block runs past the end.
    Bytes ext;
    ext.Str("GIF89a").W(2).W(2).B(0x80).B(0).B(0).B(0).B(0).B(0).B(255).B(255).B(255);
    ext.B('!').B(0xFE).B(100).Str("comment");
    EXPECT_EQ(TestBytes(ext), 0);
    EXPECT_THROW(LoadBytes(c, ext), EReadError);
}

// A file cut inside the image data: the read error comes through and the
// rows decoded before the cut stay in the buffer.
TEST(GifBadInput, TruncatedDataKeepsDecodedRows) {
    const int w = 16, h = 64;
    std::vector<std::uint8_t> idx(std::size_t(w) * h);
    for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<std::uint8_t>((i * 7) % 13);
    Bytes g = OneImageGif(w, h, w, h, 4, 4, SubBlocks(PackCodes(EncodeLzw(idx, 4)), 16));
    Buffer whole;
    LoadBytes(whole, g);
    Bytes cut = g;
    cut.v.resize(cut.v.size() / 2);
    Buffer part;
    EXPECT_THROW(LoadBytes(part, cut), EReadError);
    ASSERT_FALSE(part.Empty());
    int rows = 0;
    while (rows < h && std::equal(part.At(0, rows), part.At(0, rows) + w, whole.At(0, rows)))
        ++rows;
    EXPECT_GT(rows, 5);
    EXPECT_LT(rows, h);
    for (int y = rows + 1; y < h; ++y) EXPECT_EQ(*part.At(0, y), 0u) << "row " << y;

    // Data that simply stops early (the zero-length block comes before the
    // end code) gives the decoded part and black for the rest.
    std::vector<std::uint8_t> packed = PackCodes(EncodeLzw(idx, 4));
    packed.resize(packed.size() / 3);
    Buffer early;
    LoadBytes(early, OneImageGif(w, h, w, h, 4, 4, SubBlocks(packed)));
    EXPECT_TRUE(std::equal(early.At(0, 0), early.At(0, 0) + w, whole.At(0, 0)));
    EXPECT_EQ(*early.At(w - 1, h - 1), 0u);
}

TEST(GifBadInput, ImageWalkOnOddFiles) {
    const std::vector<std::uint8_t> data = SubBlocks(PackCodes({{4, 3}, {0, 3}, {5, 3}}));
    // Only extensions and the trailer.
    Bytes none;
    none.Str("GIF89a").W(2).W(2).B(0x80).B(0).B(0).B(0).B(0).B(0).B(255).B(255).B(255);
    none.B('!').B(0xFF).B(3).Str("abc").B(0).B('!').B(0xFE).B(0).B(';');
    EXPECT_EQ(CountBytes(none), 0);
    EXPECT_EQ(TestBytes(none), 0);

    // Two images and no trailer: both count, and both load.
    Bytes two = OneImageGif(2, 2, 2, 2, 2, 2, data);
    two.v.pop_back();
    two.B(',').W(1).W(1).W(1).W(1).B(0).B(2).Append(data);
    EXPECT_EQ(CountBytes(two), 2);
    Buffer b;
    GFXFileDesc d;
    d.Image = 2;
    EXPECT_EQ(TestBytes(two, &d), 1);
    EXPECT_EQ(d.Width, 1);
    LoadBytes(b, two, 2);
    EXPECT_EQ(b.Area, (Rect{0, 0, 0, 0}));
    d.Image = 3;
    EXPECT_EQ(TestBytes(two, &d), 0);
}

TEST(GifBadInput, CorruptCorpusFilesFailCleanly) {
    const fs::path dir = fs::path(VM_CORPUS_DIR) / "corrupt" / "gif";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "corpus folder " << dir << " is absent";
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string path = entry.path().string();
        const int count = GFXFile::GetImgCount(path);
        for (int n = 1; n <= std::max(count, 1); ++n) {
            Buffer b;
            GFXtra32 x{0, 0, 0, 0, n};
            try {
                GFXFile::Load(b, path, &x);
            } catch (const EStreamError&) {
                // a clean refusal
            }
            EXPECT_LE(std::int64_t(b.Width()) * b.Height(), std::int64_t(1) << 24) << path;
        }
    }
}
