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
    channels_ = (uses_ & (kUsesR | kUsesG | kUsesB | kUsesI | kUsesU | kUsesV)) != 0;
    polar_ = (uses_ & (kUsesD | kUsesM)) != 0;
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

void FilterStep::Row(int y, int left, int right, std::uint32_t* out) {
    RowWith(*env_, y, left, right, out);
}

void FilterStep::RowsWith(Env& e, int top, int bottom) const {
    for (int y = std::max(top, 0); y <= bottom && y < e.H; ++y)
        RowWith(e, y, 0, e.W - 1, destination_.First + y * destination_.Stride);
}

void FilterStep::RowWith(Env& e, int y, int left, int right, std::uint32_t* out) const {
    // Copies in registers: Evaluate is out of line, so members are reloaded.
    const std::uint32_t uses = uses_;
    const bool channels = channels_, polar = polar_;
    const std::uint32_t* s = e.Source + y * e.Stride;
    e.y = y;
    for (int x = left; x <= right; ++x) {
        e.x = x;
        if (channels) {
            const std::uint32_t p = s[x];
            e.r = std::int32_t(p >> 16 & 0xFF);
            e.g = std::int32_t(p >> 8 & 0xFF);
            e.b = std::int32_t(p & 0xFF);
            if (uses & kUsesI) e.i = (76 * e.r + 150 * e.g + 29 * e.b) >> 8;
            if (uses & kUsesU) e.u = (56 * e.b - 37 * e.g - 19 * e.r) >> 8;
            if (uses & kUsesV) e.v = (78 * e.r - 65 * e.g - 13 * e.b) >> 8;
        }
        if (polar) {
            const std::int64_t dx = 2 * std::int64_t(x) - e.W, dy = 2 * std::int64_t(y) - e.H;
            if (uses & kUsesD) e.d = Direction(dx, dy);
            if (uses & kUsesM) e.m = Magnitude(dx, dy) >> 1;
        }
        const std::uint32_t red = Clamped(Evaluate(programs_[0], e));
        const std::uint32_t green = Clamped(Evaluate(programs_[1], e));
        const std::uint32_t blue = Clamped(Evaluate(programs_[2], e));
        out[x] = red << 16 | green << 8 | blue;
    }
}

void Filter(const Channels& programs, const Sliders& sliders, const std::uint32_t* source,
            std::ptrdiff_t sourceStride, int width, int height, PixelRows destination) {
    FilterStep step(programs, sliders, source, sourceStride, width, height, destination);
    step.Rows(0, height - 1);
}

} // namespace kv::ff
