// Shared by the GIF tests: temporary folders, PNM files, frames decoded by
// independent decoders (through gif_frames.py), and GIF files assembled
// from raw parts for malformed input.
#pragma once

#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace giftest {

using imgtools::Quote;
using imgtools::RgbImage;
using imgtools::TempDir;
using pixkit::Pixel;
namespace fs = std::filesystem;

// A frame from a reference decoder: its colours and, when the decoder
// exposes them, its palette indices.
struct Frame {
    RgbImage Rgb;
    std::vector<std::uint8_t> Index;
};

inline std::string ScriptPath() {
    return std::string(VM_TEST_SOURCES) + "/pixkit/gif_frames.py";
}

// Reads the frames 1.ppm ... <count>.ppm (and any .pgm indices) of dir.
inline bool ReadFrames(const TempDir& dir, const std::string& sub, int count,
                       std::vector<Frame>& frames) {
    frames.assign(static_cast<std::size_t>(count), Frame{});
    for (int n = 1; n <= count; ++n) {
        Frame& f = frames[static_cast<std::size_t>(n - 1)];
        const std::string base = dir / (sub + std::to_string(n));
        f.Rgb = imgtools::ReadPnm(base + ".ppm");
        if (f.Rgb.rgb.empty() && f.Rgb.w * f.Rgb.h != 0) return false;
        if (!fs::exists(base + ".pgm")) continue;
        const RgbImage index = imgtools::ReadPnm(base + ".pgm");
        if (index.w != f.Rgb.w || index.h != f.Rgb.h) return false;
        for (std::size_t i = 0; i < index.rgb.size(); i += 3) f.Index.push_back(index.rgb[i]);
    }
    return true;
}

inline std::string FramesCommand(const std::string& tool) {
    return "/usr/bin/python3 " + Quote(ScriptPath()) + " " + tool + " ";
}

// Decodes every image of gif with tool ("pillow", "giflib", "magick").
// False when the tool rejects the file.
inline bool DecodeWith(const std::string& tool, const std::string& gif,
                       std::vector<Frame>& frames) {
    TempDir out;
    if (!imgtools::RunCmd(FramesCommand(tool) + Quote(gif) + " " + Quote(out / "") + " > " +
                          Quote(out / "count")))
        return false;
    int count = 0;
    std::ifstream(out / "count") >> count;
    return ReadFrames(out, "", count, frames);
}

// Decodes many files with one run of tool; Frames(k, ...) then gives the
// images of the k-th file (from 0), false when the tool rejected it.
class BatchDecode {
  public:
    BatchDecode(const std::string& tool, const std::vector<std::string>& paths) {
        std::ofstream list(dir_ / "list");
        for (const auto& p : paths) list << p << "\n";
        list.close();
        ok_ = imgtools::RunCmd(FramesCommand(tool) + "--list " + Quote(dir_ / "list") + " " +
                               Quote(dir_ / "out"));
    }
    bool Ran() const { return ok_; }
    bool Frames(std::size_t k, std::vector<Frame>& frames) const {
        const std::string sub = "out/" + std::to_string(k + 1) + "/";
        int count = -1;
        std::ifstream(dir_ / (sub + "count")) >> count;
        return count >= 0 && ReadFrames(dir_, sub, count, frames);
    }

  private:
    TempDir dir_;
    bool ok_ = false;
};

