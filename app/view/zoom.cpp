#include "view/zoom.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kv {

namespace {

// Positions 0, -1, -2, -3, -4.
constexpr ZoomRatio kFractions[5] = {{3, 4}, {2, 3}, {1, 2}, {1, 3}, {1, 4}};
constexpr const char* kFractionTexts[5] = {"3/4", "2/3", "1/2", "1/3", "1/4"};

int Clamped(int position) {
    return std::clamp(position, kMinZoom, kMaxZoom);
}

} // namespace

ZoomRatio RatioOfPosition(int position) {
    position = Clamped(position);
    if (position >= 1) return {position, 1};
    return kFractions[-position];
}

double FactorOfPosition(int position) {
    return RatioOfPosition(position).Factor();
}

std::uint32_t PackedZoom(int position) {
    const ZoomRatio r = RatioOfPosition(position);
    return (std::uint32_t(r.q) << 16) + std::uint32_t(r.m);
}

std::uint32_t ReducePacked(std::uint32_t packed) {
    ZoomRatio r = RatioOfPacked(packed);
    const int g = std::gcd(r.m, r.q);
    r.m /= g;
    r.q /= g;
    return (r.q == 1 ? 0u : std::uint32_t(r.q) << 16) | std::uint32_t(r.m);
}

ZoomRatio RatioOfPacked(std::uint32_t packed) {
    const int m = int(packed & 0xFFFF);
    int q = int(packed >> 16);
    if (q == 0) q = 1;
    if (m == 0) return {1, 1};
    return {m, q};
}

int PositionFromFactor(double f) {
    if (f >= 1) return f >= kMaxZoom ? kMaxZoom : int(f);
    static constexpr double kSteps[4] = {0.75, 2.0 / 3.0, 0.5, 1.0 / 3.0};
    for (int i = 0; i < 4; ++i)
        if (f >= kSteps[i]) return -i;
    return kMinZoom;
}

std::string ZoomFactorText(int position) {
    position = Clamped(position);
    if (position >= 1) return std::to_string(position);
    return kFractionTexts[-position];
}

int ViewToImageCoord(int v, ZoomRatio r) {
    return int(std::int64_t(v) * r.q / r.m);
}

int ViewExtent(int imageExtent, ZoomRatio r) {
    const std::int64_t e = std::int64_t(imageExtent / r.q) * r.m;
    return int(std::min<std::int64_t>(e, INT32_MAX));
}

pixkit::Rect InvalidationRect(int x1, int y1, int x2, int y2, double f) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    auto edge = [f](int v, double d) {
        return int(std::clamp(std::trunc(v * f + d), double(INT32_MIN), double(INT32_MAX)));
    };
    return {edge(x1, -1), edge(y1, -1), edge(x2, 1), edge(y2, 1)};
}

pixkit::Rect VisibleImageRect(int clientW, int clientH, int sx, int sy, ZoomRatio r) {
    return {ViewToImageCoord(sx, r), ViewToImageCoord(sy, r), ViewToImageCoord(clientW + sx - 1, r),
            ViewToImageCoord(clientH + sy - 1, r)};
}

int AnchoredScroll(int anchor, int oldViewLeft, double now, double last) {
    if (last <= 0) last = now;
    const double s = std::trunc(double(anchor - oldViewLeft) * now / last - anchor);
    return int(std::clamp(s, 0.0, double(INT32_MAX)));
}

} // namespace kv
