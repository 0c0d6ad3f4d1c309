// The built-in tool icons, in tool-panel order. A tool is registered only
// once it works: its variant names the function that returns its (static)
// tool object; variants without one are left out, and an icon without any
// working variant gets no button.
#pragma once

#include <vector>

namespace kv {

class P_icon;
class ToolFramework;

struct BuiltinVariant {
    const char* Glyph; // resource name of the glyph ("PEN1")
    const char* Name;  // English name, looked up in the tool-name table
    P_icon* (*Tool)(); // null until the tool is built
};

struct BuiltinIcon {
    std::vector<BuiltinVariant> Variants;
    int HotKey;  // key code + 0x100 Shift, 0x200 Ctrl, 0x400 Alt; 0 = none
    int Group;   // 0 push button, 1 the tools, 2 the Grid toggle
    int Columns; // of the variant panel
    P_icon* (*Secondary)() = nullptr;
    int SecondaryHotKey = 0;
};

const std::vector<BuiltinIcon>& BuiltinIcons();

// Registers every working tool of the table; returns the number of icons
// added.
int RegisterBuiltinTools(ToolFramework& tools);

// When the components add no icon: an icon with the glyph "EMPTY" and an
// empty name whose button is hidden, so that the icon grid keeps its shape.
void RegisterEmptyIcon(ToolFramework& tools);

} // namespace kv
