// The base class of every tool object, the click states that drive it, and
// the small interfaces that the activity timer and the keyboard look for.
#pragma once

#include "resources.h"

#include <pixkit/types.h>

#include <cstdint>
#include <string>

class QKeyEvent;
class QPainter;

namespace kv {

class TToolButton;

// Tool flags.
enum ToolFlag : std::uint8_t {
    tfOneShot = 1,   // after one completed use the previous tool is selected again
    tfImmediate = 2, // selecting runs Activate at once; the current tool stays
    tfToggle = 4,    // selecting switches the tool on or off
};

// The click state of the current tool.
enum ClickState : int {
    csIdle = 0,     // waiting for the first point of an action
    csClicked = 1,  // the button was released within the drag delay
    csDone = 2,     // the tool finished a step
    csDragging = 3, // the button is held since the press
};

// Bits of the mouse-button state of the last mouse event.
enum MouseStateBit : int {
    msShift = 1,
    msAlt = 2,
    msCtrl = 4,
    msLeft = 8,
    msRight = 16, // tools paint with the background colour
    msMiddle = 32,
    msDouble = 64,
};

// A tool object. Tool objects live for the whole run; the framework only
// refers to them. The six operations do nothing here.
class P_icon {
  public:
    virtual ~P_icon() = default;

    std::uint8_t Flags = 0;
    std::uint8_t Reserved = 0;
    std::uint8_t Undo = 1; // take the undo snapshot before the first press of an action
    std::uint8_t Snap = 1; // pointer positions are moved to the grid first
    std::int32_t HelpContext = 100;
    std::string BarName; // the tool's parameter bar; empty = none
    // Points an action takes; for a toggle tool its on/off state.
    std::int32_t Clicks = 2;
    TToolButton* IconButton = nullptr; // set at registration
    std::int16_t Cursor = crCross;
    std::string StatusText; // status panel 4 while the tool is current

    // The pointer has a new image position inside the image, or the state
    // changed: draw the feedback there.
    virtual void Show() {}
    // The view has just been painted: redraw feedback that lives only on the
    // screen. The painter draws on the view control.
    virtual void Repaint(QPainter& /*view*/) {}
    // The position is about to change or an action is about to happen:
    // remove what Show drew.
    virtual void Hide() {}
    // A mouse button went down on the view, or a drag was released.
    virtual void Press() {}
    // The tool has become current (immediate tools run here; toggles switch on).
    virtual void Activate() {}
    // The tool stops being current; next is the following tool or null when
    // the image is switched or the program closes.
    virtual void Deactivate(P_icon* /*next*/) {}
    // The parameter bar was built anew while the tool is current (another
    // language or user level): its controls start from the descriptor and
    // are bound to nothing.
    virtual void BarRebuilt() {}

    bool OneShot() const { return (Flags & tfOneShot) != 0; }
    bool Immediate() const { return (Flags & tfImmediate) != 0; }
    bool Toggle() const { return (Flags & tfToggle) != 0; }
};

// A tool that works on the 50 ms activity timer while the pointer is inside
// the image (spray and airbrush emit one step per tick).
class TimedTool {
  public:
    virtual ~TimedTool() = default;
    virtual void ActivityStep() = 0;
};

// A tool that builds a polygon: the activity timer shows the "CROSSOK"
// cursor while the polygon can be closed at the pointer.
class PolygonTool {
  public:
    virtual ~PolygonTool() = default;
    virtual bool CanCloseAt(pixkit::Pair<int> image) const = 0;
};

// A tool with text input: while the input is open it gets every key before
// the hot keys. A key it does not use goes on to the window's own keys, never
// to the tools' hot keys.
class TextInputTool {
  public:
    virtual ~TextInputTool() = default;
    virtual bool TextInputOpen() const = 0;
    // True when the tool used the key.
    virtual bool TextKeyDown(QKeyEvent& key) = 0;
    // The colours or the anti-alias preference changed: draw the text anew.
    virtual void StyleChanged() {}
    // Uncommitted text drawn into the image is taken out while a command
    // reads the image, and put back afterwards.
    virtual void HideText() {}
    virtual void ShowText() {}
};

} // namespace kv
