#include "documents.h"

#include "keys.h"
#include "lang.h"

#include <atomic>

namespace kv {

namespace {
// One source for all slots, so that a state never shares its generation
// with another state of any slot.
std::atomic<std::uint64_t> lastGeneration{0};
std::uint64_t NextGeneration() {
    return ++lastGeneration;
}
} // namespace

ChangeCounter& ChangeCounter::operator++() {
    ++count_;
    generation_ = NextGeneration();
    return *this;
}

ChangeCounter& ChangeCounter::operator=(std::int32_t value) {
    count_ = value;
    generation_ = NextGeneration();
    if (value == 0) saved_ = generation_;
    return *this;
}

void Documents::PrepareSlots() {
    for (UDBuffer& slot : Slots) {
        if (slot.Empty()) slot.Alloc({pixkit::Buffer::default_x, pixkit::Buffer::default_y});
        if (!slot.Empty()) slot.Box(slot.Area, 0);
        slot.Changed = 0;
        slot.FileState = 1;
    }
}

bool Documents::AllocBlack(int slot, int w, int h) {
    if (w < 1 || h < 1 || std::int64_t(w) * h > kMaxImagePixels) return false;
    pixkit::Buffer fresh;
    fresh.Alloc({w, h});
    if (fresh.Empty()) return false;
    fresh.Box(fresh.Area, 0);
    UDBuffer& s = Slots[static_cast<std::size_t>(slot)];
    static_cast<pixkit::Buffer&>(s) = fresh;
    return true;
}

int Documents::FreeSlotAfter(int after) const {
    for (int i = after + 1; i < kSlotCount; ++i) {
        const UDBuffer& s = Slots[static_cast<std::size_t>(i)];
        if (s.FileState == 1 && s.FileName.empty() && s.Changed == 0) return i;
    }
    return -1;
}

std::string Documents::DocumentTitle(int slot) const {
    if (UpdateMode) return UpdateTitle;
    const UDBuffer& s = Slots[static_cast<std::size_t>(slot)];
    if (s.FileName.empty()) return Translate(key::Untitled);
    // Image n of a multi-image file is shown as "name: n".
    return s.ImageNo == 1 ? s.FileName : s.FileName + ": " + std::to_string(s.ImageNo);
}

std::string Documents::DocumentLabel() const {
    return "[" + std::to_string(Current + 1) + "] " + DocumentTitle(Current);
}

} // namespace kv
