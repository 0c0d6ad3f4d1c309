#include "paint/clonetool.h"

#include "paint/clonedab.h"
#include "paint/painting.h"
#include "tools/framework.h"

#include <QPainter>
#include <QWidget>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Rect;

namespace {
constexpr int kMarkerArm = 5;

QRect MarkerRect(QPoint c) {
    return {c.x() - kMarkerArm - 1, c.y() - kMarkerArm - 1, 2 * kMarkerArm + 3, 2 * kMarkerArm + 3};
}
} // namespace

P_clone::P_clone() {
    HelpContext = 2700;
    BarName = "CLONEBAR";
    Clicks = 2;
    // The tool takes its own snapshot when a stroke starts: an Alt+click
    // that only sets the source must not replace the last stroke's.
    Undo = 0;
}

void P_clone::Activate() {
    Painting& paint = *Paint();
    paint.SetBarValue(BarName, 0, cumulative_ ? 1 : 0);
    paint.SetStatusKey(StatusText, "CloneIP");
}

void P_clone::Deactivate(P_icon*) {
    EndStroke();
    ReadCumulative();
    SetMarker(false);
}

void P_clone::ReadCumulative() {
    cumulative_ = Paint()->BarValue(BarName, 0, cumulative_ ? 1 : 0) != 0;
}

void P_clone::Press() {
    ToolFramework& tools = *Tools();
    if (tools.State != csIdle) {
        EndStroke();
        tools.State = csDone;
        return;
    }
    const Pair<int> p = tools.ImagePos;
    if ((tools.MouseButtons & msAlt) != 0) {
        settingSource_ = true;
        source_ = p;
        tools.State = csClicked;
        return;
    }
    if (settingSource_) {
        settingSource_ = false;
        offset_ = {source_.x - p.x, source_.y - p.y};
    }
    StartStroke();
}

void P_clone::StartStroke() {
    ToolFramework& tools = *Tools();
    if (tools.TakeSnapshot) tools.TakeSnapshot();
    if (tools.SnapshotFailed && tools.SnapshotFailed()) {
        // Nothing may change that could not be undone.
        tools.State = csDone;
        return;
    }
    ReadCumulative();
    fromSnapshot_ = !cumulative_;
    stroking_ = true;
    dabbed_ = false;
    last_ = tools.ImagePos;
}

void P_clone::EndStroke() {
    if (!stroking_) return;
    stroking_ = false;
    Paint()->ImageModified();
}

void P_clone::Dab(Pair<int> p) {
    Painting& paint = *Paint();
    Buffer& image = paint.Image();
    const Buffer& snapshot = paint.Snapshot();
    const bool snapshotFits = !snapshot.Empty() && snapshot.Area.Left == image.Area.Left &&
                              snapshot.Area.Top == image.Area.Top &&
                              snapshot.Width() == image.Width() &&
                              snapshot.Height() == image.Height();
    const Buffer& source = fromSnapshot_ && snapshotFits ? snapshot : image;
    const Buffer& mask = paint.Brush.Brush;
    const Pair<int> h = HandleOffsetIn(mask.Area, paint.Brush.Settings.Handle);
    const Rect done = CloneDab(image, paint.ClipView().Area, source, mask, {p.x - h.x, p.y - h.y},
                               offset_, scratch_);
    if (done.Right >= done.Left) paint.Invalidate(done);
    dabbed_ = true;
    last_ = p;
}

void P_clone::Show() {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    const Pair<int> p = tools.ImagePos;
    if (tools.State == csDragging && stroking_) {
        // The press shows at the pressed point once; later only moves dab.
        if (!dabbed_ || p != last_) Dab(p);
    } else if (tools.State == csClicked || tools.State == csIdle) {
        if (tools.State == csClicked && stroking_) {
            // A quick click: one dab in all, then the stroke ends.
            if (!dabbed_) Dab(p);
            EndStroke();
        }
        tools.State = csIdle;
        paint.Stamp.StampAt(p);
        previewed_ = true;
    }
    if (settingSource_)
        paint.ShowOffset(p, source_);
    else
        paint.ShowOffset({0, 0}, offset_);
    SetMarker(true);
}

void P_clone::Hide() {
    if (previewed_) {
        previewed_ = false;
        Paint()->Stamp.RestoreUnder();
    }
    SetMarker(false);
}

QPoint P_clone::MarkerCentre() const {
    const Pair<int> p = Tools()->ImagePos;
    const Pair<int> s = settingSource_ ? source_ : Pair<int>{p.x + offset_.x, p.y + offset_.y};
    const double f = Paint()->ZoomFactor();
    return {static_cast<int>(s.x * f + f / 2), static_cast<int>(s.y * f + f / 2)};
}

// The marker lives on the screen only: Repaint draws it while it is shown,
// and showing or hiding it repaints its rectangle.
void P_clone::SetMarker(bool shown) {
    QWidget* view = Paint()->View();
    if (markerShown_ && view != nullptr) view->update(MarkerRect(marker_));
    markerShown_ = shown;
    if (!shown) return;
    marker_ = MarkerCentre();
    if (view != nullptr) view->update(MarkerRect(marker_));
}

void P_clone::Repaint(QPainter& view) {
    if (!markerShown_) return;
    view.save();
    view.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    view.setPen(QPen(Qt::white, 0));
    const int x = marker_.x(), y = marker_.y();
    view.drawLine(x - 4, y - 4, x + kMarkerArm, y + kMarkerArm);
    view.drawLine(x + 4, y - 4, x - kMarkerArm, y + kMarkerArm);
    view.restore();
}

P_icon* CloneTool() {
    static P_clone tool;
    return &tool;
}

} // namespace kv
