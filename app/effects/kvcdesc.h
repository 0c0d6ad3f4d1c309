// A component's description text: its keys, its parameter descriptions and
// the value block that carries the parameters' values to the component.
// Plain C++ so that the parser can be fuzzed and tested without a window.
#pragma once

#include <pixkit/buffer.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

inline constexpr int kMaxComponentParams = 10;
inline constexpr std::size_t kValueBlockBytes = 80;
using ValueBlock = std::array<std::uint8_t, kValueBlockBytes>;

// One parameter: its kind (the KVCK_* numbers of kvc.h; 0 = no parameter),
// the user level it needs, its label and its arguments.
struct ParamDesc {
    int Kind = 0;
    int Level = 0; // the digit after the letter; 0 = always shown
    std::string Label;
    int Min = 0, Max = 0; // integer, slider
    int Decimals = 0;     // float
    double Step = 1, FMin = 0, FMax = 0;
    std::vector<std::string> Items; // list

    // Bytes the parameter takes in the value block.
    int Bytes() const;
    // Shown at this user level (0 Novice, 1 Expert)?
    bool Visible(int userLevel) const { return Level <= userLevel + 1; }
};

// A parameter's value, in the field its kind uses.
struct ParamValue {
    int Int = 0;           // integer, check box, slider, list (1-based), image (1..10)
    double Real = 0;       // float
    std::uint32_t Rgb = 0; // colour 0x00RRGGBB
    int X = 0, Y = 0;      // point, 0..65535
};

struct ComponentDesc {
    float Version = 0;
    std::string Name, Copyright, Contact, HelpFile, Options, Icon;
    int HelpContext = 100;
    bool HelpHasContext = false; // "file,context"; else the file is translated
    std::array<ParamDesc, kMaxComponentParams> Params;
    std::array<ParamValue, kMaxComponentParams> Defaults;

    bool InstantPreview() const { return Options.find('W') != std::string::npos; }
    bool PreviewButton() const { return Options.find('P') != std::string::npos; }
};

// Parses a description. Empty on success, else the reason it is refused
// (missing or unaccepted version: 1.48 <= Ver < 2).
std::string ParseDescription(const std::string& text, ComponentDesc& out);
// One "ParN=" value; false (desc untouched) when it gives no parameter.
bool ParseParam(const std::string& text, ParamDesc& desc, ParamValue& initial);

// The value block of the values, packed in parameter order without
// padding; bytes beyond the parameters keep what `block` held.
void PackValues(const ComponentDesc& desc, const std::array<ParamValue, kMaxComponentParams>& v,
                ValueBlock& block);
// A pixel position as 0..65535 of size - 1 (0 for a one-pixel size).
int ToUnit(int pixel, int size);
int FromUnit(int unit, int size);

// Decodes a component's icon (BMP bytes, at most 256 x 256); false for
// anything else.
bool DecodeIcon(const std::vector<std::uint8_t>& bytes, pixkit::Buffer& out);

} // namespace kv
