#include "paint/texttool.h"

#include "documents.h"
#include "keys.h"
#include "lang.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

namespace kv {

using pixkit::Rect;

namespace {

// Bar controls.
enum TextBar : int {
    tbFont = 0,
    tbSize = 1,
    tbBold = 2, // 2 to 6: the style bits in order
    tbShadowColor = 7,
    tbDistance = 8,
    tbWidth = 9,
    tbHeight = 10,
};

// Not control characters (C0, DEL, C1), and not halves of surrogate pairs,
// which are no characters of their own.
bool Printable(char32_t c) {
    return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && !(c >= 0xD800 && c < 0xE000) &&
           c <= 0x10FFFF;
}

// Clipboard text as block text: CR LF, CR and LF are line breaks, a tab is a
// space, other control characters go; at most kMaxPaste characters.
std::u32string PastedText(const std::u32string& raw) {
    std::u32string out;
    for (std::size_t i = 0; i < raw.size() && out.size() < TextBlock::kMaxPaste; ++i) {
        const char32_t c = raw[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < raw.size() && raw[i + 1] == U'\n') ++i;
            out += TextBlock::kBreak;
        } else if (c == U'\t') {
            out += U' ';
        } else if (Printable(c)) {
            out += c;
        }
    }
    return out;
}

void Invalidate(Rect r) {
    if (r.Left <= r.Right && r.Top <= r.Bottom) Paint()->Invalidate(r);
}

} // namespace

P_text::P_text() {
    Clicks = 1;
    Undo = 0; // the snapshot is taken at the click that starts a block
    HelpContext = 3100;
    BarName = "TEXTBAR";
}

void P_text::Guarded(const std::function<void()>& work) {
    try {
        work();
    } catch (const pixkit::Exception& e) {
        Erase();
        inProgress_ = false;
        ShowMessage(e.what(), Translate(key::Err), kExclamation);
    }
}

// --- Bar ---------------------------------------------------------------

void P_text::WriteBar() {
    Painting& paint = *Paint();
    paint.SetBarFont(BarName, tbFont, {Fields.Family, Fields.Raster});
    paint.SetBarValue(BarName, tbSize, Fields.Size);
    for (int bit = 0; bit < 5; ++bit)
        paint.SetBarValue(BarName, tbBold + bit, (StyleBits >> bit) & 1);
    paint.SetBarValue(BarName, tbShadowColor, Fields.ShadowColor);
    paint.SetBarValue(BarName, tbDistance, Fields.Distance);
    paint.SetBarValue(BarName, tbWidth, Fields.WidthPct);
    paint.SetBarValue(BarName, tbHeight, Fields.HeightPct);
}

void P_text::ReadBar() {
    const Painting& paint = *Paint();
    // Nothing chosen keeps the family in use.
    const FontChoice font = paint.BarFont(BarName, tbFont);
    if (!font.Family.empty()) {
        Fields.Family = font.Family;
        Fields.Raster = font.Raster;
    }
    const auto value = [&](int index, double fallback) {
        return paint.BarValue(BarName, index, fallback);
    };
    Fields.Size = int(value(tbSize, Fields.Size));
    std::int32_t bits = 0;
    for (int bit = 0; bit < 5; ++bit)
        bits |= (value(tbBold + bit, (StyleBits >> bit) & 1) != 0) << bit;
    StyleBits = bits;
    Fields.Bold = StyleBits & 1;
    Fields.Italic = StyleBits & 2;
    Fields.Underline = StyleBits & 4;
    Fields.Shadow = StyleBits & 8;
    Fields.Outline = StyleBits & 16;
    Fields.ShadowColor = pixkit::Pixel(value(tbShadowColor, Fields.ShadowColor)) & 0xFFFFFF;
    Fields.Distance = int(value(tbDistance, Fields.Distance));
    Fields.WidthPct = value(tbWidth, Fields.WidthPct);
    Fields.HeightPct = value(tbHeight, Fields.HeightPct);
    Fields.AntiAlias = paint.AntiAlias();
    Fields.Draw = paint.DrawColor();
    Fields.Back = paint.BackColor();
}

// Any bar control but the swatch: the block takes the new font and styles;
// a style whose rendering would pass the pixel limit is refused.
void P_text::FontChanged() {
    if (Tools()->Current != this || changingFont_) return;
    changingFont_ = true;
    const TextStyle before = block_.Style();
    Guarded([&] {
        ReadBar();
        EnableStyles();
        Erase();
        block_.SetStyle(Fields);
        if (inProgress_ && !block_.Fits(block_.Text(), kMaxImagePixels)) {
            MessageBoxKey(key::NoMem, key::Err, kExclamation);
            Fields = before;
            block_.SetStyle(before);
            WriteBar();
            EnableStyles();
        }
        if (inProgress_) Redraw();
    });
    changingFont_ = false;
}

