// Hostile headers cost nothing: for every format, a tiny file whose header
// claims the largest picture it can describe is loaded in a child process,
// whose peak memory and processor time (getrusage) must stay under 256 MB
// and 2 s, whether the load is refused or gives an image.
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace pixkit;
using namespace imgtools;

namespace {

using Bytes = std::string;

Bytes Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void PutLE(Bytes& s, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s[at + std::size_t(i)] = i < 4 ? char(v >> (8 * i)) : char(0);
}
void PutBE(Bytes& s, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s[at + std::size_t(i)] = char(v >> (8 * (n - 1 - i)));
}
Bytes LE(std::uint32_t v, int n) {
    Bytes s(std::size_t(n), '\0');
    PutLE(s, 0, v, n);
    return s;
}

std::uint32_t Crc(const Bytes& s, std::size_t from, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFF;
    for (std::size_t i = from; i < from + n; ++i) {
        c ^= std::uint8_t(s[i]);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
    }
    return ~c;
}

// A small image saved by our own writer for the extension.
Bytes Saved(const TempDir& dir, const std::string& ext) {
    Buffer b;
    b.Alloc({4, 3});
    for (int i = 0; i < 12; ++i) b.Data[i] = Pixel(i * 0x151515);
    const std::string path = dir / ("small" + ext);
    Buffer work;
    GFXFile::Save(b, path, nullptr, &work);
    return Slurp(path);
}

// An 8-bit (or 4-bit) run-length bitmap of w x h with a two-entry palette:
// one run and the end-of-bitmap mark.
Bytes RleBmp(std::uint32_t w, std::uint32_t h, int bits) {
    Bytes info = LE(40, 4) + LE(w, 4) + LE(h, 4) + LE(1, 2) + LE(std::uint32_t(bits), 2) +
                 LE(bits == 8 ? 1 : 2, 4) + LE(0, 4) + LE(0, 8) + LE(2, 4) + LE(0, 4);
    const Bytes palette = LE(0, 4) + LE(0xFFFFFF, 4);
    const Bytes data("\x10\x01\x00\x01", 4);
    return "BM" + LE(std::uint32_t(62 + data.size()), 4) + LE(0, 4) + LE(62, 4) + info + palette +
           data;
}

Bytes Png(const TempDir& dir, std::uint32_t w, std::uint32_t h) {
    Bytes png = Saved(dir, ".png");
    PutBE(png, 16, w, 4);
    PutBE(png, 20, h, 4);
    PutBE(png, 29, Crc(png, 12, 17), 4);
    return png;
}

Bytes IcoWithPng(const Bytes& png) {
    return LE(0, 2) + LE(1, 2) + LE(1, 2) + Bytes(4, '\0') + LE(1, 2) + LE(32, 2) +
           LE(std::uint32_t(png.size()), 4) + LE(22, 4) + png;
}

Bytes IcoWithDib(std::uint32_t w, std::uint32_t h) {
    const Bytes dib = LE(40, 4) + LE(w, 4) + LE(2 * h, 4) + LE(1, 2) + LE(32, 2) + Bytes(24, '\0') +
                      Bytes(16, '\x7F');
    return LE(0, 2) + LE(1, 2) + LE(1, 2) + Bytes(4, '\0') + LE(1, 2) + LE(32, 2) +
           LE(std::uint32_t(dib.size()), 4) + LE(22, 4) + dib;
}

// A placeable metafile of side pixels at 96 units per inch, one rectangle
// over the whole frame.
Bytes Wmf(int side) {
    const int half = side / 2;
    Bytes s = LE(0x9AC6CDD7, 4) + LE(0, 2) + LE(std::uint32_t(-half), 2) +
              LE(std::uint32_t(-half), 2) + LE(std::uint32_t(side - half), 2) +
              LE(std::uint32_t(side - half), 2) + LE(96, 2) + LE(0, 4) + LE(0, 2);
    s += LE(1, 2) + LE(9, 2) + LE(0x300, 2) + LE(9 + 7 + 3, 4) + LE(0, 2) + LE(7, 4) + LE(0, 2);
    s += LE(7, 4) + LE(0x041B, 2) + LE(std::uint32_t(side - half), 2) +
         LE(std::uint32_t(side - half), 2) + LE(std::uint32_t(-half), 2) +
         LE(std::uint32_t(-half), 2);
    return s + LE(3, 4) + LE(0, 2);
}

// An enhanced metafile whose frame is side pixels at 96 dpi, one rectangle
// over it.
Bytes Emf(std::uint32_t side) {
    const std::uint32_t frame = std::uint32_t(double(side) * 2540 / 96);
    Bytes s = LE(1, 4) + LE(88, 4) + LE(0, 8) + LE(side - 1, 4) + LE(side - 1, 4) + LE(0, 8) +
              LE(frame, 4) + LE(frame, 4) + LE(0x464D4520, 4) + LE(0x10000, 4) +
              LE(88 + 24 + 20, 4) + LE(3, 4) + LE(1, 2) + LE(0, 2) + LE(0, 12) + LE(96, 4) +
              LE(96, 4) + LE(254, 4) + LE(254, 4);
    s += LE(43, 4) + LE(24, 4) + LE(0, 8) + LE(side, 4) + LE(side, 4);
    return s + LE(14, 4) + LE(20, 4) + LE(0, 12);
}

struct Cost {
    long maxRssKb = 0;
    double cpuSeconds = 0;
    int outcome = 0; // 1 loaded, 2 refused, 3 other exception
    int w = 0, h = 0;
};

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Loads path in a child process and reports what it cost there.
Cost CostOfLoad(const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(30);
        Cost c;
        Buffer b;
        try {
            GFXFile::Load(b, path, nullptr);
            c.outcome = 1;
            c.w = b.Width();
            c.h = b.Height();
        } catch (const EStreamError&) {
            c.outcome = 2;
        } catch (...) {
            c.outcome = 3;
        }
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        c.maxRssKb = u.ru_maxrss;
        c.cpuSeconds = Seconds(u.ru_utime) + Seconds(u.ru_stime);
        const ssize_t n = ::write(fds[1], &c, sizeof c);
        ::_exit(n == sizeof c ? 0 : 1);
    }
    ::close(fds[1]);
    Cost c;
    const ssize_t n = ::read(fds[0], &c, sizeof c);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (n != sizeof c) c.outcome = -1; // the child died
    return c;
}

} // namespace

