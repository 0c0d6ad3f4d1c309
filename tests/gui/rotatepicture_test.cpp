// Image > Rotate on the real main window: keeping the size or growing to
// the turned image, Preview and OK, leaving without OK, undo, and a result
// too big to hold.
#include "filtergui.h"

#include "bars/parambar.h"
#include "brushops/rotatepicture.h"
#include "paint/painttools.h"

#include <QAction>

namespace {

using namespace kvtest;
using kv::P_rotate_picture;
using pixkit::Pair;
using pixkit::Pixel;

class RotatePictureGui : public FilterGui {
  protected:
    static Pixel At(kv::TMainForm& form, int x, int y) {
        return *form.Docs().CurrentImage().At(x, y);
    }
};

TEST_F(RotatePictureGui, TurnsKeepsOrGrowsTheCanvasUndoesAndCancels) {
    RunPaintingWithBars([this](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        Select(form, kv::PenContTool());
        FillPattern(form);
        const auto original = Pixels(form);
        const Pair<int> size = Size(form);
        const int w = size.x, h = size.y;
        ASSERT_GT(w, h);

        // A quarter turn without "Keep Size": the canvas is h x w and every
        // pixel (x, y) is at (y, w - 1 - x), none lost.
        form.MenuCommand("Rotate1")->trigger();
        ASSERT_EQ(form.ParamBar().BuiltName(), "ROTATEBAR");
        SetField(form, P_rotate_picture::cKeepSize, 0);
        SetField(form, P_rotate_picture::cAngle, 90);
        Press(form, P_rotate_picture::cPreview);
        ASSERT_EQ(Size(form), (Pair<int>{h, w}));
        for (int y = 0; y < h; y += 3)
            for (int x = 0; x < w; x += 5)
                ASSERT_EQ(At(form, y, w - 1 - x), Pattern(x, y)) << x << "," << y;

        // OK after an unchanged Preview keeps the previewed block, as one
        // change that Undo takes back, size included.
        const Pixel* previewed = form.Docs().CurrentImage().Data;
        Press(form, P_rotate_picture::cOk);
        EXPECT_EQ(form.Docs().CurrentImage().Data, previewed);
        EXPECT_EQ(fw.Current, kv::PenContTool());
        ExpectUndoRestores(form, original);
        EXPECT_EQ(Size(form), size);

        // The angle and "Keep Size" are remembered; with "Keep Size" the
        // canvas stays, the centre stays and the corners the turned image
        // leaves are the back colour. Leaving without OK puts it all back.
        form.MenuCommand("Rotate1")->trigger();
        EXPECT_EQ(Field(form, P_rotate_picture::cAngle), 90);
        SetField(form, P_rotate_picture::cKeepSize, 1);
        SetField(form, P_rotate_picture::cAngle, 30);
        Press(form, P_rotate_picture::cPreview);
        ASSERT_EQ(Size(form), size);
        EXPECT_EQ(At(form, 0, 0), kBack);
        EXPECT_EQ(At(form, w - 1, h - 1), kBack);
        EXPECT_EQ(At(form, w / 2, h / 2), Pattern(w / 2, h / 2));
        Select(form, kv::PenContTool());
        EXPECT_TRUE(Pixels(form) == original);

        // A result with more pixels than an image may have is refused with
        // a message; the image and the tool stay.
        kv::UDBuffer& image = form.Docs().CurrentImage();
        image.Alloc(Pair<int>{200000, 2});
        image.Box(image.Area, kGround);
        form.Paintbox().ImageReplaced();
        form.MenuCommand("Rotate1")->trigger();
        SetField(form, P_rotate_picture::cKeepSize, 0);
        SetField(form, P_rotate_picture::cAngle, 45);
        Press(form, P_rotate_picture::cOk);
        EXPECT_EQ(shown_.size(), 1u);
        EXPECT_EQ(fw.Current, kv::RotatePictureTool());
        EXPECT_EQ(Size(form), (Pair<int>{200000, 2}));
        Select(form, kv::PenContTool());
    });
}

} // namespace
