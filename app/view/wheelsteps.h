// Turns wheel deltas into whole steps. High-resolution wheels and touchpads
// report a notch in many small parts; the parts add up here, the remainder
// waits for the next event, and turning the other way starts afresh so the
// view answers at once.
#pragma once

namespace kv {

class WheelSteps {
  public:
    // unit: the delta of one step (120 for an angle notch).
    explicit WheelSteps(int unit) : unit_(unit) {}

    // Adds delta and returns the whole steps it completes (negative for the
    // other direction).
    int Add(int delta) {
        if ((delta > 0 && rest_ < 0) || (delta < 0 && rest_ > 0)) rest_ = 0;
        rest_ += delta;
        const int steps = rest_ / unit_;
        rest_ -= steps * unit_;
        return steps;
    }
    void Reset() { rest_ = 0; }

  private:
    int unit_;
    int rest_ = 0;
};

} // namespace kv
