// Large scratch blocks kept from one use to the next. Fresh memory costs a
// page fault and the kernel's clearing of every page on first touch, which
// on a machine with slow memory takes longer than the decoding that fills
// it, and two threads touching fresh memory at once slow each other down
// further. A block given back is kept (up to kKeptBytes in all, the oldest
// going first) and handed out again with whatever it held; the kernel may
// still take its pages back when memory runs short (they then come back
// cleared), so keeping costs nothing a busier program would need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pixkit {

inline constexpr std::size_t kKeptBytes = std::size_t(128) << 20;

class KeptBlock {
  public:
    KeptBlock() = default;
    // At least bytes, its contents unspecified. Blocks under a megabyte
    // are plain allocations, never kept. Raises std::bad_alloc.
    explicit KeptBlock(std::size_t bytes);
    KeptBlock(KeptBlock&& other) noexcept;
    KeptBlock& operator=(KeptBlock&& other) noexcept;
    ~KeptBlock(); // gives the block back

    std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    template <typename T> T* As() const { return reinterpret_cast<T*>(bytes_.get()); }

  private:
    void GiveBack();

    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
};

// Test hook: the bytes kept now.
std::size_t KeptBytes();

} // namespace pixkit
