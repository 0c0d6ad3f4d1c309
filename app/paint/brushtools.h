// The built-in brush commands, "Clear Image" and the period key. All are
// immediate commands: selecting one runs its Activate and the current tool
// stays (or, after a brush is built, the tool the rules below pick).
#pragma once

#include "paint/brush.h"
#include "tools/icon.h"

namespace kv {

// A command tool: only Activate does anything.
class P_func : public P_icon {
  public:
    P_func() { Flags = tfImmediate; }
};

// Builds a round or square brush, at a fixed radius or (radius < 0) the
// current one.
class P_brush : public P_func {
  public:
    P_brush(BuiltinKind kind, int radius) : kind_(kind), radius_(radius) {}
    void Activate() override;

  private:
    BuiltinKind kind_;
    int radius_;
};

class P_brush_crc : public P_brush {
  public:
    P_brush_crc() : P_brush(BuiltinKind::Round, -1) {}
};
class P_brush_crc1 : public P_brush {
  public:
    P_brush_crc1() : P_brush(BuiltinKind::Round, 1) {}
};
class P_brush_crc2 : public P_brush {
  public:
    P_brush_crc2() : P_brush(BuiltinKind::Round, 5) {}
};
class P_brush_crc3 : public P_brush {
  public:
    P_brush_crc3() : P_brush(BuiltinKind::Round, 10) {}
};
class P_brush_box : public P_brush {
  public:
    P_brush_box() : P_brush(BuiltinKind::Square, -1) {}
};
class P_brush_box1 : public P_brush {
  public:
    P_brush_box1() : P_brush(BuiltinKind::Square, 1) {}
};
class P_brush_box2 : public P_brush {
  public:
    P_brush_box2() : P_brush(BuiltinKind::Square, 5) {}
};
class P_brush_box3 : public P_brush {
  public:
    P_brush_box3() : P_brush(BuiltinKind::Square, 10) {}
};

// "Clear Image": the whole image in the back colour, as an unnamed blank.
class P_clear : public P_func {
  public:
    P_clear() { HelpContext = 3700; }
    void Activate() override;
};

} // namespace kv
