// The program's own cursors and bitmaps, drawn from the SVGs in resources/.
// Tools name their cursor by number, as the cursor list registers them.
#pragma once

#include <QCursor>
#include <QPixmap>

namespace kv {

enum CursorId : int {
    crCross = -49,
    crCrossOk = -48,
    crFill = -47,
    crRotate = -46,
    crSpray = -45,
    crAirbrush = -44,
    crWand = -43,
    crPipette = -42,
};

// Registers the eight cursors and the folder glyphs "FOLDER" and "PARENTF";
// false when one of them could not be drawn.
bool LoadResources();

// A registered cursor; the arrow for an unknown number.
QCursor CursorById(int id);
// A registered glyph; an empty pixmap for an unknown name.
QPixmap Glyph(const char* name);

// Draws an SVG resource (":/glyphs/pen1.svg") at the given size in
// device-independent pixels, with `ratio` device pixels to each (0: the
// application's ratio), so glyphs stay sharp on scaled screens; an empty
// pixmap when it cannot be read.
QPixmap RenderSvg(const QString& path, QSize size, qreal ratio = 0);

} // namespace kv
