// Photo orientation: a JPEG carrying each of the eight EXIF orientations
// (both byte orders) reports it in the descriptor, and turned with
// ApplyOrientation, or converted by pixconv, it shows the upright picture;
// pixconv --keep-orientation keeps the stored one.
#include "exif_segment.h"
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace pixkit;
using namespace imgtools;

namespace {

constexpr int kW = 48, kH = 32; // upright size, whole 8 x 8 blocks

Pixel Upright(int x, int y) {
    return Pixel(x * 5) << 16 | Pixel(y * 7) << 8 | Pixel((x + 2 * y) * 2);
}

// The stored picture for orientation o, from where the EXIF tag says the
// stored first row and first column are shown: rows 1..4 top/bottom and
// columns left/right; 5..8 the stored rows become shown columns.
Buffer Stored(int o) {
    const bool turned = o >= 5;
    const int sw = turned ? kH : kW, sh = turned ? kW : kH;
    const bool rowAtEnd = o == 3 || o == 4 || o == 6 || o == 7; // bottom or right
    const bool colAtEnd = o == 2 || o == 3 || o == 7 || o == 8; // right or bottom
    Buffer s;
    s.Alloc({sw, sh});
    for (int sy = 0; sy < sh; ++sy)
        for (int sx = 0; sx < sw; ++sx) {
            const int across = colAtEnd ? sw - 1 - sx : sx; // along the stored row
            const int down = rowAtEnd ? sh - 1 - sy : sy;   // across the stored rows
            *s.At(sx, sy) = turned ? Upright(down, across) : Upright(across, down);
        }
    return s;
}

double MeanDifference(const Buffer& b) {
    if (b.Width() != kW || b.Height() != kH) return 1e9;
    double sum = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int sh = 0; sh < 24; sh += 8)
                sum += std::abs(int((*b.At(x, y) >> sh) & 255) - int((Upright(x, y) >> sh) & 255));
    return sum / (kW * kH * 3);
}

TEST(Orientation, EveryExifValueTurnsThePhotoUpright) {
    TempDir dir;
    const std::string pixconv = std::string(VM_BIN_DIR) + "/pixconv";
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        Buffer stored = Stored(o);
        const std::string plain = dir / "plain.jpg", photo = dir / "photo.jpg";
        GFXFile::Save(stored, plain, nullptr, nullptr);
        std::ifstream in(plain, std::ios::binary);
        const std::string jpeg(std::istreambuf_iterator<char>(in), {});
        std::ofstream(photo, std::ios::binary)
            << jpeg.substr(0, 2) + testref::ExifSegment(o) + jpeg.substr(2);

        GFXFileDesc d;
        ASSERT_TRUE(GFXFile::Test(photo, &d));
        EXPECT_EQ(d.Orientation, o);
        Buffer b;
        GFXFile::Load(b, photo, nullptr);
        EXPECT_EQ(b.Width(), stored.Width()) << "Load keeps the stored orientation";
        ApplyOrientation(b, d.Orientation);
        EXPECT_LT(MeanDifference(b), 2.0);

        ASSERT_TRUE(
            RunCmd(Quote(pixconv) + " convert " + Quote(photo) + " " + Quote(dir / "u.bmp")));
        Buffer converted;
        GFXFile::Load(converted, dir / "u.bmp", nullptr);
        EXPECT_LT(MeanDifference(converted), 2.0);
        ASSERT_TRUE(RunCmd(Quote(pixconv) + " convert --keep-orientation " + Quote(photo) + " " +
                           Quote(dir / "k.bmp")));
        Buffer kept;
        GFXFile::Load(kept, dir / "k.bmp", nullptr);
        EXPECT_EQ(kept.Width(), stored.Width());
        EXPECT_EQ(kept.Height(), stored.Height());
    }
    // A file without the tag, and a wrong value, stand as stored.
    Buffer b = Stored(1);
    GFXFile::Save(b, dir / "none.jpg", nullptr, nullptr);
    GFXFileDesc d;
    ASSERT_TRUE(GFXFile::Test(dir / "none.jpg", &d));
    EXPECT_EQ(d.Orientation, 1);
    ApplyOrientation(b, 9);
    EXPECT_LT(MeanDifference(b), 0.01);
}

} // namespace
