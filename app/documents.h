// The ten image slots. Slot i (0-based) is shown to the user as number
// i + 1; the current image is one of them.
#pragma once

#include <pixkit/buffer.h>

#include <array>
#include <cstdint>
#include <string>

namespace kv {

// An image slot: the pixels plus what the file commands need to know.
struct UDBuffer : pixkit::Buffer {
    std::uint8_t FileState = 0; // 1: prepared blank at start; 0 after a load or save
    std::int32_t Changed = 0;   // 0: unmodified; each finished action increments it
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

    // Update-mode title, else the translated "Untitled" for an unnamed slot,
    // else the file name, followed by ": n" for image n > 1 of its file.
    std::string DocumentTitle(int slot) const;
    // "[n] title" of the current slot.
    std::string DocumentLabel() const;
};

} // namespace kv
