#include "tools/hotkeys.h"

#include "tools/framework.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <cstring>

namespace kv {

namespace {

constexpr int kShift = 0x100, kCtrl = 0x200, kAlt = 0x400;

// Shift turns the digit keys into symbols. The key's position tells the
// digit on any layout (X key codes 10 to 19 are the digit row); without a
// position the symbols of the common US layout are mapped back.
int DigitOfShiftedKey(const QKeyEvent& event) {
    const quint32 code = event.nativeScanCode();
    if (code >= 10 && code <= 19) return code == 19 ? '0' : static_cast<int>('1' + code - 10);
    static const char kSymbols[] = ")!@#$%^&*(";
    const int key = event.key();
    if (key > 0 && key < 0x80 && key != 0) {
        const char* at = std::strchr(kSymbols, key);
        if (at != nullptr) return '0' + static_cast<int>(at - kSymbols);
    }
    return 0;
}

int Modifiers(Qt::KeyboardModifiers mods) {
    return (mods & Qt::ShiftModifier ? kShift : 0) | (mods & Qt::ControlModifier ? kCtrl : 0) |
           (mods & Qt::AltModifier ? kAlt : 0);
}

bool IsEditingKey(int key) {
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Insert:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

bool IsScrollKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

void Run(const std::function<void()>& action) {
    if (action) action();
}

} // namespace

int KeyValue(const QKeyEvent& event) {
    const int key = event.key();
    int code = 0;
    if (event.modifiers() & Qt::KeypadModifier)
        code = 0;
    else if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        code = key;
    else if (event.modifiers() & Qt::ShiftModifier)
        code = DigitOfShiftedKey(event);
    return code | Modifiers(event.modifiers());
}

bool ControlKeepsKey(FocusedControl control, const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    switch (control) {
    case FocusedControl::NumberField:
        return (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Period ||
               key == Qt::Key_Comma || (keypad && (key == Qt::Key_Plus || key == Qt::Key_Minus)) ||
               IsEditingKey(key);
    case FocusedControl::ListBox:
        return key == Qt::Key_Up || key == Qt::Key_Down;
    default:
        return false;
    }
}

HotKeyHandler::HotKeyHandler(ToolFramework& tools, QWidget* window)
    : tools_(tools), window_(window) {
    qApp->installEventFilter(this);
}

bool HotKeyHandler::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != window_) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease) {
        KeyUp(*key);
        return false;
    }
    return KeyDown(*key);
}

void HotKeyHandler::KeyUp(QKeyEvent& event) {
    if (event.isAutoRepeat()) return;
    tools_.AxisLock = false;
    if (event.key() == Qt::Key_Space && Actions.SpacePan) Actions.SpacePan(false);
}

bool HotKeyHandler::KeyDown(QKeyEvent& event) {
    const int value = KeyValue(event);
    // The Shift key's own press counts as Shift held, whatever the platform
    // reports as the modifiers of that event.
    const bool shift = (value & kShift) != 0 || event.key() == Qt::Key_Shift;
    if (shift && !tools_.Outside) tools_.AxisLock = true;
    const FocusedControl focused = Actions.Focused ? Actions.Focused() : FocusedControl::None;
    if (ControlKeepsKey(focused, event)) return false;
    // F1 is the help's, also while a text block takes every other key.
    if (event.key() == Qt::Key_F1) return false;
    if (auto* text = dynamic_cast<TextInputTool*>(tools_.Current);
        text != nullptr && text->TextInputOpen()) {
        if (!text->TextKeyDown(event)) GlobalKey(event, value);
        return true;
    }
    if ((value & 0xFF) != 0 && tools_.ToolKey(value)) return true;
    // Space belongs to a focused control (a button presses with it).
    if (event.key() == Qt::Key_Space && focused == FocusedControl::None) {
        if (Actions.SpacePan) Actions.SpacePan(true);
        return true;
    }
    return GlobalKey(event, value);
}

bool HotKeyHandler::PredefinedRect(int qtKey) {
    if (tools_.Current != tools_.ToolByName("Cut Predefined Rectangle") || tools_.Outside)
        return false;
    if (Actions.PredefinedRectKey) Actions.PredefinedRectKey(qtKey);
    return true;
}

bool HotKeyHandler::GlobalKey(const QKeyEvent& event, int keyValue) {
    const int key = event.key();
    const int mods = keyValue & ~0xFF;
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    if (key == Qt::Key_Escape && mods == 0) {
        const FocusedControl focused = Actions.Focused ? Actions.Focused() : FocusedControl::None;
        if (focused != FocusedControl::None)
            Run(Actions.ClearFocus);
        else
            tools_.ReturnToPreviousTool(true);
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == 0) {
        Run(Actions.ClearFocus);
        return true;
    }
    if (key == Qt::Key_Clear || (keypad && key == Qt::Key_5)) {
        Run(Actions.CycleBrushHandle);
        return true;
    }
    if (keypad && (key == Qt::Key_Plus || key == Qt::Key_Minus)) {
        Run(key == Qt::Key_Plus ? Actions.ZoomIn : Actions.ZoomOut);
        return true;
    }
    if (mods == 0 && IsScrollKey(key)) {
        if (Actions.ScrollKey) Actions.ScrollKey(key);
        return true;
    }
    if (mods == kCtrl && (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
                          key == Qt::Key_Down || key == Qt::Key_Home || key == Qt::Key_PageDown))
        return PredefinedRect(key);
    switch (keyValue) {
    case 'Z':
        Run(Actions.ToggleFit);
        return true;
    case kCtrl | 'L':
        Run(Actions.ToggleClipping);
        return true;
    case kCtrl | 'T':
        Run(Actions.ToggleAntiAlias);
        return true;
    case kCtrl | kShift | 'B':
    case kCtrl | kShift | 'D':
        if (Actions.ShowColorDialog) Actions.ShowColorDialog((keyValue & 0xFF) == 'B');
        return true;
    default:
        break;
    }
    if (key == Qt::Key_Period && mods == 0 && !keypad) {
        Run(Actions.PixelBrush);
        return true;
    }
    return false;
}

} // namespace kv
