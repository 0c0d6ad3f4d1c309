#include "brushops/rotatepicture.h"

#include "brushops/rotate.h"
#include "paint/brush.h"
#include "paint/painting.h"

namespace kv {

namespace {
constexpr double kRadiansPerDegree = 0.017453292519943295;
} // namespace

P_rotate_picture::P_rotate_picture() {
    BarName = "ROTATEBAR";
    HelpContext = 1305;
}

void P_rotate_picture::BindControls() {
    if (BarControlsNew()) BindPreviewOk(cPreview, cOk);
    SetBar(cKeepSize, KeepSize ? 1 : 0);
    SetBar(cAngle, Angle);
}

void P_rotate_picture::KeepControls() {
    KeepSize = Bar(cKeepSize, KeepSize ? 1 : 0) != 0;
    Angle = Bar(cAngle, Angle);
}

bool P_rotate_picture::IsCurrent() const {
    return Bar(cAngle) == double(lastAngle_) && (Bar(cKeepSize) != 0 ? 1 : 0) == lastKeepSize_;
}

void P_rotate_picture::Remember() {
    lastAngle_ = static_cast<float>(Bar(cAngle));
    lastKeepSize_ = Bar(cKeepSize) != 0 ? 1 : 0;
}

// The turned image is complete before it replaces the old one: the back
// colour first, then every source pixel turned over it.
bool P_rotate_picture::Compute() {
    pixkit::Buffer& source = Source();
    const double a = Bar(cAngle) * kRadiansPerDegree;
    const pixkit::Pair<int> from{source.Width(), source.Height()};
    const pixkit::Pair<int> size = Bar(cKeepSize) != 0 ? from : RotatedSize(from, a);
    pixkit::Buffer result;
    if (!AllocResult(result, size)) return false;
    result.Box(result.Area, Paint()->BackColor());
    XFormCentred(result, source, RotationMatrix(a), TurnPoint(from, size, a), kCopyAll,
                 Paint()->AntiAlias() ? 1 : 0);
    ShowResult(result);
    return true;
}

P_icon* RotatePictureTool() {
    static P_rotate_picture tool;
    return &tool;
}

} // namespace kv
