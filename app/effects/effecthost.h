// What the effect tools need from the main window, and nothing more: the
// current image and its undo snapshot, the drawing view's rectangle, the
// progress display and the tool framework's return.
#pragma once

#include "documents.h"

#include <pixkit/buffer.h>

class QWidget;

namespace kv {

class EffectHost {
  public:
    virtual ~EffectHost() = default;

    // The main window: parent of the effect dialogs, kept from input while
    // an effect runs.
    virtual QWidget* Window() = 0;
    // The area the dialogs centre over.
    virtual QWidget* ImageArea() = 0;
    virtual UDBuffer& Image() = 0;
    // The image as it was when the effect started (the undo snapshot).
    virtual const pixkit::Buffer& Snapshot() = 0;
    // False (the user was told) when there is no memory for the snapshot.
    virtual bool TakeSnapshot() = 0;
    virtual void CancelToSnapshot() = 0;
    // The drawing view's rectangle in image coordinates: the whole image,
    // or its visible part with "Clipping" on.
    virtual pixkit::Rect DrawingRect() = 0;
    virtual void ProgressStart(int max) = 0;
    virtual void ProgressStep(int position) = 0;
    virtual void ProgressEnd() = 0;
    virtual void RepaintView() = 0;
    virtual void ReturnToPreviousTool() = 0;
};

} // namespace kv
