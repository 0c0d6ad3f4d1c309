// P_component_brush: painting with a component. Each brush position marks
// the source pixels under the opaque pixels of the painting brush and runs
// the component on the brush's box with "masked" set; only those pixels
// come back into the image.
#include "effects/component.h"

#include "effects/compform.h"
#include "effects/effecthost.h"
#include "kvc.h"
#include "paint/brush.h"
#include "paint/painting.h"
#include "tools/framework.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {
constexpr std::uint32_t kMark = 0x01000000;
} // namespace

P_component_brush::P_component_brush(EffectHost& host, ScanResult& comps)
    : P_component(host, comps) {
    Flags = 0;
    Undo = 1; // each stroke can be undone
    Snap = 1;
    Clicks = 2;
    Cursor = crCross;
}

void P_component_brush::Activate() {
    ToolFramework& tools = *Tools();
    if (host_.Snapshot().Empty() && !host_.TakeSnapshot()) {
        tools.SelectTool(tools.ToolByName("Continuous Freehand"), true, -1);
        return;
    }
    // The icon's chosen variant names the component.
    chosen_ = -1;
    const int icon = tools.IconOf(this);
    if (icon >= 0) {
        const int variant = tools.IconTable()[static_cast<std::size_t>(icon)].Current;
        for (std::size_t i = 0; i < comps_.Components.size(); ++i)
            if (comps_.Components[i].IconTool == variant) chosen_ = static_cast<int>(i);
    }
    if (!Open(Mode::Brush)) {
        if (failed_) return ReportFailure();
        return host_.ReturnToPreviousTool();
    }
    form_->adjustSize();
    form_->show();
    host_.SetStatus(ComponentText(Rec().Desc.Name));
    Settle();
}

void P_component_brush::Deactivate(P_icon* /*next*/) {
    // The painted strokes stay.
    Close();
}

void P_component_brush::Dab(pixkit::Pair<int> p) {
    if (!active_ || failed_) return;
    Painting& paint = *Paint();
    const pixkit::Buffer& brush = paint.Brush.Painting;
    if (brush.Empty()) return;
    const pixkit::Pair<int> corner = paint.Brush.StampCorner(p);
    const pixkit::Rect view = host_.DrawingRect();
    const pixkit::Rect box{
        std::max({corner.x, 0, view.Left}), std::max({corner.y, 0, view.Top}),
        std::min(corner.x + brush.Width() - 1, std::min(view.Right, src_.Width - 1)),
        std::min(corner.y + brush.Height() - 1, std::min(view.Bottom, src_.Height - 1))};
    if (box.Left > box.Right || box.Top > box.Bottom) return;
    UDBuffer& image = host_.Image();
    std::uint32_t* src = ShmAt(src_);
    std::uint32_t* dst = ShmAt(dst_);
    const int w = src_.Width;
    for (int y = box.Top; y <= box.Bottom; ++y) {
        const pixkit::Pixel* b =
            brush.At(brush.Area.Left + box.Left - corner.x, brush.Area.Top + y - corner.y);
        std::uint32_t* s = src + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = box.Left; x <= box.Right; ++x, ++b)
            s[x] = (*b != kBrushTransparent) ? (s[x] | kMark) : (s[x] & ~kMark);
        std::memcpy(dst + static_cast<std::ptrdiff_t>(y) * w + box.Left, image.At(box.Left, y),
                    static_cast<std::size_t>(box.Right - box.Left + 1) * 4);
    }
    const bool ok = Process(BlockFor(box, 1, 0), KvcRunner::Wait::Limited);
    // Only the marked pixels take the result; the marks go again.
    for (int y = box.Top; y <= box.Bottom; ++y) {
        std::uint32_t* s = src + static_cast<std::ptrdiff_t>(y) * w;
        const std::uint32_t* d = dst + static_cast<std::ptrdiff_t>(y) * w;
        pixkit::Pixel* to = image.At(box.Left, y);
        for (int x = box.Left; x <= box.Right; ++x, ++to) {
            if (ok && (s[x] & kMark) != 0) *to = d[x] & 0x00FFFFFF;
            s[x] &= ~kMark;
        }
    }
    host_.InvalidateImage(box);
}

// A stroke reads the image as it was when the stroke began.
void P_component_brush::Press() {
    ToolFramework& tools = *Tools();
    const pixkit::Pair<int> p = tools.ImagePos;
    if (tools.State == csIdle) {
        if (!active_) return;
        const pixkit::Buffer& snap = host_.Snapshot();
        if (snap.Width() == src_.Width && snap.Height() == src_.Height)
            for (int y = 0; y < src_.Height; ++y)
                std::memcpy(ShmAt(src_) + static_cast<std::ptrdiff_t>(y) * src_.Width,
                            snap.At(snap.Area.Left, snap.Area.Top + y),
                            static_cast<std::size_t>(src_.Width) * 4);
        Paint()->PrepareBrush((tools.MouseButtons & msRight) != 0);
        px_ = p.x, py_ = p.y;
        Dab(p);
        Settle();
        return;
    }
    Dab(p);
    EndStroke();
    Settle();
}

void P_component_brush::Show() {
    ToolFramework& tools = *Tools();
    const pixkit::Pair<int> p = tools.ImagePos;
    if (tools.State == csDragging && (p.x != px_ || p.y != py_)) {
        px_ = p.x, py_ = p.y;
        Dab(p);
        Settle();
    } else if (tools.State == csClicked) {
        Paint()->ImageModified();
        tools.State = csIdle;
    }
}

void P_component_brush::EndStroke() {
    Paint()->ImageModified();
    Tools()->State = csDone;
}

} // namespace kv
