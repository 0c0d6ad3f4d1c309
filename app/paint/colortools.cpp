#include "paint/colortools.h"

#include "mainform.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

#include <cstdlib>

namespace kv {

using pixkit::Buffer;
using pixkit::Pixel;

namespace {

constexpr Pixel kMark = 0x01000000;

// The drawing view's pixel under the pointer; false outside the view.
bool PixelAtPointer(Pixel& out) {
    const Buffer& view = Paint()->ClipView();
    const pixkit::Pair<int> p = Tools()->ImagePos;
    if (view.Empty() || !view.Contains(p)) return false;
    out = *view.At(p.x, p.y);
    return true;
}

void ShowPixelAtPointer() {
    Pixel p;
    if (PixelAtPointer(p)) Paint()->ShowColorValue(p);
}

bool RightButton() {
    return (Tools()->MouseButtons & msRight) != 0;
}

int Distance(Pixel a, Pixel b) {
    if (((a | b) & kMark) != 0) return 1024;
    return std::abs(int(a >> 16 & 0xFF) - int(b >> 16 & 0xFF)) +
           std::abs(int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF)) +
           std::abs(int(a & 0xFF) - int(b & 0xFF));
}

} // namespace

void ChangeColorWithin(Buffer& view, Pixel p, Pixel k, int tolerance) {
    if (view.Empty()) return;
    if (tolerance <= 0) {
        view.ChColor(p, k);
        return;
    }
    for (int y = view.Area.Top; y <= view.Area.Bottom; ++y) {
        Pixel* v = view.At(view.Area.Left, y);
        for (Pixel* end = v + view.Width(); v != end; ++v)
            if (Distance(*v, p) <= tolerance) *v = k;
    }
}

// --- Get Color ---------------------------------------------------------

P_get_col::P_get_col() {
    Flags = tfOneShot;
    Clicks = 1;
    Undo = 0;
    Snap = 0;
    Cursor = crPipette;
    HelpContext = 3200;
}

void P_get_col::Activate() {
    Paint()->SetStatusKey(StatusText, "GetColor");
}

void P_get_col::Show() {
    ShowPixelAtPointer();
}

void P_get_col::Press() {
    Pixel p;
    if (!PixelAtPointer(p)) return;
    TMainForm& form = Paint()->Form();
    if (RightButton())
        form.SetBackColor(p & 0xFFFFFF);
    else
        form.SetDrawColor(p & 0xFFFFFF);
}

// --- Change Color ------------------------------------------------------

P_ch_col::P_ch_col() {
    Clicks = 1;
    Undo = 1;
    Snap = 0;
    Cursor = crPipette;
    HelpContext = 3300;
    BarName = "CHBAR";
}

void P_ch_col::Activate() {
    Painting& paint = *Paint();
    paint.SetBarValue(BarName, 0, Tolerance);
    paint.SetStatusKey(StatusText, "ChangeColor");
}

void P_ch_col::Deactivate(P_icon*) {
    Tolerance = static_cast<std::int32_t>(Paint()->BarValue(BarName, 0, Tolerance));
}

void P_ch_col::Show() {
    ShowPixelAtPointer();
}

void P_ch_col::Press() {
    Pixel p;
    if (!PixelAtPointer(p)) return;
    Painting& paint = *Paint();
    Tolerance = static_cast<std::int32_t>(paint.BarValue(BarName, 0, Tolerance));
    const Pixel k = RightButton() ? paint.BackColor() : paint.DrawColor();
    Buffer& view = paint.ClipView();
    ChangeColorWithin(view, p, k, Tolerance);
    paint.ClearOffset();
    paint.ImageModified();
    paint.Invalidate(view.Area);
}

P_icon* GetColorTool() {
    static P_get_col tool;
    return &tool;
}

P_icon* ChangeColorTool() {
    static P_ch_col tool;
    return &tool;
}

} // namespace kv
