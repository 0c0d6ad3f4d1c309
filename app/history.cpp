#include "history.h"

#include "undo.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace kv {

namespace {

struct TileRect {
    int X, Y, W, H; // relative to the image's top left corner
};

TileRect TileOf(std::uint32_t tile, int tilesX, const pixkit::Buffer& image) {
    const int x = int(tile % std::uint32_t(tilesX)) * UndoHistory::kTile;
    const int y = int(tile / std::uint32_t(tilesX)) * UndoHistory::kTile;
    return {x, y, std::min(UndoHistory::kTile, image.Width() - x),
            std::min(UndoHistory::kTile, image.Height() - y)};
}

pixkit::Pixel* Row(const pixkit::Buffer& b, const TileRect& t, int row) {
    return b.At(b.Area.Left + t.X, b.Area.Top + t.Y + row);
}

bool SameTile(const pixkit::Buffer& a, const pixkit::Buffer& b, const TileRect& t) {
    const std::size_t bytes = std::size_t(t.W) * sizeof(pixkit::Pixel);
    for (int row = 0; row < t.H; ++row)
        if (std::memcmp(Row(a, t, row), Row(b, t, row), bytes) != 0) return false;
    return true;
}

int TilesAcross(int pixels) {
    return (pixels + UndoHistory::kTile - 1) / UndoHistory::kTile;
}

} // namespace

std::size_t UndoHistory::Step::Bytes() const {
    std::size_t n = sizeof(Step) + Tiles.capacity() * sizeof(std::uint32_t) +
                    Pixels.capacity() * sizeof(pixkit::Pixel) + FileName.capacity();
    if (Whole && !Whole->Empty())
        n += std::size_t(Whole->Width()) * std::size_t(Whole->Height()) * sizeof(pixkit::Pixel);
    return n;
}

UndoHistory::UndoHistory(Documents& docs, UndoSnapshot& snapshot)
    : docs_(docs), snapshot_(snapshot) {}

UndoHistory::~UndoHistory() = default;

void UndoHistory::SetLimits(HistoryLimits limits) {
    limits_ = limits;
    for (int i = 0; i < kSlotCount; ++i) Trim(i);
}

void UndoHistory::ResetDirty(const pixkit::Buffer& image) {
    tilesX_ = TilesAcross(image.Width());
    tilesY_ = TilesAcross(image.Height());
    dirty_.assign(std::size_t(tilesX_) * std::size_t(tilesY_), 0);
    allDirty_ = false;
}

void UndoHistory::SnapshotInSync() {
    if (snapSlot_ >= 0) ResetDirty(Slot(snapSlot_));
}

void UndoHistory::MarkDirty(pixkit::Rect r) {
    if (allDirty_ || tilesX_ == 0) return;
    const int x1 = std::max(r.Left, 0) / kTile, y1 = std::max(r.Top, 0) / kTile;
    const int x2 = std::min(r.Right / kTile, tilesX_ - 1);
    const int y2 = std::min(r.Bottom / kTile, tilesY_ - 1);
    for (int ty = y1; ty <= y2; ++ty)
        for (int tx = x1; tx <= x2; ++tx)
            dirty_[std::size_t(ty) * std::size_t(tilesX_) + std::size_t(tx)] = 1;
}

void UndoHistory::FindChangedTiles(const UDBuffer& image, Step& step) const {
    const UDBuffer& snap = snapshot_.snap_;
    const auto tiles = std::uint32_t(tilesX_ * tilesY_);
    for (std::uint32_t t = 0; t < tiles; ++t)
        if ((allDirty_ || dirty_[t] != 0) && !SameTile(snap, image, TileOf(t, tilesX_, snap)))
            step.Tiles.push_back(t);
}

