// The main window's keyboard handling: keys reach it before its controls.
// A focused parameter-bar control keeps the keys it needs, the text tool
// takes every key while its input is open, then come the tool hot keys and
// the global keys.
#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace kv {

class ToolFramework;

// The kind of control that has the keyboard focus.
enum class FocusedControl {
    None,        // nothing, or the view
    NumberField, // keeps digits, the decimal point, keypad + and -, editing keys
    ListBox,     // keeps Up and Down
    Other,
};

// What the global keys do; an empty function does nothing (the key is
// still consumed).
struct GlobalKeyActions {
    std::function<FocusedControl()> Focused;
    std::function<void()> ClearFocus;
    std::function<void(int qtKey)> ScrollKey; // arrows, Home, End, PgUp, PgDn
    std::function<void()> ToggleFit;
    std::function<void()> ZoomIn;
    std::function<void()> ZoomOut;
    std::function<void()> CycleBrushHandle;
    std::function<void()> PixelBrush;
    // Ctrl+arrows, Ctrl+Home, Ctrl+PgDn while "Cut Predefined Rectangle" is
    // current and the pointer is inside the image.
    std::function<void(int qtKey)> PredefinedRectKey;
    std::function<void()> ToggleClipping;
    std::function<void()> ToggleAntiAlias;
    std::function<void(bool background)> ShowColorDialog;
    // Space went down (true) or up: while it is held, drags on the view pan.
    std::function<void(bool held)> SpacePan;
};

// The hot-key value of a key: the key code in the low byte (capital letters
// and the digits of the main block; 0 for other keys) plus 0x100 for Shift,
// 0x200 for Ctrl and 0x400 for Alt.
int KeyValue(const QKeyEvent& event);

// Whether a focused control of the given kind keeps the key.
bool ControlKeepsKey(FocusedControl control, const QKeyEvent& event);

class HotKeyHandler : public QObject {
    Q_OBJECT

  public:
    // Handles the keys of window (and of every widget inside it).
    HotKeyHandler(ToolFramework& tools, QWidget* window);

    GlobalKeyActions Actions;

    // True when the key was consumed.
    bool KeyDown(QKeyEvent& event);
    void KeyUp(QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool GlobalKey(const QKeyEvent& event, int keyValue);
    bool PredefinedRect(int qtKey);

    ToolFramework& tools_;
    QWidget* window_;
};

} // namespace kv
