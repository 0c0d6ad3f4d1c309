// The angle tables a component finds in its process block: sine and cosine
// (1024 steps per turn, scaled by 512) and tangent (scaled by 1024).
#pragma once

#include <cstdint>

namespace kvc {

inline constexpr int kSinEntries = 1280; // the cosine is this table from entry 256
inline constexpr int kTanEntries = 1024;

// sine[i] = trunc(512 sin(2 pi i / 1024)); tangent[k] = round(1024 tan(2 pi k
// / 1024)), the poles (k = 256, 768) and anything beyond 32 bits clamped to
// +-INT32_MAX.
void MakeAngleTables(std::int32_t (&sine)[kSinEntries], std::int32_t (&tangent)[kTanEntries]);

} // namespace kvc