// Fills step with the snapshot's side of everything that differs between
// the snapshot and image; false when nothing does.
bool UndoHistory::CollectStep(UDBuffer& image, Step& step) {
    UDBuffer& snap = snapshot_.snap_;
    const bool resized = image.Width() != snap.Width() || image.Height() != snap.Height();
    if (resized) {
        step.Whole = std::make_unique<pixkit::Buffer>();
        *step.Whole = snap; // takes the snapshot's block over
        snap.Free();
    } else {
        FindChangedTiles(image, step);
        // An action that counted a change but repainted none of it: its
        // pixels are found by comparing all of them.
        if (step.Tiles.empty() && !allDirty_ &&
            image.Changed.Generation() != snap.Changed.Generation()) {
            allDirty_ = true;
            FindChangedTiles(image, step);
        }
        std::size_t count = 0;
        for (std::uint32_t t : step.Tiles) {
            const TileRect r = TileOf(t, tilesX_, snap);
            count += std::size_t(r.W) * std::size_t(r.H);
        }
        step.Pixels.resize(count);
        pixkit::Pixel* out = step.Pixels.data();
        for (std::uint32_t t : step.Tiles) {
            const TileRect r = TileOf(t, tilesX_, snap);
            for (int row = 0; row < r.H; ++row, out += r.W)
                std::memcpy(out, Row(snap, r, row), std::size_t(r.W) * sizeof(pixkit::Pixel));
        }
    }
    const bool sameState = image.FileName == snap.FileName && image.FileState == snap.FileState &&
                           image.ImageNo == snapImageNo_ &&
                           image.Changed.Generation() == snap.Changed.Generation();
    if (!resized && step.Tiles.empty() && sameState) return false;
    step.FileName = snap.FileName;
    step.FileState = snap.FileState;
    step.ImageNo = snapImageNo_;
    step.Changed = snap.Changed.Current();
    return true;
}

// The snapshot takes the image's side of the tiles of step.
void UndoHistory::SyncSnapshot(const UDBuffer& image, const Step& step) {
    UDBuffer& snap = snapshot_.snap_;
    for (std::uint32_t t : step.Tiles) {
        const TileRect r = TileOf(t, tilesX_, image);
        for (int row = 0; row < r.H; ++row)
            std::memcpy(Row(snap, r, row), Row(image, r, row),
                        std::size_t(r.W) * sizeof(pixkit::Pixel));
    }
    snap.FileName = image.FileName;
    snap.FileState = image.FileState;
    snap.Changed.Restore(image.Changed.Current());
    snapImageNo_ = image.ImageNo;
    ResetDirty(image);
}

bool UndoHistory::FullSnapshot(int slot) {
    UDBuffer& image = Slot(slot);
    const bool ok = snapshot_.TakeSnapshot(image);
    snapSlot_ = ok ? slot : -1;
    snapImageNo_ = image.ImageNo;
    ResetDirty(image);
    return ok;
}

// Records the action since the snapshot was taken. True when the snapshot
// is then a copy of its slot again.
bool UndoHistory::Settle() {
    if (snapSlot_ < 0 || snapshot_.Empty()) return false;
    UDBuffer& image = Slot(snapSlot_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        Step step;
        try {
            if (!CollectStep(image, step)) {
                ResetDirty(image);
                return true;
            }
        } catch (const std::bad_alloc&) {
            // The steps give their memory for the newest action.
            for (int i = 0; i < kSlotCount; ++i) Forget(i);
            continue;
        }
        // Pixels that changed without the action counting the change still
        // make a state of their own.
        if (image.Changed.Generation() == step.Changed.Generation) ++image.Changed;
        step.Generation = image.Changed.Generation();
        const bool whole = step.Whole != nullptr;
        if (!whole) SyncSnapshot(image, step);
        Push(snapSlot_, std::move(step));
        return !whole;
    }
    return false;
}

bool UndoHistory::TakeSnapshot(int slot) {
    const bool synced = Settle();
    if (std::exchange(snapshot_.failNext_, false)) {
        snapshot_.Free();
        snapSlot_ = -1;
        return false;
    }
    if (synced && snapSlot_ == slot) return true;
    return FullSnapshot(slot);
}

void UndoHistory::Push(int slot, Step step) {
    SlotHistory& h = slots_[std::size_t(slot)];
    for (const Step& s : h.Redo) bytes_ -= s.Bytes();
    h.Redo.clear();
    step.Age = ++age_;
    bytes_ += step.Bytes();
    h.Undo.push_back(std::move(step));
    Trim(slot);
}

