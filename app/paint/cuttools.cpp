#include "paint/cuttools.h"

#include "bars/parambar.h"
#include "keys.h"
#include "lang.h"
#include "mainform.h"
#include "message.h"
#include "paint/cut.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "paint/shelf.h"
#include "tools/framework.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

constexpr Rect kNone{0, 0, -1, -1};
// The predefined rectangle doubles only below this side.
constexpr int kDoubleBelow = 8192;

Pair<int> ImageSize() {
    const Buffer& image = Paint()->Image();
    return {image.Width(), image.Height()};
}

bool RightButton() {
    return (Tools()->MouseButtons & msRight) != 0;
}

// The rectangle between a and b becomes the brush; with the right button
// it leaves a back-colour hole in the image.
void CutRectangle(Pair<int> a, Pair<int> b) {
    Painting& paint = *Paint();
    Buffer& image = paint.Image();
    const auto r = CutRect(a, b, ImageSize());
    if (!r) return;
    const Pixel back = paint.BackColor();
    Buffer cut;
    if (TakeBrush(image, *r, back, cut) != CutOutcome::Taken) {
        CutTooBig();
        return;
    }
    if (RightButton()) {
        image.Box(*r, back);
        paint.ImageModified();
        paint.Invalidate(*r);
    }
    UseCutBrush(cut, {r->Left, r->Top}, back, true);
    Tools()->SelectTool(PenDiscTool(), false, -1);
}

} // namespace

// --- Feedback on the screen ---------------------------------------------

void ScreenOverlay::Set(int count) {
    count_ = count;
    QWidget* view = Paint()->View();
    for (int i = 0; i < count_; ++i) view->update(x_[i], y_[i], w_[i], h_[i]);
}

void ScreenOverlay::Clear() {
    Set(count_);
    count_ = 0;
}

void ScreenOverlay::ShowCross(Pair<int> p) {
    Clear();
    const double f = Paint()->ZoomFactor();
    const QWidget* view = Paint()->View();
    const int cx = static_cast<int>((p.x + 0.5) * f), cy = static_cast<int>((p.y + 0.5) * f);
    const int w = view->width(), h = view->height();
    x_[0] = 0, y_[0] = cy, w_[0] = w, h_[0] = 1;
    x_[1] = cx, y_[1] = 0, w_[1] = 1, h_[1] = cy;
    x_[2] = cx, y_[2] = cy + 1, w_[2] = 1, h_[2] = std::max(0, h - cy - 1);
    Set(3);
}

void ScreenOverlay::ShowRect(Rect r) {
    Clear();
    const double f = Paint()->ZoomFactor();
    // From the top-left corner of the first pixel to the far side of the last.
    const int x0 = static_cast<int>(r.Left * f), y0 = static_cast<int>(r.Top * f);
    const int x1 = std::max(x0, static_cast<int>((r.Right + 1) * f) - 1);
    const int y1 = std::max(y0, static_cast<int>((r.Bottom + 1) * f) - 1);
    const int w = x1 - x0 + 1, inner = std::max(0, y1 - y0 - 1);
    int n = 0;
    auto strip = [&](int x, int y, int sw, int sh) {
        if (sw <= 0 || sh <= 0) return;
        x_[n] = x, y_[n] = y, w_[n] = sw, h_[n] = sh;
        ++n;
    };
    strip(x0, y0, w, 1);
    if (y1 > y0) strip(x0, y1, w, 1);
    strip(x0, y0 + 1, 1, inner);
    if (x1 > x0) strip(x1, y0 + 1, 1, inner);
    Set(n);
}

void ScreenOverlay::Draw(QPainter& view) const {
    if (count_ == 0) return;
    view.save();
    view.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (int i = 0; i < count_; ++i) view.fillRect(x_[i], y_[i], w_[i], h_[i], Qt::white);
    view.restore();
}

// --- Rectangle cuts -------------------------------------------------------

P_cut::P_cut() {
    Flags = tfOneShot;
    HelpContext = 3000;
    Undo = 1;
    Snap = 1;
    Cursor = crCross;
}

void P_cut::Show() {
    const Pair<int> p = Tools()->ImagePos;
    const Rect r = Outline(p);
    if (r.Right < r.Left) {
        overlay_.ShowCross(p);
        return;
    }
    overlay_.ShowRect(r);
    Paint()->ShowOffset({0, 0}, {r.Right - r.Left + 1, r.Bottom - r.Top + 1});
}

