// Fontconfig and FreeType behind one lock. The engine is created on first use
// (with the lock held) and lives until the library is unloaded; fonts found
// and faces opened are kept for later calls.
#include "font_engine.h"

#include <pixkit/stream.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <map>
#include <tuple>

namespace pixkit::detail {

namespace {

[[noreturn]] void CannotStart() {
    throw Exception("Cannot create device context.");
}

std::mutex& EngineLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

// A font file chosen by Fontconfig, and whether its style must be made up.
struct FontFile {
    std::string path;
    int index = 0;
    bool embolden = false;
};

class FontEngine {
  public:
    FontEngine() {
        if (FT_Init_FreeType(&lib_) != 0) CannotStart();
        config_ = FcInitLoadConfigAndFonts();
        if (config_ == nullptr) {
            FT_Done_FreeType(lib_);
            CannotStart();
        }
    }
    ~FontEngine() {
        for (auto& [key, face] : faces_) FT_Done_Face(face);
        FT_Done_FreeType(lib_);
        FcConfigDestroy(config_);
    }
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    // The engine, created on first use. Call with the lock held.
    static FontEngine& Get() {
        static std::unique_ptr<FontEngine> engine;
        if (!engine) engine = std::make_unique<FontEngine>();
        return *engine;
    }

    const FontFile& Find(const FontDesc& font) {
        const auto key = std::make_tuple(font.Family, font.Bold, font.Italic);
        auto it = files_.find(key);
        if (it == files_.end()) it = files_.emplace(key, Match(font)).first;
        return it->second;
    }

    FT_Face Open(const FontFile& file) {
        const auto key = std::make_pair(file.path, file.index);
        auto it = faces_.find(key);
        if (it != faces_.end()) return it->second;
        FT_Face face = nullptr;
        if (FT_New_Face(lib_, file.path.c_str(), file.index, &face) != 0) CannotStart();
        faces_.emplace(key, face);
        return face;
    }

    // The family names of every scalable font, each once, sorted without
    // regard to case.
    std::vector<std::string> Families() {
        FcPattern* pat = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        if (pat == nullptr || objects == nullptr) CannotStart();
        FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
        FcFontSet* set = FcFontList(config_, pat, objects);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pat);
        std::vector<std::string> out;
        for (int i = 0; set != nullptr && i < set->nfont; ++i) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch)
                out.emplace_back(reinterpret_cast<char*>(family));
        }
        if (set != nullptr) FcFontSetDestroy(set);
        const auto less = [](const std::string& a, const std::string& b) {
            return std::lexicographical_compare(
                a.begin(), a.end(), b.begin(), b.end(),
                [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
        };
        std::sort(out.begin(), out.end(), less);
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }

    // The family of the font that draws for family.
    std::string MatchFamily(const std::string& family) {
        FontDesc font;
        font.Family = family;
        FcPattern* match = MatchPattern(font);
        FcChar8* name = nullptr;
        std::string out = family;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
            out = reinterpret_cast<char*>(name);
        FcPatternDestroy(match);
        return out;
    }

  private:
    FcPattern* MatchPattern(const FontDesc& font) {
        FcPattern* pat = FcPatternCreate();
        if (pat == nullptr) CannotStart();
        FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.Family.c_str()));
        FcPatternAddInteger(pat, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pat, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(config_, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config_, pat, &result);
        FcPatternDestroy(pat);
        if (match == nullptr) CannotStart();
        return match;
    }

    FontFile Match(const FontDesc& font) {
        FcPattern* match = MatchPattern(font);
        FontFile out;
        FcChar8* path = nullptr;
        FcBool embolden = FcFalse;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
            out.path = reinterpret_cast<char*>(path);
        FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
        int weight = FC_WEIGHT_REGULAR;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
            out.embolden = embolden == FcTrue;
        else
            out.embolden = font.Bold && weight < FC_WEIGHT_DEMIBOLD;
        FcPatternDestroy(match);
        if (out.path.empty()) CannotStart();
        return out;
    }