void UndoHistory::Trim(int slot) {
    SlotHistory& h = slots_[std::size_t(slot)];
    const std::size_t most = std::size_t(std::max(limits_.Steps, 1));
    while (h.Undo.size() + h.Redo.size() > most && !h.Undo.empty()) {
        bytes_ -= h.Undo.front().Bytes();
        h.Undo.pop_front();
    }
    while (bytes_ > limits_.Bytes && bytes_ > 0) DropOldest();
}

// Drops the oldest step that can be undone; when none is left, the redo
// step furthest from any image's present state.
void UndoHistory::DropOldest() {
    std::deque<Step>* oldest = nullptr;
    for (SlotHistory& h : slots_)
        if (!h.Undo.empty() && (oldest == nullptr || h.Undo.front().Age < oldest->front().Age))
            oldest = &h.Undo;
    for (SlotHistory& h : slots_)
        if (oldest == nullptr && !h.Redo.empty()) oldest = &h.Redo;
    if (oldest == nullptr) {
        bytes_ = 0;
        return;
    }
    bytes_ -= oldest->front().Bytes();
    oldest->pop_front();
}

void UndoHistory::Forget(int slot) {
    SlotHistory& h = slots_[std::size_t(slot)];
    for (const Step& s : h.Undo) bytes_ -= s.Bytes();
    for (const Step& s : h.Redo) bytes_ -= s.Bytes();
    h.Undo.clear();
    h.Redo.clear();
}

// Exchanges the image's side of step with the step's: pixels, file name,
// file state, image number and changed state. Marker bits do not survive.
void UndoHistory::Exchange(UDBuffer& image, Step& step) {
    if (step.Whole) {
        pixkit::Buffer held;
        held = image; // image becomes a view of its own block, held owns it
        static_cast<pixkit::Buffer&>(image) = *step.Whole;
        *step.Whole = held;
        image.Bool(1, kClearMarks);
    } else {
        pixkit::Pixel* kept = step.Pixels.data();
        for (std::uint32_t t : step.Tiles) {
            const TileRect r = TileOf(t, tilesX_, image);
            for (int row = 0; row < r.H; ++row, kept += r.W) {
                pixkit::Pixel* p = Row(image, r, row);
                std::swap_ranges(p, p + r.W, kept);
                for (int x = 0; x < r.W; ++x) p[x] &= kClearMarks;
            }
        }
    }
    std::swap(image.FileName, step.FileName);
    std::swap(image.FileState, step.FileState);
    std::swap(image.ImageNo, step.ImageNo);
    const ChangeCounter::State held = image.Changed.Current();
    image.Changed.Restore(step.Changed);
    step.Changed = held;
    step.Generation = image.Changed.Generation();
}

bool UndoHistory::Move(std::deque<Step>& from, std::deque<Step>& to) {
    const int slot = docs_.Current;
    if (!TakeSnapshot(slot) || from.empty()) return false;
    UDBuffer& image = Slot(slot);
    Step& step = from.back();
    if (step.Generation != image.Changed.Generation()) {
        // The image was replaced past the history (a load into a slot
        // that was not current): its steps no longer fit it.
        Forget(slot);
        return false;
    }
    bytes_ -= step.Bytes();
    Exchange(image, step);
    bytes_ += step.Bytes();
    if (step.Whole)
        FullSnapshot(slot);
    else
        SyncSnapshot(image, step);
    to.push_back(std::move(step));
    from.pop_back();
    return true;
}

bool UndoHistory::Undo() {
    SlotHistory& h = slots_[std::size_t(docs_.Current)];
    return Move(h.Undo, h.Redo);
}

bool UndoHistory::Redo() {
    SlotHistory& h = slots_[std::size_t(docs_.Current)];
    return Move(h.Redo, h.Undo);
}

bool UndoHistory::CanUndo(int slot) const {
    return !slots_[std::size_t(slot)].Undo.empty();
}

bool UndoHistory::CanRedo(int slot) const {
    return !slots_[std::size_t(slot)].Redo.empty();
}

int UndoHistory::StepCount(int slot) const {
    const SlotHistory& h = slots_[std::size_t(slot)];
    return int(h.Undo.size() + h.Redo.size());
}

} // namespace kv
