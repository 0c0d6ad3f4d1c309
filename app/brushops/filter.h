// The base of the image-wide operations that a parameter bar drives (Image >
// Stretch / Mirror, Image > Rotate). Becoming current takes the undo
// snapshot, which stays the unchanged source of every preview; Preview
// computes the result of the bar's values from it into the image; OK keeps
// the result as one change of the image (one undo step) and returns to the
// previous tool; leaving the tool any other way (another tool, Esc, an image
// switch, closing) puts the image back as it was.
//
// A new picture filter derives from P_filter:
//  - its constructor sets BarName and HelpContext;
//  - BindControls() fills the bar from what it remembered, binds the change
//    handlers of its own controls (BarControlsNew() says whether the bar was
//    built anew, so nothing is bound twice) and calls BindPreviewOk() with
//    the indices of the Preview and OK buttons;
//  - Compute() builds the result from Source() for the bar's present values
//    and hands it over with ShowResult(); it refuses values it cannot apply
//    with a message and returns false, the image left as it is;
//  - IsCurrent() is true when the image already shows the bar's present
//    values, Remember() records them after a successful Compute();
//  - KeepControls() stores what the next activation starts from.
// The base keeps the stale flag (nothing computed since activation), so an
// unchanged Preview followed by OK computes once.
#pragma once

#include "tools/icon.h"

#include <pixkit/buffer.h>

#include <QPointer>
#include <QWidget>

#include <cstdint>

namespace kv {

class P_filter : public P_icon {
  public:
    P_filter();
    void Activate() override;
    void Deactivate(P_icon* next) override;
    // Clicks in the image change nothing.
    void Press() override;

    // The bar's Preview and OK buttons.
    void FilterPreviewBtnClick();
    void FilterOkBtnClick();

    // True once OK applied the result in this activation.
    bool Applied() const { return applied_ != 0; }

  protected:
    virtual void BindControls() {}
    virtual bool Compute() = 0;
    virtual bool IsCurrent() const = 0;
    virtual void Remember() = 0;
    virtual void KeepControls() {}

    // The image as it was when the tool became current.
    static pixkit::Buffer& Source();
    // result (taken over) becomes the image's pixels; the view follows.
    static void ShowResult(pixkit::Buffer& result);
    // Allocates result at size, or says why not ("ImgBig": too many pixels
    // or no memory) and returns false. Sizes below 1 are the caller's to
    // refuse.
    static bool AllocResult(pixkit::Buffer& result, pixkit::Pair<int> size);

    // True the first time it is asked after the bar was built: its
    // controls need their handlers (the tool is activated again on an
    // image switch while the bar stays).
    bool BarControlsNew();
    void BindPreviewOk(int previewIndex, int okIndex);

    // Bar values while the bar is this tool's.
    double Bar(int index, double fallback = 0) const;
    void SetBar(int index, double value);

  private:
    // Computes unless the image shows the present values; false when the
    // values were refused.
    bool Run();

    std::uint8_t applied_ = 0;
    bool stale_ = true;
    bool active_ = false; // the snapshot belongs to this activation
    QPointer<QWidget> boundBar_;
};

} // namespace kv
