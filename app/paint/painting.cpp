#include "paint/painting.h"

#include "bars/parambar.h"
#include "colors/colorsel.h"
#include "colors/swatch.h"
#include "lang.h"
#include "mainform.h"
#include "paint/marking.h"
#include "tools/framework.h"
#include "undo.h"
#include "view/tbuffer.h"

#include <QAction>
#include <QComboBox>
#include <QSpinBox>
#include <QString>
#include <QToolBar>

namespace kv {

namespace {
Painting* current = nullptr;
} // namespace

Painting* Paint() {
    return current;
}

Painting::Painting(TMainForm& form) : Random(std::random_device{}()), form_(form) {
    current = this;
}

Painting::~Painting() {
    if (current == this) current = nullptr;
}

pixkit::Buffer& Painting::Image() {
    return form_.Docs().CurrentImage();
}

pixkit::Buffer& Painting::ClipView() {
    return form_.DrawingView();
}

void Painting::Invalidate(pixkit::Rect r) {
    // The view's rectangles exclude their right and bottom edges.
    form_.InvalidateImageRect(r.Left, r.Top, r.Right + 1, r.Bottom + 1);
}

void Painting::UpdateNow() {
    form_.UpdateImageNow();
}

void Painting::InvalidateAll() {
    const pixkit::Buffer& image = Image();
    Invalidate({0, 0, image.Width() - 1, image.Height() - 1});
}

pixkit::Pixel Painting::DrawColor() const {
    return form_.DrawColor() & 0xFFFFFF;
}

pixkit::Pixel Painting::BackColor() const {
    return form_.BackColor() & 0xFFFFFF;
}

void Painting::PrepareBrush(bool rightButton) {
    Brush.PrepareBrush(rightButton, DrawColor(), BackColor());
}

void Painting::ImageModified() {
    ++form_.Docs().CurrentImage().Changed;
}

void Painting::CancelAction() {
    if (form_.CancelToSnapshot() == 0) return;
    StripMarks(Image());
    InvalidateAll();
}

double Painting::ZoomFactor() const {
    return form_.ZoomFactor();
}

QWidget* Painting::View() const {
    return form_.ShowBuf();
}

void Painting::ShowOverlay(pixkit::Rect area, std::function<void(pixkit::Buffer&)> draw) {
    form_.ShowBuf()->ShowOverlay({area, std::move(draw)});
}

void Painting::HideOverlay() {
    form_.ShowBuf()->HideOverlay();
}

const pixkit::Buffer& Painting::Snapshot() const {
    return form_.Undo().Snapshot();
}

void Painting::ImageReplaced() {
    form_.RefreshView();
}

void Painting::BrushChanged() {
    ToolFramework& tools = *Tools();
    const BrushSettings& s = Brush.Settings;
    tools.CurrentTechnique = s.Technique;
    tools.UserBrushInUse = s.UserBrush;
    PrepareBrush(false);
    ShowTechnique();
    static const char* commands[] = {"Paint1", "Color1", "Replace1"};
    if (s.Technique >= btPaint && s.Technique <= btReplace)
        if (QAction* check = form_.MenuCommand(commands[s.Technique])) check->setChecked(true);
}

void Painting::MovePointerTo(pixkit::Pair<int> p) {
    form_.WarpPointerToImage(p);
}

void Painting::OptimizeBrush() {
    if (!form_.Prefs().OptimBrush) return;
    MovePointerBy(Brush.OptimizeBrush());
}

void Painting::MovePointerBy(pixkit::Pair<int> d) {
    if ((d.x == 0 && d.y == 0) || Tools()->Outside) return;
    const pixkit::Pair<int> p = Tools()->ImagePos;
    MovePointerTo({p.x + d.x, p.y + d.y});
}

void Painting::ShowTechnique() {
    static const char* letters[] = {"P", "C", "R"};
    const int t = Brush.Settings.Technique;
    form_.SetPanelText(1, letters[t >= 0 && t <= 2 ? t : 1]);
}

void Painting::ShowOffset(pixkit::Pair<int> from, pixkit::Pair<int> to) {
    form_.SetPanelText(3, QString("[%1,%2]").arg(to.x - from.x).arg(to.y - from.y));
}

void Painting::ClearOffset() {
    form_.SetPanelText(3, QString());
}

void Painting::ShowAngle(double degrees) {
    form_.SetPanelText(3, QString::number(degrees, 'f', 2) + QChar('`'));
}

void Painting::ShowColorValue(pixkit::Pixel p) {
    form_.SetPanelText(3,
                       QString("[%1,%2,%3]").arg(p >> 16 & 0xFF).arg(p >> 8 & 0xFF).arg(p & 0xFF));
}

void Painting::SetStatusKey(std::string& statusText, const char* key) {
    statusText = Translate(key);
    form_.SetPanelText(4, QString::fromStdString(statusText));
}

bool Painting::BarBuilt(const std::string& barName, int index) const {
    const TParamBar& bar = form_.ParamBar();
    return !barName.empty() && bar.BuiltName() == barName && index < bar.ControlCount();
}

double Painting::BarValue(const std::string& barName, int index, double fallback) const {
    return BarBuilt(barName, index) ? form_.GetBarValue(index) : fallback;
}

void Painting::SetBarValue(const std::string& barName, int index, double value) {
    if (BarBuilt(barName, index)) form_.SetBarValue(index, value);
}

void Painting::EnableBarControl(const std::string& barName, int index, bool enabled) {
    if (!BarBuilt(barName, index)) return;
    if (QWidget* control = form_.ParamBar().Control(index)) control->setEnabled(enabled);
}

void Painting::BindBar(const std::string& barName, int count,
                       const std::function<void()>& handler) {
    for (int i = 0; i < count; ++i)
        if (BarBuilt(barName, i)) form_.BindBarHandler(i, handler);
}

void Painting::BindBarControl(const std::string& barName, int index,
                              const std::function<void()>& handler) {
    if (BarBuilt(barName, index)) form_.BindBarHandler(index, handler);
}

FontChoice Painting::BarFont(const std::string& barName, int index) const {
    if (!BarBuilt(barName, index)) return {};
    const auto* box = qobject_cast<const QComboBox*>(form_.ParamBar().Control(index));
    return box != nullptr ? ChosenFont(*box) : FontChoice{};
}

void Painting::SetBarFont(const std::string& barName, int index, const FontChoice& font) {
    if (!BarBuilt(barName, index)) return;
    if (auto* box = qobject_cast<QComboBox*>(form_.ParamBar().Control(index)))
        ChooseFont(*box, font);
}

void Painting::BindBarColorDialog(const std::string& barName, int index, const char* titleKey) {
    if (!BarBuilt(barName, index)) return;
    auto* swatch = qobject_cast<TColorSwatch*>(form_.ParamBar().Control(index));
    if (swatch == nullptr) return;
    const std::string title = Translate(titleKey);
    form_.BindBarMouseDown(index, [this, swatch, title](QMouseEvent*) {
        form_.ShowColorDialogFor(swatch, QString::fromStdString(title));
    });
}

void Painting::CloseBarColorDialog(const std::string& barName, int index) {
    if (!BarBuilt(barName, index)) return;
    TColorSel* dialog = form_.ColorDialog();
    if (dialog != nullptr && dialog->isVisible() &&
        dialog->Target() == form_.ParamBar().Control(index))
        dialog->accept();
}

bool Painting::AntiAlias() const {
    return form_.Prefs().AntiAlias;
}

int Painting::GridField(const char* name, int fallback) const {
    const auto* field = form_.findChild<QSpinBox*>(name);
    return field != nullptr ? field->value() : fallback;
}

void Painting::SetGridField(const char* name, int value) {
    if (auto* field = form_.findChild<QSpinBox*>(name)) field->setValue(value);
}

GridAxis Painting::GridX() const {
    return {GridField("GridDx", 8), GridField("GridPx", 0)};
}

GridAxis Painting::GridY() const {
    return {GridField("GridDy", 8), GridField("GridPy", 0)};
}

void Painting::SnapToGrid(pixkit::Pair<int>& p) const {
    if (!GridOn) return;
    p = {SnapAxis(p.x, GridX()), SnapAxis(p.y, GridY())};
}

void Painting::SetGridOrigin(pixkit::Pair<int> p) {
    SetGridField("GridPx", p.x);
    SetGridField("GridPy", p.y);
}

void Painting::SetGridDeltaFromBrush() {
    SetGridField("GridDx", Brush.Brush.Width());
    SetGridField("GridDy", Brush.Brush.Height());
}

void Painting::ShowGridBar(bool show) {
    if (auto* bar = form_.findChild<QToolBar*>("GridBar")) bar->setVisible(show);
    form_.ShowBuf()->update();
}

void Painting::ClearImage() {
    UDBuffer& image = form_.Docs().CurrentImage();
    image.Box(image.Area, BackColor());
    image.FileState = 1;
    image.FileName.clear();
    form_.RefreshDocumentLabel();
    ++image.Changed;
    InvalidateAll();
}

} // namespace kv
