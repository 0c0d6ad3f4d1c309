// JPEG files in several scans. jpegtran re-encodes baseline files without
// loss as progressive files (with and without restart intervals), as one
// sequential scan per component and with arithmetic coding: each decodes to
// exactly the pixels of the baseline file. A progressive file cut short keeps the picture refined
// so far. The files the single-scan decoder took before the scan-by-scan decoder existed still
// decode to the very same pixels. Where a scan's data ends is found as
// the decoder finds it.
#include "codecs/jpeg_multiscan.h"
#include "jpeg_test_util.h"

#include <algorithm>
#include <set>
#include <sys/wait.h>

using namespace jpegtest;

namespace {

const fs::path kCorpus = fs::path(VM_CORPUS_DIR) / "jpeg";

// Baseline sources: the corpus's, when present, and one of our own.
std::vector<fs::path> Sources() {
    std::vector<fs::path> files;
    for (const char* folder :
         {"baseline-420", "baseline-422", "baseline-444", "greyscale", "restart-markers"}) {
        if (!fs::is_directory(kCorpus / folder)) continue;
        for (const auto& e : fs::directory_iterator(kCorpus / folder)) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    Buffer picture;
    MakePicture(picture, 203, 141);
    const fs::path own = Scratch() / "own.jpg";
    WriteBytes(own, SaveJpegBytes(picture));
    files.push_back(own);
    return files;
}

TEST(JpegMultiScan, LosslessReencodingsDecodeExactlyLikeTheBaselineFile) {
    SKIP_WITHOUT("jpegtran");
    const fs::path script = Scratch() / "per-component.txt";
    std::ofstream(script) << "0;\n1;\n2;\n";
    const std::pair<const char*, std::string> variants[] = {
        {"progressive", "-progressive"},
        {"progressive, restart every MCU", "-progressive -restart 1B"},
        {"one scan per component", "-scans " + script.string()},
        {"arithmetic", "-arithmetic"},
        {"arithmetic, restart every 3 MCUs", "-arithmetic -restart 3B"},
        {"progressive arithmetic", "-progressive -arithmetic"},
    };
    int compared = 0;
    for (const fs::path& src : Sources()) {
        SCOPED_TRACE(src.string());
        Buffer baseline;
        try {
            LoadJpeg(src, baseline);
        } catch (const EStreamError&) {
            continue; // damaged: nothing to compare with
        }
        GFXFileDesc d;
        ASSERT_EQ(TestJpegBytes(ReadBytes(src), &d), 1);
        for (const auto& [what, options] : variants) {
            SCOPED_TRACE(what);
            // The script names three components.
            if (d.BPP != 24 && options.rfind("-scans", 0) == 0) continue;
            const fs::path out = Scratch() / "variant.jpg";
            // Exit status 2: a warning (extra bytes, say), the file is written.
            const int rc =
                Shell("jpegtran " + options + " -outfile " + out.string() + " " + src.string());
            ASSERT_TRUE(rc == 0 || WEXITSTATUS(rc) == 2) << rc;
            const std::vector<std::uint8_t> bytes = ReadBytes(out);
            EXPECT_EQ(TestJpegBytes(bytes), 1);
            Buffer b;
            ASSERT_NO_THROW(LoadJpegBytes(bytes, b));
            ASSERT_EQ(b.Width(), baseline.Width());
            ASSERT_EQ(b.Height(), baseline.Height());
            EXPECT_EQ(MaxDiff(b, baseline), 0);
            ++compared;
        }
    }
    EXPECT_GE(compared, 3);
}

TEST(JpegMultiScan, ProgressiveFileCutShortKeepsTheCoarsePicture) {
    SKIP_WITHOUT("jpegtran");
    Buffer picture;
    MakePicture(picture, 320, 240, 5);
    const fs::path src = Scratch() / "cut-src.jpg", prog = Scratch() / "cut-prog.jpg";
    WriteBytes(src, SaveJpegBytes(picture));
    ASSERT_EQ(Shell("jpegtran -progressive -outfile " + prog.string() + " " + src.string()), 0);
    Buffer full;
    LoadJpeg(prog, full);
    const std::vector<std::uint8_t> bytes = ReadBytes(prog);
    for (double part : {0.3, 0.6, 0.9}) {
        SCOPED_TRACE(part);
        const std::vector<std::uint8_t> cut(bytes.begin(),
                                            bytes.begin() + long(bytes.size() * part));
        Buffer b;
        EXPECT_THROW(LoadJpegBytes(cut, b), EStreamError);
        ASSERT_FALSE(b.Empty());
        ASSERT_EQ(b.Width(), full.Width());
        // The DC scans come first: every row has its coarse picture.
        EXPECT_GT(Psnr(b, full), 18.0);
        EXPECT_LT(Psnr(b, full), 200.0);
    }
}

TEST(JpegMultiScan, SingleScanFilesKeepTheirPixelsToTheBit) {
    // Every baseline corpus file the single-scan decoder takes, in byte
    // order of their paths, hashed (FNV-1a over size and pixels); the value
    // is that of the decoder before files in several scans were accepted.
    const std::set<std::string> others = {"jpegdec_rgb.jpg",
                                          "serenity_rgb_components.jpg",
                                          "cjpeg_arithmetic_420.jpg",
                                          "cjpeg_baseline_411.jpg",
                                          "cjpeg_baseline_440.jpg",
                                          "cjpeg_progressive_420.jpg",
                                          "cjpeg_rgb_no_colour_transform.jpg",
                                          "jpegdec_ycck.jpg",
                                          "pillow_pil_sample_cmyk.jpg",
                                          "jpegsuite-extended_huffman_32x32x8_ycbcr.jpg"};
    std::vector<std::string> files;
    for (const char* folder : {"baseline-420", "baseline-422", "baseline-444", "extended-sof1-8bit",
                               "generated", "greyscale", "restart-markers"}) {
        if (!fs::is_directory(kCorpus / folder)) GTEST_SKIP() << "no corpus at " << kCorpus;
        for (const auto& e : fs::directory_iterator(kCorpus / folder))
            if (!others.count(e.path().filename().string())) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&](std::uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            h ^= (v >> (8 * k)) & 255;
            h *= 1099511628211ull;
        }
    };
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        Buffer b;
        ASSERT_NO_THROW(LoadJpeg(f, b));
        mix(std::uint32_t(b.Width()));
        mix(std::uint32_t(b.Height()));
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x) mix(*b.At(x, y) & 0xFFFFFF);
    }
    EXPECT_EQ(files.size(), 102u);
    EXPECT_EQ(h, 0x749c7ba7e885453aull);
}

