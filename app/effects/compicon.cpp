// A component's icon: BMP file bytes from the component, decoded by the
// registry's bitmap codec with a size limit. No Qt, so it can be fuzzed.
#include "effects/kvcdesc.h"

#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

namespace kv {

namespace {
constexpr int kMaxIconSide = 256;
} // namespace

bool DecodeIcon(const std::vector<std::uint8_t>& bytes, pixkit::Buffer& out) {
    try {
        pixkit::TFixedMemoryStream s(bytes.data(), bytes.size());
        pixkit::GFXFileDesc d;
        pixkit::GFXFile* format = pixkit::GFXFile::GetFormat(&s, &d);
        if (format == nullptr || format->Mask != "*.BMP" || d.Width < 1 || d.Height < 1 ||
            d.Width > kMaxIconSide || d.Height > kMaxIconSide)
            return false;
        pixkit::Buffer b;
        pixkit::GFXtra32 x{};
        format->Load(b, &s, &x);
        if (b.Empty()) return false;
        out = b;
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace kv
