// Pen pressure from a graphics tablet: the stamp shrinks with lighter
// pressure, between a minimum share of the brush and the whole brush, in 16
// steps. Each step's brush is scaled once per stroke and kept. Qt-free.
#pragma once

#include "paint/brush.h"

#include <pixkit/buffer.h>

#include <array>
#include <cstdint>

namespace kv {

class PressureTips {
  public:
    static constexpr int kSteps = 16;

    // The step of pressure p (0..1, clamped): the nearest of 16 evenly
    // spaced levels.
    static int StepOf(double pressure);
    // The share of the brush a step paints with: minimum (0..1) at step 0,
    // the whole brush at the last step.
    static double ScaleOf(int step, double minimum);

    // The painting brush of state at step: the painting brush itself at the
    // last step (or when it cannot be scaled), else a copy scaled by
    // ScaleOf. A user brush is scaled with 2x2 supersampling; a built-in
    // brush is built again at the scaled radius, round or square, in the
    // colour of its pixels.
    const pixkit::Buffer& Tip(const BrushState& state, int step, double minimum);

  private:
    void Build(const BrushState& state, int step, double minimum);

    std::array<pixkit::Buffer, kSteps> tips_;
    std::array<bool, kSteps> built_{};
    std::uint64_t prepared_ = 0; // the painting brush the tips were made from
    double minimum_ = -1;
};

} // namespace kv
