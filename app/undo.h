// One level of undo: a full copy of the current image (the snapshot) taken
// before each change. The same copy is the unchanged source that previews
// are computed from and that an abandoned operation is cancelled back to.
// "Undo Last Action" exchanges image and snapshot, so a second undo redoes.
#pragma once

#include "documents.h"

namespace kv {

// Bits 24 and 25 of a pixel mark fill, cut and outline work; none of them
// may survive a cancel or an undo.
inline constexpr pixkit::Pixel kClearMarks = 0xFCFFFFFF;

class UndoSnapshot {
  public:
    // Copies the pixels (marker bits included), the file name, the changed
    // counter and the file-state flag of slot. The image number stays.
    // False when the memory is not there; the snapshot is then empty.
    bool TakeSnapshot(const UDBuffer& slot);

    // Puts the snapshot back into slot and clears the marker bits there.
    // Returns 0 when restored, 1 when the snapshot is empty and 2 when the
    // memory for a different size is not there (slot unchanged in both). The snapshot itself stays,
    // so cancels can repeat.
    int CancelToSnapshot(UDBuffer& slot) const;

    // Exchanges current and the snapshot completely (pixels, file state,
    // changed state, image number, file name) and clears the marker bits of
    // the new current image. The changed state goes with its pixels, so the
    // saved state reads as unchanged again. False (nothing done) when the
    // snapshot is empty.
    bool SwapWithSnapshot(UDBuffer& current);

    // Gives the snapshot's memory back; the next TakeSnapshot allocates it.
    void Free();

    bool Empty() const { return snap_.Empty(); }
    // Test seam: the next TakeSnapshot fails as if the memory were missing.
    void FailNextSnapshot() { failNext_ = true; }
    const UDBuffer& Snapshot() const { return snap_; }

  private:
    // The history keeps the snapshot equal to the image tile by tile.
    friend class UndoHistory;
    UDBuffer snap_;
    bool failNext_ = false;
};

} // namespace kv
