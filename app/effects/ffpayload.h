// What Make puts into a component: the Filter Factory definition in a
// reserved area of the component template, and the description the made
// component gives of itself. No Qt and no pixkit: kv and the template
// (components/fftemplate) share this code.
//
// The area is kPayloadBytes long and starts with the 16 bytes of
// kPayloadTag, by which Make finds it in the template's file. Then come the
// length of the text (32 bits, little-endian; 0 in the template itself)
// and the definition as Filter Factory source text without its alpha
// block; the rest is zeros.
#pragma once

#include "effects/afsfile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::ff {

inline constexpr std::size_t kPayloadBytes = 16384;
inline constexpr std::size_t kPayloadTagBytes = 16;
// The template's area starts with this literal. It must occur once in the
// template's file: only kv's side (ffmake.cpp) names kPayloadTag.
#define KV_FF_PAYLOAD_TAG "<VM-FF-PAYLOAD>"
inline constexpr char kPayloadTag[kPayloadTagBytes] = KV_FF_PAYLOAD_TAG;
inline constexpr std::size_t kPayloadHeadBytes = kPayloadTagBytes + 4;

// The sliders that become parameters, in parameter order: those with a
// caption that is not blank. The others keep their values.
std::vector<int> ParameterSliders(const Definition& d);

// "Name=" the title, "Copyright=", "Contact=" the author, "Opt=WP" and one
// slider parameter "S,caption,0,255,value" per captioned slider.
std::string MadeDescription(const Definition& d);

// The definition in an area of kPayloadBytes (the tag is not checked);
// nothing for an empty or damaged one.
std::optional<Definition> DecodePayload(const std::uint8_t* area);

} // namespace kv::ff
