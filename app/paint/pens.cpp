#include "paint/pens.h"

#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

namespace kv {

using pixkit::Pair;

namespace {
Pair<int> Pointer() {
    return Tools()->ImagePos;
}
bool RightButton() {
    return (Tools()->MouseButtons & msRight) != 0;
}
} // namespace

P_pen::P_pen() {
    Clicks = 2;
    Undo = 1;
    Snap = 1;
    HelpContext = 2100;
    Cursor = crCross;
}

void P_pen::Activate() {
    Paint()->SetStatusKey(StatusText, "Pen");
}

void P_pen::Show() {
    Painting& paint = *Paint();
    ToolFramework& tools = *Tools();
    const Pair<int> p = Pointer();
    switch (tools.State) {
    case csDragging:
        if (p.x != X || p.y != Y) {
            Segment(X, Y, p.x, p.y);
            X = p.x;
            Y = p.y;
        }
        break;
    case csClicked:
        // A quick click: the press stamped already; what shows now is the
        // preview, which the next Hide takes away again.
        paint.ImageModified();
        paint.PrepareBrush(false);
        paint.Stamp.StampAt(p);
        tools.State = csIdle;
        break;
    case csIdle:
        paint.Stamp.StampAt(p);
        break;
    default:
        break;
    }
}

void P_pen::Hide() {
    if (Tools()->State == csIdle) Paint()->Stamp.RestoreUnder();
}

void P_pen::EndStroke() {
    Paint()->ImageModified();
    Paint()->PrepareBrush(false);
    Tools()->State = csDone;
}

void P_pen::Press() {
    const Pair<int> p = Pointer();
    if (Tools()->State == csIdle) {
        Paint()->PrepareBrush(RightButton());
        X = p.x;
        Y = p.y;
        Finished = Segment(p.x, p.y, p.x, p.y);
        if (Finished != 0) EndStroke();
        return;
    }
    // The release of a drag ends the stroke where the pointer is.
    Segment(p.x, p.y, p.x, p.y);
    EndStroke();
}

std::uint8_t P_pen_cont::Segment(int x1, int y1, int x2, int y2) {
    Paint()->Stamp.StrokeLine({x1, y1}, {x2, y2}, 1, 1);
    return 0;
}

std::uint8_t P_pen_disc::Segment(int, int, int x2, int y2) {
    Paint()->Stamp.StampAt({x2, y2});
    return 0;
}

std::uint8_t P_pen_one::Segment(int, int, int x2, int y2) {
    Paint()->Stamp.StampAt({x2, y2});
    return 1;
}

P_icon* PenContTool() {
    static P_pen_cont tool;
    return &tool;
}

P_icon* PenDiscTool() {
    static P_pen_disc tool;
    return &tool;
}

P_icon* PenOneTool() {
    static P_pen_one tool;
    return &tool;
}

} // namespace kv