TEST(Budget, TinyFilesClaimingHugePicturesCostLittle) {
    TempDir dir;
    Bytes frm = Saved(dir, ".frm"), bmp = Saved(dir, ".bmp"), pcx = Saved(dir, ".pcx");
    Bytes iff = Saved(dir, ".iff"), gif = Saved(dir, ".gif"), jpg = Saved(dir, ".jpg");
    PutLE(frm, 4, 0xFFFF, 2);
    PutLE(frm, 6, 0xFFFF, 2);
    PutLE(bmp, 18, 0x7FFFFFFF, 4);
    PutLE(bmp, 22, 0x7FFFFFFF, 4);
    PutLE(pcx, 4, 0, 4);
    PutLE(pcx, 8, 0xFFFFFFFF, 4);
    PutLE(pcx, 66, 0xFFFF, 2);
    PutBE(iff, 20, 0xFFFFFFFF, 4);                        // BMHD width and height
    std::size_t image = 13 + (3u << ((gif[10] & 7) + 1)); // after the global table
    while (gif[image] == '!') { // an extension: label, sub-blocks, terminator
        for (image += 2; gif[image] != 0;) image += std::size_t(std::uint8_t(gif[image])) + 1;
        ++image;
    }
    ASSERT_EQ(gif[image], ',');
    for (std::size_t at : {std::size_t(6), std::size_t(8), image + 5, image + 7})
        PutLE(gif, at, 0xFFFF, 2); // screen and image sizes
    const std::size_t sof = jpg.find("\xFF\xC0");
    ASSERT_NE(sof, Bytes::npos);
    PutBE(jpg, sof + 5, 0xFFFFFFFF, 4);

    struct Case {
        const char* what;
        const char* ext;
        Bytes data;
    };
    const Case cases[] = {
        {"frame 65535 x 65535", ".frm", frm},
        {"bitmap 2^31-1 square", ".bmp", bmp},
        {"RLE8 bitmap 20000 x 20000", ".bmp", RleBmp(20000, 20000, 8)},
        {"RLE4 bitmap 2^31-1 square", ".bmp", RleBmp(0x7FFFFFFF, 0x7FFFFFFF, 4)},
        {"RLE8 bitmap at the large-image limit", ".bmp", RleBmp(4096, 4096, 8)},
        {"PCX 65536 x 65536", ".pcx", pcx},
        {"ILBM 65535 x 65535", ".iff", iff},
        {"GIF screen and image 65535 x 65535", ".gif", gif},
        {"PNG 1000000 x 1000000", ".png", Png(dir, 1000000, 1000000)},
        {"PNG at the large-image limit", ".png", Png(dir, 4096, 4096)},
        {"icon with a PNG of 16384 x 16384", ".ico", IcoWithPng(Png(dir, 16384, 16384))},
        {"icon with a DIB of 16384 x 16384", ".ico", IcoWithDib(16384, 16384)},
        {"WMF of 16384 x 16384 pixels", ".wmf", Wmf(16384)},
        {"EMF of 16384 x 16384 pixels", ".emf", Emf(16384)},
        // JPEG: refused before the scan, its data cannot hold the blocks
        // (more cases in jpeg_bad_input_test.cpp).
        {"JPEG 65535 x 65535", ".jpg", jpg},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir / ("hostile" + std::string(c.ext));
        std::ofstream(path, std::ios::binary) << c.data;
        // The file reaches its decoder: its format recognises it.
        GFXFileDesc d{};
        EXPECT_TRUE(GFXFile::Test(path, &d));
        const Cost cost = CostOfLoad(path);
        EXPECT_TRUE(cost.outcome == 1 || cost.outcome == 2) << "outcome " << cost.outcome;
        EXPECT_LT(cost.maxRssKb, 256 * 1024);
        EXPECT_LT(cost.cpuSeconds, 2.0);
        std::printf("%-40s %6zu bytes: %s %dx%d, %ld MB, %.2f s\n", c.what, c.data.size(),
                    cost.outcome == 1 ? "loaded" : "refused", cost.w, cost.h, cost.maxRssKb / 1024,
                    cost.cpuSeconds);
    }
}
