#include "brushops/stretchpicture.h"

#include "keys.h"
#include "lang.h"
#include "message.h"
#include "paint/brush.h"
#include "paint/painting.h"

#include <cmath>
#include <cstdlib>

namespace kv {

P_stretch_picture::P_stretch_picture() {
    BarName = "STRETCHBAR";
    HelpContext = 1300;
}

void P_stretch_picture::BindControls() {
    if (BarControlsNew()) {
        Painting& paint = *Paint();
        paint.BindBarControl(BarName, cWidth, [this] { StretchXChange(); });
        paint.BindBarControl(BarName, cHeight, [this] { StretchYChange(); });
        paint.BindBarControl(BarName, cWidthPercent, [this] { StretchPercXChange(); });
        paint.BindBarControl(BarName, cHeightPercent, [this] { StretchPercYChange(); });
        paint.BindBarControl(BarName, cKeep, [this] { StretchPercXChange(); });
        BindPreviewOk(cPreview, cOk);
    }
    SetBar(cKeep, KeepProportions ? 1 : 0);
    // The pixel fields follow the per-cent fields of this image.
    StretchPercXChange();
    StretchPercYChange();
}

void P_stretch_picture::KeepControls() {
    KeepProportions = Bar(cKeep, KeepProportions ? 1 : 0) != 0;
}

void P_stretch_picture::SetField(int index, double value) {
    if ((busy_ & (1u << index)) == 0) SetBar(index, value);
}

template <typename F> void P_stretch_picture::Guarded(int index, F body) {
    const unsigned bit = 1u << index;
    if ((busy_ & bit) != 0) return;
    busy_ |= bit;
    body();
    busy_ &= ~bit;
}

// Per cent are of the image as it was when the tool started, which a
// preview does not change.
void P_stretch_picture::StretchXChange() {
    Guarded(cWidth, [this] { SetField(cWidthPercent, Bar(cWidth) * 100 / Source().Width()); });
}

void P_stretch_picture::StretchYChange() {
    Guarded(cHeight, [this] { SetField(cHeightPercent, Bar(cHeight) * 100 / Source().Height()); });
}

void P_stretch_picture::StretchPercXChange() {
    Guarded(cWidthPercent, [this] {
        const double percent = Bar(cWidthPercent);
        SetField(cWidth, std::round(percent * Source().Width() / 100));
        if (Bar(cKeep) != 0) SetField(cHeightPercent, percent);
    });
}

void P_stretch_picture::StretchPercYChange() {
    Guarded(cHeightPercent, [this] {
        const double percent = Bar(cHeightPercent);
        SetField(cHeight, std::round(percent * Source().Height() / 100));
        if (Bar(cKeep) != 0) SetField(cWidthPercent, percent);
    });
}

bool P_stretch_picture::IsCurrent() const {
    return Bar(cWidth) == lastWidth_ && Bar(cHeight) == lastHeight_ &&
           (Paint()->AntiAlias() ? 1 : 0) == lastAntiAlias_;
}

void P_stretch_picture::Remember() {
    lastWidth_ = static_cast<std::int32_t>(Bar(cWidth));
    lastHeight_ = static_cast<std::int32_t>(Bar(cHeight));
    lastAntiAlias_ = Paint()->AntiAlias() ? 1 : 0;
}

// The new image is complete before it replaces the old one; every source
// pixel is drawn, so nothing of the new block stays uninitialised.
bool P_stretch_picture::Compute() {
    const pixkit::Pair<int> size{static_cast<int>(Bar(cWidth)), static_cast<int>(Bar(cHeight))};
    if (size.x == 0 || size.y == 0) {
        MessageBoxKey(key::StretchZero, key::Err, kExclamation);
        return false;
    }
    pixkit::Buffer result;
    if (!AllocResult(result, {std::abs(size.x), std::abs(size.y)})) return false;
    result.Scale(Source(), size, {0, 0}, kCopyAll, Paint()->AntiAlias() ? 1 : 0);
    ShowResult(result);
    return true;
}

P_icon* StretchPictureTool() {
    static P_stretch_picture tool;
    return &tool;
}

} // namespace kv
