// Component descriptions and icons: the parser, the value packing and the
// icon decoder get any bytes. The first byte picks which.
#include "effects/kvcdesc.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        kv::ComponentDesc desc;
        const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        if (kv::ParseDescription(text, desc).empty()) {
            kv::ValueBlock block{};
            kv::PackValues(desc, desc.Defaults, block);
        }
    } else {
        pixkit::Buffer icon;
        kv::DecodeIcon(std::vector<std::uint8_t>(data + 1, data + size), icon);
    }
    return 0;
}
