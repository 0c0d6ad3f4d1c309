// The painting fixture: the real main window with a black image, red
// drawing and green background colours, the one-pixel brush and the Color
// technique, and helpers that click, drag and read the image's pixels.
#pragma once

#include "harness.h"

#include "files/filecommands.h"
#include "files/filenames.h"
#include "mainform.h"
#include "paint/painting.h"
#include "paint/stamper.h"
#include "tools/framework.h"
#include "view/maxsize.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QTest>

#include <filesystem>
#include <optional>
#include <string>

#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace kvtest {

inline constexpr pixkit::Pixel kGround = 0x00000000, kDraw = 0x00FF0000, kBack = 0x0000FF00;
inline constexpr int kHold = kv::ToolFramework::kDragDelayMs + 120;

using Points = std::set<std::pair<int, int>>;

// A view position whose image position is p, at any zoom.
inline QPoint ViewOf(kv::TMainForm& form, pixkit::Pair<int> p) {
    const double f = form.ZoomFactor();
    const QPoint guess(int(p.x * f + f / 2), int(p.y * f + f / 2));
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QPoint v = guess + QPoint(dx, dy);
            if (form.ViewToImage(v) == p) return v;
        }
    ADD_FAILURE() << "no view position for " << p.x << "," << p.y;
    return guess;
}

class PaintGui : public KvTest {
  protected:
    // Runs check on a black image with red drawing and green background
    // colours, the one-pixel brush and the Color technique.
    void RunPainting(std::function<void(kv::TMainForm&)> check) {
        Run({}, [&](kv::TMainForm& form) {
            kv::UDBuffer& image = form.Docs().CurrentImage();
            image.Box(image.Area, kGround);
            form.SetDrawColor(kDraw);
            form.SetBackColor(kBack);
            kv::Painting& paint = form.Paintbox();
            paint.Brush.Settings = kv::BrushSettings{};
            paint.Brush.MakePixelBrush(kDraw);
            form.ToolFw().CurrentTechnique = kv::tqColor;
            form.ShowBuf()->resize(800, 600);
            check(form);
        });
    }
    // The same with the English language file, which parameter bars need.
    void RunPaintingWithBars(std::function<void(kv::TMainForm&)> check) {
        InstallLanguage("English");
        RunPainting(std::move(check));
    }
    static void Select(kv::TMainForm& form, kv::P_icon* tool) {
        form.ToolFw().SelectTool(tool, true, -1);
    }
    // A click released within the drag delay, or held past it.
    static void Click(kv::TMainForm& form, pixkit::Pair<int> p, Qt::MouseButton b = Qt::LeftButton,
                      bool hold = false) {
        const QPoint v = ViewOf(form, p);
        QTest::mouseMove(form.ShowBuf(), v);
        QTest::mousePress(form.ShowBuf(), b, {}, v);
        if (hold) QTest::qWait(kHold);
        QTest::mouseRelease(form.ShowBuf(), b, {}, v);
    }
    // Saves the current image through File > Save as a BMP file named name
    // (a path) and loads it back.
    static pixkit::Buffer SaveAndReload(kv::TMainForm& form, const std::string& name) {
        const int bmp =
            kv::FilterIndexFromName(kv::BuildFilter(kv::FilterKind::Save, "All").Text, name);
        form.Files().Dialogs.Save = [name, bmp](const kv::SaveRequest&) {
            return std::optional<kv::SaveChoice>(kv::SaveChoice{name, bmp});
        };
        form.MenuCommand("Save1")->trigger();
        pixkit::Buffer saved;
        if (std::filesystem::exists(name)) pixkit::GFXFile::Load(saved, name, nullptr);
        return saved;
    }
    // Clipping on and zoomed in, so that the drawing view is a part of the
    // image away from its corner.
    static void ClipToPart(kv::TMainForm& form) {
        form.ToggleClipping();
        form.MaxSize()->SetPosition(3);
        form.ApplyZoom();
        form.MaxSize()->ScrollTo(90, 60);
        const pixkit::Rect v = form.DrawingView().Area;
        ASSERT_GT(v.Left, 0);
        ASSERT_LT(v.Right, form.Docs().CurrentImage().Area.Right);
    }
    static void Move(kv::TMainForm& form, pixkit::Pair<int> p) {
        QTest::mouseMove(form.ShowBuf(), ViewOf(form, p));
    }
    // Takes the feedback (previews, rubber bands) away before pixels are
    // compared.
    static Points Painted(kv::TMainForm& form) {
        form.ToolFw().HideFeedback();
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        Points s;
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x)
                if (*image.At(x, y) != kGround) s.insert({x, y});
        return s;
    }
    static Points Box(int x1, int y1, int x2, int y2) {
        Points s;
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x) s.insert({x, y});
        return s;
    }
    static Points WalkOf(pixkit::Pair<int> a, pixkit::Pair<int> b, double spacing = 1) {
        Points s;
        kv::WalkSpaced(a, b, kv::ToFixed(spacing), kv::kOnePixel, [&](pixkit::Pair<int> p) {
            s.insert({p.x, p.y});
        });
        return s;
    }
    static std::vector<pixkit::Pixel> Pixels(kv::TMainForm& form) {
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        std::vector<pixkit::Pixel> v;
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x) v.push_back(*image.At(x, y));
        return v;
    }
    // Undo gives back the image as it was before the action.
    static void ExpectUndoRestores(kv::TMainForm& form, const std::vector<pixkit::Pixel>& before) {
        form.ToolFw().HideFeedback();
        form.UndoLastAction();
        EXPECT_TRUE(Pixels(form) == before) << "undo did not restore the image";
    }
};

} // namespace kvtest
