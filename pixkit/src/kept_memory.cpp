#include "kept_memory.h"

#include "huge_pages.h"

#include <mutex>
#include <sys/mman.h>
#include <vector>

namespace pixkit {

namespace {

constexpr std::size_t kLeastKept = std::size_t(1) << 20;

struct Kept {
    std::unique_ptr<std::uint8_t[]> Bytes;
    std::size_t Size;
};

std::mutex keptMutex;
std::vector<Kept> kept; // oldest first
std::size_t keptBytes = 0;

// The smallest kept block of at least bytes and at most twice that (a much
// larger one is left for a larger need), taken out of the keep.
Kept Take(std::size_t bytes) {
    const std::lock_guard lock(keptMutex);
    std::size_t best = kept.size();
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (kept[i].Size >= bytes && kept[i].Size <= 2 * bytes &&
            (best == kept.size() || kept[i].Size < kept[best].Size))
            best = i;
    if (best == kept.size()) return {nullptr, 0};
    Kept k = std::move(kept[best]);
    kept.erase(kept.begin() + std::ptrdiff_t(best));
    keptBytes -= k.Size;
    return k;
}

// Lets the kernel take the pages back when it needs them, and keeps them
// mapped otherwise (MADV_FREE; where the kernel lacks it the pages simply
// stay).
void MayFree(std::uint8_t* p, std::size_t bytes) {
    const std::uintptr_t page = 4096;
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(page - 1);
#ifdef MADV_FREE
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_FREE);
#else
    (void)start;
    (void)end;
#endif
}

} // namespace

KeptBlock::KeptBlock(std::size_t bytes) {
    if (bytes >= kLeastKept) {
        Kept k = Take(bytes);
        if (k.Bytes) {
            bytes_ = std::move(k.Bytes);
            size_ = k.Size;
            return;
        }
    }
    bytes_.reset(new std::uint8_t[bytes]);
    size_ = bytes;
    AdviseHugePages(bytes_.get(), bytes);
}

KeptBlock::KeptBlock(KeptBlock&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(other.size_) {
    other.size_ = 0;
}

KeptBlock& KeptBlock::operator=(KeptBlock&& other) noexcept {
    if (this != &other) {
        GiveBack();
        bytes_ = std::move(other.bytes_);
        size_ = other.size_;
        other.size_ = 0;
    }
    return *this;
}

KeptBlock::~KeptBlock() {
    GiveBack();
}

void KeptBlock::GiveBack() {
    if (!bytes_ || size_ < kLeastKept || size_ > kKeptBytes) {
        bytes_.reset();
        size_ = 0;
        return;
    }
    MayFree(bytes_.get(), size_);
    std::vector<Kept> dropped; // freed outside the lock
    {
        const std::lock_guard lock(keptMutex);
        kept.push_back({std::move(bytes_), size_});
        keptBytes += size_;
        std::size_t n = 0;
        while (keptBytes > kKeptBytes) {
            keptBytes -= kept[n].Size;
            dropped.push_back(std::move(kept[n++]));
        }
        kept.erase(kept.begin(), kept.begin() + std::ptrdiff_t(n));
    }
    size_ = 0;
}

std::size_t KeptBytes() {
    const std::lock_guard lock(keptMutex);
    return keptBytes;
}

} // namespace pixkit
