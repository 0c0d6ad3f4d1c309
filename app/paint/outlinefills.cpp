#include "paint/outlinefills.h"

#include "paint/fills.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "paint/pathtool.h"
#include "tools/framework.h"

#include <algorithm>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

// --- P_outline ----------------------------------------------------------

P_outline::P_outline() {
    Clicks = 2;
    Undo = 1;
    Snap = 1;
    Cursor = crCross;
    HelpContext = 2600;
}

void P_outline::Begin(Pair<int> p) {
    Painting& paint = *Paint();
    Buffer& clip = paint.ClipView();
    view_.Alloc(clip, clip.Area, true);
    imageData_ = paint.Image().Data;
    imageArea_ = paint.Image().Area;
    colour_ = (Tools()->MouseButtons & msRight) != 0 ? paint.BackColor() : paint.DrawColor();
    marker_.Reset(view_, colour_);
    marker_.Start(p);
    open_ = true;
    edges_ = false;
}

void P_outline::AddEdge(Pair<int> p) {
    if (!open_) return;
    const Rect r = marker_.LineTo(p);
    if (r.Empty()) return;
    edges_ = true;
    Paint()->Invalidate(r);
}

void P_outline::CloseOutline() {
    if (!open_) return;
    AddEdge(marker_.First());
    open_ = false;
    Finish(view_, colour_, marker_.Bounds());
}

void P_outline::FinishPoint() {
    if (!open_) return;
    marker_.MarkPoint(marker_.First());
    open_ = false;
    Finish(view_, colour_, marker_.Bounds());
}

void P_outline::Finish(Buffer& view, Pixel colour, Rect marked) {
    FillWithCurrentStyle(view, colour, marked);
    Paint()->ImageModified();
}

void P_outline::Forget() {
    open_ = false;
    edges_ = false;
    view_.Free();
}

bool P_outline::SameImage() const {
    const Buffer& image = Paint()->Image();
    return image.Data == imageData_ && image.Area == imageArea_;
}

bool P_outline::StillOpen() {
    if (!open_) return false;
    if (SameImage()) return true;
    Forget();
    return false;
}

void P_outline::Cancel() {
    if (!StillOpen()) return;
    Forget();
    Paint()->CancelAction();
}

void P_outline::Deactivate(P_icon*) {
    Cancel();
}

// --- Filled Shape -------------------------------------------------------

P_fill_draw::P_fill_draw() {
    // The freehand pen's status text.
    StatusText = "Pen";
}

void P_fill_draw::Activate() {
    Paint()->SetStatusKey(StatusText, "Pen");
}

void P_fill_draw::Press() {
    const Pair<int> p = Tools()->ImagePos;
    if (!StillOpen()) {
        Begin(p);
        return;
    }
    // The release of a drag, or the press after a release outside the
    // image: the outline closes from the last point.
    AddEdge(p);
    CloseOutline();
}

void P_fill_draw::Show() {
    ToolFramework& tools = *Tools();
    const Pair<int> p = tools.ImagePos;
    if (!StillOpen()) {
        dot_.Show({{p.x, p.y, p.x, p.y}});
        return;
    }
    if (tools.State == csDragging) {
        AddEdge(p);
        return;
    }
    // A quick click: without a move it fills the pixel, else the outline
    // closes here.
    if (!edges_ && p == marker_.First())
        FinishPoint();
    else
        Press();
    tools.AdvanceClick();
}

void P_fill_draw::Hide() {
    dot_.Hide();
}

// --- Filled Polygon -----------------------------------------------------

P_fill_poly::P_fill_poly() = default;

void P_fill_poly::Activate() {
    Paint()->SetStatusKey(StatusText, "FillPoly");
    open_ = false;
    Undo = 1;
}

bool P_fill_poly::NearFirst() const {
    if (!open_ || !edges_) return false;
    const ToolFramework& tools = *Tools();
    const double f = Paint()->ZoomFactor();
    // Centre of the pointer's view pixel against the centre of the first
    // vertex's zoomed pixel.
    const Pair<int> first = marker_.First();
    const double dx = tools.ViewPos.x() + 0.5 - (first.x + 0.5) * f;
    const double dy = tools.ViewPos.y() + 0.5 - (first.y + 0.5) * f;
    return dx * dx + dy * dy < 100;
}

bool P_fill_poly::CanCloseAt(Pair<int>) const {
    return NearFirst();
}

void P_fill_poly::Closed() {
    // The next first click starts a new action with its own snapshot.
    Undo = 1;
    Paint()->ClearOffset();
}

void P_fill_poly::Press() {
    ToolFramework& tools = *Tools();
    const Pair<int> p = tools.ImagePos;
    // Whether the framework took the snapshot before this press.
    const bool snapshot = tools.State == csIdle && Undo != 0;
    if (!StillOpen()) {
        // After a polygon whose pixels were replaced the framework may not
        // have taken one for this first vertex.
        if (!snapshot && tools.TakeSnapshot) tools.TakeSnapshot();
        Begin(p);
        // The vertices that follow belong to the same action: no snapshot
        // may be taken before them.
        Undo = 0;
        return;
    }
    if (NearFirst()) {
        CloseOutline();
        Closed();
        return;
    }
    if (p != marker_.Last() || p == marker_.First()) {
        Paint()->ClearOffset();
        AddEdge(p);
        tools.State = csIdle;
    }
}

void P_fill_poly::Show() {
    if (!StillOpen()) return;
    Painting& paint = *Paint();
    const Pair<int> p = Tools()->ImagePos;
    paint.ShowOffset(marker_.Last(), p);
    bandFrom_ = marker_.Last();
    bandTo_ = p;
    paint.Image().Line(bandFrom_, bandTo_, kRubberBand);
    banded_ = true;
    paint.Invalidate({std::min(bandFrom_.x, p.x), std::min(bandFrom_.y, p.y),
                      std::max(bandFrom_.x, p.x), std::max(bandFrom_.y, p.y)});
}

void P_fill_poly::Hide() {
    if (!banded_) return;
    banded_ = false;
    if (!SameImage()) return; // the band went with the replaced pixels
    Paint()->Image().Line(bandFrom_, bandTo_, kRubberBand);
    Paint()->Invalidate({std::min(bandFrom_.x, bandTo_.x), std::min(bandFrom_.y, bandTo_.y),
                         std::max(bandFrom_.x, bandTo_.x), std::max(bandFrom_.y, bandTo_.y)});
}

void P_fill_poly::Forget() {
    P_outline::Forget();
    // The band was drawn into the image the outline belonged to.
    banded_ = false;
    Closed();
}

P_icon* FillDrawTool() {
    static P_fill_draw tool;
    return &tool;
}

P_icon* FillPolyTool() {
    static P_fill_poly tool;
    return &tool;
}

} // namespace kv