void P_cut::Hide() {
    overlay_.Clear();
}

void P_cut::Repaint(QPainter& view) {
    overlay_.Draw(view);
}

void P_cut::Deactivate(P_icon*) {
    overlay_.Clear();
    Paint()->ClearOffset();
}

void P_cut::Press() {
    const ToolFramework& tools = *Tools();
    const Pair<int> p = tools.ImagePos;
    if (tools.State == csIdle) {
        X = p.x;
        Y = p.y;
        far_ = p;
        if (FirstCorner(p.x, p.y) != 0) return;
    } else {
        far_ = p;
    }
    CutRectangle({X, Y}, far_);
}

P_cut_box::P_cut_box() {
    Clicks = 2;
}

void P_cut_box::Activate() {
    Paint()->Brush.SaveForRestore();
    Paint()->SetStatusKey(StatusText, "CutBrush");
}

std::uint8_t P_cut_box::FirstCorner(int, int) {
    Paint()->SetStatusKey(StatusText, "CutBrush2");
    return 1;
}

Rect P_cut_box::Outline(Pair<int> p) const {
    if (Tools()->State == csIdle) return kNone;
    return CutRect({X, Y}, p, ImageSize()).value_or(kNone);
}

// --- The predefined rectangle ----------------------------------------------

P_cut_resize::P_cut_resize() {
    Clicks = 1;
    BarName = "CUTBAR";
}

void P_cut_resize::Activate() {
    Painting& paint = *Paint();
    Width = StoredWidth;
    Height = StoredHeight;
    WriteBar();
    Ratio = double(Height) / Width;
    paint.Brush.SaveForRestore();
    paint.SetStatusKey(StatusText, "CutResize");
    // The tool is activated again on an image switch while its bar stays:
    // the bar's controls are bound once, or each click would run again.
    QWidget* first = paint.Form().ParamBar().Control(0);
    if (first == nullptr || first == boundBar_) return;
    boundBar_ = first;
    paint.BindBarControl(BarName, 0, [this] { Resized(320, 200); });
    paint.BindBarControl(BarName, 1, [this] { BarEdited(); });
    paint.BindBarControl(BarName, 2, [this] { BarEdited(); });
    paint.BindBarControl(BarName, 3, [this] {
        Resized(Width < kDoubleBelow ? Width * 2 : Width,
                Height < kDoubleBelow ? Height * 2 : Height);
    });
    paint.BindBarControl(BarName, 4, [this] {
        Resized(Width > 1 ? Width / 2 : Width, Height > 1 ? Height / 2 : Height);
    });
}

void P_cut_resize::Deactivate(P_icon* next) {
    P_cut::Deactivate(next);
    ReadBar();
    StoredWidth = Width;
    StoredHeight = Height;
}

std::uint8_t P_cut_resize::FirstCorner(int x, int y) {
    const Pair<int> size = ImageSize();
    far_ = {std::min(x + Width - 1, size.x - 1), std::min(y + Height - 1, size.y - 1)};
    return 0;
}

Rect P_cut_resize::Outline(Pair<int> p) const {
    return CutRect(p, {p.x + Width - 1, p.y + Height - 1}, ImageSize()).value_or(kNone);
}

void P_cut_resize::ReadBar() {
    const Painting& paint = *Paint();
    Width = std::max(1, static_cast<int>(paint.BarValue(BarName, 1, Width)));
    Height = std::max(1, static_cast<int>(paint.BarValue(BarName, 2, Height)));
}

void P_cut_resize::WriteBar() {
    writing_ = true;
    Paint()->SetBarValue(BarName, 1, Width);
    Paint()->SetBarValue(BarName, 2, Height);
    writing_ = false;
}

// A size typed into the bar: the ratio follows it.
void P_cut_resize::BarEdited() {
    if (writing_) return;
    ReadBar();
    Ratio = double(Height) / Width;
    Tools()->RefreshTool(true, true);
}

void P_cut_resize::Resized(std::int32_t w, std::int32_t h) {
    Width = std::clamp(w, 1, kMaxBrushSide);
    Height = std::clamp(h, 1, kMaxBrushSide);
    WriteBar();
    Ratio = double(Height) / Width;
    Tools()->RefreshTool(true, true);
}

