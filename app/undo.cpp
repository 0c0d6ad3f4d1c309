#include "undo.h"

#include <utility>

namespace kv {

namespace {

// Makes dst an owned copy of src's pixels at src's size, re-using dst's
// block when the size already matches. When a new block cannot be had, dst
// keeps what it held and the answer is false.
bool CopyPixels(pixkit::Buffer& dst, const pixkit::Buffer& src) {
    if (src.Empty()) {
        dst.Free();
        return true;
    }
    if (dst.Empty() || dst.Owned == 1 || dst.Width() != src.Width() ||
        dst.Height() != src.Height()) {
        pixkit::Buffer fresh;
        fresh.Alloc({src.Width(), src.Height()});
        if (fresh.Empty()) return false;
        dst = fresh;
    }
    // Copy does not change its source; it only takes a non-const reference.
    dst.Copy(const_cast<pixkit::Buffer&>(src),
             {dst.Area.Left - src.Area.Left, dst.Area.Top - src.Area.Top}, pixkit::NoKey);
    return true;
}

void ExchangePixels(pixkit::Buffer& a, pixkit::Buffer& b) {
    pixkit::Buffer held;
    held = a; // a becomes a view of its own memory, held owns it
    a = b;
    b = held;
}

} // namespace

bool UndoSnapshot::TakeSnapshot(const UDBuffer& slot) {
    const bool fail = std::exchange(failNext_, false);
    if (fail || !CopyPixels(snap_, slot)) {
        // A snapshot of another state than the image's would undo wrongly.
        snap_.Free();
        return false;
    }
    snap_.FileName = slot.FileName;
    snap_.Changed.Restore(slot.Changed.Current());
    snap_.FileState = slot.FileState;
    return true;
}

int UndoSnapshot::CancelToSnapshot(UDBuffer& slot) const {
    if (snap_.Empty()) return 1;
    if (!CopyPixels(slot, snap_)) return 2;
    slot.Bool(1, kClearMarks);
    slot.FileName = snap_.FileName;
    slot.Changed.Restore(snap_.Changed.Current());
    slot.FileState = snap_.FileState;
    return 0;
}

bool UndoSnapshot::SwapWithSnapshot(UDBuffer& current) {
    if (snap_.Empty()) return false;
    ExchangePixels(current, snap_);
    std::swap(current.FileState, snap_.FileState);
    const ChangeCounter::State held = current.Changed.Current();
    current.Changed.Restore(snap_.Changed.Current());
    snap_.Changed.Restore(held);
    std::swap(current.ImageNo, snap_.ImageNo);
    std::swap(current.FileName, snap_.FileName);
    current.Bool(1, kClearMarks);
    return true;
}

void UndoSnapshot::Free() {
    snap_.Free();
}

} // namespace kv
