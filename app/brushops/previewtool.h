// The frame of the interactive brush tools that show their result live in
// the image: before the first click the brush follows the pointer as with
// a pen; after it the tool's preview is drawn over the saved image pixels
// and taken away again before every move and action.
#pragma once

#include "brushops/savedarea.h"
#include "tools/icon.h"

namespace kv {

class BrushPreviewTool : public P_icon {
  public:
    void Show() override;
    void Hide() override;

  protected:
    // Saves what it covers into Saved, then draws the preview for the
    // pointer's position.
    virtual void Preview() = 0;

    SavedArea Saved;
};

} // namespace kv
