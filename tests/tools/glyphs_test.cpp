// Every glyph the tool table names is compiled in and draws something.
#include "fixture.h"

#include "resources.h"
#include "tools/builtin.h"

#include <QImage>

#include <string>
#include <vector>

namespace {

int PaintedPixels(const QPixmap& glyph) {
    const QImage image = glyph.toImage();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 128;
    return painted;
}

class GlyphTest : public toolstest::FrameworkTest {};

TEST_F(GlyphTest, EveryToolGlyphDraws) {
    std::vector<std::string> names = {"UNDO", "CLEAR"};
    for (const kv::BuiltinIcon& icon : kv::BuiltinIcons())
        for (const kv::BuiltinVariant& v : icon.Variants) names.emplace_back(v.Glyph);
    EXPECT_EQ(names.size(), 2u + 39u); // UNDO, CLEAR and the 39 tool variants
    for (const std::string& name : names) {
        const QPixmap glyph = kv::RenderSvg(
            QString(":/glyphs/%1.svg").arg(QString::fromStdString(name).toLower()), QSize(24, 24));
        ASSERT_FALSE(glyph.isNull()) << name;
        // Enough ink to be seen, and not a filled square.
        const int painted = PaintedPixels(glyph);
        EXPECT_GT(painted, 8) << name;
        EXPECT_LT(painted, 24 * 24) << name;
    }
    EXPECT_FALSE(kv::RenderSvg(":/glyphs/empty.svg", QSize(24, 24)).isNull());
}

TEST_F(GlyphTest, ScaledScreensGetGlyphsDrawnAtTheirPixelRatio) {
    const QPixmap sharp = kv::RenderSvg(":/glyphs/pen1.svg", QSize(24, 24), 2);
    EXPECT_EQ(sharp.size(), QSize(48, 48));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(24, 24));
    // Drawn at 48 pixels, not a 24-pixel drawing blown up: some ink edge
    // falls between the pixels of a 2 x 2 block.
    const QImage img = sharp.toImage();
    bool finer = false;
    for (int y = 0; y < 48 && !finer; y += 2)
        for (int x = 0; x < 48 && !finer; x += 2)
            finer =
                img.pixel(x, y) != img.pixel(x + 1, y) || img.pixel(x, y) != img.pixel(x, y + 1);
    EXPECT_TRUE(finer);
    // The same drawing at every ratio: its ink spans the same part of the
    // glyph (a drawing scaled by the ratio twice showed only its top left).
    const auto inkBox = [](const QImage& image) {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 0) box |= QRect(x, y, 1, 1);
        return box;
    };
    for (const char* name : {"cut1", "pen1", "crc1"}) {
        const QString path = QString(":/glyphs/%1.svg").arg(name);
        const QRect one = inkBox(kv::RenderSvg(path, QSize(24, 24), 1).toImage());
        for (const qreal ratio : {1.5, 2.0}) {
            const QRect scaled = inkBox(kv::RenderSvg(path, QSize(24, 24), ratio).toImage());
            EXPECT_NEAR(scaled.left() / ratio, one.left(), 1) << name << " " << ratio;
            EXPECT_NEAR(scaled.right() / ratio, one.right(), 1) << name << " " << ratio;
            EXPECT_NEAR(scaled.bottom() / ratio, one.bottom(), 1) << name << " " << ratio;
        }
    }
}

} // namespace
