// The frame format: every stored version decodes by its encoding, the
// newest version keeps pixels and the extra record bit for bit, clipped
// loads still find the extra block, and damaged files fail cleanly.
#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <vector>

using namespace pixkit;

namespace {

GFXFile& Frm() {
    GFXFile* f = GFXFile::GetDefaultFormat("x.frm");
    if (f == nullptr) throw std::runtime_error("frame format not registered");
    return *f;
}

std::vector<std::uint8_t> Header(int version, int w, int h) {
    return {'F',
            'R',
            'M',
            std::uint8_t(version),
            std::uint8_t(w),
            std::uint8_t(w >> 8),
            std::uint8_t(h),
            std::uint8_t(h >> 8)};
}

void Append(std::vector<std::uint8_t>& v, std::initializer_list<int> bytes) {
    for (int b : bytes) v.push_back(std::uint8_t(b));
}

std::vector<Pixel> Pixels(const Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

struct Loaded {
    Buffer b;
    GFXtra32 x{-1, -1, 0xDEAD, 0xBEEF, 77};
};

void Load(Loaded& l, const std::vector<std::uint8_t>& bytes, bool extra = true) {
    TFixedMemoryStream s(bytes.data(), bytes.size());
    Frm().Load(l.b, &s, extra ? &l.x : nullptr);
}

} // namespace

struct VersionCase {
    int version;
    std::vector<int> pixels; // two stored pixels
    std::vector<int> extra;  // the version's extra block
    Pixel want[2];
    Pixel fore, back;
    int bpp, bpcc;
};

TEST(FrameFormat, EveryVersionDecodesByItsEncoding) {
    // One entry per case, in the order of the encoding table. Version 0: 12-bit
    // colours and marked values; its extra colours use the 12-bit rule only.
    // clang-format off
    const VersionCase cases[] = {
        {0, {0x00, 0x0F, 0x85, 0x41}, {1, 0, 2, 0, 0x0F, 0x00, 0x85, 0x41},
         {0x000000FF, 0x20010500}, 0x00FF0000, 0x00558811, 16, 4},
        {0, {0x0F, 0x00, 0x05, 0x40}, {1, 0, 2, 0, 0x0F, 0x00, 0x0F, 0x00},
         {0x00FF0000, 0x10000500}, 0x00FF0000, 0x00FF0000, 16, 4},
        {1, {0xFF, 0x7F, 0x21, 0x04}, {0xFE, 0xFF, 2, 0, 0x21, 0x04, 0x00, 0x7C},
         {0x00FFFFFF, 0x00080808}, 0x00080808, 0x00FF0000, 16, 5},
        {2, {1, 2, 3, 9, 4, 5, 6, 9}, {1, 0, 2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0},
         {0x00010203, 0x00040506}, 0x00010203, 0x00050607, 32, 8},
        {3, {1, 2, 3, 4, 5, 6}, {1, 0, 2, 0, 1, 2, 3, 4, 5, 6},
         {0x00010203, 0x00040506}, 0x00010203, 0x00040506, 24, 8},
        {4, {1, 2, 3, 0x81, 4, 5, 6, 0x01}, {1, 0, 2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9},
         {0x81030201, 0x01060504}, 0x04030201, 0x08070605, 32, 8},
    };
    // clang-format on
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.version);
        std::vector<std::uint8_t> file = Header(c.version, 2, 1);
        for (int p : c.pixels) file.push_back(std::uint8_t(p));
        for (int e : c.extra) file.push_back(std::uint8_t(e));
        Loaded l;
        Load(l, file);
        EXPECT_EQ(Pixels(l.b), (std::vector<Pixel>{c.want[0], c.want[1]}));
        EXPECT_EQ(l.x.HotX, std::int16_t(c.extra[0] | c.extra[1] << 8));
        EXPECT_EQ(l.x.HotY, 2);
        EXPECT_EQ(l.x.Fore, c.fore);
        EXPECT_EQ(l.x.Back, c.back);
        EXPECT_EQ(l.x.Image, 77); // never read back

        TFixedMemoryStream s(file.data(), file.size());
        GFXFileDesc d;
        EXPECT_EQ(Frm().Test(&s, &d), 1);
        EXPECT_EQ(d.Width, 2);
        EXPECT_EQ(d.BPP, c.bpp);
        EXPECT_EQ(d.BPCC, c.bpcc);
        EXPECT_EQ(d.WithPal, 0);
    }
}

