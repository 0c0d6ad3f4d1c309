#include "brushops/filter.h"

#include "bars/parambar.h"
#include "documents.h"
#include "keys.h"
#include "lang.h"
#include "mainform.h"
#include "message.h"
#include "paint/painting.h"
#include "tools/framework.h"

#include <QApplication>

namespace kv {

P_filter::P_filter() {
    // One-shot, so that OK returns to the tool in use before.
    Flags = tfOneShot;
    // The tool takes its own snapshot; a click in the image must not
    // replace it with the previewed image.
    Undo = 0;
    Snap = 0;
    Clicks = 2;
}

void P_filter::Activate() {
    applied_ = 0;
    stale_ = true;
    active_ = false;
    ToolFramework& tools = *Tools();
    if (tools.TakeSnapshot) tools.TakeSnapshot();
    if ((tools.SnapshotFailed && tools.SnapshotFailed()) || Source().Empty()) {
        tools.ReturnToPreviousTool(false);
        return;
    }
    active_ = true;
    BindControls();
}

void P_filter::Deactivate(P_icon*) {
    if (!active_) return;
    active_ = false;
    if (applied_ == 0) Paint()->CancelAction();
    KeepControls();
}

void P_filter::Press() {
    Tools()->State = csIdle;
}

bool P_filter::Run() {
    if (!stale_ && IsCurrent()) return true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = Compute();
    QApplication::restoreOverrideCursor();
    if (!done) return false;
    Remember();
    stale_ = false;
    return true;
}

void P_filter::FilterPreviewBtnClick() {
    if (active_) Run();
}

void P_filter::FilterOkBtnClick() {
    if (!active_ || !Run()) return;
    Paint()->ImageModified();
    applied_ = 1;
    Tools()->ReturnToPreviousTool(true);
}

pixkit::Buffer& P_filter::Source() {
    // The snapshot is only read: the pixel operations take their source
    // by non-const reference.
    return const_cast<pixkit::Buffer&>(Paint()->Snapshot());
}

void P_filter::ShowResult(pixkit::Buffer& result) {
    Painting& paint = *Paint();
    paint.Image() = result;
    paint.ImageReplaced();
}

bool P_filter::AllocResult(pixkit::Buffer& result, pixkit::Pair<int> size) {
    if (std::int64_t(size.x) * size.y <= kMaxImagePixels) result.Alloc(size);
    if (!result.Empty()) return true;
    MessageBoxKey(key::ImgBig, key::Err, kExclamation);
    return false;
}

bool P_filter::BarControlsNew() {
    QWidget* first = Paint()->Form().ParamBar().Control(0);
    if (first == nullptr || first == boundBar_) return false;
    boundBar_ = first;
    return true;
}

void P_filter::BindPreviewOk(int previewIndex, int okIndex) {
    Painting& paint = *Paint();
    paint.BindBarControl(BarName, previewIndex, [this] { FilterPreviewBtnClick(); });
    paint.BindBarControl(BarName, okIndex, [this] { FilterOkBtnClick(); });
}

double P_filter::Bar(int index, double fallback) const {
    return Paint()->BarValue(BarName, index, fallback);
}

void P_filter::SetBar(int index, double value) {
    Paint()->SetBarValue(BarName, index, value);
}

} // namespace kv
