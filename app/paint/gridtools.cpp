#include "paint/gridtools.h"

#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

namespace kv {

P_grid::P_grid() {
    Flags = tfToggle;
    Clicks = 0;
    HelpContext = 3400;
    BarName = "xxx";
}

void P_grid::Activate() {
    Painting& paint = *Paint();
    paint.GridOn = true;
    paint.ShowGridBar(true);
    // The pointer's position moves onto the grid at once.
    Tools()->RefreshTool(true, true);
}

void P_grid::Deactivate(P_icon*) {
    Paint()->GridOn = false;
    Paint()->ShowGridBar(false);
}

P_gridpos::P_gridpos() {
    Flags = tfOneShot;
    Clicks = 1;
    Undo = 0;
    Snap = 0;
    HelpContext = 3400;
}

void P_gridpos::Activate() {
    Paint()->SetStatusKey(StatusText, "GridSet");
}

void P_gridpos::Show() {
    Paint()->Stamp.StampAt(Tools()->ImagePos);
}

void P_gridpos::Hide() {
    Paint()->Stamp.RestoreUnder();
}

void P_gridpos::Press() {
    Paint()->SetGridOrigin(Tools()->ImagePos);
}

P_icon* GridTool() {
    static P_grid tool;
    return &tool;
}

P_icon* GridPosTool() {
    static P_gridpos tool;
    return &tool;
}

} // namespace kv
