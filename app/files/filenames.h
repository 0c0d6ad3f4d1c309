// File-name rules of the file commands: dialog filters built from the format
// registry, the filter index that matches a name, the extension a type
// change in the save dialog gives a name, and backup names.
#pragma once

#include <string>
#include <vector>

namespace kv {

// A filter in the "description|masks|description|masks|" form: one entry
// per format, then an entry with every mask. Count is the number of entries,
// which is the 1-based index of that last ("All") entry.
struct DialogFilter {
    std::string Text;
    int Count = 0;
};

enum class FilterKind { Open, Save };

// Open: every registered format; Save: only those that can save. allWord
// is the (translated) name of the entry that lists every mask.
DialogFilter BuildFilter(FilterKind kind, const std::string& allWord);

// The entries of a filter as (description, masks) pairs.
struct FilterEntry {
    std::string Description;
    std::vector<std::string> Masks; // "*.JPG"
};
std::vector<FilterEntry> SplitFilter(const std::string& filter);

// The extension of the last path component, with its dot (".bmp"); empty
// when the component has none.
std::string ExtensionOf(const std::string& name);

// The 1-based index of the first entry whose masks hold the name's
// extension (case-insensitive); 0 when none does or the name has none.
int FilterIndexFromName(const std::string& filter, const std::string& name);

// The name after the user picked another type in the save dialog: its
// extension replaced by (or, without one, extended with) the first
// extension of masks, in lower case. A mask list without a plain extension
// ("*.*") leaves the name as it is.
std::string NameForType(const std::string& name, const std::string& masks);

// The name a save writes after the user picked entry index (1-based) of
// filter. A format's entry wins over the typed extension: a name whose
// extension is not one of that entry's gets the entry's first extension
// appended ("out.png" saved as BMP is "out.png.bmp"), so the file on disk
// never has a format its name does not say. With the last ("All") entry or
// no index the name is returned as it is.
std::string NameForChosenType(const std::string& filter, int index, const std::string& name);

// The backup of name: its extension replaced by "._" and the first two
// characters of the old extension ("pic.bmp" -> "pic._bm"); a name without
// an extension gets "._".
std::string BackupName(const std::string& name);

} // namespace kv
