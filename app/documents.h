// The ten image slots. Slot i (0-based) is shown to the user as number
// i + 1; the current image is one of them.
#pragma once

#include <pixkit/buffer.h>

#include <array>
#include <cstdint>
#include <string>

namespace kv {

// The changed state of an image slot. It reads as a number: 0 exactly when
// the pixels are those last loaded, saved or given up, else the count of
// actions (at least 1). Behind the number every state of the pixels has its
// own generation, taken from one ever-increasing source, and the slot
// remembers the generation it was last saved at; undo and redo bring back
// the generation of the state they restore, so going back to the saved
// state reads as unchanged and going forward again as changed.
class ChangeCounter {
  public:
    // What undo stores with a state and brings back with it.
    struct State {
        std::int32_t Count = 0;
        std::uint64_t Generation = 0;
    };

    operator std::int32_t() const { return generation_ == saved_ ? 0 : (count_ > 0 ? count_ : 1); }
    // A finished action: the pixels differ from every earlier state.
    ChangeCounter& operator++();
    void operator++(int) { ++*this; }
    // 0: fresh pixels that match their file (a load, a new image) or whose
    // changes were given up; any other value: a change with that count.
    ChangeCounter& operator=(std::int32_t value);
    // A save wrote exactly these pixels.
    void MarkSaved() {
        saved_ = generation_;
        count_ = 0;
    }
    State Current() const { return {count_, generation_}; }
    void Restore(State s) {
        count_ = s.Count;
        generation_ = s.Generation;
    }
    std::uint64_t Generation() const { return generation_; }

  private:
    std::int32_t count_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t saved_ = 0;
};

// An image slot: the pixels plus what the file commands need to know.
struct UDBuffer : pixkit::Buffer {
    std::uint8_t FileState = 0; // 1: prepared blank at start; 0 after a load or save
    ChangeCounter Changed;      // 0: unmodified; each finished action increments it
    std::string FileName;       // empty: never named
    std::int32_t ImageNo = 1;   // image within a multi-image file, from 1
};

inline constexpr int kSlotCount = 10;

// The largest image the program allocates for a size given by the user or
// another program: 2^28 pixels (1 GiB of pixel memory).
inline constexpr std::int64_t kMaxImagePixels = std::int64_t(1) << 28;

class Documents {
  public:
    std::array<UDBuffer, kSlotCount> Slots;
    int Current = 0;

    // Update mode: the document title given on the command line.
    bool UpdateMode = false;
    std::string UpdateTitle;

    UDBuffer& CurrentImage() { return Slots[static_cast<std::size_t>(Current)]; }

    // Allocates every empty slot at the library's default size, fills it
    // black, clears its changed counter and sets its file-state flag.
    void PrepareSlots();

    // Allocates slot i at w x h filled black; false (slot unchanged) when the
    // size is not positive, too large or the memory is not there.
    bool AllocBlack(int slot, int w, int h);

    // The first slot after `after` still holding its blank start-up image
    // (prepared, unnamed and unchanged); -1 when every such slot is taken.
    int FreeSlotAfter(int after) const;

    // Update-mode title, else the translated "Untitled" for an unnamed slot,
    // else the file name, followed by ": n" for image n > 1 of its file.
    std::string DocumentTitle(int slot) const;
    // "[n] title" of the current slot.
    std::string DocumentLabel() const;
};

} // namespace kv
