// Tool selection, feedback, the click protocol of the view and the timers.
// Registration and the icon buttons are in registry.cpp.
#include "tools/framework.h"

#include "tools/iconpanel.h"
#include "tools/toolbutton.h"

#include <QCursor>
#include <QMouseEvent>

#include <cstdlib>

namespace kv {

namespace {
ToolFramework* gTools = nullptr;
} // namespace

ToolFramework* Tools() {
    return gTools;
}

ToolFramework::ToolFramework(QWidget* toolPanel, QWidget* panelOwner) : toolPanel_(toolPanel) {
    // Until the first tool is selected nothing happens on the view.
    noTool_.Clicks = 1;
    noTool_.Undo = 0;
    Current = &noTool_;
    panel_ = new TIconPanel(panelOwner);
    connect(panel_, &TIconPanel::IconSelected, this, &ToolFramework::IconSelected);
    dragTimer_.setSingleShot(true);
    dragTimer_.setInterval(kDragDelayMs);
    // The expiry only marks the press as a drag: the timer is no longer active.
    connect(&dragTimer_, &QTimer::timeout, this, [] {});
    panelTimer_.setSingleShot(true);
    panelTimer_.setInterval(kPanelDelayMs);
    connect(&panelTimer_, &QTimer::timeout, this, &ToolFramework::ShowIconPanel);
    activityTimer_.setInterval(kActivityMs);
    connect(&activityTimer_, &QTimer::timeout, this, &ToolFramework::ActivateIconFunc);
    activityTimer_.start();
    gTools = this;
}

ToolFramework::~ToolFramework() {
    if (gTools == this) gTools = nullptr;
    delete panel_;
}

// --- Selection ---------------------------------------------------------

// An immediate tool runs its command and hands over to the pending tool, or
// back to the current one; loops while that is immediate too.
void ToolFramework::SelectImmediate(P_icon*& tool, bool& hideFirst, int& variant) {
    while (tool->Immediate()) {
        HideFeedback();
        Current->Deactivate(tool);
        tool->Activate();
        P_icon* next;
        if (Pending != nullptr) {
            next = Pending;
            Pending = nullptr;
            variant = -1;
        } else {
            next = Current;
            variant = next->OneShot() ? -1 : PreviousVariant;
        }
        // The immediate tool is current for the moment, so that the
        // following selection deactivates it.
        Current = tool;
        hideFirst = false;
        tool = next;
    }
}

void ToolFramework::SelectToggle(P_icon* tool) {
    if (tool->Clicks == 0) {
        if (tool->IconButton != nullptr) tool->IconButton->SetDown(true);
        tool->Activate();
    } else {
        tool->Deactivate(Current);
        if (tool->IconButton != nullptr) tool->IconButton->SetDown(false);
    }
    tool->Clicks = tool->Clicks == 0 ? 1 : 0;
}

// The icon shows the selected variant: its glyph, and its name as the hint.
void ToolFramework::ShowVariant(P_icon* tool, int variant) {
    const int icon = IconOf(tool);
    if (icon < 0) return;
    IconRecord& rec = icons_[static_cast<std::size_t>(icon)];
    if (tool != rec.Secondary) {
        if (variant == -1)
            for (int i = rec.First; i < rec.First + rec.Count; ++i)
                if (tools_[static_cast<std::size_t>(i)].Tool == tool) variant = i;
        if (variant >= rec.First && variant < rec.First + rec.Count) {
            rec.Current = variant;
            const ToolRecord& t = tools_[static_cast<std::size_t>(variant)];
            rec.Button->setIcon(QIcon(t.Glyph));
            rec.Button->setToolTip(t.Name + HotKeyText(rec.HotKey));
        }
    }
    rec.Button->SetDown(true);
}

void ToolFramework::SelectTool(P_icon* tool, bool hideFirst, int variant) {
    if (tool == nullptr) return;
    SelectImmediate(tool, hideFirst, variant);
    if (tool->Toggle()) {
        SelectToggle(tool);
        return;
    }
    if (!tool->OneShot()) {
        Previous = tool;
        PreviousVariant = variant;
    }
    if (hideFirst) HideFeedback();
    SetPanel(3, {});
    if (Host.SuspendToolDock) Host.SuspendToolDock(true);
    if (HideToolBar) HideToolBar(Current, tool);
    Current->Deactivate(tool);
    Current = tool;
    if (tool->IconButton != nullptr) ShowVariant(tool, variant);
    HelpContext = tool->HelpContext;
    State = csIdle;
    if (ShowToolBar) ShowToolBar(tool);
    tool->Activate();
    RefreshTool(false, true);
    if (Host.SuspendToolDock) Host.SuspendToolDock(false);
}

void ToolFramework::ReturnToPreviousTool(bool hideFirst) {
    SelectTool(Previous, hideFirst, PreviousVariant);
}

// --- Feedback ----------------------------------------------------------

void ToolFramework::SetPanel(int panel, const QString& text) {
    if (Host.SetPanelText) Host.SetPanelText(panel, text);
}

void ToolFramework::ShowFeedback() {
    Outside = !Host.InsideImage || !Host.InsideImage(ImagePos);
    LastFeedback = ImagePos;
    if (!Outside) Current->Show();
}

void ToolFramework::HideFeedback() {
    if (!Outside) Current->Hide();
}

void ToolFramework::RefreshTool(bool hide, bool show) {
    if (Host.SetViewCursor) Host.SetViewCursor(CursorById(Current->Cursor));
    SetPanel(4, QString::fromStdString(Current->StatusText));
    if (State == csClicked && MouseDown) return;
    if (hide) HideFeedback();
    if (show) ShowFeedback();
}

void ToolFramework::HideForReading() {
    HideFeedback();
    if (auto* text = dynamic_cast<TextInputTool*>(Current)) text->HideText();
}

void ToolFramework::ShowAfterReading() {
    if (auto* text = dynamic_cast<TextInputTool*>(Current)) text->ShowText();
    ShowFeedback();
}

void ToolFramework::TextStyleChanged() {
    if (auto* text = dynamic_cast<TextInputTool*>(Current)) text->StyleChanged();
}

void ToolFramework::AdvanceClick() {
    if (State < Current->Clicks - 1) {
        ++State;
        RefreshTool(false, true);
    } else if (Current->OneShot()) {
        ReturnToPreviousTool(false);
    } else {
        State = csIdle;
        RefreshTool(false, true);
    }
}

// --- Click protocol ----------------------------------------------------

// With Shift held the pointer is locked to the row or the column of the
// point where the lock began, once it has moved more than 4 pixels along
// one axis.
void ToolFramework::ApplyAxisLock(QPoint& view) {
    if (!AxisLock) {
        AxisState = -2;
        return;
    }
    if (AxisState == -2) {
        Anchor = view;
        AxisState = -1;
    } else if (AxisState == -1) {
        const int dx = std::abs(view.x() - Anchor.x());
        const int dy = std::abs(view.y() - Anchor.y());
        if (dy < dx && dx > 4)
            AxisState = 1;
        else if (dx < dy && dy > 4)
            AxisState = 0;
    }
    if (AxisState == 1)
        view.setY(Anchor.y());
    else if (AxisState == 0)
        view.setX(Anchor.x());
}

void ToolFramework::ComputePosition(const QMouseEvent& event) {
    QPoint view = event.position().toPoint();
    ApplyAxisLock(view);
    ViewPos = view;
    ImagePos = Host.ViewToImage ? Host.ViewToImage(view) : pixkit::Pair<int>{view.x(), view.y()};
    if (Current->Snap != 0 && SnapToGrid) SnapToGrid(ImagePos);
    const Qt::KeyboardModifiers mods = event.modifiers();
    const Qt::MouseButtons buttons = event.buttons() | event.button();
    MouseButtons =
        (mods & Qt::ShiftModifier ? msShift : 0) | (mods & Qt::AltModifier ? msAlt : 0) |
        (mods & Qt::ControlModifier ? msCtrl : 0) | (buttons & Qt::LeftButton ? msLeft : 0) |
        (buttons & Qt::RightButton ? msRight : 0) | (buttons & Qt::MiddleButton ? msMiddle : 0) |
        (event.type() == QEvent::MouseButtonDblClick ? msDouble : 0);
}

void ToolFramework::ShowBufMouseDown(const QMouseEvent& event) {
    if (Host.ClearBarFocus) Host.ClearBarFocus();
    ComputePosition(event);
    MouseDown = true;
    HideFeedback();
    if (State == csIdle && Current->Undo != 0 && TakeSnapshot) {
        TakeSnapshot();
        // An action that could be neither undone nor cancelled does not
        // start; the snapshot's owner has told the user why.
        if (SnapshotFailed && SnapshotFailed()) {
            MouseDown = false;
            ShowFeedback();
            return;
        }
    }
    P_icon* const tool = Current;
    tool->Press();
    if (tool == Current && State == csIdle) {
        // The tool wants more points: a release within the drag delay is a click.
        dragTimer_.start();
        if (tool->Clicks > 1) {
            State = csDragging;
            ShowFeedback();
        } else if (tool->OneShot()) {
            ReturnToPreviousTool(true);
        }
    } else if (tool == Current && (State == csClicked || State == csDone)) {
        AdvanceClick();
    }
}

void ToolFramework::ShowBufMouseUp(const QMouseEvent& /*event*/) {
    MouseDown = false;
    if (State != csDragging) return;
    HideFeedback();
    if (dragTimer_.isActive()) {
        dragTimer_.stop();
        State = csClicked;
        RefreshTool(false, true);
        return;
    }
    // A drag: the release is the next point.
    P_icon* const tool = Current;
    tool->Press();
    if (tool != Current) return;
    if (State == csDragging) State = csClicked;
    AdvanceClick();
}

void ToolFramework::StoreMouseCoords(const QMouseEvent& event) {
    const bool wasInside = !Outside;
    ComputePosition(event);
    SetPanel(2, QString("%1,%2").arg(ImagePos.x).arg(ImagePos.y));
    if (wasInside && ImagePos == LastFeedback) return;
    RefreshTool(true, true);
}

void ToolFramework::ClearMouseCoords() {
    ViewPos = {-1, -1};
    ImagePos = {-1, -1};
    MouseButtons = 0;
    if (Outside) return;
    HideFeedback();
    Outside = true;
    for (int panel : {2, 3, 4}) SetPanel(panel, {});
}

void ToolFramework::ShowBufPaint(QPainter& view) {
    if (RepaintEnabled) Current->Repaint(view);
}

void ToolFramework::ActivateIconFunc() {
    if (Outside) return;
    if (auto* timed = dynamic_cast<TimedTool*>(Current)) {
        timed->ActivityStep();
    } else if (auto* polygon = dynamic_cast<PolygonTool*>(Current)) {
        if (Host.SetViewCursor)
            Host.SetViewCursor(
                CursorById(polygon->CanCloseAt(ImagePos) ? int{crCrossOk} : int{Current->Cursor}));
    }
}

// --- Image switching, shutdown, technique -----------------------------

void ToolFramework::ImageLeaving() {
    HideFeedback();
    Current->Deactivate(nullptr);
}

void ToolFramework::ImageShown() {
    ShowFeedback();
    Current->Activate();
}

void ToolFramework::Shutdown() {
    Current->Deactivate(nullptr);
    Current = &noTool_;
}

bool ToolFramework::SelectTechnique(int technique) {
    if (technique < tqPaint || technique > tqReplace) return false;
    if (technique != tqColor && !UserBrushInUse) return false;
    CurrentTechnique = technique;
    SetPanel(1, QString("PCR"[technique]));
    if (PaintingBrushForTechnique) PaintingBrushForTechnique();
    RefreshTool(true, true);
    return true;
}

} // namespace kv