TEST(FrameFormat, RoundTripKeepsTopBytesAndTheRecord) {
    Buffer b;
    b.Alloc({5, 3});
    Pixel v = 0x01000000;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x, v += 0x11030507) *b.At(x, y) = v;
    GFXtra32 x{-3, 12, 0x01FFFFFF, 0x00123456, 4};
    TMemoryStream s;
    Frm().Save(b, &s, &x, nullptr);
    EXPECT_EQ(s.Size(), 8 + 5 * 3 * 4 + 16);
    s.SetPosition(0);
    Loaded l;
    Frm().Load(l.b, &s, &l.x);
    EXPECT_EQ(Pixels(l.b), Pixels(b));
    EXPECT_EQ(l.x.HotX, -3);
    EXPECT_EQ(l.x.HotY, 12);
    EXPECT_EQ(l.x.Fore, 0x01FFFFFFu);
    EXPECT_EQ(l.x.Back, 0x00123456u);
    EXPECT_EQ(l.x.Image, 77);

    // A view is saved by its own Area.
    Buffer view(b, Rect{1, 1, 3, 2}, true);
    TMemoryStream vs;
    Frm().Save(view, &vs, nullptr, nullptr);
    vs.SetPosition(0);
    Loaded lv;
    Frm().Load(lv.b, &vs, nullptr);
    EXPECT_EQ(Pixels(lv.b), Pixels(view));
}

TEST(FrameFormat, EmptyBufferIsAZeroByZeroImage) {
    Buffer empty;
    GFXtra32 x{1, 2, 3, 4, 5};
    TMemoryStream s;
    Frm().Save(empty, &s, nullptr, nullptr);
    EXPECT_EQ(s.Bytes(), (std::vector<std::uint8_t>{'F', 'R', 'M', 4, 0, 0, 0, 0}));
    TMemoryStream withRecord;
    Frm().Save(empty, &withRecord, &x, nullptr);
    EXPECT_EQ(withRecord.Size(), 24);
    withRecord.SetPosition(0);
    Loaded l;
    Frm().Load(l.b, &withRecord, &l.x);
    EXPECT_TRUE(l.b.Empty());
    EXPECT_EQ(l.x.HotY, 2);
}

TEST(FrameFormat, LoadsIntoAnExistingSmallerBufferAndStillReadsTheRecord) {
    Buffer big;
    big.Alloc({100, 50});
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) *big.At(x, y) = Pixel(y * 1000 + x) | 0x02000000;
    GFXtra32 x{7, 8, 9, 10, 1};
    TMemoryStream s;
    Frm().Save(big, &s, &x, nullptr);
    s.SetPosition(0);
    Loaded l;
    l.b.Alloc({40, 40});
    Frm().Load(l.b, &s, &l.x);
    for (int y = 0; y < 40; ++y)
        for (int xx = 0; xx < 40; ++xx) ASSERT_EQ(*l.b.At(xx, y), *big.At(xx, y));
    EXPECT_EQ(l.x.HotX, 7);
    EXPECT_EQ(l.x.Back, 10u);

    // A view whose area starts inside the image gets the pixels at its coordinates.
    Buffer host;
    host.Alloc({60, 60});
    Buffer view(host, Rect{10, 20, 59, 59}, true);
    s.SetPosition(0);
    Frm().Load(view, &s, nullptr);
    EXPECT_EQ(*view.At(10, 20), *big.At(10, 20));
    EXPECT_EQ(*view.At(59, 49), *big.At(59, 49));
}

TEST(FrameFormat, DamagedFilesFailCleanly) {
    // A version above 4 is recognised but cannot be loaded.
    std::vector<std::uint8_t> v7 = Header(7, 1, 1);
    Append(v7, {0, 0, 0, 0});
    TFixedMemoryStream s7(v7.data(), v7.size());
    GFXFileDesc d;
    EXPECT_EQ(Frm().Test(&s7, &d), -1);
    EXPECT_EQ(d.BPP, 0);
    Loaded l7;
    EXPECT_THROW(Load(l7, v7), EInvalidImage);

    // Cut inside the rows: the read error, rows so far kept, the rest 0.
    std::vector<std::uint8_t> cut = Header(3, 1, 3);
    Append(cut, {1, 2, 3, 4, 5});
    Loaded lc;
    EXPECT_THROW(Load(lc, cut), EReadError);
    EXPECT_EQ(Pixels(lc.b), (std::vector<Pixel>{0x00010203, 0, 0}));

    // A short extra block leaves the record as it was.
    std::vector<std::uint8_t> shortExtra = Header(4, 1, 1);
    Append(shortExtra, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    Loaded ls;
    Load(ls, shortExtra);
    EXPECT_EQ(ls.x.HotX, -1);
    EXPECT_EQ(ls.x.Fore, 0xDEADu);

    // A huge size with no pixels behind it is refused before allocating.
    Loaded lh;
    EXPECT_THROW(Load(lh, Header(4, 0xFFFF, 0xFFFF)), EInvalidImage);
    EXPECT_TRUE(lh.b.Empty());
    std::vector<std::uint8_t> bad = Header(4, 1, 1);
    bad[2] = 'X';
    EXPECT_THROW(Load(lh, bad), EInvalidImage);
}

TEST(FrameFormat, SizesBeyondSixteenBitsAreNotWritten) {
    Buffer wide;
    wide.Alloc({70000, 1});
    TMemoryStream s;
    EXPECT_THROW(Frm().Save(wide, &s, nullptr, nullptr), EInvalidImage);
}
