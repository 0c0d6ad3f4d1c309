// The "fonts.bin" cache parser on arbitrary bytes.
#include "rfont_registry.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pixkit::rfn::Registry reg;
    if (pixkit::rfn::ParseCache(std::vector<std::uint8_t>(data, data + size), reg)) {
        // Whatever is accepted must write a cache that reads back the same.
        const auto once = pixkit::rfn::SerializeCache(reg);
        pixkit::rfn::Registry back;
        if (!pixkit::rfn::ParseCache(once, back) || pixkit::rfn::SerializeCache(back) != once)
            __builtin_trap();
    }
    return 0;
}
