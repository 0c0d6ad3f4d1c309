// Bar descriptors: the text of the language file, found under a tool's bar
// name, that says which controls its parameter bar holds. Tokens are
// separated by ","; the first is the caption, then items follow, each
// starting with a type token whose first letter is the type and whose
// length minus one is the item's level ("I" level 0, "II" level 1):
//   B caption,hint                     push button
//   C caption,state,hint               check box
//   F label,decimals,min,max,value,hint number field with decimals
//   I label,min,max,value,hint         integer number field
//   L label,n,item1..itemn,hint        drop-down list, first item selected
//   N hint                             font-name box
//   O label,RRGGBB,hint                colour field
//   P glyph,hint                       picture button that toggles
//   S                                  separator
//   T caption,hint                     text label
// Numbers use "." as the decimal separator. A type token of any other
// letter creates nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct BarItem {
    char Type = 0;
    int Level = 0;
    std::string Caption; // caption or label caption; glyph name for P
    std::string Hint;
    int Decimals = 0;
    double Min = 0, Max = 0, Value = 0; // number fields; Value is the state of C
    std::vector<std::string> Items;     // L
    std::uint32_t Color = 0;            // O, 0xRRGGBB

    // Value controls go into the control table; labels, separators and
    // texts do not.
    bool IsValueControl() const { return Type != 'S' && Type != 'T'; }
};

struct BarDescriptor {
    std::string Caption;
    std::vector<BarItem> Items;
};

BarDescriptor ParseBarDescriptor(std::string_view text);

// The text of a number as a field shows it ("1", "-16384", "2.50").
std::string FormatBarNumber(double v, int decimals);

} // namespace kv
