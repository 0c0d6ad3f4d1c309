#include "scanframe.h"

#include "dib.h"

#include <cstring>
#include <stdexcept>

namespace kv {

namespace {

constexpr std::int64_t kMaxScanPixels = std::int64_t(1) << 28;

void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    Put16(v, at, x);
    Put16(v, at + 2, x >> 16);
}

// The high byte of a 16-bit sample in native order.
std::uint8_t High(const std::uint8_t* p) {
    std::uint16_t s;
    std::memcpy(&s, p, 2);
    return static_cast<std::uint8_t>(s >> 8);
}

// One DIB row (bits bits per pixel) from one frame row.
void ConvertRow(const ScanFrame& f, const std::uint8_t* src, std::uint8_t* dst) {
    const int step = f.Depth / 8;
    if (f.Depth == 1) {
        std::memcpy(dst, src, static_cast<std::size_t>((f.Width + 7) / 8));
    } else if (f.Grey) {
        for (int x = 0; x < f.Width; ++x) dst[x] = step == 2 ? High(src + 2 * x) : src[x];
    } else {
        for (int x = 0; x < f.Width; ++x) {
            const std::uint8_t* s = src + 3 * step * x;
            for (int c = 0; c < 3; ++c) dst[3 * x + 2 - c] = step == 2 ? High(s + 2 * c) : s[c];
        }
    }
}

} // namespace

std::vector<std::uint8_t> DibFromScanFrame(const ScanFrame& f) {
    const bool layoutOk =
        f.Grey ? (f.Depth == 1 || f.Depth == 8 || f.Depth == 16) : (f.Depth == 8 || f.Depth == 16);
    if (!layoutOk) throw std::runtime_error("unsupported frame layout");
    if (f.Width < 1 || f.Lines < 1 || std::int64_t(f.Width) * f.Lines > kMaxScanPixels)
        throw std::runtime_error("unsupported frame size");
    const std::int64_t needed = std::int64_t(f.Width) * (f.Grey ? 1 : 3) * f.Depth / 8;
    if (f.BytesPerLine < (f.Depth == 1 ? (f.Width + 7) / 8 : needed) ||
        std::int64_t(f.Data.size()) < std::int64_t(f.BytesPerLine) * f.Lines)
        throw std::runtime_error("short frame");

    const int bits = f.Depth == 1 ? 1 : f.Grey ? 8 : 24;
    const std::size_t colours = f.Depth == 1 ? 2 : f.Grey ? 256 : 0;
    const std::size_t stride = (std::size_t(f.Width) * bits + 31) / 32 * 4;
    const std::size_t offset = kDibHeaderSize + colours * 4;
    std::vector<std::uint8_t> dib(offset + stride * std::size_t(f.Lines));
    Put32(dib, 0, kDibHeaderSize);
    Put32(dib, 4, static_cast<std::uint32_t>(f.Width));
    Put32(dib, 8, static_cast<std::uint32_t>(f.Lines));
    Put16(dib, 12, 1);
    Put16(dib, 14, static_cast<std::uint32_t>(bits));
    Put32(dib, 20, static_cast<std::uint32_t>(stride * std::size_t(f.Lines)));
    Put32(dib, 32, static_cast<std::uint32_t>(colours));
    // Line art: a set bit is black. Grey: a ramp.
    for (std::size_t i = 0; i < colours; ++i) {
        const std::uint32_t v =
            f.Depth == 1 ? (i == 0 ? 0xFFu : 0u) : static_cast<std::uint32_t>(i);
        Put32(dib, kDibHeaderSize + 4 * i, v | v << 8 | v << 16);
    }
    for (int y = 0; y < f.Lines; ++y)
        ConvertRow(f, f.Data.data() + std::size_t(y) * std::size_t(f.BytesPerLine),
                   dib.data() + offset + std::size_t(f.Lines - 1 - y) * stride);
    return dib;
}

} // namespace kv
