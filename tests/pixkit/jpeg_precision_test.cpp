// 12-bit JPEG files, reduced to 8 bits. The djpeg here reads 8-bit files
// only, so each test file is made from an 8-bit one: the same coefficients
// with 16 times the quantization steps and a 12-bit frame decode to 16
// times the 8-bit samples, which must come out as djpeg's decode of the
// 8-bit file. Huffman, progressive and arithmetic coding all take this
// path; the corpus's own 12-bit files decode like their 8-bit siblings.
#include "jpeg_test_util.h"

#include <sys/wait.h>

using namespace jpegtest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The 8-bit file as a 12-bit one: frame precision 12 (a baseline frame
// becomes extended sequential) and every quantization table 16-bit, 16
// times as coarse. The coded data stays as it is.
Bytes To12Bit(const Bytes& in) {
    Bytes out(in.begin(), in.begin() + 2);
    std::size_t i = 2;
    while (i + 4 <= in.size()) {
        const std::uint8_t marker = in[i + 1];
        const std::size_t len = std::size_t(in[i + 2] << 8 | in[i + 3]);
        Bytes seg(in.begin() + std::ptrdiff_t(i), in.begin() + std::ptrdiff_t(i + 2 + len));
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 ||
            marker == 0xCA) {
            if (marker == 0xC0) seg[1] = 0xC1;
            seg[4] = 12;
        } else if (marker == 0xDB) {
            Bytes tables;
            for (std::size_t p = 4; p < seg.size();) {
                const bool wide = seg[p] >> 4;
                tables.push_back(std::uint8_t(0x10 | (seg[p] & 15)));
                for (int k = 0; k < 64; ++k) {
                    const int q =
                        wide ? seg[p + 1 + 2 * k] << 8 | seg[p + 2 + 2 * k] : seg[p + 1 + k];
                    tables.push_back(std::uint8_t((q * 16) >> 8));
                    tables.push_back(std::uint8_t(q * 16));
                }
                p += 1 + 64 * (wide ? 2 : 1);
            }
            seg = {0xFF, 0xDB, std::uint8_t((tables.size() + 2) >> 8),
                   std::uint8_t(tables.size() + 2)};
            seg.insert(seg.end(), tables.begin(), tables.end());
        }
        out.insert(out.end(), seg.begin(), seg.end());
        i += 2 + len;
        if (marker == 0xDA) break; // the coded data and all after it unchanged
    }
    out.insert(out.end(), in.begin() + std::ptrdiff_t(i), in.end());
    return out;
}

} // namespace

TEST(JpegPrecision, TwelveBitFilesDecodeLikeTheEightBitOnes) {
    SKIP_WITHOUT("djpeg");
    SKIP_WITHOUT("jpegtran");
    Buffer picture;
    MakePicture(picture, 173, 99, 3);
    const fs::path own = Scratch() / "p8.jpg";
    WriteBytes(own, SaveJpegBytes(picture));
    const fs::path sources[] = {own,
                                fs::path(VM_CORPUS_DIR) / "jpeg/baseline-420/pillow_hopper.jpg"};
    for (const fs::path& src : sources) {
        if (!fs::exists(src)) continue;
        Buffer ref;
        const fs::path pnm = Scratch() / "p8.pnm";
        ASSERT_EQ(Shell("djpeg -dct int -pnm -outfile " + pnm.string() + " " + src.string()), 0);
        ASSERT_TRUE(ReadNetpbm(pnm, ref));
        for (const char* options : {"-copy none", "-progressive", "-arithmetic -restart 2B",
                                    "-progressive -arithmetic"}) {
            SCOPED_TRACE(src.string() + " " + options);
            const fs::path variant = Scratch() / "p8-variant.jpg";
            const int rc = Shell(std::string("jpegtran ") + options + " -outfile " +
                                 variant.string() + " " + src.string());
            ASSERT_TRUE(rc == 0 || WEXITSTATUS(rc) == 2) << rc;
            const Bytes twelve = To12Bit(ReadBytes(variant));
            GFXFileDesc d;
            ASSERT_EQ(TestJpegBytes(twelve, &d), 1);
            EXPECT_EQ(d.BPCC, 12);
            Buffer b;
            ASSERT_NO_THROW(LoadJpegBytes(twelve, b));
            ASSERT_EQ(b.Width(), ref.Width());
            ASSERT_EQ(b.Height(), ref.Height());
            // The 12-bit transform rounds once, the 8-bit one twice.
            EXPECT_LE(MaxDiff(b, ref), 3);
            EXPECT_GE(Psnr(b, ref), 45.0);
        }
    }
}

