// The GIF codec on arbitrary bytes: Test, GetImgCount and Load of the first
// images; what loads is saved again and read back, and an image of at most
// 256 colours must come back unchanged.
#include <pixkit/gfxfile.h>

#include <cstdint>
#include <cstdlib>
#include <unordered_set>

using namespace pixkit;

namespace {

GFXFile* Gif() {
    static GFXFile* gif = GFXFile::GetDefaultFormat("fuzz.gif");
    return gif;
}

void RoundTrip(Buffer& b) {
    if (std::int64_t(b.Width()) * b.Height() > (1 << 16)) return;
    std::unordered_set<Pixel> colours;
    for (int y = 0; y < b.Height() && colours.size() <= 256; ++y)
        for (int x = 0; x < b.Width(); ++x) colours.insert(*b.At(x, y) & 0xFFFFFF);
    Buffer original;
    original.Alloc({b.Width(), b.Height()});
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) *original.At(x, y) = *b.At(x, y);
    Buffer work;
    TMemoryStream m;
    Gif()->Save(b, &m, nullptr, &work);
    m.SetPosition(0);
    Buffer back;
    Gif()->Load(back, &m, nullptr);
    if (colours.size() > 256) return;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if ((*back.At(x, y) & 0xFFFFFF) != (*original.At(x, y) & 0xFFFFFF)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TFixedMemoryStream s(data, size);
    const int count = Gif()->GetImgCount(&s);
    for (int n = 1; n <= std::min(count, 3); ++n) {
        GFXFileDesc d;
        d.Image = n;
        if (Gif()->Test(&s, &d) == 0) continue;
        // Keep within the fuzzer's memory limit.
        if (std::int64_t(d.Width) * d.Height > (1 << 22)) continue;
        Buffer b;
        GFXtra32 x{0, 0, 0, 0, n};
        try {
            Gif()->Load(b, &s, &x);
            RoundTrip(b);
        } catch (const EStreamError&) {
        }
    }
    return 0;
}
