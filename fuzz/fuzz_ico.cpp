// The icon reader on arbitrary bytes: Test (which must restore the stream
// position), then Load into a new buffer and into a small existing one.
#include "codec_fuzz.h"

#include <pixkit/gfxfile.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static pixkit::GFXFile* const ico = pixkit::GFXFile::GetDefaultFormat("fuzz.ico");
    pixkit::TFixedMemoryStream s(data, size);
    if (ico->Test(&s, nullptr) != 0 && s.Position() != 0) __builtin_trap();
    FuzzFormat(ico, data, size);
    return 0;
}
