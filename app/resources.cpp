#include "resources.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <map>
#include <string>

// The resources are compiled into the kvcore library, which needs its
// initialiser called once, outside any namespace.
static void InitKvResources() {
    Q_INIT_RESOURCE(kv);
}

namespace kv {

namespace {

struct CursorResource {
    int Id;
    const char* File;
    int HotX, HotY;
};

constexpr CursorResource kCursors[] = {
    {crCross, "cross", 16, 16},   {crCrossOk, "crossok", 16, 16}, {crFill, "fill", 5, 25},
    {crRotate, "rotate", 16, 16}, {crSpray, "spray", 3, 3},       {crAirbrush, "airbrush", 2, 2},
    {crWand, "wand", 4, 4},       {crPipette, "pipette", 2, 30},
};

std::map<int, QCursor>& Cursors() {
    static std::map<int, QCursor> cursors;
    return cursors;
}

std::map<std::string, QPixmap>& Glyphs() {
    static std::map<std::string, QPixmap> glyphs;
    return glyphs;
}

// Pixmaps must go before the application object does.
void ClearResources() {
    Cursors().clear();
    Glyphs().clear();
}

} // namespace

bool LoadResources() {
    InitKvResources();
    qAddPostRoutine(ClearResources);
    bool ok = true;
    // Cursors are drawn at the screen's pixel ratio; their hot spots stay in
    // logical pixels, which is what the cursor takes for such a pixmap.
    for (const CursorResource& c : kCursors) {
        const QPixmap image = RenderSvg(QString(":/cursors/%1.svg").arg(c.File), QSize(32, 32));
        ok = ok && !image.isNull();
        Cursors()[c.Id] = QCursor(image, c.HotX, c.HotY);
    }
    for (const char* name : {"FOLDER", "PARENTF"}) {
        const QPixmap image =
            RenderSvg(QString(":/glyphs/%1.svg").arg(QString(name).toLower()), QSize(32, 28));
        ok = ok && !image.isNull();
        Glyphs()[name] = image;
    }
    return ok;
}

QPixmap RenderSvg(const QString& path, QSize size, qreal ratio) {
    QSvgRenderer svg(path);
    if (!svg.isValid()) return {};
    if (ratio <= 0) ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    // Bounds in the pixmap's logical pixels: without them the drawing takes
    // the device size, which the painter then scales by the ratio again
    // (a 1.5 screen showed two thirds of every glyph).
    svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QCursor CursorById(int id) {
    const auto it = Cursors().find(id);
    return it != Cursors().end() ? it->second : QCursor(Qt::ArrowCursor);
}

QPixmap Glyph(const char* name) {
    const auto it = Glyphs().find(name);
    return it != Glyphs().end() ? it->second : QPixmap();
}

} // namespace kv
