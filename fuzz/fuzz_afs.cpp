// Filter Factory source files and formulas on arbitrary bytes: the reader,
// the compiler and the filter step over a 4 x 4 image. A file that is read
// writes back to the same definition; a formula either compiles within the
// size limit or names a position inside its text. The same bytes as the
// reserved area of a made component: read as the component reads it.
#include "effects/afsfile.h"
#include "effects/ffcompile.h"
#include "effects/ffilter.h"
#include "effects/ffpayload.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using namespace kv::ff;

constexpr int kSide = 4;

void RunOnImage(const Channels& programs, const Sliders& sliders) {
    std::array<std::uint32_t, kSide * kSide> source{}, destination{};
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = std::uint32_t(i * 0x10305070u);
    Filter(programs, sliders, source.data(), kSide, kSide, kSide, {destination.data(), kSide});
    for (std::uint32_t p : destination)
        if (p > 0xFFFFFF) std::abort();
}

Program Checked(std::string_view text, int channel) {
    const Compiled c = Compile(text, channel);
    if (c.Ok && c.Code.Bytes > kCodeCapacity) std::abort();
    if (!c.Ok && (c.ErrorPos < 0 || std::size_t(c.ErrorPos) > text.size())) std::abort();
    return c.Code;
}

// The area as a made component holds it: kPayloadBytes, zeros after data.
void ReadAsPayload(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> area(kPayloadBytes, 0);
    std::memcpy(area.data(), data, std::min(size, area.size()));
    const std::optional<Definition> d = DecodePayload(area.data());
    if (!d) return;
    if (ParameterSliders(*d).size() > std::size_t(kSliders)) std::abort();
    const std::string desc = MadeDescription(*d);
    if (desc.rfind("Ver=1.5\r", 0) != 0) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ReadAsPayload(data, size);
    const Program raw = Checked(text.substr(0, 2048), int(size % 3));
    RunOnImage({raw, raw, raw}, Sliders{1, 2, 3, 4, 5, 6, 7, 8});

    const std::optional<Definition> d = DecodeAfs(text);
    if (!d) return 0;
    RunOnImage({Checked(d->Expressions[0], 0), Checked(d->Expressions[1], 1),
                Checked(d->Expressions[2], 2)},
               d->Sliders);
    bool shortCaptions = true;
    for (const std::string& c : d->Captions) shortCaptions = shortCaptions && c.size() < 1020;
    if (shortCaptions && DecodeAfs(EncodeAfs(*d)) != d) std::abort();
    return 0;
}
