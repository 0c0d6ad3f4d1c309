// What the effect tools need from the main window, and nothing more: the
// current image and its undo snapshot, the drawing view's rectangle, the
// progress display and the tool framework's return.
#pragma once

#include "documents.h"

#include <pixkit/buffer.h>

#include <cstdint>

class QKeyEvent;
class QString;
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
    // Sizes an effect's dialog to its contents and shows it in front,
    // centred over the image area.
    void ShowDialog(QWidget& form);
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

    // What components see besides: every image slot, the colours, the user
    // level (0 Novice, 1 Expert), the status text, the colour dialog.
    virtual Documents& Docs() = 0;
    virtual std::uint32_t DrawColor() = 0; // 0x00RRGGBB
    virtual std::uint32_t BackColor() = 0;
    virtual int UserLevel() = 0;
    virtual void SetStatus(const QString& text) = 0;
    // The current image has another size now: the view follows.
    virtual void ImageResized() = 0;
    // Repaints an image rectangle (inclusive).
    virtual void InvalidateImage(pixkit::Rect r) = 0;
    // Opens the colour dialog for a swatch of a dialog.
    virtual void PickColor(class TColorSwatch* swatch, const QString& title) = 0;
    // A key pressed in an effect's dialog, for the main window's hot keys;
    // true when it was used.
    virtual bool HotKey(QKeyEvent& /*event*/) { return false; }
    // Shows picture in the view instead of the image (same size; null: the
    // image again). The picture must live until the image is shown again.
    virtual void ShowInView(pixkit::Buffer* /*picture*/) {}
};

} // namespace kv
