#include "paint/lines.h"

#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

namespace kv {

using pixkit::Pair;

P_line::P_line() {
    Clicks = 2;
    HelpContext = 2200;
    BarName = "LINEBAR";
}

PathShape P_line::Band(Pair<int> p) const {
    PathShape s = Settings();
    s.S = Start;
    s.E = p;
    return s;
}

void P_line::Press() {
    Painting& paint = *Paint();
    ToolFramework& tools = *Tools();
    const Pair<int> p = tools.ImagePos;
    if (tools.State == csIdle) {
        paint.SetStatusKey(StatusText, "LnEnd");
        Start = p;
        return;
    }
    ReadBar();
    paint.ClearOffset();
    StampShape(Band(p));
    if (Continues() == 0) {
        paint.SetStatusKey(StatusText, StartKey());
        return;
    }
    tools.State = csIdle;
    paint.SetStatusKey(StatusText, "LnEnd");
    Start = p;
}

P_spline::P_spline() {
    Clicks = 3;
    HelpContext = 2300;
    BarName = "CURVEBAR";
}

PathShape P_spline::CurveThrough(Pair<int> p) const {
    PathShape s = Settings();
    s.Curve = true;
    s.S = Start;
    s.E = End;
    s.C = ControlPoint(Start, End, p);
    return s;
}

PathShape P_spline::Band(Pair<int> p) const {
    if (Tools()->State == csDone) return CurveThrough(p);
    // Before the end point is placed: the straight chord, without arrows.
    PathShape s = Settings();
    s.S = Start;
    s.E = p;
    s.Arrow = 0;
    return s;
}

void P_spline::Press() {
    Painting& paint = *Paint();
    ToolFramework& tools = *Tools();
    const Pair<int> p = tools.ImagePos;
    if (tools.State == csIdle) {
        paint.SetStatusKey(StatusText, "SplnEnd");
        Start = p;
        return;
    }
    if (tools.State != csDone) {
        paint.SetStatusKey(StatusText, "SplnCtr");
        End = p;
        paint.ClearOffset();
        return;
    }
    ReadBar();
    StampShape(CurveThrough(p));
    if (Continues() == 0) {
        paint.SetStatusKey(StatusText, StartKey());
        return;
    }
    Start = End;
    tools.State = csIdle;
    paint.SetStatusKey(StatusText, "SplnEnd");
    quiet_ = true;
    quietAt_ = p;
}

void P_spline::Show() {
    if (quiet_) {
        if (Tools()->ImagePos == quietAt_) return;
        quiet_ = false;
    }
    P_path::Show();
}

P_icon* LineTool() {
    static P_line tool;
    return &tool;
}

P_icon* LineContTool() {
    static P_line_cont tool;
    return &tool;
}

P_icon* SplineTool() {
    static P_spline tool;
    return &tool;
}

P_icon* SplineContTool() {
    static P_spline_cont tool;
    return &tool;
}

} // namespace kv
