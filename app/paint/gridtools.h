// The grid: the toggle that switches snapping and its bar, and the one-shot
// tool that sets the grid origin by a click.
#pragma once

#include "tools/icon.h"

namespace kv {

// "Grid": a toggle; while on, the grid bar shows and positions snap.
class P_grid : public P_icon {
  public:
    P_grid();
    void Activate() override;
    void Deactivate(P_icon* next) override;
};

// Sets the grid origin where the user clicks, then gives way to the tool
// that was current before.
class P_gridpos : public P_icon {
  public:
    P_gridpos();
    void Show() override;
    void Hide() override;
    void Press() override;
    void Activate() override;
};

} // namespace kv
