// The colour arithmetic of the colour dialog: RGB <-> HSV in single
// precision with truncation toward zero, and the saturation/value field.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>

namespace kv {

struct Hsv {
    int H = 0; // 0 to 359
    int S = 0; // 0 to 255
    int V = 0; // 0 to 255
};

Hsv RgbToHsv(int r, int g, int b);
// 0xRRGGBB; a hue of 360 counts as 0.
std::uint32_t HsvToRgb(int h, int s, int v);

inline int RedOf(std::uint32_t c) {
    return static_cast<int>((c >> 16) & 0xFF);
}
inline int GreenOf(std::uint32_t c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
inline int BlueOf(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}
inline std::uint32_t MakeRgb(int r, int g, int b) {
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}

// The field is kSvFieldSize x kSvFieldSize pixels: column c has saturation
// 2c and row r value 2r.
inline constexpr int kSvFieldSize = 128;

// Saturation and value picked at field pixel (x, y), clamped to the field;
// the far corner gives full saturation and value (255, not 254).
Hsv SvAtFieldPoint(int x, int y);

// Draws the field for hue into field (kSvFieldSize square, at its Area),
// computed per row in 16.16 fixed point, and the marker of the last choice
// (s, v): white when color lies near white, else black.
void DrawSvField(pixkit::Buffer& field, int hue, int s, int v, std::uint32_t color);

} // namespace kv
