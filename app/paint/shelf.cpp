#include "paint/shelf.h"

#include "log.h"

#include <pixkit/gfxfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace kv {

namespace {

BrushShelf* gShelf = nullptr;

// "b<serial>.frm", or "b<serial>p.frm" for a pinned brush.
constexpr char kPinMark = 'p';

bool ParseName(const std::string& name, std::uint64_t& serial, bool& pinned) {
    if (name.size() < 6 || name[0] != 'b' || name.substr(name.size() - 4) != ".frm") return false;
    std::string digits = name.substr(1, name.size() - 5);
    pinned = !digits.empty() && digits.back() == kPinMark;
    if (pinned) digits.pop_back();
    if (digits.empty() || digits.size() > 18 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    serial = std::stoull(digits);
    return true;
}

// A shelf file is the newest frame version with nothing missing and nothing
// after it: 8 header bytes, the pixel words and the 16-byte extra record.
bool WellFormed(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[8] = {};
    if (!in.read(reinterpret_cast<char*>(h), 8)) return false;
    if (std::memcmp(h, "FRM\4", 4) != 0) return false;
    const std::uint64_t w = h[4] | unsigned(h[5]) << 8, ht = h[6] | unsigned(h[7]) << 8;
    std::error_code ec;
    const std::uint64_t size = fs::file_size(path, ec);
    return !ec && w > 0 && ht > 0 && size == 8 + w * ht * 4 + sizeof(pixkit::GFXtra32);
}

// Brush pixels are colours or the transparency marker, nothing else.
bool BrushPixels(const pixkit::Buffer& b) {
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        const pixkit::Pixel* p = b.At(b.Area.Left, y);
        for (int x = 0, n = b.Width(); x < n; ++x)
            if ((p[x] >> 24) != 0 && p[x] != kBrushTransparent) return false;
    }
    return true;
}

bool SameBrush(const ShelfEntry& e, const BrushState& b) {
    const pixkit::Buffer& a = e.Brush;
    const pixkit::Buffer& c = b.Brush;
    if (e.Handle != b.Settings.Handle || e.Background != b.Settings.Background ||
        a.Width() != c.Width() || a.Height() != c.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.At(a.Area.Left, a.Area.Top + y), c.At(c.Area.Left, c.Area.Top + y),
                        std::size_t(a.Width()) * 4) != 0)
            return false;
    return true;
}

} // namespace

BrushShelf* Shelf() {
    return gShelf;
}

void SetShelf(BrushShelf* shelf) {
    gShelf = shelf;
}

BrushShelf::BrushShelf(std::string dir) : dir_(std::move(dir)) {}

std::string BrushShelf::FileName(const ShelfEntry& e) const {
    char name[40];
    std::snprintf(name, sizeof name, "b%018llu%s.frm", static_cast<unsigned long long>(e.Serial),
                  e.Pinned ? "p" : "");
    return dir_ + name;
}

void BrushShelf::Load() {
    entries_.clear();
    std::error_code ec;
    if (dir_.empty() || !fs::is_directory(dir_, ec)) return;
    pixkit::QuietProgress quiet;
    for (const fs::directory_entry& f : fs::directory_iterator(dir_, ec)) {
        auto e = std::make_unique<ShelfEntry>();
        const std::string name = f.path().filename().string();
        if (!ParseName(name, e->Serial, e->Pinned)) continue;
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        bool good = WellFormed(f.path());
        try {
            if (good) pixkit::GFXFile::Load(e->Brush, f.path().string(), &extra);
        } catch (const std::exception&) {
            good = false;
        }
        if (!good || e->Brush.Empty() || !FitsBrushLimit({e->Brush.Width(), e->Brush.Height()}) ||
            !BrushPixels(e->Brush)) {
            LogLine("Brush shelf: damaged file " + f.path().string() + " skipped.");
            fs::rename(f.path(), f.path().string() + ".damaged", ec);
            continue;
        }
        e->Handle = HandleAt(e->Brush.Area, {extra.HotX, extra.HotY});
        e->Background = extra.Back & 0xFFFFFF;
        nextSerial_ = std::max(nextSerial_, e->Serial + 1);
        entries_.push_back(std::move(e));
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const auto& a, const auto& b) { return a->Serial > b->Serial; });
    // More files than the shelf holds (left by hand): the oldest unpinned go.
    while (int(entries_.size()) > kCapacity) {
        auto old = std::find_if(entries_.rbegin(), entries_.rend(),
                                [](const auto& e) { return !e->Pinned; });
        if (old == entries_.rend()) old = entries_.rbegin();
        Erase(**old);
        entries_.erase(std::next(old).base());
    }
    Notify();
}

