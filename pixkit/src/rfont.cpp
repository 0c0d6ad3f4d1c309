// Font objects: family and size selection over the registry, use counts,
// and loading of widths and glyph masks on demand.
#include <pixkit/buffer.h>
#include <pixkit/rfont.h>

#include "rfont_format.h"
#include "rfont_registry.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <new>

namespace pixkit {

std::string RFont::path;

namespace {

struct RegistryState {
    std::mutex lock;
    bool built = false;
    rfn::Registry reg;
};

RegistryState& State() {
    static RegistryState state;
    return state;
}

bool SameFamily(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The entry of the family starting at first whose height is nearest to n;
// of two equally near sizes the smaller (entries are sorted by size).
int Nearest(int first, int n) {
    const RFontEntry* reg = RFont::GetReg();
    int best = first;
    for (int i = first; i < first + reg[first].FamilyCount; ++i)
        if (std::abs(reg[i].Height - n) < std::abs(reg[best].Height - n)) best = i;
    return best;
}

int FamilyStart(int index) {
    const RFontEntry* reg = RFont::GetReg();
    while (index > 0 && reg[index].FamilyCount == 0) --index;
    return index;
}

void FreeLoaded(RFontEntry& e) {
    e.Widths = {};
    e.GlyphIndex = {};
    e.Masks = {};
    e.InkLeft = {};
    e.InkRight = {};
    e.Widest = 0;
}

// Per glyph row: the leftmost inked pixel and one past the rightmost, or -1.
void ComputeInk(RFontEntry& e, std::size_t glyphs) {
    const std::size_t rows = glyphs * e.Height;
    e.InkLeft.assign(rows, -1);
    e.InkRight.assign(rows, -1);
    const int bits = e.RowBytes * 8;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint8_t* row = e.Masks.data() + r * e.RowBytes;
        for (int x = 0; x < bits; ++x)
            if (row[x >> 3] & (1u << (x & 7))) {
                if (e.InkLeft[r] < 0) e.InkLeft[r] = std::int16_t(x);
                e.InkRight[r] = std::int16_t(x + 1);
            }
    }
}

// Reads the widths and glyphs of one entry from its file's chunks after the
// entry's "DESC"; false on anything missing or damaged.
bool LoadEntry(RFontEntry& e, const std::string& file) {
    std::vector<std::uint8_t> bytes;
    if (!rfn::ReadWholeFile(file, bytes)) return false;
    const int version = rfn::FileVersion(bytes);
    if (version == 0 || e.Position > bytes.size()) return false;
    const std::size_t range = std::size_t(e.Last) - e.First + 1;
    std::size_t at = e.Position;
    bool haveWidths = false;
    while (at + 8 <= bytes.size()) {
        const std::uint8_t* h = bytes.data() + at;
        const std::uint32_t id = (std::uint32_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
        const std::uint32_t size = (std::uint32_t(h[4]) << 24) | (h[5] << 16) | (h[6] << 8) | h[7];
        at += 8;
        if (size > bytes.size() - at || id == rfn::ChunkId("DESC")) return false;
        const std::uint8_t* body = bytes.data() + at;
        at += size;
        if (id == rfn::ChunkId("WDTH")) {
            // A longer table is cut to the character range, a shorter one padded.
            e.Widths.assign(range, 0);
            std::copy_n(body, std::min<std::size_t>(size, range), e.Widths.begin());
            e.Widest = *std::max_element(e.Widths.begin(), e.Widths.end());
            haveWidths = true;
        } else if (id == rfn::ChunkId("DATA")) {
            if (!haveWidths) return false;
            std::size_t glyphs = 0;
            e.GlyphIndex.assign(range, -1);
            for (std::size_t c = 0; c < range; ++c)
                if (version == 1 || e.Widths[c] != 0) e.GlyphIndex[c] = std::int32_t(glyphs++);
            const std::size_t need = glyphs * e.GlyphBytes;
            if (version == 1) {
                if (size < need) return false;
                e.Masks.assign(body, body + need);
            } else if (!rfn::DecodeGlyphData(body, size, need * 8, e.RowBytes, e.Masks)) {
                return false;
            }
            ComputeInk(e, glyphs);
            return true;
        }
    }
    return false;
}

} // namespace

const std::string& RFont::GetPath() {
    if (path.empty()) path = LibraryFontDir();
    return path;
}

void RFont::InitReg() {
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.built || GetPath().empty()) return;
    try {
        s.reg = rfn::LoadRegistry(GetPath());
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("RFontInit");
    }
    s.built = true;
}

RFontEntry* RFont::GetReg() {
    return State().reg.entries.data();
}
int RFont::GetCount() {
    return int(State().reg.entries.size());
}
const std::vector<RFontFile>& RFont::GetFiles() {
    return State().reg.files;
}

void RFont::UseDirectory(const std::string& dir) {
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    path = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    s.reg = rfn::Registry{};
    s.built = false;
}

RFont::RFont(const RFont& other)
    : Mode(other.Mode), SpaceOverride(other.SpaceOverride), SpacingOverride(other.SpacingOverride),
      Reserved(other.Reserved) {
    Select(other.entry_);
}

RFont& RFont::operator=(const RFont& other) {
    if (this == &other) return *this;
    Mode = other.Mode;
    SpaceOverride = other.SpaceOverride;
    SpacingOverride = other.SpacingOverride;
    Reserved = other.Reserved;
    Select(other.entry_);
    return *this;
}

RFont::~RFont() {
    Select(-1);
}

void RFont::Select(int index) {
    if (index == entry_) return;
    if (index >= 0) ++GetReg()[index].UseCount;
    if (RFontEntry* old = Entry(); old != nullptr && --old->UseCount <= 0) {
        old->UseCount = 0;
        FreeLoaded(*old);
    }
    entry_ = index;
}

std::string RFont::GetName() const {
    const RFontEntry* e = Entry();
    return e != nullptr ? e->Family : std::string();
}

void RFont::SetName(const std::string& name) {
    InitReg();
    const RFontEntry* current = Entry();
    if (current != nullptr && SameFamily(current->Family, name)) return;
    const RFontEntry* reg = GetReg();
    for (int i = 0; i < GetCount(); i += std::max(reg[i].FamilyCount, 1)) {
        if (!SameFamily(reg[i].Family, name)) continue;
        Select(current != nullptr ? Nearest(i, current->Height) : i);
        return;
    }
    Select(-1);
}

int RFont::GetSize() const {
    const RFontEntry* e = Entry();
    return e != nullptr ? e->Height : 0;
}

void RFont::SetSize(int n) {
    if (entry_ < 0) return;
    Select(Nearest(FamilyStart(entry_), n));
}

int RFont::GetSpacing() const {
    if (SpacingOverride != kUnset) return SpacingOverride;
    const RFontEntry* e = Entry();
    return e != nullptr ? e->Spacing : 0;
}

int RFont::GetSpaceSize() const {
    if (SpaceOverride != kUnset) return SpaceOverride;
    const RFontEntry* e = Entry();
    return e != nullptr ? e->SpaceWidth : 0;
}

bool RFont::Prepare() {
    RFontEntry* e = Entry();
    if (e == nullptr) return false;
    if (e->Loaded()) return true;
    const std::string file = GetPath() + GetFiles()[std::size_t(e->File)].Name;
    if (!LoadEntry(*e, file)) {
        FreeLoaded(*e); // a damaged font keeps nothing half-loaded
        return false;
    }
    return true;
}

void RFont::Unprepare() {
    if (RFontEntry* e = Entry()) FreeLoaded(*e);
}

} // namespace pixkit
