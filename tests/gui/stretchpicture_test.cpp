// Image > Stretch / Mirror on the real main window: the bar's coupled
// fields, Preview and OK, leaving without OK, undo, and refused sizes.
#include "filtergui.h"

#include "bars/parambar.h"
#include "brushops/stretchpicture.h"
#include "paint/painttools.h"

#include <QAction>

namespace {

using namespace kvtest;
using kv::P_stretch_picture;
using pixkit::Pixel;

class StretchPictureGui : public FilterGui {};

TEST_F(StretchPictureGui, MirrorsPreviewsOnceUndoesAndCancels) {
    RunPaintingWithBars([this](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        FillPattern(form);
        const auto original = Pixels(form);
        const pixkit::Pair<int> size = Size(form);
        const int w = size.x, h = size.y;

        // The pixel fields follow the per-cent fields; -100 % width without
        // "Keep Proportions" mirrors left to right at the same size.
        form.MenuCommand("StretchMirror1")->trigger();
        ASSERT_EQ(form.ParamBar().BuiltName(), "STRETCHBAR");
        EXPECT_EQ(Field(form, P_stretch_picture::cWidth), w);
        EXPECT_EQ(Field(form, P_stretch_picture::cHeight), h);
        SetField(form, P_stretch_picture::cKeep, 0);
        SetField(form, P_stretch_picture::cWidthPercent, -100);
        EXPECT_EQ(Field(form, P_stretch_picture::cWidth), -w);
        EXPECT_EQ(Field(form, P_stretch_picture::cHeightPercent), 100);
        Press(form, P_stretch_picture::cPreview);
        ASSERT_EQ(Size(form), size);
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        for (int y = 0; y < h; y += 7)
            for (int x = 0; x < w; x += 5)
                ASSERT_EQ(*image.At(x, y), Pattern(w - 1 - x, y)) << x << "," << y;

        // OK after an unchanged Preview keeps the preview's pixels (a new
        // computation would put a new block in place) as one change.
        const Pixel* previewed = image.Data;
        Press(form, P_stretch_picture::cOk);
        EXPECT_EQ(form.Docs().CurrentImage().Data, previewed);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_NE(int(form.Docs().CurrentImage().Changed), 0);
        ExpectUndoRestores(form, original);

        // "Keep Proportions" was remembered off; on again, half the width
        // halves the height too. Per cent stay of the original image after
        // a preview. Leaving without OK restores size and pixels.
        form.MenuCommand("StretchMirror1")->trigger();
        EXPECT_EQ(Field(form, P_stretch_picture::cKeep), 0);
        SetField(form, P_stretch_picture::cKeep, 1);
        SetField(form, P_stretch_picture::cWidthPercent, 50);
        EXPECT_EQ(Field(form, P_stretch_picture::cHeight), (h + 1) / 2);
        Press(form, P_stretch_picture::cPreview);
        EXPECT_EQ(Size(form), (pixkit::Pair<int>{(w + 1) / 2, (h + 1) / 2}));
        SetField(form, P_stretch_picture::cWidth, w);
        EXPECT_EQ(Field(form, P_stretch_picture::cWidthPercent), 100);
        EXPECT_EQ(Field(form, P_stretch_picture::cHeight), h);
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        EXPECT_EQ(Size(form), size);
        EXPECT_TRUE(Pixels(form) == original);

        // A width of 0 is refused with a message; the tool stays.
        form.MenuCommand("StretchMirror1")->trigger();
        SetField(form, P_stretch_picture::cWidth, 0);
        Press(form, P_stretch_picture::cOk);
        EXPECT_EQ(shown_.size(), 1u);
        EXPECT_EQ(fw.Current, kv::StretchPictureTool());
        EXPECT_EQ(Size(form), size);
        Select(form, kv::PenContTool());
        EXPECT_TRUE(Pixels(form) == original);
    });
}

// Opening a file while a preview is shown takes the preview back first: the
// unapplied mirror never becomes an undo step, and the bar is gone.
TEST_F(StretchPictureGui, OpeningAFileEndsThePreview) {
    RunPaintingWithBars([this](kv::TMainForm& form) {
        Select(form, kv::PenContTool());
        FillPattern(form);
        const auto original = Pixels(form);
        const std::string name = (root_ / "pattern.bmp").string();
        ASSERT_FALSE(SaveAndReload(form, name).Empty());

        form.MenuCommand("StretchMirror1")->trigger();
        SetField(form, P_stretch_picture::cKeep, 0);
        SetField(form, P_stretch_picture::cWidthPercent, -100);
        Press(form, P_stretch_picture::cPreview);
        ASSERT_FALSE(Pixels(form) == original);
        form.Files().Dialogs.Open = [name](const kv::OpenRequest&) {
            return std::optional<kv::OpenChoice>(kv::OpenChoice{name, 0, 1});
        };
        form.MenuCommand("Open1")->trigger();
        EXPECT_EQ(form.ToolFw().Current, kv::PenContTool());
        EXPECT_TRUE(Pixels(form) == original);
        ExpectUndoRestores(form, original);
    });
}

} // namespace
