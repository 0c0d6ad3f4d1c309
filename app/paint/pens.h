// The freehand pens: a stroke starts at the press and ends at the release
// of a drag (or at once for "Single Freehand"); Segment says how a pointer
// move between two points is painted.
#pragma once

#include "tools/icon.h"

#include <pixkit/types.h>

namespace kv {

class P_pen : public P_icon {
  public:
    P_pen();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;

    // Paints the move from (x1, y1) to (x2, y2); non-zero ends the stroke.
    virtual std::uint8_t Segment(int x1, int y1, int x2, int y2) = 0;

    std::int32_t X = 0, Y = 0; // the last point of the stroke
    std::uint8_t Finished = 0; // the press completed the stroke

  private:
    void EndStroke();
};

// "Continuous Freehand": an unbroken trail along every move.
class P_pen_cont : public P_pen {
  public:
    std::uint8_t Segment(int x1, int y1, int x2, int y2) override;
};

// "Dotted Freehand": one stamp per mouse event.
class P_pen_disc : public P_pen {
  public:
    std::uint8_t Segment(int x1, int y1, int x2, int y2) override;
};

// "Single Freehand": each click stamps once.
class P_pen_one : public P_pen {
  public:
    std::uint8_t Segment(int x1, int y1, int x2, int y2) override;
};

} // namespace kv
