// The EMF player on arbitrary bytes: Test (which must restore the stream
// position), then Load into a new buffer when the picture is of modest
// size (so the fuzzer's memory limit is not the finding) and into a small
// existing buffer.
#include "codec_fuzz.h"

#include <pixkit/gfxfile.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pixkit;
    static GFXFile* const format = GFXFile::GetDefaultFormat("fuzz.emf");
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const int found = format->Test(&s, &d);
    if (s.Position() != 0) __builtin_trap();
    if (found == 0) return 0;
    if (std::int64_t(d.Width) * d.Height <= (std::int64_t(1) << 22)) {
        FuzzFormat(format, data, size);
        return 0;
    }
    try {
        Buffer small;
        small.Alloc({7, 5});
        format->Load(small, &s, nullptr);
    } catch (const EStreamError&) {
    }
    return 0;
}
