// Names of the metafile records, for the list of records a picture was
// drawn without, and which records have nothing to draw for us.
#include "metafile_records.h"

#include <cstdio>

namespace pixkit {

namespace {

std::string Hex(const char* prefix, std::uint32_t v) {
    char text[32];
    std::snprintf(text, sizeof text, "%s0x%04X", prefix, v);
    return text;
}

struct WmfName {
    std::uint16_t fn;
    const char* name;
};

const WmfName kWmfNames[] = {
    {0x0035, "REALIZEPALETTE"},
    {0x0037, "SETPALENTRIES"},
    {0x0102, "SETBKMODE"},
    {0x0103, "SETMAPMODE"},
    {0x0104, "SETROP2"},
    {0x0105, "SETRELABS"},
    {0x0106, "SETPOLYFILLMODE"},
    {0x0107, "SETSTRETCHBLTMODE"},
    {0x0108, "SETTEXTCHAREXTRA"},
    {0x001E, "SAVEDC"},
    {0x0127, "RESTOREDC"},
    {0x012A, "INVERTREGION"},
    {0x012B, "PAINTREGION"},
    {0x012C, "SELECTCLIPREGION"},
    {0x012D, "SELECTOBJECT"},
    {0x012E, "SETTEXTALIGN"},
    {0x0139, "RESIZEPALETTE"},
    {0x0142, "DIBCREATEPATTERNBRUSH"},
    {0x014C, "SETLAYOUT"},
    {0x01F0, "DELETEOBJECT"},
    {0x01F9, "CREATEPATTERNBRUSH"},
    {0x0201, "SETBKCOLOR"},
    {0x0209, "SETTEXTCOLOR"},
    {0x020A, "SETTEXTJUSTIFICATION"},
    {0x020B, "SETWINDOWORG"},
    {0x020C, "SETWINDOWEXT"},
    {0x020D, "SETVIEWPORTORG"},
    {0x020E, "SETVIEWPORTEXT"},
    {0x020F, "OFFSETWINDOWORG"},
    {0x0211, "OFFSETVIEWPORTORG"},
    {0x0213, "LINETO"},
    {0x0214, "MOVETO"},
    {0x0220, "OFFSETCLIPRGN"},
    {0x0228, "FILLREGION"},
    {0x0231, "SETMAPPERFLAGS"},
    {0x0234, "SELECTPALETTE"},
    {0x02FA, "CREATEPENINDIRECT"},
    {0x02FB, "CREATEFONTINDIRECT"},
    {0x02FC, "CREATEBRUSHINDIRECT"},
    {0x00F7, "CREATEPALETTE"},
    {0x0324, "POLYGON"},
    {0x0325, "POLYLINE"},
    {0x0410, "SCALEWINDOWEXT"},
    {0x0412, "SCALEVIEWPORTEXT"},
    {0x0415, "EXCLUDECLIPRECT"},
    {0x0416, "INTERSECTCLIPRECT"},
    {0x0418, "ELLIPSE"},
    {0x0419, "FLOODFILL"},
    {0x041B, "RECTANGLE"},
    {0x041F, "SETPIXEL"},
    {0x0429, "FRAMEREGION"},
    {0x0436, "ANIMATEPALETTE"},
    {0x0521, "TEXTOUT"},
    {0x0538, "POLYPOLYGON"},
    {0x0548, "EXTFLOODFILL"},
    {0x061C, "ROUNDRECT"},
    {0x061D, "PATBLT"},
    {0x0626, "ESCAPE"},
    {0x06FF, "CREATEREGION"},
    {0x0817, "ARC"},
    {0x081A, "PIE"},
    {0x0830, "CHORD"},
    {0x0922, "BITBLT"},
    {0x0940, "DIBBITBLT"},
    {0x0A32, "EXTTEXTOUT"},
    {0x0B23, "STRETCHBLT"},
    {0x0B41, "DIBSTRETCHBLT"},
    {0x0D33, "SETDIBTODEVICE"},
    {0x0F43, "STRETCHDIB"},
};

// EMR_ record types 1..122 in order; empty strings are unused numbers.
const char* const kEmfNames[] = {
    "",
    "HEADER",
    "POLYBEZIER",
    "POLYGON",
    "POLYLINE",
    "POLYBEZIERTO",
    "POLYLINETO",
    "POLYPOLYLINE",
    "POLYPOLYGON",
    "SETWINDOWEXTEX",
    "SETWINDOWORGEX",
    "SETVIEWPORTEXTEX",
    "SETVIEWPORTORGEX",
    "SETBRUSHORGEX",
    "EOF",
    "SETPIXELV",
    "SETMAPPERFLAGS",
    "SETMAPMODE",
    "SETBKMODE",
    "SETPOLYFILLMODE",
    "SETROP2",
    "SETSTRETCHBLTMODE",
    "SETTEXTALIGN",
    "SETCOLORADJUSTMENT",
    "SETTEXTCOLOR",
    "SETBKCOLOR",
    "OFFSETCLIPRGN",
    "MOVETOEX",
    "SETMETARGN",
    "EXCLUDECLIPRECT",
    "INTERSECTCLIPRECT",
    "SCALEVIEWPORTEXTEX",
    "SCALEWINDOWEXTEX",
    "SAVEDC",
    "RESTOREDC",
    "SETWORLDTRANSFORM",
    "MODIFYWORLDTRANSFORM",
    "SELECTOBJECT",
    "CREATEPEN",
    "CREATEBRUSHINDIRECT",
    "DELETEOBJECT",
    "ANGLEARC",
    "ELLIPSE",
    "RECTANGLE",
    "ROUNDRECT",
    "ARC",
    "CHORD",
    "PIE",
    "SELECTPALETTE",
    "CREATEPALETTE",
    "SETPALETTEENTRIES",
    "RESIZEPALETTE",
    "REALIZEPALETTE",
    "EXTFLOODFILL",
    "LINETO",
    "ARCTO",
    "POLYDRAW",
    "SETARCDIRECTION",
    "SETMITERLIMIT",
    "BEGINPATH",
    "ENDPATH",
    "CLOSEFIGURE",
    "FILLPATH",
    "STROKEANDFILLPATH",
    "STROKEPATH",
    "FLATTENPATH",
    "WIDENPATH",
    "SELECTCLIPPATH",
    "ABORTPATH",
    "",
    "GDICOMMENT",
    "FILLRGN",
    "FRAMERGN",
    "INVERTRGN",
    "PAINTRGN",
    "EXTSELECTCLIPRGN",
    "BITBLT",
    "STRETCHBLT",
    "MASKBLT",
    "PLGBLT",
    "SETDIBITSTODEVICE",
    "STRETCHDIBITS",
    "EXTCREATEFONTINDIRECTW",
    "EXTTEXTOUTA",
    "EXTTEXTOUTW",
    "POLYBEZIER16",
    "POLYGON16",
    "POLYLINE16",
    "POLYBEZIERTO16",
    "POLYLINETO16",
    "POLYPOLYLINE16",
    "POLYPOLYGON16",
    "POLYDRAW16",
    "CREATEMONOBRUSH",
    "CREATEDIBPATTERNBRUSHPT",
    "EXTCREATEPEN",
    "POLYTEXTOUTA",
    "POLYTEXTOUTW",
    "SETICMMODE",
    "CREATECOLORSPACE",
    "SETCOLORSPACE",
    "DELETECOLORSPACE",
    "GLSRECORD",
    "GLSBOUNDEDRECORD",
    "PIXELFORMAT",
    "DRAWESCAPE",
    "EXTESCAPE",
    "",
    "SMALLTEXTOUT",
    "FORCEUFIMAPPING",
    "NAMEDESCAPE",
    "COLORCORRECTPALETTE",
    "SETICMPROFILEA",
    "SETICMPROFILEW",
    "ALPHABLEND",
    "SETLAYOUT",
    "TRANSPARENTBLT",
    "",
    "GRADIENTFILL",
    "SETLINKEDUFIS",
    "SETTEXTJUSTIFICATION",
    "COLORMATCHTOTARGETW",
    "CREATECOLORSPACEW",
};

} // namespace

std::string WmfRecordName(std::uint32_t fn) {
    for (const WmfName& n : kWmfNames)
        if (n.fn == fn) return n.name;
    return Hex("WMF ", fn);
}

std::string EmfRecordName(std::uint32_t type) {
    if (type < sizeof kEmfNames / sizeof kEmfNames[0] && kEmfNames[type][0] != '\0')
        return kEmfNames[type];
    return Hex("EMF ", type);
}

// Palette, colour management, stretch mode, font mapping and escapes change
// nothing in a true-colour picture drawn by our player.
bool WmfRecordDrawsNothing(std::uint32_t fn) {
    switch (fn) {
    case 0x0035: // REALIZEPALETTE
    case 0x0037: // SETPALENTRIES
    case 0x0107: // SETSTRETCHBLTMODE
    case 0x0105: // SETRELABS
    case 0x0139: // RESIZEPALETTE
    case 0x0231: // SETMAPPERFLAGS
    case 0x0234: // SELECTPALETTE
    case 0x0436: // ANIMATEPALETTE
    case 0x0626: // ESCAPE: comments and printer data
        return true;
    default:
        return false;
    }
}

bool EmfRecordDrawsNothing(std::uint32_t type) {
    switch (type) {
    case 1:   // HEADER
    case 16:  // SETMAPPERFLAGS
    case 21:  // SETSTRETCHBLTMODE
    case 23:  // SETCOLORADJUSTMENT
    case 28:  // SETMETARGN
    case 48:  // SELECTPALETTE
    case 50:  // SETPALETTEENTRIES
    case 51:  // RESIZEPALETTE
    case 52:  // REALIZEPALETTE
    case 58:  // SETMITERLIMIT
    case 70:  // GDICOMMENT
    case 98:  // SETICMMODE
    case 99:  // CREATECOLORSPACE
    case 100: // SETCOLORSPACE
    case 101: // DELETECOLORSPACE
    case 104: // PIXELFORMAT
    case 109: // FORCEUFIMAPPING
    case 111: // COLORCORRECTPALETTE
    case 112: // SETICMPROFILEA
    case 113: // SETICMPROFILEW
    case 119: // SETLINKEDUFIS
    case 121: // COLORMATCHTOTARGETW
    case 122: // CREATECOLORSPACEW
        return true;
    default:
        return false;
    }
}

} // namespace pixkit