void P_text::StyleChanged() {
    FontChanged();
}

// Raster fonts have no bold, italic or underlined faces.
void P_text::EnableStyles() {
    for (int i = tbBold; i < tbBold + 3; ++i) Paint()->EnableBarControl(BarName, i, !Fields.Raster);
}

// The bar shows the fields, and its changes reach the tool.
void P_text::SetUpBar() {
    Painting& paint = *Paint();
    WriteBar();
    for (int i : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10})
        paint.BindBarControl(BarName, i, [this] { FontChanged(); });
    paint.BindBarColorDialog(BarName, tbShadowColor, "SelShadCol");
    FontChanged();
}

void P_text::Activate() {
    Paint()->SetStatusKey(StatusText, "TextIP");
    inProgress_ = false;
    hidden_ = false;
    block_.Clear();
    SetUpBar();
}

void P_text::BarRebuilt() {
    SetUpBar();
}

void P_text::Deactivate(P_icon*) {
    Paint()->CloseBarColorDialog(BarName, tbShadowColor);
    Erase();
    inProgress_ = false;
    block_.Clear();
    ReadBar();
}

// --- The block ---------------------------------------------------------

void P_text::Erase() {
    Invalidate(block_.Erase(Paint()->Image()));
}

void P_text::Redraw() {
    if (!inProgress_ || hidden_) return;
    Painting& paint = *Paint();
    Invalidate(block_.Draw(paint.Image(), paint.ClipView(), true));
}

void P_text::HideText() {
    Erase();
    hidden_ = true;
}

void P_text::ShowText() {
    hidden_ = false;
    Guarded([this] { Redraw(); });
}

// A click starts a block there, or moves the one in progress.
void P_text::Press() {
    Guarded([this] {
        if (inProgress_)
            Erase();
        else if (Tools()->TakeSnapshot)
            Tools()->TakeSnapshot();
        inProgress_ = true;
        block_.Place(Tools()->ImagePos);
        Redraw();
    });
}

bool P_text::Apply(const std::u32string& text) {
    if (!block_.Fits(text, kMaxImagePixels)) {
        MessageBoxKey(key::NoMem, key::Err, kExclamation);
        return false;
    }
    Erase();
    block_.Edit(text);
    Redraw();
    return true;
}

// Enter: the lines stay in the image without the caret, and an empty block
// starts one line lower.
void P_text::Commit() {
    Painting& paint = *Paint();
    Erase();
    Invalidate(block_.Draw(paint.Image(), paint.ClipView(), false));
    block_.Keep();
    paint.ImageModified();
    block_.NextLine();
    Redraw();
}

void P_text::TypeCharacters(const std::u32string& typed) {
    Apply(block_.Text() + typed);
}

// One whole character goes; over a line break the caret returns to the end
// of the line above.
void P_text::Backspace() {
    std::u32string text = block_.Text();
    if (text.empty()) return;
    text.pop_back();
    Apply(text);
}

void P_text::Paste() {
    const std::u32string pasted = PastedText(QGuiApplication::clipboard()->text().toStdU32String());
    Apply(block_.Text() + pasted);
}

void P_text::CopyText() {
    QGuiApplication::clipboard()->setText(QString::fromStdU32String(block_.Text()));
}

bool P_text::TextKeyDown(QKeyEvent& key) {
    if (!inProgress_) return false;
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    bool used = true;
    Guarded([&] {
        switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (mods == Qt::NoModifier)
                Commit();
            else if (mods == Qt::ShiftModifier)
                Apply(block_.Text() + TextBlock::kBreak);
            else
                used = false;
            return;
        case Qt::Key_Backspace:
            Backspace();
            return;
        case Qt::Key_Insert:
            if (mods == Qt::ShiftModifier)
                Paste();
            else if (mods == Qt::ControlModifier)
                CopyText();
            else
                used = false;
            return;
        case Qt::Key_Delete:
            if (mods == Qt::ShiftModifier) CopyText();
            if (mods == Qt::ShiftModifier || mods == Qt::ControlModifier)
                Apply({});
            else
                used = false;
            return;
        case Qt::Key_Escape:
            Tools()->ReturnToPreviousTool(true);
            return;
        default:
            break;
        }
        // Ctrl or Alt combinations type nothing; both together are AltGr on
        // some systems.
        const bool ctrl = mods & Qt::ControlModifier, alt = mods & Qt::AltModifier;
        std::u32string typed;
        if (ctrl == alt)
            for (char32_t c : key.text().toStdU32String())
                if (Printable(c)) typed += c;
        if (typed.empty())
            used = false;
        else
            TypeCharacters(typed);
    });
    return used;
}

P_icon* TextTool() {
    static P_text tool;
    return &tool;
}

} // namespace kv
