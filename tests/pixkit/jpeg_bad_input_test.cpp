// Damaged and unsupported JPEG data: each ends in EInvalidImage or the read
// error, never in a crash or a wrong success.
#include "jpeg_test_util.h"

#include <climits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace jpegtest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A small valid file of our own: 16 x 16, 4:4:4.
Bytes SmallFile(int w = 16, int h = 16) {
    Buffer pic;
    MakePicture(pic, w, h, 9);
    return SaveJpegBytes(pic);
}

// Offset of the first marker FF m (before the scan data).
std::size_t Find(const Bytes& b, std::uint8_t m) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == m) return i;
    ADD_FAILURE() << "marker " << int(m) << " not found";
    return 0;
}

// Offset of the first entropy-coded byte.
std::size_t ScanData(const Bytes& b) {
    const std::size_t sos = Find(b, 0xDA);
    return sos + 2 + (b[sos + 2] << 8 | b[sos + 3]);
}

Bytes Segment(std::uint8_t marker, const Bytes& body) {
    Bytes s = {0xFF, marker, std::uint8_t((body.size() + 2) >> 8), std::uint8_t(body.size() + 2)};
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

void ExpectInvalid(const Bytes& b) {
    Buffer out;
    EXPECT_THROW(LoadJpegBytes(b, out), EInvalidImage);
}

// Loading raises EInvalidImage or, for data that ends early, EReadError.
void ExpectCleanError(const Bytes& b) {
    Buffer out;
    try {
        LoadJpegBytes(b, out);
        ADD_FAILURE() << "loaded";
    } catch (const EInvalidImage&) {
    } catch (const EReadError&) {
    }
}

// Loads through the registry from a file.
void ExpectRegistryInvalid(const Bytes& b, const std::string& name) {
    const fs::path p = Scratch() / name;
    WriteBytes(p, b);
    Buffer out;
    EXPECT_THROW(GFXFile::Load(out, p.string(), nullptr), EInvalidImage);
}

} // namespace

TEST(JpegBadInput, OtherCodingProcessesAreNotRecognised) {
    const Bytes good = SmallFile();
    const std::size_t sof = Find(good, 0xC0);
    // Lossless, Huffman and arithmetic coded.
    for (const std::uint8_t marker : {0xC3, 0xCB}) {
        SCOPED_TRACE(int(marker));
        Bytes b = good;
        b[sof + 1] = marker;
        EXPECT_EQ(TestJpegBytes(b), 0);
        ExpectInvalid(b);
        ExpectRegistryInvalid(b, "other.jpg");
    }
    // A hierarchical file announces itself with DHP before its frames.
    Bytes hier = good;
    const Bytes dhp = Segment(0xDE, {8, 0, 16, 0, 16, 3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1});
    hier.insert(hier.begin() + std::ptrdiff_t(Find(good, 0xDB)), dhp.begin(), dhp.end());
    EXPECT_EQ(TestJpegBytes(hier), 0);
    ExpectInvalid(hier);
    ExpectRegistryInvalid(hier, "hier.jpg");
}