    FT_Library lib_ = nullptr;
    FcConfig* config_ = nullptr;
    std::map<std::tuple<std::string, bool, bool>, FontFile> files_;
    std::map<std::pair<std::string, int>, FT_Face> faces_;
};

struct TextSession::Face {
    FT_Face face;
    bool embolden;
    bool oblique; // italic asked for, the face has none
};

namespace {

std::int64_t Round26(FT_Pos v) {
    return (static_cast<std::int64_t>(v) + 32) >> 6;
}

// Loads and renders one glyph in monochrome; false for a glyph FreeType
// cannot render (it is then skipped, advance included).
bool LoadGlyph(const TextSession::Face& f, char32_t ch) {
    const FT_UInt index = FT_Get_Char_Index(f.face, ch);
    if (FT_Load_Glyph(f.face, index, FT_LOAD_TARGET_MONO) != 0) return false;
    FT_GlyphSlot slot = f.face->glyph;
    if (f.oblique) FT_GlyphSlot_Oblique(slot);
    if (f.embolden) FT_GlyphSlot_Embolden(slot);
    return FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0;
}

// The first and last columns of a rendered glyph that hold a set bit, or
// false for a glyph without ink. The bitmap's own box follows the outline's
// control points and can hold empty columns at either side.
bool InkColumns(const FT_Bitmap& bm, std::int64_t& first, std::int64_t& last) {
    first = bm.width;
    last = -1;
    const std::int64_t stride = bm.pitch < 0 ? -std::int64_t(bm.pitch) : bm.pitch;
    for (unsigned r = 0; r < bm.rows; ++r) {
        const unsigned char* bits = bm.buffer + r * stride;
        for (std::int64_t c = 0; c < std::int64_t(bm.width); ++c)
            if (bits[c >> 3] & (0x80 >> (c & 7))) {
                first = std::min(first, c);
                last = std::max(last, c);
            }
    }
    return last >= 0;
}

// Fills the rectangle x0..x1, y0..y1 of cell (clipped) with color.
void FillRect(Buffer& cell, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              Pixel color) {
    const Rect& a = cell.Area;
    x0 = std::max<std::int64_t>(x0, a.Left);
    y0 = std::max<std::int64_t>(y0, a.Top);
    x1 = std::min<std::int64_t>(x1, a.Right);
    y1 = std::min<std::int64_t>(y1, a.Bottom);
    for (std::int64_t y = y0; y <= y1 && x0 <= x1; ++y)
        std::fill_n(cell.At(int(x0), int(y)), x1 - x0 + 1, color);
}

// Copies the set bits of the rendered glyph at (x, y) (its top-left) into
// cell, clipped to cell.Area.
void BlitMono(const FT_Bitmap& bm, std::int64_t x, std::int64_t y, Buffer& cell, Pixel color) {
    const Rect& a = cell.Area;
    const std::int64_t c0 = std::max<std::int64_t>(0, a.Left - x);
    const std::int64_t c1 = std::min<std::int64_t>(bm.width, std::int64_t(a.Right) - x + 1);
    const std::int64_t r0 = std::max<std::int64_t>(0, a.Top - y);
    const std::int64_t r1 = std::min<std::int64_t>(bm.rows, std::int64_t(a.Bottom) - y + 1);
    const std::int64_t pitch = bm.pitch;
    for (std::int64_t r = r0; r < r1; ++r) {
        // Rows flow downwards for a positive pitch, upwards for a negative one.
        const unsigned char* bits =
            bm.buffer + (pitch >= 0 ? r * pitch : (std::int64_t(bm.rows) - 1 - r) * -pitch);
        Pixel* out = cell.At(int(x + c0), int(y + r));
        for (std::int64_t c = c0; c < c1; ++c, ++out)
            if (bits[c >> 3] & (0x80 >> (c & 7))) *out = color;
    }
}

} // namespace

std::vector<std::string> TextSession::Families() {
    std::lock_guard lock(EngineLock());
    return FontEngine::Get().Families();
}

