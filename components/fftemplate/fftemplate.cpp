// The component template of the Filter Factory's Make. Make copies this
// file and writes a definition into its reserved area; the copy reads it
// when loaded, compiles the formulas with the same language core as the
// dialog and runs the same filter step, so that it gives the dialog's
// pixels. Captioned sliders are its parameters; the other sliders keep the
// values they had when it was made. The template itself (empty area) has
// no description and is not a component.
#include "kvc.h"

#include "effects/ffilter.h"
#include "effects/ffpayload.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kv::ff;

// The reserved area. Make finds it by the tag it starts with; every read
// goes through Area(), which hides its initial zeros from the optimiser.
__attribute__((used)) unsigned char gArea[kPayloadBytes] = KV_FF_PAYLOAD_TAG;

const std::uint8_t* Area() {
    const unsigned char* area = gArea;
    asm volatile("" : "+r"(area));
    return area;
}

struct Made {
    bool Ok = false;
    std::string Desc;
    Channels Programs;
    Sliders Values{};
    std::vector<int> Params; // slider of each parameter
};

Made Load() {
    Made m;
    const std::optional<Definition> d = DecodePayload(Area());
    if (!d) return m;
    for (int c = 0; c < 3; ++c) {
        const Compiled compiled = Compile(d->Expressions[std::size_t(c)], c);
        if (!compiled.Ok) return m;
        m.Programs[std::size_t(c)] = compiled.Code;
    }
    m.Values = d->Sliders;
    m.Params = ParameterSliders(*d);
    m.Desc = MadeDescription(*d);
    m.Ok = true;
    return m;
}

Made& Loaded() {
    static Made m = Load();
    return m;
}

// The value block: one 32-bit slider position per parameter.
void Params(Made& m, const std::uint8_t* block) {
    for (std::size_t k = 0; k < m.Params.size(); ++k) {
        std::int32_t v;
        std::memcpy(&v, block + 4 * k, 4);
        m.Values[std::size_t(m.Params[k])] = std::clamp(v, 0, 255);
    }
}

// The area of the block; with the mask only the pixels whose source has
// bit 24. A full run reports each row and ends when the user stops it.
void Process(const Made& m, const KVCBLOCK& b) {
    const int w = b.width, h = b.height;
    if (b.source == nullptr || b.dest == nullptr || w <= 0 || h <= 0) return;
    const int left = std::max(b.left, 0), right = std::min(b.right, w - 1);
    const int top = std::max(b.top, 0), bottom = std::min(b.bottom, h - 1);
    if (left > right) return;
    FilterStep step(m.Programs, m.Values, b.source, w, w, h, {b.dest, w});
    std::vector<std::uint32_t> row(b.masked ? std::size_t(w) : 0);
    for (int y = top; y <= bottom; ++y) {
        const std::ptrdiff_t at = std::ptrdiff_t(y) * w;
        if (!b.masked) {
            step.Row(y, left, right, b.dest + at);
        } else {
            step.Row(y, left, right, row.data());
            for (int x = left; x <= right; ++x)
                if (b.source[at + x] & 0x01000000u) b.dest[at + x] = row[std::size_t(x)];
        }
        if (b.fullrun && KVCSend(&b, KVCH_PROGRESS, KVC_WPARAM(y - top, 0), 0) != 0) break;
    }
}

} // namespace

KVC_EXPORT const char* KVCGETDESC() {
    const Made& m = Loaded();
    return m.Ok ? m.Desc.c_str() : nullptr;
}

KVC_PROCESS(data, message) {
    Made& m = Loaded();
    if (!m.Ok || data == nullptr) return 0;
    if (message == KVCM_PARAMS) Params(m, static_cast<const std::uint8_t*>(data));
    if (message == KVCM_PROCESS) Process(m, *static_cast<const KVCBLOCK*>(data));
    return 0;
}
