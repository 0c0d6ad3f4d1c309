// Helpers of the JPEG tests: the registered format, reference tools run in a
// scratch folder, netpbm files, a synthetic picture and PSNR.
#pragma once

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace jpegtest {

using namespace pixkit;
namespace fs = std::filesystem;

inline GFXFile* Jpeg() {
    GFXFile* f = GFXFile::GetDefaultFormat("x.jpg");
    EXPECT_NE(f, nullptr);
    return f;
}

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A folder of its own for each test program run.
inline fs::path Scratch() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("pixkit-jpeg-" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Runs a shell command; returns its exit status and, when wanted, its
// standard error.
inline int Shell(const std::string& cmd, std::string* err = nullptr) {
    const fs::path errFile = Scratch() / "stderr.txt";
    const int rc = std::system((cmd + " 2>" + errFile.string()).c_str());
    if (err != nullptr) {
        std::ifstream in(errFile);
        std::stringstream ss;
        ss << in.rdbuf();
        *err = ss.str();
    }
    return rc;
}

inline std::vector<std::uint8_t> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Reads a binary PGM (P5) or PPM (P6) file of 8-bit samples into b.
inline bool ReadNetpbm(const fs::path& p, Buffer& b) {
    std::ifstream in(p, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    in.get();
    if (!in || (magic != "P5" && magic != "P6") || maxval != 255 || w < 1 || h < 1) return false;
    const int channels = magic == "P6" ? 3 : 1;
    std::vector<std::uint8_t> data(std::size_t(w) * h * channels);
    in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
    if (!in) return false;
    b.Free();
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* s = &data[(std::size_t(y) * w + x) * channels];
            *b.At(x, y) = channels == 3 ? (Pixel(s[0]) << 16) | (Pixel(s[1]) << 8) | s[2]
                                        : Pixel(s[0]) * 0x010101u;
        }
    return true;
}

inline void WritePpm(const fs::path& p, const Buffer& b) {
    std::ofstream out(p, std::ios::binary);
    out << "P6\n" << b.Width() << " " << b.Height() << "\n255\n";
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) {
            const Pixel v = *b.At(x, y);
            const char rgb[3] = {char(v >> 16), char(v >> 8), char(v)};
            out.write(rgb, 3);
        }
}

// A picture with smooth gradients, hard-edged shapes in saturated colours
// and fine noise: the content that exercises every part of the codec.
inline void MakePicture(Buffer& b, int w, int h, unsigned seed = 1) {
    b.Free();
    b.Alloc({w, h});
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            int r = (x * 255) / std::max(1, w - 1), g = (y * 255) / std::max(1, h - 1);
            int bl = 128 + int(100 * std::sin(x * 0.05) * std::cos(y * 0.07));
            const int dx = x - w / 2, dy = y - h / 3;
            if (dx * dx + dy * dy < (w * w) / 25) r = 230, g = 40, bl = 30;
            if (x > w / 5 && x < w / 3 && y > h / 2) r = 20, g = 30, bl = 200;
            r = std::clamp(r + noise, 0, 255);
            g = std::clamp(g + noise, 0, 255);
            bl = std::clamp(bl + noise, 0, 255);
            *b.At(x, y) = (Pixel(r) << 16) | (Pixel(g) << 8) | Pixel(bl);
        }
}

// Calls fn(difference) for each channel of each pixel of two equally sized
// buffers.
template <typename Fn> void ForEachChannelDiff(const Buffer& a, const Buffer& b, Fn fn) {
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const Pixel p = *a.At(a.Area.Left + x, a.Area.Top + y);
            const Pixel q = *b.At(b.Area.Left + x, b.Area.Top + y);
            for (int s = 0; s < 24; s += 8) fn(int((p >> s) & 255) - int((q >> s) & 255));
        }
}

// PSNR over the three channels (infinite when the buffers are equal).
inline double Psnr(const Buffer& a, const Buffer& b) {
    double sum = 0;
    ForEachChannelDiff(a, b, [&](int d) { sum += double(d) * d; });
    const double mse = sum / (3.0 * a.Width() * a.Height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// Largest difference of one channel.
inline int MaxDiff(const Buffer& a, const Buffer& b) {
    int worst = 0;
    ForEachChannelDiff(a, b, [&](int d) { worst = std::max(worst, std::abs(d)); });
    return worst;
}

// Loads a file with the JPEG codec into an empty buffer.
inline void LoadJpeg(const fs::path& p, Buffer& b) {
    TFileStream s(p.string(), TFileStream::Mode::OpenRead);
    b.Free();
    Jpeg()->Load(b, &s, nullptr);
}

inline void LoadJpegBytes(const std::vector<std::uint8_t>& bytes, Buffer& b) {
    TFixedMemoryStream s(bytes.data(), bytes.size());
    b.Free();
    Jpeg()->Load(b, &s, nullptr);
}

inline std::int8_t TestJpegBytes(const std::vector<std::uint8_t>& bytes, GFXFileDesc* d = nullptr) {
    TFixedMemoryStream s(bytes.data(), bytes.size());
    return Jpeg()->Test(&s, d);
}

inline std::vector<std::uint8_t> SaveJpegBytes(Buffer& b) {
    TMemoryStream m;
    Jpeg()->Save(b, &m, nullptr, nullptr);
    return m.Bytes();
}

} // namespace jpegtest

#define SKIP_WITHOUT(tool)                                                                         \
    if (!jpegtest::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed (libjpeg-turbo-progs)"
