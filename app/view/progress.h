// When the progress display of a long operation updates: the bar at most
// every 100 ms, the image view (to show partial results) at most every 2 s.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace kv {

class ProgressThrottle {
  public:
    static constexpr std::int64_t kBarMs = 100;
    static constexpr std::int64_t kViewMs = 2000;

    // Milliseconds of a monotonic clock; tests put their own clock here.
    std::function<std::int64_t()> Clock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };

    void Start() { start_ = barShown_ = viewShown_ = Clock(); }
    // True when the bar is due an update (and counts it as done).
    bool BarDue() { return Due(barShown_, kBarMs); }
    // True when the view is due a repaint (and counts it as done).
    bool ViewDue() { return Due(viewShown_, kViewMs); }
    double SecondsSinceStart() const { return double(Clock() - start_) * 0.001; }

  private:
    bool Due(std::int64_t& last, std::int64_t period) {
        const std::int64_t now = Clock();
        if (now - last < period) return false;
        last = now;
        return true;
    }

    std::int64_t start_ = 0;
    std::int64_t barShown_ = 0;
    std::int64_t viewShown_ = 0;
};

} // namespace kv
