// The IFF/ILBM reader on arbitrary bytes.
#include "codec_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static pixkit::GFXFile* const format = pixkit::GFXFile::GetDefaultFormat("x.iff");
    FuzzFormat(format, data, size);
    return 0;
}
