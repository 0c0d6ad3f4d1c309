#include "brushops/previewtool.h"

#include "paint/painting.h"
#include "tools/framework.h"

namespace kv {

void BrushPreviewTool::Show() {
    if (Tools()->State == csIdle)
        Paint()->Stamp.StampAt(Tools()->ImagePos);
    else
        Preview();
}

void BrushPreviewTool::Hide() {
    Painting& paint = *Paint();
    paint.Stamp.RestoreUnder();
    Saved.PutBack(paint);
}

} // namespace kv
