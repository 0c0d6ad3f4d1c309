#include "colorcount.h"

#include <array>
#include <cstring>
#include <vector>

namespace kv {

namespace {

constexpr pixkit::Pixel kColourMask = 0x00FFFFFF;

// Sets bit `bit` of map; 1 when it was clear.
inline std::int64_t Mark(std::uint64_t* map, std::uint32_t bit) {
    std::uint64_t& word = map[bit >> 6];
    const std::uint64_t m = std::uint64_t(1) << (bit & 63);
    const std::int64_t fresh = (word & m) == 0;
    word |= m;
    return fresh;
}

// Calls fn(pixel) for every pixel of b except those equal to skip.
template <typename Fn>
void EachPixel(const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip, Fn fn) {
    const int w = b.Width();
    const bool skipping = skip.has_value();
    const pixkit::Pixel marker = skip.value_or(0);
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        const pixkit::Pixel* p = b.At(b.Area.Left, y);
        const pixkit::Pixel* end = p + w;
        for (; p != end; ++p)
            if (!skipping || *p != marker) fn(*p & kColourMask);
    }
}

// The colours are first sorted by their low five bits (a counting sort
// into scratch memory of n entries); each class then takes its pass over
// the 64 KB map with the colour's upper 19 bits, so the 32 passes together
// read every pixel once instead of 32 times.
std::int64_t CountSmall(const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip) {
    std::array<std::size_t, 33> start{};
    EachPixel(b, skip, [&](pixkit::Pixel c) { ++start[(c & 31) + 1]; });
    for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    std::vector<std::uint32_t> sorted(start[32]);
    std::array<std::size_t, 33> fill = start;
    EachPixel(b, skip, [&](pixkit::Pixel c) { sorted[fill[c & 31]++] = c >> 5; });
    std::vector<std::uint64_t> map((std::size_t(1) << 19) / 64);
    std::int64_t count = 0;
    for (std::size_t k = 0; k < 32; ++k) {
        std::memset(map.data(), 0, map.size() * sizeof(std::uint64_t));
        const std::uint32_t* p = sorted.data() + start[k];
        const std::uint32_t* end = sorted.data() + start[k + 1];
        for (; p != end; ++p) count += Mark(map.data(), *p);
    }
    return count;
}

std::int64_t CountLarge(const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip) {
    std::vector<std::uint64_t> map((std::size_t(1) << 24) / 64);
    std::int64_t count = 0;
    EachPixel(b, skip, [&](pixkit::Pixel c) { count += Mark(map.data(), c); });
    return count;
}

} // namespace

std::int64_t CountColors(const pixkit::Buffer& b, std::optional<pixkit::Pixel> skip) {
    if (b.Empty()) return 0;
    const std::int64_t n = std::int64_t(b.Width()) * b.Height();
    return 4 * n < 0x200000 ? CountSmall(b, skip) : CountLarge(b, skip);
}

} // namespace kv
