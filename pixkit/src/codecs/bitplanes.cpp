// Bit-plane conversion eight pixels at a time: a byte of one plane spreads
// to one bit in each of eight pixel bytes held in a 64-bit word, and back.
#include "codecs/bitplanes.h"

#include <array>
#include <bit>
#include <cstring>

namespace pixkit::bitplanes {

namespace {

static_assert(std::endian::native == std::endian::little,
              "pixel bytes are gathered in little-endian 64-bit words");

constexpr std::uint64_t kLowBits = 0x0101010101010101u;

// kSpread[v] holds bit 7 - j of v in bit 0 of byte j: the plane byte's
// leftmost pixel lands in the first byte in memory.
constexpr std::array<std::uint64_t, 256> MakeSpread() {
    std::array<std::uint64_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v)
        for (unsigned j = 0; j < 8; ++j) t[v] |= std::uint64_t((v >> (7 - j)) & 1u) << (8 * j);
    return t;
}
constexpr std::array<std::uint64_t, 256> kSpread = MakeSpread();

// Gathers bit 0 of each byte of m (only those bits set) into one byte, byte
// 0 going to bit 7: each byte's bit meets its place in the top byte once
// in the product and nowhere else, so nothing carries.
inline std::uint8_t Gather(std::uint64_t m) {
    return static_cast<std::uint8_t>((m * 0x8040201008040201u) >> 56);
}

} // namespace

void PlanesToBytes(const std::uint8_t* planes, std::ptrdiff_t stride, int count, std::int64_t width,
                   std::uint8_t* out) {
    const std::int64_t groups = (width + 7) / 8;
    for (std::int64_t g = 0; g < groups; ++g, out += 8) {
        std::uint64_t acc = 0;
        const std::uint8_t* p = planes + g;
        for (int i = 0; i < count; ++i, p += stride) acc |= kSpread[*p] << i;
        std::memcpy(out, &acc, 8);
    }
}

void BytesToPlanes(const std::uint8_t* in, std::int64_t width, int count, std::uint8_t* planes,
                   std::ptrdiff_t stride) {
    const std::int64_t groups = (width + 7) / 8;
    const int tail = static_cast<int>(width % 8);
    for (std::int64_t g = 0; g < groups; ++g, in += 8) {
        std::uint64_t x;
        std::memcpy(&x, in, 8);
        if (g == groups - 1 && tail != 0) x &= (std::uint64_t(1) << (8 * tail)) - 1;
        std::uint8_t* p = planes + g;
        for (int i = 0; i < count; ++i, p += stride) *p = Gather((x >> i) & kLowBits);
    }
}

} // namespace pixkit::bitplanes
