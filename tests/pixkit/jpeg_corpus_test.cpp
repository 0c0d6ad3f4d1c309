// The shared codec corpus: every file the codec accepts decodes like djpeg
// decodes it; every other file, and every damaged one, ends in a clean error
// or a partial image.
#include "jpeg_test_util.h"

#include <algorithm>
#include <set>
#include <sys/wait.h>

using namespace jpegtest;

namespace {

const fs::path kCorpus = fs::path(VM_CORPUS_DIR);

std::vector<fs::path> FilesUnder(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().string().find("/_ref/") == std::string::npos)
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::int8_t TestFile(const fs::path& p, GFXFileDesc* d = nullptr) {
    TFileStream s(p.string(), TFileStream::Mode::OpenRead);
    return Jpeg()->Test(&s, d);
}

// Loads with the codec; returns "" on success or the error's type.
std::string TryLoad(const fs::path& p, Buffer& b) {
    try {
        LoadJpeg(p, b);
        return "";
    } catch (const EInvalidImage&) {
        return "EInvalidImage";
    } catch (const EReadError&) {
        return "EReadError";
    }
}

// Folders of files inside the codec's scope, which must all be accepted
// unless listed below with the reason.
const std::set<std::string> kBaselineFolders = {"baseline-420",    "baseline-422",
                                                "baseline-444",    "greyscale",
                                                "restart-markers", "extended-sof1-8bit"};
const std::set<std::string> kOutOfScope = {};

// Whether the file's sampling is one the decoder upsamples smoothly, as
// djpeg does by default (luminance 1 x 1, 2 x 1 or 2 x 2 over full-size
// chroma); other samplings are repeated, as djpeg -nosmooth does.
bool SmoothSampling(const fs::path& p) {
    const std::vector<std::uint8_t> b = ReadBytes(p);
    for (std::size_t i = 2; i + 10 < b.size(); ++i) {
        if (b[i] != 0xFF || (b[i + 1] != 0xC0 && b[i + 1] != 0xC1 && b[i + 1] != 0xC2)) continue;
        const int count = b[i + 9];
        if (count != 3 || i + 10 + 9 > b.size()) return true;
        const int luma = b[i + 11], cb = b[i + 14], cr = b[i + 17];
        return cb == 0x11 && cr == 0x11 && (luma == 0x11 || luma == 0x21 || luma == 0x22);
    }
    return true;
}

// The file with the height of its DNL segment in the frame header and the
// segment removed.
std::vector<std::uint8_t> WithoutDnl(std::vector<std::uint8_t> b) {
    std::size_t sof = 0, dnl = 0;
    for (std::size_t i = 0; i + 5 < b.size(); ++i) {
        if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC1) && sof == 0) sof = i;
        if (b[i] == 0xFF && b[i + 1] == 0xDC) dnl = i;
    }
    if (sof == 0 || dnl == 0) return b;
    b[sof + 5] = b[dnl + 4];
    b[sof + 6] = b[dnl + 5];
    b.erase(b.begin() + std::ptrdiff_t(dnl), b.begin() + std::ptrdiff_t(dnl) + 6);
    return b;
}

} // namespace

TEST(JpegCorpus, AcceptedFilesDecodeLikeDjpeg) {
    const auto files = FilesUnder(kCorpus / "jpeg");
    if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
    SKIP_WITHOUT("djpeg");
    int decoded = 0, rejected = 0;
    for (const fs::path& p : files) {
        SCOPED_TRACE(p.string());
        const std::string folder = p.parent_path().filename().string();
        const std::string name = p.filename().string();
        GFXFileDesc d;
        const std::int8_t t = TestFile(p, &d);
        Buffer ours;
        const std::string error = TryLoad(p, ours);
        // Lossless files are not JPEG files this codec knows.
        if (folder == "lossless") {
            EXPECT_EQ(t, 0);
        }
        if (folder == "progressive" || folder == "baseline-noninterleaved" ||
            folder == "baseline-other-sampling" || folder == "arithmetic" || folder == "12bit") {
            EXPECT_EQ(t, 1);
        }
        if (!error.empty()) {
            ++rejected;
            EXPECT_EQ(error, "EInvalidImage");
            // A file Test accepts loads; only damaged data ends in an
            // error then, after the picture decoded so far.
            if (t == 1) {
                EXPECT_FALSE(ours.Empty());
            }
            if (kBaselineFolders.count(folder)) {
                EXPECT_TRUE(kOutOfScope.count(name)) << "rejected";
            }
            continue;
        }
        EXPECT_EQ(t, 1);
        ++decoded;
        EXPECT_FALSE(kOutOfScope.count(name)) << "expected out of scope";
        ASSERT_EQ(error, "");
        EXPECT_EQ(ours.Width(), d.Width);
        EXPECT_EQ(ours.Height(), d.Height);
        // This djpeg reads 8-bit files only (see jpeg_precision_test.cpp).
        if (d.BPCC == 12) continue;
        Buffer ref;
        const fs::path pnm = Scratch() / "corpus.pnm";
        if (d.Color && d.BPP == 4 * d.BPCC) {
            // CMYK and YCCK: djpeg writes no RGB for them; Pillow converts
            // libjpeg's inks the same way. Subsampled inks are repeated
            // here and smoothed there, hence the looser bound.
            ASSERT_EQ(Shell("/usr/bin/python3 -c 'import sys; from PIL import Image; "
                            "Image.open(sys.argv[1]).convert(\"RGB\").save(sys.argv[2], "
                            "\"PPM\")' " +
                            p.string() + " " + pnm.string()),
                      0);
            ASSERT_TRUE(ReadNetpbm(pnm, ref));
            EXPECT_GE(Psnr(ours, ref), 30.0);
            continue;
        }
        // djpeg knows no DNL segment: it reads the file with the height put
        // into the frame header and the segment left out.
        fs::path file = p;
        if (folder == "baseline-dnl") {
            file = Scratch() / "dnl.jpg";
            WriteBytes(file, WithoutDnl(ReadBytes(p)));
        }
        // djpeg's exit status 2 means it warned (about extra bytes, say) but
        // wrote the image.
        const int rc = Shell("djpeg -dct int" + std::string(SmoothSampling(p) ? "" : " -nosmooth") +
                             " -pnm -outfile " + pnm.string() + " " + file.string());
        ASSERT_TRUE(rc == 0 || WEXITSTATUS(rc) == 2) << rc;
        ASSERT_TRUE(ReadNetpbm(pnm, ref));
        ASSERT_EQ(ref.Width(), ours.Width());
        ASSERT_EQ(ref.Height(), ours.Height());
        EXPECT_GE(Psnr(ours, ref), 45.0);
    }
    std::printf("corpus: %d files decoded, %d rejected\n", decoded, rejected);
    EXPECT_GT(decoded, 80);
}

TEST(JpegCorpus, DamagedFilesEndCleanly) {
    const auto files = FilesUnder(kCorpus / "corrupt" / "jpeg");
    if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
    int loaded = 0;
    for (const fs::path& p : files) {
        SCOPED_TRACE(p.string());
        TestFile(p);
        Buffer b;
        const std::string error = TryLoad(p, b);
        // A damaged file either decodes (damage outside the image data) or
        // ends with an error; a partial image keeps the frame's size.
        if (error.empty()) {
            ++loaded;
        } else {
            EXPECT_TRUE(error == "EInvalidImage" || error == "EReadError") << error;
        }
    }
    std::printf("corrupt: %d of %zu files loaded\n", loaded, files.size());
}