void BrushShelf::Add(const BrushState& brush) {
    if (brush.Brush.Empty()) return;
    auto same = std::find_if(entries_.begin(), entries_.end(),
                             [&](const auto& e) { return SameBrush(*e, brush); });
    std::unique_ptr<ShelfEntry> e;
    if (same != entries_.end()) {
        e = std::move(*same);
        entries_.erase(same);
        Erase(*e);
    } else {
        if (int(entries_.size()) >= kCapacity) {
            auto old = std::find_if(entries_.rbegin(), entries_.rend(),
                                    [](const auto& x) { return !x->Pinned; });
            if (old == entries_.rend()) return;
            Erase(**old);
            entries_.erase(std::next(old).base());
        }
        e = std::make_unique<ShelfEntry>();
        CloneBuffer(e->Brush, brush.Brush);
        if (e->Brush.Empty()) return;
        e->Handle = brush.Settings.Handle;
        e->Background = brush.Settings.Background;
    }
    e->Serial = nextSerial_++;
    Write(*e);
    entries_.insert(entries_.begin(), std::move(e));
    Notify();
}

void BrushShelf::SetPinned(std::size_t index, bool pinned) {
    if (index >= entries_.size() || entries_[index]->Pinned == pinned) return;
    ShelfEntry& e = *entries_[index];
    const std::string old = FileName(e);
    e.Pinned = pinned;
    std::error_code ec;
    if (!dir_.empty()) fs::rename(old, FileName(e), ec);
    if (ec) Write(e);
    Notify();
}

void BrushShelf::Remove(std::size_t index) {
    if (index >= entries_.size()) return;
    Erase(*entries_[index]);
    entries_.erase(entries_.begin() + std::ptrdiff_t(index));
    Notify();
}

void BrushShelf::Use(std::size_t index, BrushState& brush) const {
    if (index >= entries_.size()) return;
    const ShelfEntry& e = *entries_[index];
    pixkit::Buffer copy;
    CloneBuffer(copy, e.Brush);
    if (copy.Empty()) return;
    brush.TakeUserBrush(copy, kBrushTransparent, e.Handle);
    brush.Settings.Background = e.Background;
}

// The frame writer renames its temporary file over the name only once the
// whole brush is written.
void BrushShelf::Write(const ShelfEntry& e) const {
    if (dir_.empty()) return;
    std::error_code ec;
    fs::create_directories(dir_, ec);
    const pixkit::Pair<int> hot = HandleOffsetIn(e.Brush.Area, e.Handle);
    pixkit::GFXtra32 extra{static_cast<std::int16_t>(hot.x), static_cast<std::int16_t>(hot.y), 0,
                           e.Background, 1};
    pixkit::Buffer copy;
    CloneBuffer(copy, e.Brush);
    try {
        pixkit::QuietProgress quiet;
        pixkit::GFXFile::Save(copy, FileName(e), &extra, nullptr);
    } catch (const std::exception&) {
        LogLine("Brush shelf: cannot write " + FileName(e) + ".");
    }
}

void BrushShelf::Erase(const ShelfEntry& e) const {
    if (dir_.empty()) return;
    std::error_code ec;
    fs::remove(FileName(e), ec);
}

void BrushShelf::Notify() const {
    if (Changed) Changed();
}

} // namespace kv
