// Undo and the changed state on the real main window: strokes drawn with
// the pen through mouse events, undone and redone; the pixels and what
// closing asks are checked.
#include "harness.h"

#include "files/filecommands.h"
#include "history.h"
#include "paint/painting.h"
#include "paint/painttools.h"
#include "prefs/prefsdialog.h"
#include "tools/framework.h"
#include "undo.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QCheckBox>
#include <QTest>

#include <algorithm>
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

    // Ctrl+Z and Ctrl+Shift+Z; the pen's preview is taken away afterwards.
    static void Undo(kv::TMainForm& form) {
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        form.ToolFw().HideFeedback();
    }
    static void Redo(kv::TMainForm& form) {
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        form.ToolFw().HideFeedback();
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

        Undo(form);
        EXPECT_EQ(Pixels(form), loaded);
        EXPECT_EQ(image.Changed, 0) << "back at the file's pixels";
        Redo(form);
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
        Undo(form);
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
        Undo(form);
        EXPECT_EQ(Pixels(form), loaded);
    });
}

TEST_F(UndoHistoryGui, TenStrokesUndoAndRedoExactlyAndANewStrokeDropsRedo) {
    Run({}, [this](kv::TMainForm& form) {
        LoadPicture(form);
        std::vector<std::vector<Pixel>> states{Pixels(form)};
        for (int i = 0; i < 10; ++i) {
            Stroke(form, {2 + i * 5, 3 + i}, {60 - i * 3, 44 - i * 4});
            states.push_back(Pixels(form));
        }
        for (int i = 9; i >= 0; --i) {
            Undo(form);
            EXPECT_TRUE(Pixels(form) == states[std::size_t(i)]) << "undo to state " << i;
        }
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
        for (int i = 1; i <= 10; ++i) {
            Redo(form);
            EXPECT_TRUE(Pixels(form) == states[std::size_t(i)]) << "redo to state " << i;
        }
        Undo(form);
        Undo(form);
        Stroke(form, {1, 1}, {1, 40});
        const auto branched = Pixels(form);
        Redo(form);
        EXPECT_EQ(Pixels(form), branched) << "nothing to redo after a new stroke";
        Undo(form);
        EXPECT_EQ(Pixels(form), states[8]);
        form.Docs().CurrentImage().Changed = 0;
    });
}

TEST_F(UndoHistoryGui, TwoHundredClicksOnALargeImageStayWithinTheBudget) {
    Run({}, [](kv::TMainForm& form) {
        ASSERT_TRUE(form.Docs().AllocBlack(0, 4000, 3000));
        form.RefreshView();
        form.TakeSnapshot();
        form.History().SetLimits({std::size_t(1) << 20, 1000});
        form.Paintbox().Brush.MakePixelBrush(0xFF0000);
        form.ToolFw().SelectTool(kv::PenContTool(), true, -1);
        form.ShowBuf()->resize(400, 300);
        kv::TBuffer* view = form.ShowBuf();
        std::size_t most = 0;
        for (int i = 0; i < 200; ++i) {
            const QPoint at(5 + (i * 37) % 380, 5 + (i * 53) % 280);
            QTest::mouseMove(view, at);
            QTest::mouseClick(view, Qt::LeftButton, {}, at);
            most = std::max(most, form.History().Bytes());
        }
        QTest::mouseMove(view, {1, 1});
        form.TakeSnapshot();
        EXPECT_LE(std::max(most, form.History().Bytes()), std::size_t(1) << 20);
        const int steps = form.History().StepCount(0);
        EXPECT_GT(steps, 40) << "a click's step holds a tile, not the image";
        EXPECT_LT(steps, 200) << "the oldest steps made room";
        form.Docs().CurrentImage().Changed = 0;
    });
}

TEST_F(UndoHistoryGui, ClassicModeCtrlZAlternatesBetweenUndoAndRedo) {
    Run({}, [this](kv::TMainForm& form) {
        auto dialog = form.CreatePreferencesDialog();
        dialog->ClassicUndoBox()->setChecked(true);
        form.ApplyPreferences(*dialog, true);
        ASSERT_TRUE(form.Prefs().ClassicUndo);
        LoadPicture(form);
        const auto loaded = Pixels(form);
        Stroke(form, {5, 5}, {40, 20});
        Stroke(form, {5, 40}, {40, 40});
        const auto two = Pixels(form);
        Undo(form);
        const auto one = Pixels(form);
        EXPECT_NE(one, two);
        EXPECT_NE(one, loaded);
        Undo(form);
        EXPECT_EQ(Pixels(form), two) << "the second Ctrl+Z redoes";
        Undo(form);
        EXPECT_EQ(Pixels(form), one);
        form.Docs().CurrentImage().Changed = 0;
    });
}

} // namespace
