// Custom filter files (.ACF): 54 bytes of signed 16-bit big-endian values,
// the 25 coefficients row by row, then the divisor, then the bias. A file of
// any other size, or with a value outside the dialog's ranges, is refused
// as a whole.
#pragma once

#include "effects/convolve.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kv {

inline constexpr std::size_t kAcfSize = 54;

std::array<std::uint8_t, kAcfSize> EncodeAcf(const FilterKernel& kernel);
// Nothing unless size is 54 and every value is in range.
std::optional<FilterKernel> DecodeAcf(const std::uint8_t* data, std::size_t size);

// Nothing when the file cannot be read or is not a valid filter file.
std::optional<FilterKernel> ReadAcfFile(const std::string& path);
// Writes a temporary file beside path and renames it over path, so a failed
// save leaves an existing file as it was. False on failure.
bool WriteAcfFile(const std::string& path, const FilterKernel& kernel);

} // namespace kv