TEST(JpegBadInput, UnsupportedFramesAreRecognisedButNotLoaded) {
    const Bytes good = SmallFile();
    const std::size_t sof = Find(good, 0xC0);
    auto variant = [&](std::size_t offset, std::uint8_t value) {
        Bytes b = good;
        b[sof + offset] = value;
        return b;
    };
    const Bytes cases[] = {
        variant(4, 16),    // 16-bit precision
        variant(5, 0),     // height 0 (the size would follow in DNL)
        variant(6, 0),     // height 0, low byte
        variant(12, 4),    // quantization table 4
        variant(11, 0x5),  // sampling factor 0
        variant(11, 0x35), // luminance 3 x 5: more than 10 blocks in an MCU
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        Bytes b = cases[i];
        if (i == 1) b[sof + 6] = 0; // both bytes of the height
        EXPECT_EQ(TestJpegBytes(b), -1);
        ExpectInvalid(b);
        ExpectRegistryInvalid(b, "variant.jpg");
    }
    // Frames the scan-by-scan decoder takes, whose data does not fit them
    // (a baseline scan in a progressive frame, data coded for other
    // sampling, a scan naming a component the frame does not have): Test
    // accepts them, Load ends cleanly.
    const Bytes other[] = {variant(1, 0xC2), variant(11, 0x12), variant(14, 0x21), variant(13, 5)};
    for (std::size_t i = 0; i < std::size(other); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(TestJpegBytes(other[i]), 1);
        Buffer out;
        try {
            LoadJpegBytes(other[i], out);
        } catch (const EInvalidImage&) {
        }
    }
    Bytes zeroWidth = good;
    zeroWidth[sof + 7] = zeroWidth[sof + 8] = 0;
    EXPECT_EQ(TestJpegBytes(zeroWidth), -1);
    ExpectInvalid(zeroWidth);
}

TEST(JpegBadInput, BadTableSegments) {
    const Bytes good = SmallFile();
    const std::size_t dqt = Find(good, 0xDB), dht = Find(good, 0xC4), sos = Find(good, 0xDA);
    auto patched = [&](std::size_t at, std::uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    ExpectInvalid(patched(dqt + 4, 0x04));  // quantization table 4
    ExpectInvalid(patched(dqt + 4, 0x20));  // precision 2
    ExpectInvalid(patched(dht + 4, 0x04));  // DC table 4
    ExpectInvalid(patched(dht + 4, 0x20));  // class 2
    ExpectInvalid(patched(dht + 3, 0x40));  // length beyond the table
    ExpectInvalid(patched(sos + 6, 0x22));  // the scan uses undefined tables 2
    ExpectInvalid(patched(sos + 5, 9));     // a component the frame does not have
    ExpectInvalid(patched(sos + 4, 1));     // one component of three
    ExpectInvalid(patched(sos + 11, 1));    // spectral selection from 1
    ExpectInvalid(patched(sos + 13, 0x10)); // successive approximation

    // Counts that overflow the code space: three 1-bit codes.
    Bytes over = good;
    over[dht + 5] = 3; // counts 0 1 5 ... become 3 1 2 ...
    over[dht + 7] -= 3;
    ExpectInvalid(over);
    // More than 256 symbols in one table.
    Bytes many = good;
    many[dht + 5 + 15] = 255;
    many[dht + 5 + 14] = 255;
    ExpectInvalid(many);
    // DRI with a wrong length.
    Bytes dri = good;
    const Bytes seg = Segment(0xDD, {0, 1, 0});
    dri.insert(dri.begin() + std::ptrdiff_t(sos), seg.begin(), seg.end());
    ExpectInvalid(dri);
    // A scan before any frame, EOI before the scan.
    Bytes noFrame = good;
    noFrame[Find(good, 0xC0) + 1] = 0xE5; // the frame becomes APP5 data
    ExpectInvalid(noFrame);
    Bytes early = good;
    early[dqt + 1] = 0xD9;
    ExpectInvalid(early);
}

TEST(JpegBadInput, HuffmanCodesRunningOffTheTable) {
    // One DC code ("0" for size 0) and one AC code ("0" for end of block):
    // a one bit means a code the table does not have.
    Bytes b = SmallFile(8, 8);
    const std::size_t dht = Find(b, 0xC4);
    const Bytes tiny = Segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
                                      0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
    Bytes valid = b;
    valid.insert(valid.begin() + std::ptrdiff_t(Find(b, 0xDA)), tiny.begin(), tiny.end());
    (void)dht;
    // All three blocks with table 0: zero bits decode, one bits do not.
    const std::size_t sos = Find(valid, 0xDA);
    valid[sos + 6] = valid[sos + 8] = valid[sos + 10] = 0x00;
    const std::size_t data = ScanData(valid);
    valid.resize(data);
    Bytes zeros = valid, ones = valid;
    zeros.insert(zeros.end(), {0x00, 0x3F, 0xFF, 0x00, 0xFF, 0xD9}); // 6 zero bits, then padding
    ones.insert(ones.end(), {0x7F, 0xFF, 0x00, 0xFF, 0xD9});
    Buffer out;
    LoadJpegBytes(zeros, out);
    EXPECT_EQ(*out.At(3, 3), 0x808080u); // all coefficients 0: mid grey
    ExpectInvalid(ones);
}

TEST(JpegBadInput, RestartMarkersMustComeInSequence) {
    SKIP_WITHOUT("cjpeg");
    Buffer pic;
    MakePicture(pic, 64, 16, 2);
    const fs::path ppm = Scratch() / "rst.ppm", jpg = Scratch() / "rst.jpg";
    WritePpm(ppm, pic);
    ASSERT_EQ(Shell("cjpeg -sample 1x1 -restart 1B -outfile " + jpg.string() + " " + ppm.string()),
              0);
    const Bytes good = ReadBytes(jpg);
    std::vector<std::size_t> rst;
    for (std::size_t i = ScanData(good); i + 1 < good.size(); ++i)
        if (good[i] == 0xFF && good[i + 1] >= 0xD0 && good[i + 1] <= 0xD7) rst.push_back(i);
    ASSERT_EQ(rst.size(), 15u); // 16 MCUs of 8 x 8
    Buffer ok;
    LoadJpegBytes(good, ok);

    Bytes wrong = good;
    wrong[rst[2] + 1] = 0xD5; // RST5 where RST2 belongs
    ExpectInvalid(wrong);
    Bytes missing = good;
    missing.erase(missing.begin() + std::ptrdiff_t(rst[3]),
                  missing.begin() + std::ptrdiff_t(rst[3]) + 2);
    ExpectInvalid(missing);
    // The MCU row decoded before a wrong marker stays in the buffer; the
    // rest keeps what the buffer held.
    Bytes late = good;
    late[rst[10] + 1] = 0xD0;
    Buffer partial;
    partial.Alloc({64, 16});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) *partial.At(x, y) = 0x123456;
    TFixedMemoryStream s(late.data(), late.size());
    EXPECT_THROW(Jpeg()->Load(partial, &s, nullptr), EInvalidImage);
    EXPECT_EQ(*partial.At(5, 7), *ok.At(5, 7));
    EXPECT_EQ(*partial.At(63, 0), *ok.At(63, 0));
    EXPECT_EQ(*partial.At(5, 8), 0x123456u);
}

