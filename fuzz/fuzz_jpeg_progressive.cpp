// The scan-by-scan JPEG decoder on arbitrary bytes (seeded with progressive,
// per-component, 4:1:1, arithmetic-coded and 12-bit files): Test, then Load into a fresh buffer
// when the declared size is modest and into an existing small one, and the reduced decodes for
// thumbnails. Clean errors are expected; a file cut short or damaged must still leave the frame's
// size in a fresh buffer.
#include "codec_fuzz.h"

#include <pixkit/gfxfile.h>

#include <cstdint>
#include <cstdlib>

using namespace pixkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static GFXFile* const jpeg = GFXFile::GetDefaultFormat("fuzz.jpg");
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    if (jpeg->Test(&s, &d) == 0) return 0;
    if (s.Position() != 0) __builtin_trap(); // Test must restore the position
    if (std::int64_t(d.Width) * d.Height > (std::int64_t(1) << 22)) return 0;
    Buffer b;
    try {
        jpeg->Load(b, &s, nullptr);
    } catch (const EStreamError&) {
    }
    if (!b.Empty() && (b.Width() != d.Width || b.Height() != d.Height)) std::abort();
    FuzzFormat(jpeg, data, size);
    for (const int scale : {2, 8}) {
        Buffer r;
        Pair<int> full{0, 0};
        try {
            s.SetPosition(0);
            jpeg->LoadReduced(r, &s, nullptr, {d.Width / scale, d.Height / scale}, &full);
        } catch (const EStreamError&) {
        }
        if (!r.Empty() && (full.x != d.Width || r.Width() > d.Width)) std::abort();
    }
    return 0;
}
