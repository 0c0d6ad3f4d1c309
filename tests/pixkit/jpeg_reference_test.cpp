// The codec against libjpeg-turbo: files written by cjpeg decode like
// djpeg decodes them, and djpeg reads the files we write.
#include "jpeg_test_util.h"

#include <pixkit/gfxfile.h>

using namespace jpegtest;

namespace {

// Writes the picture with cjpeg and returns the file.
fs::path Cjpeg(const Buffer& pic, const std::string& name, const std::string& options) {
    const fs::path ppm = Scratch() / (name + ".ppm"), jpg = Scratch() / (name + ".jpg");
    WritePpm(ppm, pic);
    EXPECT_EQ(Shell("cjpeg " + options + " -outfile " + jpg.string() + " " + ppm.string()), 0);
    return jpg;
}

// djpeg's own decode with the accurate integer inverse DCT.
void Djpeg(const fs::path& jpg, Buffer& out) {
    const fs::path pnm = jpg.string() + ".pnm";
    ASSERT_EQ(Shell("djpeg -dct int -pnm -outfile " + pnm.string() + " " + jpg.string()), 0);
    ASSERT_TRUE(ReadNetpbm(pnm, out));
}

struct CjpegCase {
    const char* Name;
    int W, H;
    const char* Options;
};

// The same inverse DCT as djpeg -dct int (the LLM algorithm, 13-bit
// constants), the same triangle-filter upsampling and the same 16-bit
// colour conversion leave only rounding differences: 45 dB is about an
// RMS error of 1.4 levels, which a wrong upsampling phase, a missing
// clamp or a wrong colour equation all exceed by far.
const CjpegCase kCases[] = {
    {"grey", 227, 149, "-grayscale"},
    {"q75_444", 227, 149, "-sample 1x1"},
    {"q75_422", 227, 149, "-sample 2x1"},
    {"q75_420", 227, 149, "-sample 2x2"},
    {"q95_420", 160, 120, "-quality 95 -sample 2x2"},
    {"q20_444", 160, 120, "-quality 20 -sample 1x1"},
    {"q50_422_restart", 190, 77, "-quality 50 -sample 2x1 -restart 1"},
    {"restart_blocks_420", 190, 77, "-sample 2x2 -restart 3B"},
    {"restart_blocks_grey", 190, 77, "-grayscale -restart 7B"},
    {"optimised_420", 227, 149, "-optimize -sample 2x2"},
    {"size1x1_420", 1, 1, "-sample 2x2"},
    {"size7x9_444", 7, 9, "-sample 1x1"},
    {"size7x9_420", 7, 9, "-sample 2x2"},
    {"size17x33_422", 17, 33, "-sample 2x1"},
    {"size17x33_420", 17, 33, "-sample 2x2 -restart 1B"},
    {"size1023x769_420", 1023, 769, "-sample 2x2"},
    {"size1023x769_grey", 1023, 769, "-grayscale -quality 90"},
};

} // namespace

TEST(JpegReference, CjpegFilesDecodeLikeDjpeg) {
    SKIP_WITHOUT("cjpeg");
    for (const CjpegCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        Buffer pic;
        MakePicture(pic, c.W, c.H, 7);
        const fs::path jpg = Cjpeg(pic, c.Name, c.Options);
        Buffer ours, ref;
        LoadJpeg(jpg, ours);
        Djpeg(jpg, ref);
        ASSERT_EQ(ours.Width(), c.W);
        ASSERT_EQ(ours.Height(), c.H);
        EXPECT_GE(Psnr(ours, ref), 45.0);
        EXPECT_EQ(*ours.At(0, 0) >> 24, 0u); // the top byte is 0
    }
}

TEST(JpegReference, SubsampledAndFullChromaDecodeNearlyAlike) {
    SKIP_WITHOUT("cjpeg");
    Buffer pic;
    MakePicture(pic, 200, 150, 3);
    Buffer a, b;
    LoadJpeg(Cjpeg(pic, "alike444", "-quality 90 -sample 1x1"), a);
    LoadJpeg(Cjpeg(pic, "alike420", "-quality 90 -sample 2x2"), b);
    // Halving the chroma resolution loses detail only at colour edges.
    EXPECT_GE(Psnr(a, b), 30.0);
    EXPECT_GE(Psnr(a, pic), 30.0);
    EXPECT_GE(Psnr(b, pic), 28.0);
}

TEST(JpegReference, DjpegReadsOurFiles) {
    SKIP_WITHOUT("djpeg");
    for (const auto& [w, h] : {std::pair{1, 1}, {10, 10}, {7, 9}, {17, 33}, {640, 480}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Buffer pic;
        MakePicture(pic, w, h, 11);
        const auto bytes = SaveJpegBytes(pic);
        ASSERT_GE(bytes.size(), 8u);
        const std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + 6);
        EXPECT_EQ(head, (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}));
        EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
        EXPECT_EQ(bytes.back(), 0xD9);

        const fs::path jpg = Scratch() / ("ours_" + std::to_string(w) + ".jpg");
        WriteBytes(jpg, bytes);
        std::string err;
        const fs::path pnm = jpg.string() + ".ppm";
        ASSERT_EQ(Shell("djpeg -dct int -outfile " + pnm.string() + " " + jpg.string(), &err), 0);
        EXPECT_EQ(err, "") << "djpeg warned";
        Buffer ref, ours;
        ASSERT_TRUE(ReadNetpbm(pnm, ref));
        LoadJpegBytes(bytes, ours);
        ASSERT_EQ(ref.Width(), w);
        ASSERT_EQ(ref.Height(), h);
        EXPECT_LE(MaxDiff(ours, ref), 2);
    }
}

TEST(JpegReference, RoundTripStaysCloseToTheSource) {
    // The encoder's quality is fixed (halved example tables, about cjpeg's
    // quality 75 in 4:4:4): on this picture cjpeg -quality 75 -sample 1x1
    // reaches about 36 dB, so 33 dB leaves room for our 7-bit colour
    // conversion but catches any wrong table, order or rounding.
    Buffer pic;
    MakePicture(pic, 320, 200, 5);
    auto bytes = SaveJpegBytes(pic);
    Buffer back;
    LoadJpegBytes(bytes, back);
    ASSERT_EQ(back.Width(), 320);
    ASSERT_EQ(back.Height(), 200);
    EXPECT_GE(Psnr(back, pic), 33.0);
    if (HaveTool("cjpeg")) {
        Buffer theirs;
        LoadJpeg(Cjpeg(pic, "q75_444_ref", "-quality 75 -sample 1x1"), theirs);
        EXPECT_GE(Psnr(back, pic), Psnr(theirs, pic) - 1.5);
    }
}
