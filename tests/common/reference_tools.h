// Helpers for codec tests that compare against independent tools: a
// scratch folder, running a tool, and reading and writing the netpbm
// formats those tools exchange with us.
#pragma once

#include <pixkit/buffer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace reftools {

// A picture as plain colours 0x00RRGGBB, row by row.
struct Image {
    int w = 0;
    int h = 0;
    std::vector<pixkit::Pixel> px;
    pixkit::Pixel At(int x, int y) const { return px[std::size_t(y) * w + x]; }
};

// A folder of its own under the system temp directory, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pixkit-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Runs a shell command line; true when it exits with status 0.
inline bool Run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

inline bool HaveTool(const std::string& name) {
    return Run("command -v " + name + " >/dev/null");
}

// Reads a netpbm file (P1 to P6); samples are scaled to 8 bits with
// rounding, as pnmdepth does.
inline Image ReadPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic;
    auto number = [&in]() {
        int v = 0;
        in >> std::ws;
        while (in.peek() == '#') {
            std::string skip;
            std::getline(in, skip);
            in >> std::ws;
        }
        in >> v;
        return v;
    };
    Image img;
    if (magic.size() != 2 || magic[0] != 'P' || magic[1] < '1' || magic[1] > '6') return img;
    const int kind = magic[1] - '0';
    img.w = number();
    img.h = number();
    const bool bitmap = kind == 1 || kind == 4;
    const int maxval = bitmap ? 1 : number();
    const bool colour = kind == 3 || kind == 6;
    const bool binary = kind >= 4;
    in.get();
    const std::size_t n = std::size_t(img.w) * img.h;
    img.px.resize(n);
    std::vector<std::uint8_t> bits;
    if (kind == 4) {
        const std::size_t rowBytes = (img.w + 7) / 8;
        bits.resize(rowBytes * img.h);
        in.read(reinterpret_cast<char*>(bits.data()), std::streamsize(bits.size()));
    }
    auto sample = [&]() -> unsigned {
        if (!binary) return unsigned(number());
        if (maxval < 256) return unsigned(in.get());
        const unsigned hi = unsigned(in.get());
        return (hi << 8) | unsigned(in.get());
    };
    auto scale = [maxval](unsigned v) { return (v * 255 + maxval / 2) / unsigned(maxval); };
    for (std::size_t i = 0; i < n; ++i) {
        if (bitmap) {
            const std::size_t x = i % img.w, y = i / img.w;
            const unsigned black = kind == 4
                                       ? (bits[y * ((img.w + 7) / 8) + x / 8] >> (7 - x % 8)) & 1
                                       : unsigned(number());
            img.px[i] = black ? 0 : 0xFFFFFF;
            continue;
        }
        const unsigned r = scale(sample());
        const unsigned g = colour ? scale(sample()) : r;
        const unsigned b = colour ? scale(sample()) : r;
        img.px[i] = (r << 16) | (g << 8) | b;
    }
    if (!in) img.px.clear();
    return img;
}

inline void WritePpm(const std::string& path, const Image& img) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << img.w << " " << img.h << "\n255\n";
    for (pixkit::Pixel p : img.px) {
        const char rgb[3] = {char(p >> 16), char(p >> 8), char(p)};
        out.write(rgb, 3);
    }
}

// The buffer's pixels over its Area, top byte dropped.
inline Image FromBuffer(const pixkit::Buffer& b) {
    Image img;
    if (b.Empty()) return img;
    img.w = b.Width();
    img.h = b.Height();
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) img.px.push_back(*b.At(x, y) & 0xFFFFFF);
    return img;
}

inline void ToBuffer(const Image& img, pixkit::Buffer& b) {
    b.Alloc({img.w, img.h});
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) *b.At(x, y) = img.At(x, y);
}

// A seeded picture of w x h pixels using at most colours distinct colours
// (any number when colours is 0). Diagonal bands of flat colour, a
// gradient, noise and a light grey give long runs, literals and bytes of
// 192 and more, and with a palette every entry tends to occur.
inline Image TestPicture(int w, int h, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<pixkit::Pixel> pal(std::max(colours, 1));
    for (auto& c : pal) c = rng() & 0xFFFFFF;
    Image img{w, h, {}};
    img.px.reserve(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = 0;
            switch ((x / 13 + y / 7) % 4) {
            case 1:
                v = (std::uint32_t(x * 5 & 255) << 16) | ((y * 3 & 255) << 8) | ((x ^ y) & 255);
                break;
            case 2:
                v = rng();
                break;
            case 3:
                v = 0xC0C0C0;
                break;
            }
            img.px.push_back(colours > 0 ? pal[v % colours] : v & 0xFFFFFF);
        }
    return img;
}

// Compares two pictures; reports the first difference.
inline ::testing::AssertionResult SamePixels(const Image& a, const Image& b) {
    if (a.w != b.w || a.h != b.h)
        return ::testing::AssertionFailure()
               << "size " << a.w << "x" << a.h << " vs " << b.w << "x" << b.h;
    if (a.px.size() != b.px.size())
        return ::testing::AssertionFailure() << "pixel count differs (unreadable file?)";
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            if (a.At(x, y) != b.At(x, y)) {
                std::ostringstream os;
                os << std::hex << a.At(x, y) << " vs " << b.At(x, y);
                return ::testing::AssertionFailure()
                       << "first difference at (" << x << ", " << y << "): " << os.str();
            }
    return ::testing::AssertionSuccess();
}

// Files of a corpus folder (not recursive), sorted; empty when absent.
inline std::vector<std::string> CorpusFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace reftools
