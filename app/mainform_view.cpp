// The main window's side of the view: the scroll container in the middle of
// the window, the "Zoom" control and its label, the drawing view, the mouse
// position in the status bar and the conversions tools use.
#include "mainform.h"

#include "history.h"
#include "keys.h"
#include "view/maxsize.h"
#include "view/tbuffer.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>

namespace kv {

namespace {

// The whole image, in its own coordinates.
constexpr pixkit::Rect kWholeImage{pixkit::WholeArea, pixkit::WholeArea, 2147483647, 2147483647};

} // namespace

void TMainForm::BuildView() {
    maxSize_ = new TMaxSize(this);
    setCentralWidget(maxSize_);
    connect(ShowBuf(), &TBuffer::MouseTracked, this, &TMainForm::ViewMouseTracked);
    connect(ShowBuf(), &TBuffer::MouseLeft, this, &TMainForm::ViewMouseLeft);
    connect(maxSize_, &TMaxSize::VisibleAreaMoved, this, &TMainForm::VisibleAreaMoved);
    connect(maxSize_, &TMaxSize::ZoomApplied, this, &TMainForm::ShowZoom);
}

// The tool bar exists by now: its "Zoom" control sets the position.
void TMainForm::ConnectZoomControls() {
    auto* zoom = findChild<QSpinBox*>("Zoom");
    zoom->setRange(kMinZoom, kMaxZoom);
    zoom->setEnabled(true);
    connect(zoom, &QSpinBox::valueChanged, this, [this](int position) {
        maxSize_->SetPosition(position);
        ApplyZoom();
    });
}

// After each zoom application: the drawing view follows the visible part,
// and the "Zoom" control and its label show the position.
void TMainForm::ShowZoom() {
    if (prefs_.Clipping) {
        RecomputeDrawingView();
        Q_EMIT VisibleAreaChanged();
    }
    const int position = maxSize_->Position();
    auto* zoom = findChild<QSpinBox*>("Zoom");
    if (zoom != nullptr && zoom->value() != position) {
        const QSignalBlocker quiet(zoom);
        zoom->setValue(position);
    }
    if (auto* label = findChild<QLabel*>("ZoomLabel"))
        label->setText(QString::fromStdString(Translate(key::Zm) + " " + ZoomFactorText(position)));
}

void TMainForm::VisibleAreaMoved() {
    if (!prefs_.Clipping) return;
    RecomputeDrawingView();
    Q_EMIT VisibleAreaChanged();
}

TBuffer* TMainForm::ShowBuf() const {
    return maxSize_->View();
}

double TMainForm::ZoomFactor() const {
    return ShowBuf()->Ratio().Factor();
}

pixkit::Pair<int> TMainForm::ViewToImage(QPoint view) const {
    const ZoomRatio r = ShowBuf()->Ratio();
    return {ViewToImageCoord(view.x(), r), ViewToImageCoord(view.y(), r)};
}

bool TMainForm::InsideImage(pixkit::Pair<int> p) const {
    const UDBuffer& image = docs_.Slots[static_cast<std::size_t>(docs_.Current)];
    return p.x >= 0 && p.y >= 0 && p.x < image.Width() && p.y < image.Height();
}

void TMainForm::InvalidateImageRect(int x1, int y1, int x2, int y2) {
    // What a tool repaints is what it may have changed.
    if (history_) history_->MarkDirty({x1, y1, x2 - 1, y2 - 1});
    lastInvalid_ = ShowBuf()->UpdateRectOf(x1, y1, x2, y2);
    ShowBuf()->update(lastInvalid_);
}

void TMainForm::UpdateImageNow() {
    // A synchronous repaint makes the window paint every region waiting for
    // an update, not only this one.
    if (!lastInvalid_.isEmpty()) ShowBuf()->repaint(lastInvalid_);
    lastInvalid_ = QRect();
}

void TMainForm::RecomputeDrawingView() {
    UDBuffer& image = docs_.CurrentImage();
    if (!prefs_.Clipping) {
        drawView_.Alloc(image, kWholeImage, true);
        return;
    }
    const pixkit::Rect visible = VisibleImage();
    // The image's own coordinates start at its area's corner.
    drawView_.Alloc(image,
                    {visible.Left + image.Area.Left, visible.Top + image.Area.Top,
                     visible.Right + image.Area.Left, visible.Bottom + image.Area.Top},
                    true);
}

// The image pixels the container's client area shows (before they are
// intersected with the image); scroll and client area count logical pixels,
// the view device ones.
pixkit::Rect TMainForm::VisibleImage() const {
    const double d = ShowBuf()->DeviceRatio();
    const QPoint s = maxSize_->ScrollPos();
    const QSize client = maxSize_->viewport()->size();
    return VisibleImageRect(int(client.width() * d), int(client.height() * d), int(s.x() * d),
                            int(s.y() * d), ShowBuf()->Ratio());
}

void TMainForm::ZoomIn() {
    maxSize_->ZoomIn();
}

void TMainForm::ZoomOut() {
    maxSize_->ZoomOut();
}

void TMainForm::ToggleFit() {
    maxSize_->ToggleFit();
}

void TMainForm::FitToWindow() {
    maxSize_->FitToWindow();
}

void TMainForm::ApplyZoom() {
    maxSize_->ApplyZoom();
}

void TMainForm::ScrollBy(int dx, int dy) {
    maxSize_->ScrollBy(dx, dy);
}

bool TMainForm::ScrollKey(int qtKey) {
    return maxSize_->ScrollKey(qtKey);
}

void TMainForm::RefreshView() {
    TBuffer* view = ShowBuf();
    if (history_) history_->MarkAllDirty();
    view->SetBuffer(&docs_.CurrentImage());
    RecomputeDrawingView();
    ApplyZoom();
    view->update();
}

void TMainForm::ViewMouseTracked(QPoint view) {
    mouseImage_ = ViewToImage(view);
    mouseOutside_ = !InsideImage(mouseImage_);
    SetPanelText(2, QString("%1,%2").arg(mouseImage_.x).arg(mouseImage_.y));
}

void TMainForm::ViewMouseLeft() {
    mouseImage_ = {-1, -1};
    mouseOutside_ = true;
    for (int panel : {2, 3, 4}) SetPanelText(panel, {});
}

} // namespace kv