TEST(JpegBadInput, TruncatedScans) {
    const Bytes good = SmallFile(64, 64);
    const std::size_t data = ScanData(good);
    for (std::size_t cut : {data, data + 1, data + (good.size() - data) / 2, good.size() - 3}) {
        SCOPED_TRACE(cut);
        const Bytes shorter(good.begin(), good.begin() + std::ptrdiff_t(cut));
        ExpectCleanError(shorter);
        // Ended by EOI instead: the decoder runs out of data at the marker.
        Bytes withEoi = shorter;
        withEoi.insert(withEoi.end(), {0xFF, 0xD9});
        ExpectInvalid(withEoi);
    }
    // Every cut of the header ends cleanly too; Test reads only up to the
    // frame, so it recognises the cuts after it.
    const std::size_t frameEnd = Find(good, 0xC0) + 19;
    for (std::size_t cut = 0; cut < data; ++cut) {
        const Bytes shorter(good.begin(), good.begin() + std::ptrdiff_t(cut));
        ExpectCleanError(shorter);
        EXPECT_EQ(TestJpegBytes(shorter), cut < frameEnd ? 0 : 1);
    }
}

// The file with the frame's coding process and size changed, and a comment
// segment of pad bytes after the frame header.
Bytes Claiming(std::uint8_t marker, int w, int h, std::size_t pad) {
    Bytes b = SmallFile();
    const std::size_t sof = Find(b, 0xC0);
    b[sof + 1] = marker;
    b[sof + 5] = std::uint8_t(h >> 8);
    b[sof + 6] = std::uint8_t(h);
    b[sof + 7] = std::uint8_t(w >> 8);
    b[sof + 8] = std::uint8_t(w);
    Bytes comments;
    for (; pad > 0; pad -= std::min<std::size_t>(pad, 65000)) {
        const Bytes seg = Segment(0xFE, Bytes(std::min<std::size_t>(pad, 65000) - 4, 'x'));
        comments.insert(comments.end(), seg.begin(), seg.end());
    }
    b.insert(b.begin() + std::ptrdiff_t(Find(b, 0xC4)), comments.begin(), comments.end());
    return b;
}

