// Small metafiles built in tests: records are given as parameter lists and
// framed with the headers, so each test states only what it draws.
#pragma once

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace metatest {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A bottom-up 24-bit DIB (header and rows) of w x h pixels from colour.
inline Bytes Dib24(int w, int h, const std::function<std::uint32_t(int, int)>& colour) {
    Bytes b;
    Put32(b, 40);
    Put32(b, std::uint32_t(w));
    Put32(b, std::uint32_t(h));
    Put16(b, 1);
    Put16(b, 24);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    const int row = (3 * w + 3) & ~3;
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = colour(x, y);
            b.insert(b.end(), {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16)});
        }
        for (int k = 3 * w; k < row; ++k) b.push_back(0);
    }
    return b;
}

// A colour reference (0x00BBGGRR) of a pixel.
inline std::uint32_t Ref(std::uint32_t pixel) {
    return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}

class Wmf {
  public:
    // A record of 16-bit parameter words, then raw bytes (a DIB).
    Wmf& Rec(std::uint16_t fn, std::initializer_list<std::int32_t> words, const Bytes& tail = {}) {
        Put32(rec_, std::uint32_t(3 + words.size() + (tail.size() + 1) / 2));
        Put16(rec_, fn);
        for (std::int32_t w : words) Put16(rec_, std::uint32_t(w));
        rec_.insert(rec_.end(), tail.begin(), tail.end());
        if (tail.size() % 2) rec_.push_back(0);
        return *this;
    }
    Wmf& Raw(const Bytes& b) {
        rec_.insert(rec_.end(), b.begin(), b.end());
        return *this;
    }
    // Placeable: frame (0, 0, w, h) at inch units per inch, window the same.
    Bytes Placeable(int w, int h, int inch = 96, int objects = 8) const {
        Bytes b;
        const std::uint32_t words[] = {
            0xCDD7, 0x9AC6, 0, 0, 0, std::uint32_t(w), std::uint32_t(h), std::uint32_t(inch), 0, 0};
        std::uint32_t sum = 0;
        for (std::uint32_t v : words) {
            Put16(b, v);
            sum ^= v;
        }
        Put16(b, sum);
        Bytes body = Plain(objects);
        b.insert(b.end(), body.begin(), body.end());
        return b;
    }
    Bytes Plain(int objects = 8) const {
        Bytes b;
        Put16(b, 1);
        Put16(b, 9);
        Put16(b, 0x0300);
        Put32(b, std::uint32_t(9 + rec_.size() / 2 + 3));
        Put16(b, std::uint32_t(objects));
        // The largest record in words (other players check it).
        std::uint32_t largest = 3;
        for (std::size_t at = 0; at + 4 <= rec_.size();) {
            const std::uint32_t words = rec_[at] | (rec_[at + 1] << 8) | (rec_[at + 2] << 16);
            if (words == 0) break; // a broken record of a test
            largest = std::max(largest, words);
            at += std::size_t(words) * 2;
        }
        Put32(b, largest);
        Put16(b, 0);
        b.insert(b.end(), rec_.begin(), rec_.end());
        Put32(b, 3);
        Put16(b, 0);
        return b;
    }

  private:
    Bytes rec_;
};

class Emf {
  public:
    // A record of 32-bit parameters, then raw bytes.
    Emf& Rec(std::uint32_t type, std::initializer_list<std::int32_t> params,
             const Bytes& tail = {}) {
        Put32(rec_, type);
        Put32(rec_, std::uint32_t(8 + 4 * params.size() + ((tail.size() + 3) & ~std::size_t(3))));
        for (std::int32_t p : params) Put32(rec_, std::uint32_t(p));
        rec_.insert(rec_.end(), tail.begin(), tail.end());
        while (rec_.size() % 4) rec_.push_back(0);
        return *this;
    }
    Emf& Raw(const Bytes& b) {
        rec_.insert(rec_.end(), b.begin(), b.end());
        return *this;
    }
    // A picture of w x h pixels at 96 dpi on a 96 dpi reference device, so
    // one logical unit is one pixel in MM_TEXT.
    Bytes Build(int w, int h, int handles = 8) const {
        Bytes b;
        Put32(b, 1);
        Put32(b, 88);
        for (int v : {0, 0, w - 1, h - 1}) Put32(b, std::uint32_t(v));
        for (int v : {0, 0, int(w * 2540.0 / 96 + 0.5), int(h * 2540.0 / 96 + 0.5)})
            Put32(b, std::uint32_t(v));
        Put32(b, 0x464D4520);
        Put32(b, 0x10000);
        Put32(b, std::uint32_t(88 + rec_.size() + 20));
        Put32(b, 0);
        Put16(b, std::uint32_t(handles));
        Put16(b, 0);
        for (int i = 0; i < 3; ++i) Put32(b, 0);
        for (int v : {960, 960, 254, 254}) Put32(b, std::uint32_t(v));
        b.insert(b.end(), rec_.begin(), rec_.end());
        for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u}) Put32(b, v);
        return b;
    }

  private:
    Bytes rec_;
};

inline void LoadAs(const char* ext, const Bytes& file, pixkit::Buffer& b) {
    pixkit::TFixedMemoryStream s(file.data(), file.size());
    pixkit::GFXFile::GetDefaultFormat(std::string("x.") + ext)->Load(b, &s, nullptr);
}

// Every pixel of b equals expected(x, y).
inline ::testing::AssertionResult Pixels(const pixkit::Buffer& b,
                                         const std::function<std::uint32_t(int, int)>& expected) {
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x)
            if (*b.At(x, y) != expected(x, y))
                return ::testing::AssertionFailure()
                       << "at (" << x << ", " << y << "): " << std::hex << *b.At(x, y)
                       << ", expected " << expected(x, y);
    return ::testing::AssertionSuccess();
}

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kOther = 0x123456;

inline bool In(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

// The 2 x 2 test picture the bitmap records carry: red, green / blue, other.
inline std::uint32_t Quadrant(int x, int y) {
    return y == 0 ? (x == 0 ? kRed : kGreen) : (x == 0 ? kBlue : kOther);
}

} // namespace metatest
