// rfnbuild: renders a font family found through Fontconfig with FreeType in
// monochrome mode at the given pixel sizes and writes one ".rfn" file.
//
//   rfnbuild --family "DejaVu Sans" --sizes 8,10,12 --out DejaVuSans.rfn
//            [--version 1|2] [--first 32] [--last 255]
//
// The size is the height of the character cell (ascent plus descent), so a
// 12-pixel font is 12 rows high. Character codes are Latin-1.
#include "rfn_encode.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string family;
    std::vector<int> sizes;
    std::string out;
    int version = 2;
    int first = 32;
    int last = 255;
};

// The file of the family's regular face; raises when Fontconfig only finds a
// substitute of another family.
std::pair<std::string, int> FindFace(const std::string& family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>("Book"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) throw std::runtime_error("no font matches " + family);
    FcChar8* file = nullptr;
    FcChar8* found = nullptr;
    int index = 0;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FcPatternGetString(match, FC_FAMILY, 0, &found);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    const std::string path = file ? reinterpret_cast<const char*>(file) : "";
    const std::string matched = found ? reinterpret_cast<const char*>(found) : "";
    FcPatternDestroy(match);
    if (path.empty() || matched != family)
        throw std::runtime_error("font family not installed: " + family);
    return {path, index};
}

// Copies a FreeType monochrome bitmap (most significant bit leftmost) into a
// glyph mask (least significant bit leftmost), clipped to the cell.
void Blit(const FT_Bitmap& bm, int left, int top, rfnbuild::FontSize& s,
          std::vector<std::uint8_t>& mask) {
    for (unsigned r = 0; r < bm.rows; ++r) {
        const int y = top + int(r);
        if (y < 0 || y >= s.height) continue;
        const unsigned char* src = bm.buffer + std::ptrdiff_t(r) * bm.pitch;
        for (unsigned c = 0; c < bm.width; ++c) {
            const int x = left + int(c);
            if (x < 0 || x >= s.rowBytes * 8) continue;
            if (src[c >> 3] & (0x80u >> (c & 7)))
                mask[std::size_t(y) * std::size_t(s.rowBytes) + std::size_t(x >> 3)] |=
                    std::uint8_t(1u << (x & 7));
        }
    }
}

rfnbuild::FontSize RenderSize(FT_Face face, int size, const Options& o) {
    FT_Size_RequestRec req{FT_SIZE_REQUEST_TYPE_CELL, 0, FT_Long(size) << 6, 0, 0};
    if (FT_Request_Size(face, &req) != 0) throw std::runtime_error("cannot scale the font");
    rfnbuild::FontSize s;
    s.height = size;
    s.first = o.first;
    s.last = o.last;
    s.baseline = std::clamp(int((face->size->metrics.ascender + 63) >> 6), 0, size);
    const int count = o.last - o.first + 1;
    struct Rendered {
        int width = 0, left = 0, top = 0;
        FT_Bitmap bitmap{};
        std::vector<unsigned char> pixels;
    };
    std::vector<Rendered> rendered(static_cast<std::size_t>(count));
    int widest = 1;
    for (int i = 0; i < count; ++i) {
        const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(o.first + i));
        if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
            continue;
        const FT_GlyphSlot g = face->glyph;
        Rendered& r = rendered[std::size_t(i)];
        r.left = std::max(0, g->bitmap_left);
        r.top = s.baseline - g->bitmap_top;
        r.width =
            std::min(255, std::max(int((g->advance.x + 32) >> 6), r.left + int(g->bitmap.width)));
        r.bitmap = g->bitmap;
        r.pixels.assign(g->bitmap.buffer,
                        g->bitmap.buffer +
                            std::size_t(g->bitmap.rows) * std::size_t(std::abs(g->bitmap.pitch)));
        r.bitmap.buffer = r.pixels.data();
        widest = std::max(widest, r.width);
    }
    s.rowBytes = (widest + 7) / 8;
    s.widths.resize(std::size_t(count));
    s.glyphs.assign(std::size_t(count),
                    std::vector<std::uint8_t>(std::size_t(s.height * s.rowBytes), 0));
    for (int i = 0; i < count; ++i) {
        const Rendered& r = rendered[std::size_t(i)];
        s.widths[std::size_t(i)] = std::uint8_t(r.width);
        if (r.width > 0 && !r.pixels.empty())
            Blit(r.bitmap, r.left, r.top, s, s.glyphs[std::size_t(i)]);
    }
    const int spaceIndex = ' ' - o.first;
    s.spaceWidth =
        spaceIndex >= 0 && spaceIndex < count ? s.widths[std::size_t(spaceIndex)] : size / 3;
    return s;
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--family")
            o.family = value;
        else if (key == "--out")
            o.out = value;
        else if (key == "--version")
            o.version = std::atoi(value.c_str());
        else if (key == "--first")
            o.first = std::atoi(value.c_str());
        else if (key == "--last")
            o.last = std::atoi(value.c_str());
        else if (key == "--sizes") {
            std::stringstream list(value);
            for (std::string item; std::getline(list, item, ',');)
                o.sizes.push_back(std::atoi(item.c_str()));
        } else
            throw std::runtime_error("unknown option " + key);
    }
    if (o.family.empty() || o.out.empty() || o.sizes.empty() ||
        (o.version != 1 && o.version != 2) || o.first < 0 || o.last > 255 || o.last < o.first ||
        std::any_of(o.sizes.begin(), o.sizes.end(), [](int s) { return s < 1 || s > 255; }))
        throw std::runtime_error("usage: rfnbuild --family NAME --sizes N,N,... --out FILE "
                                 "[--version 1|2] [--first C] [--last C]");
    return o;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options o = Parse(argc, argv);
        const auto [file, index] = FindFace(o.family);
        FcFini(); // Fontconfig's caches are not needed past the lookup
        FT_Library lib = nullptr;
        FT_Face face = nullptr;
        if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, file.c_str(), index, &face) != 0)
            throw std::runtime_error("cannot open " + file);
        std::vector<rfnbuild::FontSize> sizes;
        for (int size : o.sizes) sizes.push_back(RenderSize(face, size, o));
        FT_Done_Face(face);
        FT_Done_FreeType(lib);
        const std::vector<std::uint8_t> bytes = rfnbuild::WriteFontFile(o.family, sizes, o.version);
        std::ofstream out(o.out, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out.flush()) throw std::runtime_error("cannot write " + o.out);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rfnbuild: %s\n", e.what());
        return 1;
    }
}
