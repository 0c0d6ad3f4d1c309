// The JPEG format in the registry: description, Test's descriptor, the
// written file's layout, clipping into an existing buffer and progress.
#include "jpeg_test_util.h"

#include <map>

using namespace jpegtest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The segments of a file up to its scan: marker -> bodies in order.
std::multimap<int, Bytes> Segments(const Bytes& b) {
    std::multimap<int, Bytes> out;
    std::size_t i = 2;
    while (i + 4 <= b.size() && b[i] == 0xFF) {
        const int m = b[i + 1], len = b[i + 2] << 8 | b[i + 3];
        out.emplace(
            m, Bytes(b.begin() + std::ptrdiff_t(i + 4), b.begin() + std::ptrdiff_t(i + 2 + len)));
        if (m == 0xDA) break;
        i += 2 + len;
    }
    return out;
}

std::vector<int> MarkerOrder(const Bytes& b) {
    std::vector<int> order = {b[1]};
    std::size_t i = 2;
    while (i + 4 <= b.size() && b[i] == 0xFF) {
        order.push_back(b[i + 1]);
        if (b[i + 1] == 0xDA) break;
        i += 2 + (b[i + 2] << 8 | b[i + 3]);
    }
    return order;
}

int progressCalls = 0;
std::vector<int> progressSeen;
bool OnProgress(int percent) {
    ++progressCalls;
    progressSeen.push_back(percent);
    return true;
}

} // namespace

TEST(JpegFormat, IsRegisteredFourth) {
    GFXFile* f = Jpeg();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Desc, "JPEG");
    EXPECT_EQ(f->Mask, "*.JPG;*.JPEG;*.JFIF");
    EXPECT_TRUE(f->CanSave);
    EXPECT_EQ(GFXFile::GetDefaultFormat("photo.jpeg"), f);
    EXPECT_EQ(GFXFile::GetDefaultFormat("PHOTO.JFIF"), f);
    EXPECT_EQ(GFXFile::GetDefaultFormat("photo.jpe"), nullptr);
    TMemoryStream empty;
    EXPECT_EQ(f->GetImgCount(&empty), 1);
}

TEST(JpegFormat, TestDescribesAndRestoresThePosition) {
    Buffer pic;
    MakePicture(pic, 37, 21);
    Bytes colour = SaveJpegBytes(pic);
    TMemoryStream s;
    s.WriteBuffer("xyz", 3);
    s.WriteBuffer(colour.data(), std::int64_t(colour.size()));
    s.SetPosition(3);
    GFXFileDesc d;
    EXPECT_EQ(Jpeg()->Test(&s, &d), 1);
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(d.Width, 37);
    EXPECT_EQ(d.Height, 21);
    EXPECT_EQ(d.Color, 1);
    EXPECT_EQ(d.WithPal, 0);
    EXPECT_EQ(d.BPP, 24);
    EXPECT_EQ(d.BPCC, 8);
    Buffer back;
    Jpeg()->Load(back, &s, nullptr); // Load follows Test on the same stream
    EXPECT_EQ(back.Width(), 37);

    // Not a JPEG: other data, or shorter than the header.
    EXPECT_EQ(TestJpegBytes({0x42, 0x4D, 0, 0}), 0);
    EXPECT_EQ(TestJpegBytes({0xFF}), 0);
    EXPECT_EQ(TestJpegBytes({0xFF, 0xD8, 0xFF}), 0);
}

TEST(JpegFormat, GreyscaleFilesGiveGreyPixels) {
    SKIP_WITHOUT("cjpeg");
    Buffer pic;
    MakePicture(pic, 30, 20);
    const fs::path ppm = Scratch() / "grey.ppm", jpg = Scratch() / "grey.jpg";
    WritePpm(ppm, pic);
    ASSERT_EQ(Shell("cjpeg -grayscale -outfile " + jpg.string() + " " + ppm.string()), 0);
    const Bytes bytes = ReadBytes(jpg);
    GFXFileDesc d;
    EXPECT_EQ(TestJpegBytes(bytes, &d), 1);
    EXPECT_EQ(d.Color, 0);
    EXPECT_EQ(d.BPP, 8);
    Buffer b;
    LoadJpegBytes(bytes, b);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const Pixel p = *b.At(x, y);
            ASSERT_EQ(p, (p & 0xFF) * 0x010101u);
        }
}

