// Reduced JPEG decoding for thumbnails: LoadReduced picks the largest of
// 1/2, 1/4 and 1/8 still at least the size asked for and decodes through
// the scaled inverse transform, compared with djpeg -scale on odd sizes,
// 4:4:4 and 4:2:0, sequential and progressive, and 4:1:1 with the means of
// the full decode.
#include "jpeg_test_util.h"

#include <sys/wait.h>

using namespace jpegtest;

namespace {

// Loads through the format's reduced decode; returns the stored size.
Pair<int> LoadReducedBytes(const std::vector<std::uint8_t>& bytes, Buffer& b, Pair<int> atLeast) {
    TFixedMemoryStream s(bytes.data(), bytes.size());
    b.Free();
    Pair<int> full{0, 0};
    Jpeg()->LoadReduced(b, &s, nullptr, atLeast, &full);
    return full;
}

// The mean channel error of reduced (1 / scale of full) against the means
// of full's scale x scale squares, leaving out the last row and column
// (they stand for the padding beyond the picture's edge too).
double ErrorAgainstMeans(const Buffer& reduced, const Buffer& full, int scale) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y + 1 < reduced.Height(); ++y)
        for (int x = 0; x + 1 < reduced.Width(); ++x)
            for (int shift : {0, 8, 16}) {
                int total = 0;
                for (int j = 0; j < scale; ++j)
                    for (int i = 0; i < scale; ++i)
                        total += int(*full.At(x * scale + i, y * scale + j) >> shift & 255);
                sum += std::abs(double(total) / (scale * scale) -
                                double(*reduced.At(x, y) >> shift & 255));
                ++n;
            }
    return sum / n;
}

double MeanError(const Buffer& a, const Buffer& b) {
    double sum = 0;
    ForEachChannelDiff(a, b, [&](int d) { sum += std::abs(d); });
    return sum / (3.0 * a.Width() * a.Height());
}

} // namespace

TEST(JpegReduced, ScaledDecodesMatchDjpeg) {
    SKIP_WITHOUT("cjpeg");
    SKIP_WITHOUT("djpeg");
    const fs::path ppm = Scratch() / "reduced.ppm", jpg = Scratch() / "reduced.jpg",
                   pnm = Scratch() / "reduced.pnm";
    for (const auto& [w, h] : {std::pair{203, 141}, std::pair{97, 61}, std::pair{33, 17}}) {
        Buffer picture;
        MakePicture(picture, w, h, 7);
        WritePpm(ppm, picture);
        for (const char* options :
             {"-sample 1x1", "-sample 2x2", "-sample 4x1", "-sample 1x1 -progressive",
              "-sample 2x2 -progressive -restart 1"}) {
            const bool full = std::string(options).find("1x1") != std::string::npos;
            const bool quarter = std::string(options).find("4x1") != std::string::npos;
            ASSERT_EQ(Shell(std::string("cjpeg -quality 90 ") + options + " -outfile " +
                            jpg.string() + " " + ppm.string()),
                      0);
            const std::vector<std::uint8_t> bytes = ReadBytes(jpg);
            for (int scale : {8, 4, 2}) {
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + options + " 1/" +
                             std::to_string(scale));
                ASSERT_EQ(Shell("djpeg -dct int -scale 1/" + std::to_string(scale) +
                                " -pnm -outfile " + pnm.string() + " " + jpg.string()),
                          0);
                Buffer ref, ours;
                ASSERT_TRUE(ReadNetpbm(pnm, ref));
                const Pair<int> stored = LoadReducedBytes(bytes, ours, {ref.Width(), ref.Height()});
                EXPECT_EQ(stored.x, w);
                EXPECT_EQ(stored.y, h);
                ASSERT_EQ(ours.Width(), ref.Width());
                ASSERT_EQ(ours.Height(), ref.Height());
                if (full) {
                    EXPECT_LE(MaxDiff(ours, ref), scale == 8 ? 2 : 4);
                } else if (quarter) {
                    // djpeg's reduced 4:1:1 decodes repeat whole chroma
                    // blocks (mean errors of 3 to 27 here): compared with
                    // the means of the full decode, which matches djpeg's.
                    Buffer whole;
                    LoadJpegBytes(bytes, whole);
                    EXPECT_LT(ErrorAgainstMeans(ours, whole, scale), 1.0);
                } else {
                    EXPECT_LT(MeanError(ours, ref), 1.0);
                }
            }
        }
    }
}

TEST(JpegReduced, ChoosesTheLargestReductionStillBigEnough) {
    Buffer picture;
    MakePicture(picture, 203, 141, 2);
    const std::vector<std::uint8_t> bytes = SaveJpegBytes(picture);
    Buffer full;
    LoadJpegBytes(bytes, full);
    const struct {
        Pair<int> atLeast, size;
    } cases[] = {
        {{1, 1}, {26, 18}},   {{26, 18}, {26, 18}},    {{27, 18}, {51, 36}},
        {{26, 19}, {51, 36}}, {{102, 71}, {102, 71}},  {{103, 71}, {203, 141}},
        {{0, 0}, {26, 18}},   {{300, 10}, {203, 141}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.atLeast.x) + "x" + std::to_string(c.atLeast.y));
        Buffer b;
        LoadReducedBytes(bytes, b, c.atLeast);
        EXPECT_EQ(b.Width(), c.size.x);
        EXPECT_EQ(b.Height(), c.size.y);
        // No reduction is the full decode, pixel for pixel.
        if (c.size.x == 203) {
            EXPECT_EQ(MaxDiff(b, full), 0);
        }
    }
}
