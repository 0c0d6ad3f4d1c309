#include <pixkit/vector_level.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace pixkit {

namespace {

VectorLevel Supported() {
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx2")) return VectorLevel::Avx2;
#endif
    return VectorLevel::Portable;
}

VectorLevel FromEnvironment() {
    const VectorLevel best = Supported();
    const char* v = std::getenv("PIXKIT_SIMD");
    if (v && (std::strcmp(v, "portable") == 0 || std::strcmp(v, "scalar") == 0 ||
              std::strcmp(v, "sse2") == 0))
        return VectorLevel::Portable;
    return best;
}

std::atomic<int>& Level() {
    static std::atomic<int> level{int(FromEnvironment())};
    return level;
}

} // namespace

VectorLevel ActiveVectorLevel() {
    return VectorLevel(Level().load(std::memory_order_relaxed));
}

void LimitVectorLevel(VectorLevel level) {
    const int best = int(Supported());
    Level().store(int(level) < best ? int(level) : best, std::memory_order_relaxed);
}

} // namespace pixkit
