// Multi-level undo and redo, one history per image slot, built on top of
// the undo snapshot.
//
// How an action becomes a step: tools and commands keep doing what they
// always did (take the snapshot before the first press, change the image,
// count the change, cancel to the snapshot for previews). Every snapshot
// request first settles what happened since the previous one: the image is
// compared with the snapshot, and whatever differs becomes one step of the
// snapshot's slot. Only tiles that may have changed are compared: every
// repaint request for image pixels (the main window's InvalidateImageRect)
// marks its tiles, and replacing or repainting the whole image (RefreshView,
// the effects' RepaintView) marks all of them; an action that counted a
// change but repainted nothing that differs is compared in full. A step keeps the snapshot's copy
// of the tiles that really differ (a whole image only when the size changed) plus the file name,
// file state, image number and changed state. The snapshot then takes only those tiles from the
// image, so it is equal to the image again without a full copy. Undo and redo exchange a step's
// tiles with the image's, so each step holds one copy of its tiles, never two.
//
// The bytes held by all steps stay within a budget and each slot keeps at
// most a number of steps; the oldest steps of any slot go first. A step
// larger than the whole budget is not kept.
#pragma once

#include "documents.h"

#include <pixkit/buffer.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class UndoSnapshot;

struct HistoryLimits {
    std::size_t Bytes = std::size_t(512) << 20;
    int Steps = 100; // per image slot
};

class UndoHistory {
  public:
    static constexpr int kTile = 64;

    UndoHistory(Documents& docs, UndoSnapshot& snapshot);
    ~UndoHistory();

    // Applies new limits at once (dropping the oldest steps as needed).
    void SetLimits(HistoryLimits limits);
    const HistoryLimits& Limits() const { return limits_; }

    // Image pixels inside r (inclusive) of the snapshot's slot may have
    // changed; all of them may have.
    void MarkDirty(pixkit::Rect r);
    void MarkAllDirty() { allDirty_ = true; }
    // After Undo or Redo: the image was shown again, and is still equal to
    // the snapshot.
    void SnapshotInSync();

    // Records the action since the last snapshot as a step, then makes the
    // snapshot a copy of slot. False when the memory is not there; the
    // snapshot is then empty and nothing was recorded for the new action.
    bool TakeSnapshot(int slot);

    // Undo and redo of the current image; false when there is nothing to
    // undo or redo, or when the memory for the snapshot is not there.
    bool Undo();
    bool Redo();
    bool CanUndo(int slot) const;
    bool CanRedo(int slot) const;
    // The slot's changes were given up: its steps go.
    void Forget(int slot);

    std::size_t Bytes() const { return bytes_; }
    int StepCount(int slot) const;

  private:
    struct Step {
        std::vector<std::uint32_t> Tiles;      // tile numbers, row by row
        std::vector<pixkit::Pixel> Pixels;     // the other state's pixels of those tiles
        std::unique_ptr<pixkit::Buffer> Whole; // the other state's image when the size changed
        std::string FileName;
        std::uint8_t FileState = 0;
        std::int32_t ImageNo = 1;
        ChangeCounter::State Changed;
        std::uint64_t Generation = 0; // the slot's generation when the step applies
        std::uint64_t Age = 0;
        std::size_t Bytes() const;
    };
    struct SlotHistory {
        std::deque<Step> Undo, Redo;
    };

    UDBuffer& Slot(int i) { return docs_.Slots[static_cast<std::size_t>(i)]; }
    bool Settle();
    bool CollectStep(UDBuffer& image, Step& step);
    void FindChangedTiles(const UDBuffer& image, Step& step) const;
    void SyncSnapshot(const UDBuffer& image, const Step& step);
    bool FullSnapshot(int slot);
    void Push(int slot, Step step);
    bool Move(std::deque<Step>& from, std::deque<Step>& to);
    void Exchange(UDBuffer& image, Step& step);
    void Trim(int slot);
    void DropOldest();
    void ResetDirty(const pixkit::Buffer& image);

    Documents& docs_;
    UndoSnapshot& snapshot_;
    HistoryLimits limits_;
    std::array<SlotHistory, kSlotCount> slots_;
    int snapSlot_ = -1; // the slot the snapshot is a copy of
    std::int32_t snapImageNo_ = 1;
    std::vector<std::uint8_t> dirty_; // per tile of the snapshot's slot
    int tilesX_ = 0, tilesY_ = 0;
    bool allDirty_ = true;
    std::size_t bytes_ = 0;
    std::uint64_t age_ = 0;
};

} // namespace kv
