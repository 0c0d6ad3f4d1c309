// Custom filter files on arbitrary bytes: anything but a valid 54-byte file
// is refused, and a file that is accepted writes back byte for byte.
#include "effects/acffile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<kv::FilterKernel> kernel = kv::DecodeAcf(data, size);
    if (!kernel) return 0;
    if (size != kv::kAcfSize || !kernel->InRange()) std::abort();
    const auto bytes = kv::EncodeAcf(*kernel);
    if (std::memcmp(bytes.data(), data, size) != 0) std::abort();
    return 0;
}