// A progressive grey w x h file of endless refinement scans of the whole
// band, each a few end-of-band runs that cover every block, up to ~950 KB.
Bytes EndlessScans(int w, int h) {
    Bytes b = {0xFF, 0xD8};
    Bytes dqt(65, 1);
    dqt[0] = 0;
    const Bytes sof = {
        8, std::uint8_t(h >> 8), std::uint8_t(h), std::uint8_t(w >> 8), std::uint8_t(w), 1, 1, 0x11,
        0};
    // One AC code, 0 for an end-of-band run with 14 more bits.
    Bytes dht = {0x10, 1};
    dht.resize(17);
    dht.push_back(0xE0);
    for (const Bytes& seg : {Segment(0xDB, dqt), Segment(0xC2, sof), Segment(0xC4, dht)})
        b.insert(b.end(), seg.begin(), seg.end());
    const std::int64_t blocks = std::int64_t((w + 7) / 8) * ((h + 7) / 8);
    Bytes scan = Segment(0xDA, {1, 1, 0x00, 1, 63, 0x10});
    // Runs of 32767 blocks: the code 0 and 14 one bits each, padded with
    // one bits, FF bytes stuffed.
    std::string bits;
    for (std::int64_t covered = 0; covered < blocks; covered += 32767)
        bits += "0" + std::string(14, '1');
    bits += std::string((8 - bits.size() % 8) % 8, '1');
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        scan.push_back(std::uint8_t(std::stoi(bits.substr(i, 8), nullptr, 2)));
        if (scan.back() == 0xFF) scan.push_back(0);
    }
    while (b.size() + scan.size() < 950000) b.insert(b.end(), scan.begin(), scan.end());
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// Peak memory above the test's own (MB) and processor time (s) of a load
// in a child process.
std::pair<double, double> LoadCost(const Bytes& b) {
    long pages = 0, resident = 0; // the child starts with the test's resident pages
    std::ifstream("/proc/self/statm") >> pages >> resident;
    const double before = double(resident) * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            Buffer out;
            LoadJpegBytes(b, out);
        } catch (const EStreamError&) {
        }
        _exit(0);
    }
    int status = 0;
    rusage child{};
    wait4(pid, &status, 0, &child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const double cpu = double(child.ru_utime.tv_sec + child.ru_stime.tv_sec) +
                       double(child.ru_utime.tv_usec + child.ru_stime.tv_usec) / 1e6;
    return {double(child.ru_maxrss) / 1024.0 - before, cpu};
}