std::string TextSession::MatchFamily(const std::string& family) {
    std::lock_guard lock(EngineLock());
    return FontEngine::Get().MatchFamily(family);
}

TextSession::TextSession(const FontDesc& font)
    : lock_(EngineLock()), engine_(FontEngine::Get()), font_(font) {
    const FontFile& file = engine_.Find(font);
    FT_Face face = engine_.Open(file);
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(font.Height)) != 0) CannotStart();
    const bool italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    face_ = std::make_unique<Face>(Face{face, file.embolden, font.Italic && !italic});
}

TextSession::~TextSession() = default;

TextLayout TextSession::Measure(const std::u32string& text) {
    TextLayout out;
    const FT_Size_Metrics& m = face_->face->size->metrics;
    out.ascent = (std::int64_t(m.ascender) + 63) >> 6;
    out.height = out.ascent - (std::int64_t(m.descender) >> 6);
    if (text.empty()) {
        out.height = 0;
        return out;
    }
    // A and C widths (the space before and after the inked part of a
    // glyph) of the first and last glyph widen the extent when negative.
    std::int64_t firstA = 0, lastC = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!LoadGlyph(*face_, text[i])) continue;
        const FT_GlyphSlot slot = face_->face->glyph;
        const std::int64_t adv = Round26(slot->advance.x);
        std::int64_t a = 0, b = 0, first = 0, last = 0;
        if ((i == 0 || i + 1 == text.size()) && InkColumns(slot->bitmap, first, last)) {
            a = slot->bitmap_left + first;
            b = last - first + 1;
        }
        if (i == 0) firstA = a;
        if (i + 1 == text.size()) lastC = adv - a - b;
        out.advance += adv;
    }
    out.start = firstA < 0 ? -firstA : 0;
    out.width = out.advance + out.start + (lastC < 0 ? -lastC : 0);
    return out;
}

void TextSession::Draw(const std::u32string& text, const TextLayout& layout, Buffer& cell,
                       Pixel color) {
    std::int64_t pen = layout.start;
    for (const char32_t ch : text) {
        if (!LoadGlyph(*face_, ch)) continue;
        const FT_GlyphSlot slot = face_->face->glyph;
        BlitMono(slot->bitmap, pen + slot->bitmap_left, layout.ascent - slot->bitmap_top, cell,
                 color);
        pen += Round26(slot->advance.x);
    }
    if (!font_.Underline && !font_.StrikeOut) return;
    // Lines run under the advance widths; their place and thickness come
    // from the font (the OS/2 table for strikeout when there is one).
    FT_Face f = face_->face;
    const FT_Fixed scale = f->size->metrics.y_scale;
    const auto px = [&](FT_Short units) { return Round26(FT_MulFix(units, scale)); };
    const std::int64_t x0 = layout.start, x1 = layout.start + layout.advance - 1;
    if (font_.Underline) {
        const std::int64_t thick = std::max<std::int64_t>(1, px(f->underline_thickness));
        const std::int64_t top = layout.ascent - px(f->underline_position) - thick / 2;
        FillRect(cell, x0, top, x1, top + thick - 1, color);
    }
    if (font_.StrikeOut) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
        std::int64_t thick = 1, rise = layout.ascent * 3 / 10;
        if (os2 != nullptr && os2->version != 0xFFFF) {
            thick = std::max<std::int64_t>(1, px(os2->yStrikeoutSize));
            rise = px(os2->yStrikeoutPosition);
        }
        const std::int64_t top = layout.ascent - rise - thick / 2;
        FillRect(cell, x0, top, x1, top + thick - 1, color);
    }
}

std::u32string DecodeUtf8(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80         ? 1
                        : (b >> 5) == 6  ? 2
                        : (b >> 4) == 14 ? 3
                        : (b >> 3) == 30 ? 4
                                         : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + std::size_t(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + std::size_t(k)]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed.
        static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kMin[len] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        out.push_back(ok ? cp : U'\uFFFD');
        i += ok ? std::size_t(len) : 1;
    }
    return out;
}

} // namespace pixkit::detail
