#include "filenames.h"

#include <pixkit/gfxfile.h>

#include <algorithm>
#include <cctype>

namespace kv {

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// Where the extension of the last path component starts; npos when it has none.
std::size_t ExtensionStart(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < base) return std::string::npos;
    return dot;
}

} // namespace

DialogFilter BuildFilter(FilterKind kind, const std::string& allWord) {
    DialogFilter result;
    std::string all;
    for (pixkit::GFXFile* f = pixkit::GFXFile::Formats(); f != nullptr; f = f->Next) {
        if (kind == FilterKind::Save && !f->CanSave) continue;
        std::string shown = f->Mask;
        std::replace(shown.begin(), shown.end(), ';', ',');
        result.Text += f->Desc + " (" + shown + ")|" + f->Mask + "|";
        all += f->Mask + ";";
        ++result.Count;
    }
    const std::string masks = all.empty() ? all : all.substr(0, all.size() - 1);
    result.Text += allWord + " (" + masks + ")|" + masks + "|";
    ++result.Count;
    return result;
}

std::vector<FilterEntry> SplitFilter(const std::string& filter) {
    std::vector<FilterEntry> entries;
    const std::vector<std::string> parts = Split(filter, '|');
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FilterEntry e{parts[i], {}};
        for (const std::string& m : Split(parts[i + 1], ';'))
            if (!m.empty()) e.Masks.push_back(m);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::string ExtensionOf(const std::string& name) {
    const std::size_t at = ExtensionStart(name);
    return at == std::string::npos ? std::string() : name.substr(at);
}

int FilterIndexFromName(const std::string& filter, const std::string& name) {
    const std::string ext = Upper(ExtensionOf(name));
    if (ext.size() < 2) return 0;
    const std::string text = Upper(filter);
    // The extension must end where a mask ends, so that ".JP" does not
    // match ".JPG".
    for (std::size_t at = text.find(ext); at != std::string::npos; at = text.find(ext, at + 1)) {
        const std::size_t after = at + ext.size();
        if (after < text.size() && std::string_view(",;)|").find(text[after]) == std::string::npos)
            continue;
        const auto bars =
            std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '|');
        return static_cast<int>(bars / 2 + 1);
    }
    return 0;
}

std::string NameForType(const std::string& name, const std::string& masks) {
    const std::string first = masks.substr(0, masks.find(';'));
    if (first.size() < 3 || first.compare(0, 2, "*.") != 0 ||
        first.find('*', 1) != std::string::npos)
        return name;
    const std::string ext = Lower(first.substr(1));
    const std::size_t at = ExtensionStart(name);
    return (at == std::string::npos ? name : name.substr(0, at)) + ext;
}

std::string NameForChosenType(const std::string& filter, int index, const std::string& name) {
    const std::vector<FilterEntry> entries = SplitFilter(filter);
    if (index < 1 || index >= static_cast<int>(entries.size())) return name;
    const FilterEntry& chosen = entries[static_cast<std::size_t>(index - 1)];
    const std::string ext = "*" + Upper(ExtensionOf(name));
    if (std::any_of(chosen.Masks.begin(), chosen.Masks.end(),
                    [&](const std::string& m) { return Upper(m) == ext; }))
        return name;
    const std::string first = chosen.Masks.empty() ? std::string() : chosen.Masks.front();
    if (first.size() < 3 || first.compare(0, 2, "*.") != 0) return name;
    return name + Lower(first.substr(1));
}

std::string BackupName(const std::string& name) {
    const std::size_t at = ExtensionStart(name);
    if (at == std::string::npos) return name + "._";
    return name.substr(0, at) + "._" + name.substr(at + 1, 2);
}

} // namespace kv