void P_cut_resize::SizeKey(int qtKey) {
    ReadBar();
    const Pair<int> image = ImageSize();
    int w = Width, h = Height;
    const bool wide = h < w;
    switch (qtKey) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        w = std::clamp(w + (qtKey == Qt::Key_Left ? -1 : 1), 1, std::max(w, image.x));
        Resized(w, h);
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        h = std::clamp(h + (qtKey == Qt::Key_Up ? -1 : 1), 1, std::max(h, image.y));
        Resized(w, h);
        return;
    case Qt::Key_Home:
        if (w <= 1 || h <= 1) return;
        break;
    case Qt::Key_PageDown:
        if (w >= image.x || h >= image.y) return;
        break;
    default:
        return;
    }
    // Shrinking and growing keep the ratio: the longer side moves by one.
    const int step = qtKey == Qt::Key_Home ? -1 : 1;
    if (wide) {
        w += step;
        h = static_cast<int>(w * Ratio + 0.5);
    } else {
        h += step;
        w = static_cast<int>(h / Ratio + 0.5);
    }
    const double ratio = Ratio;
    Resized(w, h);
    Ratio = ratio;
}

// --- Brush commands ---------------------------------------------------------

void UseCutBrush(Buffer& cut, Pair<int> origin, Pixel background, bool pointerToHandle) {
    Painting& paint = *Paint();
    BrushState& brush = paint.Brush;
    brush.TakeCutBrush(cut, origin, background);
    if (pointerToHandle) {
        const Pair<int> h = HandleOffsetIn(brush.Brush.Area, brush.Settings.Handle);
        paint.MovePointerTo({origin.x + h.x, origin.y + h.y});
    }
    paint.OptimizeBrush();
    paint.BrushChanged();
    if (BrushShelf* shelf = Shelf()) shelf->Add(brush);
}

void CutTooBig() {
    MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
    Tools()->ReturnToPreviousTool(false);
}

void P_restore_brush::Activate() {
    Painting& paint = *Paint();
    paint.Brush.RestoreBrush(paint.DrawColor(), paint.BackColor());
    paint.BrushChanged();
}

void SelectAllBrush() {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    tools.HideFeedback();
    tools.Current->Deactivate(nullptr);
    paint.Brush.SaveForRestore();
    Buffer& image = paint.Image();
    const Pixel back = paint.BackColor();
    Buffer cut;
    if (TakeBrush(image, {0, 0, image.Width() - 1, image.Height() - 1}, back, cut) !=
        CutOutcome::Taken) {
        CutTooBig();
        return;
    }
    paint.Brush.Settings.Handle = bhCentre;
    UseCutBrush(cut, {0, 0}, back, false);
    tools.SelectTool(PenDiscTool(), false, -1);
}

void CropToBrush() {
    ToolFramework& tools = *Tools();
    Painting& paint = *Paint();
    tools.ReturnToPreviousTool(true);
    tools.HideFeedback();
    Buffer& brush = paint.Brush.Brush;
    Buffer cropped;
    cropped.Alloc(Pair<int>{brush.Width(), brush.Height()});
    if (cropped.Empty()) {
        MessageBoxKey(key::ImgBig, key::Err, kExclamation);
        tools.ShowFeedback();
        return;
    }
    cropped.Copy(brush, {-brush.Area.Left, -brush.Area.Top}, kCopyAll);
    cropped.ChColor(kBrushTransparent, paint.Brush.Settings.Background);
    if (tools.TakeSnapshot) tools.TakeSnapshot();
    if (tools.SnapshotFailed && tools.SnapshotFailed()) {
        tools.ShowFeedback();
        return;
    }
    paint.Image() = cropped;
    paint.ImageModified();
    paint.ImageReplaced();
    tools.ShowFeedback();
}

namespace {
P_cut_resize& Predefined() {
    static P_cut_resize tool;
    return tool;
}
} // namespace

void SetPredefinedCutSize(Pair<int> size) {
    Predefined().StoredWidth = std::clamp(size.x, 1, kMaxBrushSide);
    Predefined().StoredHeight = std::clamp(size.y, 1, kMaxBrushSide);
}

void PredefinedRectKey(int qtKey) {
    Predefined().SizeKey(qtKey);
}

P_icon* CutBoxTool() {
    static P_cut_box tool;
    return &tool;
}

P_icon* CutResizeTool() {
    return &Predefined();
}

P_icon* RestoreBrushTool() {
    static P_restore_brush tool;
    return &tool;
}

} // namespace kv
