// Undo and the changed state on the real main window: strokes drawn with
// the pen through mouse events, undone and redone; the pixels and what
// closing asks are checked.
#include "harness.h"

#include "files/filecommands.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "tools/framework.h"
#include "undo.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QTest>

#include <vector>

namespace fs = std::filesystem;
using pixkit::Pair;
using pixkit::Pixel;

namespace {

class UndoHistoryGui : public kvtest::KvTest {
  protected:
    // A 64 x 48 picture written to a file and loaded into slot 1, with the
    // one-pixel pen in red current.
    void LoadPicture(kv::TMainForm& form) {
        pixkit::Buffer picture;
        picture.Alloc({64, 48});
        picture.Box(picture.Area, 0x00204060);
        const fs::path file = root_ / "loaded.bmp";
        pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
        pixkit::GFXFile::Save(picture, file.string(), &extra, nullptr);
        ASSERT_TRUE(form.Files().LoadIntoSlot(0, file.string(), 1));
        form.SetDrawColor(0xFF0000);
        form.Paintbox().Brush.MakePixelBrush(0xFF0000);
        form.ToolFw().SelectTool(kv::PenContTool(), true, -1);
        form.ShowBuf()->resize(640, 480);
    }

    // A view position over image pixel p.
    static QPoint Over(kv::TMainForm& form, Pair<int> p) {
        for (int v = 0; v < 4000; ++v) {
            const QPoint q(int(p.x * form.ZoomFactor()) + v % 4,
                           int(p.y * form.ZoomFactor()) + v / 4);
            if (form.ViewToImage(q) == p) return q;
        }
        ADD_FAILURE() << "image pixel " << p.x << "," << p.y << " is not on the view";
        return {};
    }

    // A freehand stroke from a to b, held past the drag delay.
    static void Stroke(kv::TMainForm& form, Pair<int> a, Pair<int> b) {
        kv::TBuffer* view = form.ShowBuf();
        QTest::mouseMove(view, Over(form, a));
        QTest::mousePress(view, Qt::LeftButton, {}, Over(form, a));
        QTest::qWait(kv::ToolFramework::kDragDelayMs + 50);
        QTest::mouseMove(view, Over(form, b));
        QTest::mouseRelease(view, Qt::LeftButton, {}, Over(form, b));
        form.ToolFw().HideFeedback();
    }

    static std::vector<Pixel> Pixels(kv::TMainForm& form) {
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        std::vector<Pixel> v;
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x) v.push_back(*image.At(x, y));
        return v;
    }

    bool Shown(const std::string& text) const {
        for (const kvtest::Shown& s : shown_)
            if (s.Text.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(UndoHistoryGui, UndoToTheLoadedStateIsUnchangedAndRedoIsChanged) {
    Run({}, [this](kv::TMainForm& form) {
        LoadPicture(form);
        kv::UDBuffer& image = form.Docs().CurrentImage();
        const auto loaded = Pixels(form);
        Stroke(form, {5, 5}, {40, 20});
        const auto stroked = Pixels(form);
        ASSERT_NE(stroked, loaded);
        EXPECT_NE(image.Changed, 0);

        form.UndoLastAction();
        EXPECT_EQ(Pixels(form), loaded);
        EXPECT_EQ(image.Changed, 0) << "back at the file's pixels";
        form.UndoLastAction();
        EXPECT_EQ(Pixels(form), stroked);
        EXPECT_NE(image.Changed, 0) << "the stroke is back and not saved";

        // Closing asks; Cancel keeps the program and the stroke.
        answers_ = {kv::MsgResult::Cancel};
        EXPECT_FALSE(form.close());
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(Shown("Changed"));
        EXPECT_EQ(Pixels(form), stroked);

        // Two strokes and one undo: the first one is still unsaved.
        Stroke(form, {10, 30}, {50, 30});
        form.UndoLastAction();
        EXPECT_EQ(Pixels(form), stroked);
        EXPECT_NE(image.Changed, 0);
        image.Changed = 0; // no question when the harness closes
    });
}

TEST_F(UndoHistoryGui, FailedSnapshotSaysNoMemAndLeavesTheImage) {
    Run({}, [this](kv::TMainForm& form) {
        LoadPicture(form);
        const auto loaded = Pixels(form);
        form.Undo().FailNextSnapshot();
        Stroke(form, {5, 5}, {40, 20});
        EXPECT_TRUE(Shown("NoMem"));
        EXPECT_EQ(Pixels(form), loaded) << "the action did not run";
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
        // The next action has its snapshot again and can be undone.
        Stroke(form, {5, 5}, {40, 20});
        EXPECT_NE(Pixels(form), loaded);
        form.UndoLastAction();
        EXPECT_EQ(Pixels(form), loaded);
    });
}

} // namespace
