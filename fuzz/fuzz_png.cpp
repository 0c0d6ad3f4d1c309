// The PNG codec on arbitrary bytes: Test, Load into a fresh buffer (when the
// declared size is modest, so the fuzzer's memory limit is not the finding)
// over a colour and as a brush, and into an existing small buffer. What
// loads is saved again and must read back unchanged.
#include <pixkit/gfxfile.h>

#include <cstdint>
#include <cstdlib>

using namespace pixkit;

namespace {

GFXFile* Png() {
    static GFXFile* png = GFXFile::GetDefaultFormat("fuzz.png");
    return png;
}

void RoundTrip(Buffer& b, Pixel back) {
    TMemoryStream m;
    GFXtra32 x{0, 0, 0, back, 1};
    Png()->Save(b, &m, &x, nullptr);
    m.SetPosition(0);
    Buffer again;
    Png()->Load(again, &m, &x);
    if (again.Width() != b.Width() || again.Height() != b.Height()) std::abort();
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (*again.At(x, y) != *b.At(x, y)) std::abort();
}

void LoadFresh(TStream& s, Pixel back) {
    Buffer b;
    GFXtra32 x{0, 0, 0, back, 1};
    bool whole = false;
    try {
        s.SetPosition(0);
        Png()->Load(b, &s, &x);
        whole = true;
    } catch (const EStreamError&) {
    }
    if (whole && std::int64_t(b.Width()) * b.Height() <= (1 << 16)) RoundTrip(b, back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const int found = Png()->Test(&s, &d);
    if (s.Position() != 0) __builtin_trap(); // Test must restore the position
    if (found == 0) return 0;
    if (std::int64_t(d.Width) * d.Height <= (std::int64_t(1) << 22)) {
        LoadFresh(s, 0x808080);
        LoadFresh(s, TransparentMarker);
    }
    try {
        Buffer small;
        small.Alloc({7, 5});
        s.SetPosition(0);
        Png()->Load(small, &s, nullptr);
    } catch (const EStreamError&) {
    }
    return 0;
}
