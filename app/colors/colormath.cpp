#include "colormath.h"

#include <algorithm>

namespace kv {

Hsv RgbToHsv(int r, int g, int b) {
    Hsv out;
    const int v = std::max({r, g, b});
    const int m = std::min({r, g, b});
    out.V = v;
    out.S =
        v == 0 ? 0 : static_cast<int>(static_cast<float>(v - m) * 255.0f / static_cast<float>(v));
    if (out.S == 0) return out;
    const auto delta = static_cast<float>(v - m);
    float h;
    if (r == v)
        h = static_cast<float>(g - b) / delta;
    else if (g == v)
        h = 2.0f + static_cast<float>(b - r) / delta;
    else
        h = 4.0f + static_cast<float>(r - g) / delta;
    out.H = static_cast<int>(h * 60.0f);
    if (out.H < 0) out.H += 360;
    return out;
}

namespace {

// The six hue sextants place the value V and the three falling components
// p (1 - f), q (1 - f t) and u (1 - f (1 - t)) as red, green and blue.
template <typename T> void BySextant(int i, T v, T p, T q, T u, T& r, T& g, T& b) {
    switch (i) {
    case 0:
        r = v, g = u, b = p;
        break;
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = u;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = u, g = p, b = v;
        break;
    default:
        r = v, g = p, b = q;
        break;
    }
}

} // namespace

std::uint32_t HsvToRgb(int h, int s, int v) {
    if (s == 0) return MakeRgb(v, v, v);
    if (h >= 360) h %= 360;
    const float f = static_cast<float>(s) / 255.0f;
    const int i = h / 60;
    const float t = static_cast<float>(h) / 60.0f - static_cast<float>(i);
    const auto fv = static_cast<float>(v);
    const float p = fv * (1.0f - f);
    const float q = fv * (1.0f - f * t);
    const float u = fv * (1.0f - f * (1.0f - t));
    float r, g, b;
    BySextant(i, fv, p, q, u, r, g, b);
    return MakeRgb(static_cast<int>(r), static_cast<int>(g), static_cast<int>(b));
}

Hsv SvAtFieldPoint(int x, int y) {
    x = std::clamp(x, 0, kSvFieldSize - 1);
    y = std::clamp(y, 0, kSvFieldSize - 1);
    Hsv out;
    out.S = 2 * x;
    out.V = 2 * y;
    if (out.S + out.V == 508) out.S = out.V = 255;
    return out;
}

void DrawSvField(pixkit::Buffer& field, int hue, int s, int v, std::uint32_t color) {
    if (field.Empty() || field.Width() < kSvFieldSize || field.Height() < kSvFieldSize) return;
    hue %= 360;
    const int sextant = hue / 60;
    const int left = field.Area.Left;
    for (int row = 0; row < kSvFieldSize; ++row) {
        const std::int32_t value = 2 * row;
        // Saturation grows by 2 per column, so (1 - f) loses 2/255 of V.
        const std::int32_t step = (2 * value << 16) / 255;
        const std::int32_t stepT = (hue % 60) * step / 60;
        std::int32_t p = value << 16, q = p, u = p;
        const std::int32_t full = p;
        pixkit::Pixel* out = field.At(left, field.Area.Top + row);
        for (int col = 0; col < kSvFieldSize; ++col) {
            std::int32_t r, g, b;
            BySextant(sextant, full, p, q, u, r, g, b);
            out[col] = MakeRgb(r >> 16, g >> 16, b >> 16);
            p -= step;
            q -= stepT;
            u -= step - stepT;
        }
    }
    // The marker's shade is judged by the weighted distance of the colour
    // from white (weights 30, 59, 11 per cent).
    const bool nearWhite =
        (255 - RedOf(color)) * 30 + (255 - GreenOf(color)) * 59 + (255 - BlueOf(color)) * 11 <
        12800;
    const int mx = std::clamp(s / 2, 0, kSvFieldSize - 1);
    const int my = std::clamp(v / 2, 0, kSvFieldSize - 1);
    *field.At(left + mx, field.Area.Top + my) = nearWhite ? 0x00FFFFFF : 0x00000000;
}

} // namespace kv
