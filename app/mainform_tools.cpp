// The main window's side of the tool framework: the icons of the tool
// panel, what the framework asks of the window, the keyboard, the drawing
// techniques and the image-switch steps of the tools.
#include "mainform.h"

#include "bars/toolfit.h"

#include "log.h"
#include "tools/builtin.h"
#include "view/tbuffer.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QToolBar>

namespace kv {

namespace {

bool InToolBar(const QWidget* w) {
    for (; w != nullptr; w = w->parentWidget())
        if (qobject_cast<const QToolBar*>(w) != nullptr) return true;
    return false;
}

FocusedControl KindOf(const QWidget* w) {
    if (qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
        qobject_cast<const QLineEdit*>(w) != nullptr)
        return FocusedControl::NumberField;
    if (qobject_cast<const QComboBox*>(w) != nullptr ||
        qobject_cast<const QAbstractItemView*>(w) != nullptr)
        return FocusedControl::ListBox;
    return FocusedControl::Other;
}

} // namespace

void TMainForm::BuildToolFramework() {
    QWidget* panel = findChild<QWidget*>("ToolPanel");
    tools_ = std::make_unique<ToolFramework>(panel, this);
    KeepToolIconsVisible(this, toolBar_, panel, ToolFramework::kButtonSize);
    hotKeys_ = std::make_unique<HotKeyHandler>(*tools_, this);
    ConnectToolHost();
    ConnectGlobalKeys();
    const char* techniques[] = {"Paint1", "Color1", "Replace1"};
    for (int t = tqPaint; t <= tqReplace; ++t) {
        MenuCommand(techniques[t])->setEnabled(true);
        connect(MenuCommand(techniques[t]), &QAction::triggered, this,
                [this, t] { SelectTechniqueCommand(t); });
    }
    connect(this, &TMainForm::ImageLeaving, tools_.get(), &ToolFramework::ImageLeaving);
    connect(this, &TMainForm::ImageShown, tools_.get(), &ToolFramework::ImageShown);
}

void TMainForm::ConnectToolHost() {
    ToolHost& host = tools_->Host;
    host.ViewToImage = [this](QPoint view) { return ViewToImage(view); };
    host.InsideImage = [this](pixkit::Pair<int> p) { return InsideImage(p); };
    host.SetViewCursor = [this](const QCursor& cursor) { ShowBuf()->SetToolCursor(cursor); };
    host.SetPanelText = [this](int panel, const QString& text) { SetPanelText(panel, text); };
    host.ClearBarFocus = [] {
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && InToolBar(focus)) focus->clearFocus();
    };
    host.SuspendToolDock = [this](bool suspend) { paramBar_->setUpdatesEnabled(!suspend); };
    tools_->TakeSnapshot = [this] { TakeSnapshot(); };
    tools_->SnapshotFailed = [this] { return snapshotFailed_; };
    tools_->ShowToolBar = [this](P_icon* tool) { ShowToolBar(tool->BarName); };
    tools_->HideToolBar = [this](P_icon* old, P_icon* next) {
        HideToolBar(old->BarName, next->BarName, old == tools_->ToolByName("Grid"));
    };

    TBuffer* view = ShowBuf();
    view->OnMouseDown = [this](QMouseEvent* e) { tools_->ShowBufMouseDown(*e); };
    view->OnMouseMove = [this](QMouseEvent* e) { tools_->StoreMouseCoords(*e); };
    view->OnMouseUp = [this](QMouseEvent* e) { tools_->ShowBufMouseUp(*e); };
    view->OnMouseLeave = [this] { tools_->ClearMouseCoords(); };
    view->OnPaint = [this](QPainter& p) { tools_->ShowBufPaint(p); };
}

void TMainForm::ConnectGlobalKeys() {
    GlobalKeyActions& keys = hotKeys_->Actions;
    keys.Focused = [this] {
        const QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || focus->window() != this || focus == this ||
            focus == centralWidget() || centralWidget()->isAncestorOf(focus))
            return FocusedControl::None;
        return KindOf(focus);
    };
    keys.ClearFocus = [] {
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    };
    keys.ScrollKey = [this](int key) { ScrollKey(key); };
    keys.ToggleFit = [this] { ToggleFit(); };
    keys.ZoomIn = [this] { ZoomIn(); };
    keys.ZoomOut = [this] { ZoomOut(); };
    keys.ToggleClipping = [this] { ToggleClipping(); };
    keys.ToggleAntiAlias = [this] { ToggleAntiAlias(); };
    keys.ShowColorDialog = [this](bool background) { ShowColorDialog(background); };
    keys.SpacePan = [this](bool held) { ShowBuf()->SetSpaceHeld(held); };
}

// Start-up: the icons of the tools, then those of the components. The
// action icons follow them.
void TMainForm::InitTools() {
    RegisterBuiltinTools(*tools_);
    LogLine("Icons initialized.");
    // The components' icon, or an empty one that keeps the grid's shape.
    InitComponents();
    // The action icons: "Undo Last Action", then "Clear Image".
    RegisterUndoIcon();
    RegisterClearIcon();
}

// Start-up, once the first image is there.
void TMainForm::SelectFirstTool() {
    if (P_icon* first = tools_->ToolByName("Continuous Freehand"))
        tools_->SelectTool(first, false, -1);
    LogLine("Drawing mode initialized.");
}

// Paint and Replace need a brush cut by the user; a refused choice leaves
// the menu's check on the technique in use.
void TMainForm::SelectTechniqueCommand(int technique) {
    tools_->SelectTechnique(technique);
    const char* techniques[] = {"Paint1", "Color1", "Replace1"};
    MenuCommand(techniques[tools_->CurrentTechnique])->setChecked(true);
}

} // namespace kv
