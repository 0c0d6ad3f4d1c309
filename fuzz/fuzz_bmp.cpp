// The BMP codec on arbitrary bytes: Test, Load into a fresh buffer (when the
// declared size is modest, so the fuzzer's memory limit is not the finding)
// and into an existing small buffer, and BitmapFromStream with the input
// split into a header block and the pixel bits.
#include <pixkit/bitmap.h>
#include <pixkit/gfxfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace pixkit;

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t(1) << 22;

bool Modest(std::int64_t w, std::int64_t h) {
    return std::abs(w) * std::abs(h) <= kMaxPixels;
}

void LoadBoth(GFXFile* bmp, TStream& s, bool fresh) {
    try {
        Buffer small;
        small.Alloc({17, 9});
        s.SetPosition(0);
        bmp->Load(small, &s, nullptr);
    } catch (const Exception&) {
    }
    if (!fresh) return;
    try {
        Buffer b;
        s.SetPosition(0);
        bmp->Load(b, &s, nullptr);
    } catch (const Exception&) {
    }
}

void FromStream(const std::uint8_t* data, std::size_t size) {
    const std::size_t split = std::min<std::size_t>(size, 40 + 12 + 1024);
    std::vector<std::uint8_t> block(data, data + split); // aligned copy of the header
    std::int32_t w, h;
    std::memcpy(&w, block.data() + 4, 4);
    std::memcpy(&h, block.data() + 8, 4);
    TFixedMemoryStream s(data + split, size - split);
    try {
        Buffer b;
        if (!Modest(w, h)) b.Alloc({5, 300});
        BitmapFromStream(b, reinterpret_cast<const BITMAPINFO*>(block.data()), block.size(), &s);
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static GFXFile* const bmp = GFXFile::GetDefaultFormat("fuzz.bmp");
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const int found = bmp->Test(&s, &d);
    if (s.Position() != 0) __builtin_trap(); // Test must restore the position
    LoadBoth(bmp, s, found != 0 && Modest(d.Width, d.Height));
    if (size >= 40) FromStream(data, size);
    return 0;
}
