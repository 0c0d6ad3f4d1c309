// Language files (.lng): the code description, the decoding tables and the
// code bits must never read or write out of bounds.
#include "lngcodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const std::string text = lng::Unpack(data, size);
        (void)text;
    } catch (const lng::LngError&) {
    }
    return 0;
}