TEST(JpegFormat, WrittenLayout) {
    Buffer pic;
    MakePicture(pic, 300, 70);
    const Bytes b = SaveJpegBytes(pic);
    EXPECT_EQ(MarkerOrder(b),
              (std::vector<int>{0xD8, 0xE0, 0xFE, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));
    const auto seg = Segments(b);
    EXPECT_EQ(seg.find(0xE0)->second, (Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(seg.find(0xFE)->second.size(), 12u);
    EXPECT_EQ(seg.find(0xC0)->second,
              (Bytes{8, 0, 70, 1, 44, 3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1}));
    EXPECT_EQ(seg.find(0xDA)->second, (Bytes{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
    auto dht = seg.equal_range(0xC4);
    std::vector<int> classes;
    for (auto it = dht.first; it != dht.second; ++it) classes.push_back(it->second[0]);
    EXPECT_EQ(classes, (std::vector<int>{0x00, 0x10, 0x01, 0x11}));

    // cjpeg's quality 75 scales the same example tables by one half, and its
    // default Huffman tables are the same example tables: both must match
    // ours byte for byte.
    if (!HaveTool("cjpeg")) return;
    const fs::path ppm = Scratch() / "layout.ppm", jpg = Scratch() / "layout.jpg";
    WritePpm(ppm, pic);
    ASSERT_EQ(Shell("cjpeg -quality 75 -sample 1x1 -outfile " + jpg.string() + " " + ppm.string()),
              0);
    const auto theirs = Segments(ReadBytes(jpg));
    auto collect = [](const std::multimap<int, Bytes>& m, int marker) {
        std::vector<Bytes> out;
        for (auto [it, end] = m.equal_range(marker); it != end; ++it) out.push_back(it->second);
        return out;
    };
    EXPECT_EQ(collect(seg, 0xDB), collect(theirs, 0xDB));
    auto ourDht = collect(seg, 0xC4), theirDht = collect(theirs, 0xC4);
    std::sort(ourDht.begin(), ourDht.end());
    std::sort(theirDht.begin(), theirDht.end());
    EXPECT_EQ(ourDht, theirDht);
}

TEST(JpegFormat, PartialBlocksArePaddedWithBlack) {
    // A white 10 x 10 image is coded as 2 x 2 blocks. Widening the frame to
    // 16 x 16 shows the padding, which must be black.
    Buffer white;
    white.Alloc({10, 10});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) *white.At(x, y) = 0xFFFFFF;
    Bytes b = SaveJpegBytes(white);
    Buffer back;
    LoadJpegBytes(b, back);
    EXPECT_EQ(back.Width(), 10);
    EXPECT_EQ(back.Height(), 10);
    EXPECT_GE(*back.At(4, 4) & 0xFF, 240u);
    const std::uint8_t sofMarker[] = {0xFF, 0xC0};
    const auto sof = std::size_t(
        std::search(b.begin(), b.end(), std::begin(sofMarker), std::end(sofMarker)) - b.begin());
    b[sof + 6] = 16; // height
    b[sof + 8] = 16; // width
    LoadJpegBytes(b, back);
    EXPECT_LE(*back.At(15, 15) & 0xFF, 40u);
    EXPECT_LE(*back.At(14, 2) & 0xFF, 60u);
    EXPECT_LE(*back.At(2, 14) & 0xFF, 60u);
}

TEST(JpegFormat, SaveLimitsAndEmptyBuffers) {
    // An empty image is refused, and a file of that name keeps its bytes.
    Buffer empty;
    TMemoryStream none;
    EXPECT_THROW(Jpeg()->Save(empty, &none, nullptr, nullptr), EInvalidImage);
    EXPECT_EQ(none.Size(), 0);
    const fs::path kept = Scratch() / "kept.jpg";
    WriteBytes(kept, {1, 2, 3});
    EXPECT_THROW(GFXFile::Save(empty, kept.string(), nullptr, nullptr), EInvalidImage);
    EXPECT_EQ(ReadBytes(kept), (std::vector<std::uint8_t>{1, 2, 3}));
    Buffer wide;
    wide.Alloc({65536, 1});
    for (int x = 0; x < 65536; ++x) *wide.At(x, 0) = 0;
    TMemoryStream m;
    EXPECT_THROW(Jpeg()->Save(wide, &m, nullptr, nullptr), EInvalidImage);
    Buffer widest;
    widest.Alloc({65535, 2});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 65535; ++x) *widest.At(x, y) = Pixel(x * 77);
    Buffer back;
    LoadJpegBytes(SaveJpegBytes(widest), back);
    EXPECT_EQ(back.Width(), 65535);
    EXPECT_EQ(back.Height(), 2);
}

TEST(JpegFormat, SavesTheBuffersAreaOfAView) {
    Buffer pic;
    MakePicture(pic, 64, 48);
    Buffer view(pic, Rect{16, 8, 47, 39}, true); // keeps pic's coordinates
    Buffer whole, part;
    LoadJpegBytes(SaveJpegBytes(view), part);
    ASSERT_EQ(part.Width(), 32);
    ASSERT_EQ(part.Height(), 32);
    Buffer copy;
    copy.Alloc({32, 32});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) *copy.At(x, y) = *pic.At(16 + x, 8 + y);
    LoadJpegBytes(SaveJpegBytes(copy), whole);
    EXPECT_EQ(MaxDiff(part, whole), 0);
}

TEST(JpegFormat, LoadClipsIntoAnExistingBuffer) {
    Buffer pic;
    MakePicture(pic, 40, 36);
    const Bytes bytes = SaveJpegBytes(pic);
    Buffer full;
    LoadJpegBytes(bytes, full);
    // Smaller, larger and offset targets: pixels land at their own (x, y).
    for (const Rect area : {Rect{0, 0, 19, 9}, Rect{0, 0, 59, 49}, Rect{-5, 7, 30, 50}}) {
        Buffer target;
        target.Alloc({area.Right - area.Left + 1, area.Bottom - area.Top + 1});
        target.Area = area;
        for (int y = area.Top; y <= area.Bottom; ++y)
            for (int x = area.Left; x <= area.Right; ++x) *target.At(x, y) = 0xAB000000;
        TFixedMemoryStream s(bytes.data(), bytes.size());
        Jpeg()->Load(target, &s, nullptr);
        for (int y = area.Top; y <= area.Bottom; ++y)
            for (int x = area.Left; x <= area.Right; ++x) {
                const bool inside = x >= 0 && y >= 0 && x < 40 && y < 36;
                ASSERT_EQ(*target.At(x, y), inside ? *full.At(x, y) : 0xAB000000u) << x << "," << y;
            }
    }
}

TEST(JpegFormat, ProgressPerMcuRowAndPerBand) {
    Buffer pic;
    MakePicture(pic, 20, 20);
    GFXFile::SetProgFunc(nullptr, OnProgress, nullptr);
    progressSeen.clear();
    const Bytes bytes = SaveJpegBytes(pic);
    EXPECT_EQ(progressSeen, (std::vector<int>{0, 40, 80})); // bands at rows 0, 8, 16
    progressSeen.clear();
    Buffer back;
    LoadJpegBytes(bytes, back);
    EXPECT_EQ(progressSeen, (std::vector<int>{40, 80, 100})); // MCU rows of 8
    GFXFile::SetProgFunc(nullptr, nullptr, nullptr);
}

TEST(JpegFormat, RegistrySavesAndLoadsByExtension) {
    Buffer pic;
    MakePicture(pic, 50, 30);
    const fs::path p = Scratch() / "registry.JPEG";
    GFXFile::Save(pic, p.string(), nullptr, nullptr);
    GFXFileDesc d;
    EXPECT_TRUE(GFXFile::Test(p.string(), &d));
    EXPECT_EQ(d.Width, 50);
    Buffer back;
    GFXFile::Load(back, p.string(), nullptr);
    EXPECT_GE(Psnr(back, pic), 25.0);
    EXPECT_EQ(GFXFile::GetImgCount(p.string()), 1);
}

TEST(JpegFormat, PixconvConvertsToAndFromJpeg) {
    const std::string pixconv = std::string(VM_BIN_DIR) + "/pixconv";
    if (!fs::exists(pixconv)) GTEST_SKIP() << "pixconv is not built";
    if (GFXFile::GetDefaultFormat("x.bmp") == nullptr) GTEST_SKIP() << "no BMP codec";
    Buffer pic;
    MakePicture(pic, 45, 31);
    const fs::path bmp = Scratch() / "pixconv.bmp", jpg = Scratch() / "pixconv.jpg",
                   back = Scratch() / "pixconv-back.bmp";
    GFXFile::Save(pic, bmp.string(), nullptr, nullptr);
    ASSERT_EQ(Shell(pixconv + " convert " + bmp.string() + " " + jpg.string()), 0);
    ASSERT_EQ(Shell(pixconv + " convert " + jpg.string() + " " + back.string()), 0);
    Buffer fromJpeg, fromBmp;
    LoadJpeg(jpg, fromJpeg);
    GFXFile::Load(fromBmp, back.string(), nullptr);
    EXPECT_EQ(MaxDiff(fromJpeg, fromBmp), 0);
    EXPECT_GE(Psnr(fromJpeg, pic), 25.0);
}
