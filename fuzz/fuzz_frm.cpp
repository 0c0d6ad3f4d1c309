// The frame format on arbitrary bytes: Test, then Load with the extra
// record into a fresh buffer (when the declared size is modest) and into
// an existing small buffer, which exercises the clipped row skipping.
#include <pixkit/gfxfile.h>

#include <cstdint>

using namespace pixkit;

namespace {

void LoadInto(GFXFile* frm, TStream& s, Buffer& b) {
    GFXtra32 x{0, 0, 0, 0, 1};
    try {
        s.SetPosition(0);
        frm->Load(b, &s, &x);
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static GFXFile* const frm = GFXFile::GetDefaultFormat("fuzz.frm");
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const int found = frm->Test(&s, &d);
    if (s.Position() != 0) __builtin_trap(); // Test must restore the position
    Buffer small;
    small.Alloc({7, 5});
    LoadInto(frm, s, small);
    if (found != 0 && std::int64_t(d.Width) * d.Height <= (std::int64_t(1) << 22)) {
        Buffer fresh;
        LoadInto(frm, s, fresh);
    }
    return 0;
}
