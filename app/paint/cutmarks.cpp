#include "paint/cutmarks.h"

#include "keys.h"
#include "lang.h"
#include "message.h"
#include "paint/cut.h"
#include "paint/cuttools.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

#include <algorithm>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

namespace {

// The wand's tolerance before the user sets one.
constexpr int kWandTolerance = 128;

void CutToolDefaults(P_icon& tool) {
    tool.Flags = tfOneShot;
    tool.HelpContext = 3000;
    tool.Undo = 1;
}

// The cut starts: what the brush was is kept for Restore.
void StartCut(std::string& statusText, const char* key) {
    Paint()->Brush.SaveForRestore();
    Paint()->SetStatusKey(statusText, key);
}

// After a freehand or polygon cut "Dotted Freehand" is the tool.
void ReturnToDottedPen() {
    Tools()->Previous = PenDiscTool();
    Tools()->PreviousVariant = -1;
}

// The image as it was before the marks, when the snapshot holds it.
const Buffer* ImageBefore() {
    const Buffer& snapshot = Paint()->Snapshot();
    const Buffer& image = Paint()->Image();
    if (snapshot.Empty() || snapshot.Area != image.Area) return nullptr;
    return &snapshot;
}

} // namespace

void CutMarkedArea(Buffer& view, Rect marked) {
    Painting& paint = *Paint();
    const Pixel back = paint.BackColor();
    const Buffer* before = ImageBefore();
    const bool right = (Tools()->MouseButtons & msRight) != 0;
    MarkedCut cut;
    // With the left button the image comes back as it was on the same pass:
    // only the box of the marks has changed.
    const CutOutcome outcome = MakeBrushFromMarks(view, marked, before, back, cut,
                                                  right ? AfterCut::KeepMarks : AfterCut::Restore);
    if (outcome == CutOutcome::Taken && right) {
        paint.Invalidate(FillMarkedSolid(view, back, false, cut.Bounds));
        paint.ImageModified();
    } else if (outcome == CutOutcome::Taken) {
        paint.Invalidate(cut.Bounds);
    } else {
        RestoreArea(view, before, marked);
        if (!marked.Empty()) paint.Invalidate(marked);
    }
    if (outcome == CutOutcome::TooBig) MessageBoxKey(key::BrTooBig, key::Err, kExclamation);
    if (outcome != CutOutcome::Taken) return;
    UseCutBrush(cut.Brush, {cut.Bounds.Left, cut.Bounds.Top}, cut.Background, true);
}

// --- Cut Freehand ---------------------------------------------------------

P_cut_draw::P_cut_draw() {
    CutToolDefaults(*this);
}

void P_cut_draw::Activate() {
    StartCut(StatusText, "CutDraw");
}

void P_cut_draw::Press() {
    if (!Open()) ReturnToDottedPen();
    P_fill_draw::Press();
}

void P_cut_draw::Finish(Buffer& view, Pixel, Rect marked) {
    CutMarkedArea(view, marked);
}

// --- Cut Polygon ----------------------------------------------------------

P_cut_poly::P_cut_poly() {
    CutToolDefaults(*this);
}

void P_cut_poly::Activate() {
    P_fill_poly::Activate();
    StartCut(StatusText, "CutPoly");
}

void P_cut_poly::Press() {
    if (!CanCloseAt(Tools()->ImagePos)) ReturnToDottedPen();
    P_fill_poly::Press();
}

void P_cut_poly::Finish(Buffer& view, Pixel, Rect marked) {
    CutMarkedArea(view, marked);
}

// --- Cut with Magic Wand --------------------------------------------------

P_cut_wand::P_cut_wand() {
    CutToolDefaults(*this);
    Cursor = crWand;
    BarName = "WANDBAR";
    Tolerance = kWandTolerance;
}

void P_cut_wand::Activate() {
    P_fill::Activate();
    StartCut(StatusText, "CutWand");
}

void P_cut_wand::ReadSettings() {
    // The bar's limits come from a language file: the tolerance is held
    // to what a colour distance can be.
    Tolerance =
        std::clamp(static_cast<int>(Paint()->BarValue(BarName, 0, Tolerance)), 0, kMaxTolerance);
}

void P_cut_wand::Finish(Buffer& view, Pixel, Rect marked) {
    CutMarkedArea(view, marked);
}

P_icon* CutDrawTool() {
    static P_cut_draw tool;
    return &tool;
}

P_icon* CutPolyTool() {
    static P_cut_poly tool;
    return &tool;
}

P_icon* CutWandTool() {
    static P_cut_wand tool;
    return &tool;
}

} // namespace kv
