// Large pixel blocks and memory streams ask the kernel for transparent
// huge pages: a fresh 48 MB image then takes a couple of dozen page faults
// instead of twelve thousand, which otherwise cost more than decoding it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>

namespace pixkit {

inline void AdviseHugePages(void* p, std::size_t bytes) {
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    if (bytes < 2 * kHuge) return;
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

} // namespace pixkit