// A header claiming a picture its data cannot hold is refused before
// anything is allocated (Test says so too); a file under 1 MB never costs
// more than 256 MB or 2 s, even claiming the most it may; into an existing
// buffer the decoder stops once the rows are filled.
TEST(JpegBadInput, HostileSizesCostLittle) {
    struct Case {
        const char* what;
        std::uint8_t marker;
        int w, h;
        std::size_t pad;
        int test;
    } const cases[] = {
        {"baseline 65535 x 65535", 0xC0, 65535, 65535, 0, -1},
        {"progressive 65535 x 65535", 0xC2, 65535, 65535, 0, -1},
        {"arithmetic 65535 x 65535", 0xC9, 65535, 65535, 0, -1},
        {"arithmetic progressive 30000 x 2000", 0xCA, 30000, 2000, 0, -1},
        {"baseline 9000 x 9000 in 1 MB", 0xC0, 9000, 9000, 1000000, -1},
        {"baseline 8000 x 8000 in 1 MB", 0xC0, 8000, 8000, 1000000, 1},
        {"progressive 4500 x 4500 in 1 MB", 0xC2, 4500, 4500, 1000000, 1},
        {"baseline 4000 x 4000, no data", 0xC0, 4000, 4000, 0, 1},
        {"progressive 4500 x 4500, endless scans", 0, 4500, 4500, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes b =
            c.marker == 0 ? EndlessScans(c.w, c.h) : Claiming(c.marker, c.w, c.h, c.pad);
        ASSERT_LT(b.size(), 1u << 20);
        GFXFileDesc d;
        EXPECT_EQ(TestJpegBytes(b, &d), c.test);
        EXPECT_EQ(d.Width, c.w);
        if (c.test < 0) ExpectInvalid(b);
        const auto [mb, seconds] = LoadCost(b);
        EXPECT_LT(mb, 256.0);
        EXPECT_LT(seconds, 2.0);
        Buffer small;
        small.Alloc({16, 16});
        TFixedMemoryStream s(b.data(), b.size());
        try {
            Jpeg()->Load(small, &s, nullptr);
        } catch (const EStreamError&) {
        }
    }
}

TEST(JpegBadInput, SegmentLengthsBelowTwo) {
    Bytes b = SmallFile();
    const std::size_t app0 = Find(b, 0xE0);
    b[app0 + 2] = 0;
    b[app0 + 3] = 1;
    EXPECT_EQ(TestJpegBytes(b), 0);
    ExpectInvalid(b);
}

// A file cut off inside its last MCU row keeps every row before it, whatever
// the sampling (4:2:0 holds a finished row back for the chroma smoothing);
// a file missing only its EOI loads whole.
TEST(JpegBadInput, CutFileKeepsEveryCompleteMcuRow) {
    SKIP_WITHOUT("cjpeg");
    Buffer pic;
    MakePicture(pic, 64, 64, 4);
    const fs::path ppm = Scratch() / "cut.ppm", jpg = Scratch() / "cut.jpg";
    WritePpm(ppm, pic);
    for (const char* sampling : {"1x1", "2x2"}) {
        SCOPED_TRACE(sampling);
        ASSERT_EQ(Shell(std::string("cjpeg -sample ") + sampling + " -outfile " + jpg.string() +
                        " " + ppm.string()),
                  0);
        const Bytes good = ReadBytes(jpg);
        Buffer whole;
        LoadJpegBytes(good, whole);
        Buffer noEoi;
        LoadJpegBytes(Bytes(good.begin(), good.end() - 2), noEoi);
        EXPECT_EQ(MaxDiff(noEoi, whole), 0);

        const int mcuH = sampling[0] == '2' ? 16 : 8;
        Buffer cut;
        cut.Alloc({64, 64});
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) *cut.At(x, y) = 0x123456;
        const Bytes shorter(good.begin(), good.end() - 3);
        TFixedMemoryStream s(shorter.data(), shorter.size());
        EXPECT_THROW(Jpeg()->Load(cut, &s, nullptr), EReadError);
        // The smoothing of the last kept row's bottom pixel row has no row
        // below any more; everything above it is exact.
        for (int y = 0; y < 64 - mcuH - 1; ++y)
            for (int x = 0; x < 64; ++x) ASSERT_EQ(*cut.At(x, y), *whole.At(x, y)) << x << "," << y;
        for (int x = 0; x < 64; ++x) EXPECT_EQ(*cut.At(x, 63), 0x123456u);
    }
}
