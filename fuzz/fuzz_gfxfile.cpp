// Arbitrary bytes through the registry's content detection: every
// registered format's Test, then the detected format's image count and
// Load into a fresh buffer (when the declared size is modest) and into an
// existing small buffer.
#include <pixkit/gfxfile.h>

#include <cstdint>
#include <cstdlib>

using namespace pixkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    GFXFile* f = GFXFile::GetFormat(&s, &d);
    if (s.Position() != 0) __builtin_trap(); // every Test restores the position
    if (f == nullptr) return 0;
    try {
        f->GetImgCount(&s);
    } catch (const Exception&) {
    }
    const bool modest = std::abs(std::int64_t(d.Width) * d.Height) <= (std::int64_t(1) << 22);
    for (int pass = modest ? 0 : 1; pass < 2; ++pass) {
        Buffer b;
        if (pass == 1) b.Alloc({13, 11});
        GFXtra32 x{0, 0, 0, 0, 1};
        try {
            s.SetPosition(0);
            f->Load(b, &s, &x);
        } catch (const Exception&) {
        }
    }
    return 0;
}