// A scan's data runs to the first marker that is not a restart marker:
// stuffed zeros and fill bytes are data, and so are restart markers in a
// scan with a restart interval; one in a scan without, or the end of the
// data first, means the data cannot be planned that way.
TEST(JpegMultiScan, ScanDataEndsAtTheFirstMarker) {
    struct Case {
        std::vector<std::uint8_t> Data;
        bool Restarts;
        bool Found;
        std::uint8_t Marker;
        int End;
    };
    const Case cases[] = {
        {{1, 2, 0xFF, 0xD9}, false, true, 0xD9, 4},
        {{0xFF, 0x00, 7, 0xFF, 0xFF, 0xFF, 0xC4, 9}, false, true, 0xC4, 7},
        {{0xFF, 0xFF, 0x00, 0xFF, 0xDA}, false, true, 0xDA, 5},
        {{3, 0xFF, 0xD3, 0xFF, 0xD9}, false, false, 0, 0},
        {{3, 0xFF, 0xD3, 4, 0xFF, 0xD4, 0xFF, 0xD9}, true, true, 0xD9, 8},
        {{3, 0xFF, 0x00, 0xFF}, true, false, 0, 0},
        {{}, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        std::uint8_t marker = 0;
        int end = 0;
        const bool found =
            jpeg::FindDataEnd(c.Data.data(), int(c.Data.size()), 0, c.Restarts, marker, end);
        EXPECT_EQ(found, c.Found) << c.Data.size();
        if (!found || !c.Found) continue;
        EXPECT_EQ(marker, c.Marker);
        EXPECT_EQ(end, c.End);
    }
}

} // namespace
