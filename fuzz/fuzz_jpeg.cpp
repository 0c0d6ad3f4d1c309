// The JPEG codec on arbitrary bytes: Test, Load into a fresh buffer (when
// the declared size is modest, so the fuzzer's memory limit is not the
// finding) and into an existing small buffer, and for what loads, Save and
// a second Load of the result, which must give the same size.
#include <pixkit/gfxfile.h>

#include <cstdint>
#include <cstdlib>

using namespace pixkit;

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t(1) << 22;

void LoadIntoSmallBuffer(GFXFile* jpeg, TStream& s) {
    try {
        Buffer small;
        small.Alloc({19, 11});
        s.SetPosition(0);
        jpeg->Load(small, &s, nullptr);
    } catch (const Exception&) {
    }
}

void RoundTrip(GFXFile* jpeg, Buffer& b) {
    if (std::int64_t(b.Width()) * b.Height() > (1 << 16)) return;
    TMemoryStream m;
    jpeg->Save(b, &m, nullptr, nullptr);
    m.SetPosition(0);
    Buffer back;
    jpeg->Load(back, &m, nullptr);
    if (back.Width() != b.Width() || back.Height() != b.Height()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static GFXFile* const jpeg = GFXFile::GetDefaultFormat("x.jpg");
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const std::int8_t t = jpeg->Test(&s, &d);
    if (s.Position() != 0) std::abort(); // Test restores the position
    LoadIntoSmallBuffer(jpeg, s);
    if (t != 1 || std::int64_t(d.Width) * d.Height > kMaxPixels) return 0;
    Buffer b;
    try {
        s.SetPosition(0);
        jpeg->Load(b, &s, nullptr);
    } catch (const Exception&) {
        return 0;
    }
    RoundTrip(jpeg, b);
    return 0;
}
