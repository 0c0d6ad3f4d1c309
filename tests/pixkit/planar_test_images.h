// Pictures and corpus listings for the PCX and IFF/ILBM tests, on top of
// the tool helpers in image_tools.h.
#pragma once

#include "image_tools.h"

#include <pixkit/buffer.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace planar {

using imgtools::RgbImage;

// A seeded picture of w x h pixels using at most colours distinct colours
// (any number when colours is 0). Diagonal bands of flat colour, a
// gradient, noise and a light grey give long runs, literals and bytes of
// 192 and more, and with a palette every entry tends to occur.
inline RgbImage Picture(int w, int h, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> pal(std::max(colours, 1));
    for (auto& c : pal) c = rng() & 0xFFFFFF;
    RgbImage img{w, h, {}};
    img.rgb.reserve(std::size_t(w) * h * 3);
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
            const std::uint32_t p = colours > 0 ? pal[v % colours] : v;
            img.rgb.insert(img.rgb.end(),
                           {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
        }
    return img;
}

inline void ToBuffer(const RgbImage& img, pixkit::Buffer& b) {
    b.Alloc({img.w, img.h});
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) *b.At(x, y) = img.At(x, y);
}

// Two pictures have the same size and colours.
inline ::testing::AssertionResult SameImage(const RgbImage& a, const RgbImage& b) {
    if (a.w == 0 || a.rgb.empty()) return ::testing::AssertionFailure() << "no image";
    pixkit::Buffer buf;
    ToBuffer(a, buf);
    return imgtools::SamePixels(buf, b);
}

inline bool HaveTool(const std::string& name) {
    return imgtools::RunCmd("command -v " + name);
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

} // namespace planar
