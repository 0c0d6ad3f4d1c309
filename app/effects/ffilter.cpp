#include "effects/ffilter.h"

#include <algorithm>

namespace kv::ff {

namespace {

std::uint32_t Clamped(std::int32_t v) {
    return std::uint32_t(std::clamp(v, 0, 255));
}

} // namespace

FilterStep::FilterStep(const Channels& programs, const Sliders& sliders,
                       const std::uint32_t* source, std::ptrdiff_t sourceStride, int width,
                       int height, PixelRows destination)
    : programs_(programs), destination_(destination), env_(std::make_unique<Env>()) {
    for (const Program& p : programs) {
        uses_ |= p.Uses;
        cost_ += int(p.Code.size());
        for (const Instr& i : p.Code)
            if (i.Code == Op::Rnd || i.Code == Op::Put || i.Code == Op::Get) parallel_ = false;
    }
    env_->Source = source;
    env_->Stride = sourceStride;
    env_->W = width;
    env_->H = height;
    env_->MaxM = Magnitude(width, height) >> 1;
    env_->Ctl = sliders;
}

void FilterStep::Rows(int top, int bottom) {
    RowsWith(*env_, top, bottom);
}

void FilterStep::BandRows(int top, int bottom) const {
    Env e = *env_;
    RowsWith(e, top, bottom);
}

void FilterStep::RowsWith(Env& e, int top, int bottom) const {
    const bool channels = (uses_ & (kUsesR | kUsesG | kUsesB | kUsesI | kUsesU | kUsesV)) != 0;
    const bool polar = (uses_ & (kUsesD | kUsesM)) != 0;
    for (int y = std::max(top, 0); y <= bottom && y < e.H; ++y) {
        const std::uint32_t* s = e.Source + y * e.Stride;
        std::uint32_t* d = destination_.First + y * destination_.Stride;
        e.y = y;
        for (int x = 0; x < e.W; ++x) {
            e.x = x;
            if (channels) {
                const std::uint32_t p = s[x];
                e.r = std::int32_t(p >> 16 & 0xFF);
                e.g = std::int32_t(p >> 8 & 0xFF);
                e.b = std::int32_t(p & 0xFF);
                if (uses_ & kUsesI) e.i = (76 * e.r + 150 * e.g + 29 * e.b) >> 8;
                if (uses_ & kUsesU) e.u = (56 * e.b - 37 * e.g - 19 * e.r) >> 8;
                if (uses_ & kUsesV) e.v = (78 * e.r - 65 * e.g - 13 * e.b) >> 8;
            }
            if (polar) {
                const std::int64_t dx = 2 * std::int64_t(x) - e.W, dy = 2 * std::int64_t(y) - e.H;
                if (uses_ & kUsesD) e.d = Direction(dx, dy);
                if (uses_ & kUsesM) e.m = Magnitude(dx, dy) >> 1;
            }
            const std::uint32_t red = Clamped(Evaluate(programs_[0], e));
            const std::uint32_t green = Clamped(Evaluate(programs_[1], e));
            const std::uint32_t blue = Clamped(Evaluate(programs_[2], e));
            d[x] = red << 16 | green << 8 | blue;
        }
    }
}

void Filter(const Channels& programs, const Sliders& sliders, const std::uint32_t* source,
            std::ptrdiff_t sourceStride, int width, int height, PixelRows destination) {
    FilterStep step(programs, sliders, source, sourceStride, width, height, destination);
    step.Rows(0, height - 1);
}

} // namespace kv::ff