inline const char* const kTools[] = {"pillow", "giflib", "magick"};

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// An RGB image of w x h pixels.
inline RgbImage ToRgb(int w, int h, const std::vector<Pixel>& px) {
    RgbImage img{w, h, {}};
    for (Pixel p : px)
        img.rgb.insert(img.rgb.end(),
                       {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
    return img;
}

// Little-endian pieces of hand-made GIF files.
struct Bytes {
    std::vector<std::uint8_t> v;
    Bytes& Str(const char* s) {
        while (*s) v.push_back(static_cast<std::uint8_t>(*s++));
        return *this;
    }
    Bytes& B(int x) {
        v.push_back(static_cast<std::uint8_t>(x));
        return *this;
    }
    Bytes& W(int x) { return B(x & 0xFF).B((x >> 8) & 0xFF); }
    Bytes& Append(const std::vector<std::uint8_t>& more) {
        v.insert(v.end(), more.begin(), more.end());
        return *this;
    }
};

// Packs codes least significant bit first, each with its width.
inline std::vector<std::uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes) {
    std::vector<std::uint8_t> out;
    std::uint32_t bits = 0;
    int count = 0;
    for (auto [code, width] : codes) {
        bits |= std::uint32_t(code) << count;
        count += width;
        for (; count >= 8; count -= 8, bits >>= 8) out.push_back(static_cast<std::uint8_t>(bits));
    }
    if (count > 0) out.push_back(static_cast<std::uint8_t>(bits));
    return out;
}

// A textbook LZW encoder (GIF89a appendix F) for test streams: a clear code
// first, then, once the table holds 4096 codes, no further entries and no
// clear unless clearEvery (codes) asks for periodic clears.
inline std::vector<std::pair<int, int>> EncodeLzw(const std::vector<std::uint8_t>& idx, int minSize,
                                                  int clearEvery = 0) {
    const int clear = 1 << minSize, end = clear + 1;
    std::vector<std::pair<int, int>> codes;
    std::map<std::pair<int, int>, int> dict;
    int width = minSize + 1, next = clear + 2, decoderNext = clear + 2, sinceClear = 0;
    auto reset = [&] {
        codes.push_back({clear, width});
        dict.clear();
        width = minSize + 1;
        next = decoderNext = clear + 2;
        sinceClear = 0;
    };
    // The decoder adds an entry for every code but the first after a clear,
    // and widens its codes when its next free code reaches 2^width.
    auto emit = [&](int code) {
        codes.push_back({code, width});
        if (sinceClear++ > 0 && decoderNext < 4096 && ++decoderNext == (1 << width) && width < 12)
            ++width;
    };
    reset();
    if (idx.empty()) {
        codes.push_back({end, width});
        return codes;
    }
    int cur = idx[0];
    for (std::size_t i = 1; i < idx.size(); ++i) {
        const int k = idx[i];
        if (auto it = dict.find({cur, k}); it != dict.end()) {
            cur = it->second;
            continue;
        }
        emit(cur);
        if (next < 4096) dict[{cur, k}] = next++;
        cur = k;
        if (clearEvery > 0 && sinceClear >= clearEvery) reset();
    }
    emit(cur);
    codes.push_back({end, width});
    return codes;
}

// Cuts data into sub-blocks of at most size bytes and adds the terminator.
inline std::vector<std::uint8_t> SubBlocks(const std::vector<std::uint8_t>& data,
                                           std::size_t size = 255) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < data.size(); i += size) {
        const std::size_t n = std::min<std::size_t>(size, data.size() - i);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                   data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out.push_back(0);
    return out;
}

// A GIF89a with a global table of 2^bits grey entries and one image of
// w x h at (0, 0) on a screen of sw x sh, whose data is the given bytes
// (sub-blocks included).
inline Bytes OneImageGif(int sw, int sh, int w, int h, int bits, int minCodeSize,
                         const std::vector<std::uint8_t>& data) {
    Bytes g;
    g.Str("GIF89a").W(sw).W(sh).B(0x80 | (bits - 1)).B(0).B(0);
    for (int i = 0; i < (1 << bits); ++i) g.B(i * 255 / ((1 << bits) - 1)).B(i).B(255 - i);
    g.B(',').W(0).W(0).W(w).W(h).B(0).B(minCodeSize).Append(data).B(';');
    return g;
}

// Deterministic pixels drawn from `colours` distinct colours.
inline std::vector<Pixel> RandomPixels(std::size_t n, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Pixel> palette(static_cast<std::size_t>(colours));
    for (auto& c : palette) c = rng() & 0xFFFFFF;
    std::vector<Pixel> px(n);
    for (auto& p : px) p = palette[rng() % palette.size()];
    return px;
}

} // namespace giftest
