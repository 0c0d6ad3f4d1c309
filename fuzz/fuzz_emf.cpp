// The EMF player on arbitrary bytes (see FuzzMetafile).
#include "codec_fuzz.h"

#include <pixkit/gfxfile.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static pixkit::GFXFile* const format = pixkit::GFXFile::GetDefaultFormat("fuzz.emf");
    FuzzMetafile(format, data, size);
    return 0;
}