TEST(JpegPrecision, CorpusTwelveBitFilesMatchTheirEightBitSiblings) {
    const fs::path dir = fs::path(VM_CORPUS_DIR) / "jpeg";
    const std::pair<const char*, const char*> pairs[] = {
        {"12bit/jpegsuite-extended_huffman_32x32x12_grayscale.jpg",
         "greyscale/jpegsuite-baseline_32x32x8_grayscale.jpg"},
        {"12bit/jpegsuite-progressive_huffman_32x32x12_ycbcr.jpg",
         "progressive/jpegsuite-progressive_huffman_32x32x8_ycbcr.jpg"},
        {"arithmetic/jpegsuite-extended_arithmetic_32x32x12_grayscale.jpg",
         "arithmetic/jpegsuite-extended_arithmetic_32x32x8_grayscale.jpg"},
    };
    for (const auto& [twelve, eight] : pairs) {
        SCOPED_TRACE(twelve);
        if (!fs::exists(dir / twelve) || !fs::exists(dir / eight)) GTEST_SKIP() << "no corpus";
        Buffer a, b;
        ASSERT_NO_THROW(LoadJpeg(dir / twelve, a));
        ASSERT_NO_THROW(LoadJpeg(dir / eight, b));
        ASSERT_EQ(a.Width(), b.Width());
        EXPECT_GE(Psnr(a, b), 45.0);
    }
}

// Every 12-bit file of the corpus against ffmpeg, the one decoder here that
// reads 12-bit JPEG: its 16-bit RGB output reduced to 8 bits. Colour
// conversion and chroma upsampling differ, hence a PSNR bound.
TEST(JpegPrecision, CorpusTwelveBitFilesMatchAnIndependentDecoder) {
    SKIP_WITHOUT("ffmpeg");
    const fs::path dir = fs::path(VM_CORPUS_DIR) / "jpeg/12bit";
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus";
    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        SCOPED_TRACE(e.path().filename().string());
        Buffer ours;
        ASSERT_NO_THROW(LoadJpeg(e.path(), ours));
        const fs::path raw = Scratch() / "ffmpeg.rgb48";
        ASSERT_EQ(Shell("ffmpeg -v error -y -i '" + e.path().string() +
                        "' -frames:v 1 -pix_fmt rgb48le -f rawvideo '" + raw.string() + "'"),
                  0);
        const Bytes words = ReadBytes(raw);
        ASSERT_EQ(words.size(), std::size_t(ours.Width()) * ours.Height() * 6);
        Buffer ref;
        ref.Alloc({ours.Width(), ours.Height()});
        const std::uint8_t* w = words.data();
        for (int y = 0; y < ref.Height(); ++y)
            for (int x = 0; x < ref.Width(); ++x, w += 6) {
                Pixel p = 0;
                for (int c = 0; c < 3; ++c)
                    p |= Pixel((w[2 * c] | w[2 * c + 1] << 8) / 257.0 + 0.5) << (16 - 8 * c);
                *ref.At(x, y) = p;
            }
        EXPECT_GE(Psnr(ours, ref), 40.0);
        ++files;
    }
    EXPECT_EQ(files, 8);
}
