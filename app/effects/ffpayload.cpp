#include "effects/ffpayload.h"

#include <algorithm>

namespace kv::ff {

namespace {

// A description value ends at a carriage return, a parameter's label at a
// comma.
std::string Value(std::string text, bool label) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    if (label) std::replace(text.begin(), text.end(), ',', ';');
    return text;
}

} // namespace

std::vector<int> ParameterSliders(const Definition& d) {
    std::vector<int> sliders;
    for (int i = 0; i < kSliders; ++i)
        if (d.Captions[std::size_t(i)].find_first_not_of(" \t") != std::string::npos)
            sliders.push_back(i);
    return sliders;
}

std::string MadeDescription(const Definition& d) {
    std::string text = "Ver=1.5\rName=" + Value(d.Title, false) +
                       "\rCopyright=" + Value(d.Copyright, false) +
                       "\rContact=" + Value(d.Author, false) + "\rOpt=WP\r";
    int n = 0;
    for (int i : ParameterSliders(d))
        text += "Par" + std::to_string(++n) + "=S," + Value(d.Captions[std::size_t(i)], true) +
                ",0,255," + std::to_string(d.Sliders[std::size_t(i)]) + "\r";
    return text;
}

std::optional<Definition> DecodePayload(const std::uint8_t* area) {
    const std::uint8_t* p = area + kPayloadTagBytes;
    const std::uint32_t length = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                 std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    if (length == 0 || length > kPayloadBytes - kPayloadHeadBytes) return std::nullopt;
    return DecodeAfs({reinterpret_cast<const char*>(area + kPayloadHeadBytes), length});
}

} // namespace kv::ff
