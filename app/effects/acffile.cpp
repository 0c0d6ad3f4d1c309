#include "effects/acffile.h"

#include "platform/atomicfile.h"

#include <cstdio>
#include <memory>

namespace kv {

namespace {

constexpr std::size_t kValues = kAcfSize / 2;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

std::array<std::uint8_t, kAcfSize> EncodeAcf(const FilterKernel& kernel) {
    std::array<std::int16_t, kValues> values{};
    for (int i = 0; i < kFilterCells; ++i) values[std::size_t(i)] = kernel.Cells[std::size_t(i)];
    values[kValues - 2] = kernel.Divisor;
    values[kValues - 1] = kernel.Bias;
    std::array<std::uint8_t, kAcfSize> bytes{};
    for (std::size_t i = 0; i < kValues; ++i) {
        const auto v = static_cast<std::uint16_t>(values[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v >> 8);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v & 0xFF);
    }
    return bytes;
}

std::optional<FilterKernel> DecodeAcf(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size != kAcfSize) return std::nullopt;
    std::array<std::int16_t, kValues> values{};
    for (std::size_t i = 0; i < kValues; ++i)
        values[i] = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]));
    FilterKernel kernel;
    for (int i = 0; i < kFilterCells; ++i) kernel.Cells[std::size_t(i)] = values[std::size_t(i)];
    kernel.Divisor = values[kValues - 2];
    kernel.Bias = values[kValues - 1];
    if (!kernel.InRange()) return std::nullopt;
    return kernel;
}

std::optional<FilterKernel> ReadAcfFile(const std::string& path) {
    const std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return std::nullopt;
    // One byte more than a filter file holds tells a longer file apart.
    std::array<std::uint8_t, kAcfSize + 1> bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f.get());
    return DecodeAcf(bytes.data(), got);
}

bool WriteAcfFile(const std::string& path, const FilterKernel& kernel) {
    const std::array<std::uint8_t, kAcfSize> bytes = EncodeAcf(kernel);
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}

} // namespace kv
