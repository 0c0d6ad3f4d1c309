// Helpers for codec tests that compare against independent tools: running
// a command, reading the PPM files the tools write, decoding through
// Pillow, and comparing pixels with a Buffer.
#pragma once

#include <pixkit/buffer.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace imgtools {

namespace fs = std::filesystem;

struct RgbImage {
    int w = 0;
    int h = 0;
    std::vector<std::uint8_t> rgb; // 3 bytes per pixel, top row first
    std::uint32_t At(int x, int y) const {
        const std::uint8_t* p = &rgb[(std::size_t(y) * w + x) * 3];
        return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
    }
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command; true when it exits with status 0.
inline bool RunCmd(const std::string& cmd) {
    return std::system(("( " + cmd + " ) >/dev/null 2>&1").c_str()) == 0;
}

// A fresh directory for one test's files, removed by the destructor.
struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "pixkit-test-XXXXXX").string();
        if (mkdtemp(t.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = t;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::string NextToken(std::istream& in) {
    std::string tok;
    char c;
    while (in.get(c)) {
        if (c == '#') {
            std::string rest;
            std::getline(in, rest);
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            tok += c;
            break;
        }
    }
    while (in.get(c) && !std::isspace(static_cast<unsigned char>(c))) tok += c;
    return tok;
}

// Reads a binary PPM (P6) or PGM (P5) with a maximum value of 255.
inline RgbImage ReadPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    RgbImage img;
    const std::string magic = NextToken(in);
    if (magic != "P6" && magic != "P5") return img;
    img.w = std::stoi(NextToken(in));
    img.h = std::stoi(NextToken(in));
    if (std::stoi(NextToken(in)) != 255) return RgbImage{};
    const std::size_t n = std::size_t(img.w) * img.h;
    std::vector<std::uint8_t> raw(magic == "P6" ? n * 3 : n);
    in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size()));
    if (magic == "P6") {
        img.rgb = std::move(raw);
    } else {
        img.rgb.resize(n * 3);
        for (std::size_t i = 0; i < n; ++i)
            img.rgb[3 * i] = img.rgb[3 * i + 1] = img.rgb[3 * i + 2] = raw[i];
    }
    return img;
}

inline void WritePpm(const std::string& path, const RgbImage& img) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << img.w << ' ' << img.h << "\n255\n";
    out.write(reinterpret_cast<const char*>(img.rgb.data()), std::streamsize(img.rgb.size()));
}

// Decodes any image Pillow reads to RGB (alpha dropped, not composited).
inline RgbImage PillowDecode(const std::string& path, const std::string& ppm) {
    const std::string script = "import sys\nfrom PIL import Image\n"
                               "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2], 'PPM')\n";
    if (!RunCmd("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path) + " " + Quote(ppm)))
        return RgbImage{};
    return ReadPnm(ppm);
}

// Decodes any image ImageMagick reads to RGB (alpha dropped).
inline RgbImage ImageMagickDecode(const std::string& path, const std::string& ppm) {
    if (!RunCmd("convert " + Quote(path) +
                " -alpha off -type TrueColor -depth 8 ppm:" + Quote(ppm)))
        return RgbImage{};
    return ReadPnm(ppm);
}

// A test pattern with smooth gradients and sharp edges.
inline RgbImage Pattern(int w, int h, unsigned seed = 1) {
    RgbImage img{w, h, std::vector<std::uint8_t>(std::size_t(w) * h * 3)};
    std::uint32_t r = seed * 2654435761u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &img.rgb[(std::size_t(y) * w + x) * 3];
            r = r * 1664525u + 1013904223u;
            p[0] = std::uint8_t(x * 255 / std::max(1, w - 1));
            p[1] = std::uint8_t(y * 255 / std::max(1, h - 1));
            p[2] = ((x / 7 + y / 5) & 1) ? std::uint8_t(r >> 24) : std::uint8_t(x ^ y);
        }
    return img;
}

// Counts pixels whose colour channels differ from ref by more than
// tolerance (the top byte is ignored); sizes must match.
inline ::testing::AssertionResult SamePixels(const pixkit::Buffer& b, const RgbImage& ref,
                                             int tolerance = 0) {
    if (ref.w == 0) return ::testing::AssertionFailure() << "no reference image";
    if (b.Empty() || b.Width() != ref.w || b.Height() != ref.h)
        return ::testing::AssertionFailure()
               << "size " << (b.Empty() ? 0 : b.Width()) << "x" << (b.Empty() ? 0 : b.Height())
               << ", reference " << ref.w << "x" << ref.h;
    int bad = 0;
    std::string first;
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            const std::uint32_t a = *b.At(b.Area.Left + x, b.Area.Top + y), e = ref.At(x, y);
            for (int sh = 0; sh < 24; sh += 8) {
                const int d = int((a >> sh) & 255) - int((e >> sh) & 255);
                if (d > tolerance || -d > tolerance) {
                    if (bad++ == 0) {
                        char msg[96];
                        std::snprintf(msg, sizeof msg, "first at (%d, %d): %08X, reference %06X", x,
                                      y, a, e);
                        first = msg;
                    }
                    break;
                }
            }
        }
    if (bad == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " pixels differ; " << first;
}

// The buffer's pixels as an RGB image (top byte dropped).
inline RgbImage FromBuffer(const pixkit::Buffer& b) {
    RgbImage img{b.Width(), b.Height(), {}};
    img.rgb.reserve(std::size_t(img.w) * img.h * 3);
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) {
            const std::uint32_t p = *b.At(x, y);
            img.rgb.insert(img.rgb.end(),
                           {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
        }
    return img;
}

} // namespace imgtools
