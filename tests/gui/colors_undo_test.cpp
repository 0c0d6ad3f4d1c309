// Colours, the palette bar, the colour dialog and undo in the real main
// window.
#include "harness.h"

#include "colors/colorsel.h"
#include "colors/palettebar.h"
#include "colors/swatch.h"
#include "keys.h"
#include "preferences.h"
#include "tools/framework.h"
#include "undo.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <fstream>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

using ColorsGui = KvTest;

// Counts the context-menu events its watched widgets receive.
struct ContextMenuWatch : QObject {
    int Seen = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::ContextMenu) ++Seen;
        return e->type() == QEvent::ContextMenu;
    }
};
using UndoGui = KvTest;

TEST_F(ColorsGui, DefaultsAndModifierClicks) {
    Run({}, [](kv::TMainForm& form) {
        kv::TPaletteBar* bar = form.Palette();
        EXPECT_EQ(form.DrawColor(), 0xFFFFFFu);
        EXPECT_EQ(form.BackColor(), 0x000000u);
        EXPECT_EQ(bar->Layout().Count, 8) << "empty store: 8 entries";
        int notified = 0;
        QObject::connect(&form, &kv::TMainForm::ColorsChanged, [&] { ++notified; });

        // A plain right click makes the entry's colour the background colour.
        kv::TColorSwatch* red = bar->Entry(6);
        ASSERT_EQ(red->Color(), 0xFF0000u);
        QTest::mouseClick(red, Qt::RightButton);
        EXPECT_EQ(form.BackColor(), 0xFF0000u);
        EXPECT_EQ(notified, 1);
        // The swatch keeps the context-menu event that follows a right click:
        // passed on, it would open the tool bar menu.
        ContextMenuWatch watch;
        for (QWidget* w = red->parentWidget(); w != nullptr; w = w->parentWidget())
            w->installEventFilter(&watch);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2),
                               red->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(red, &menu);
        EXPECT_EQ(watch.Seen, 0) << "the context menu reached the swatch's parents";

        // Ctrl+left click stores the drawing colour into the entry.
        kv::TColorSwatch* entry = bar->Entry(2);
        QTest::mouseClick(entry, Qt::LeftButton, Qt::ControlModifier);
        EXPECT_EQ(entry->Color(), 0xFFFFFFu);
        EXPECT_EQ(entry->toolTip(), "(255,255,255)");
        EXPECT_EQ(form.DrawColor(), 0xFFFFFFu);
        EXPECT_EQ(notified, 1) << "storing does not change a colour";
        // Shift with the right button stores the background colour.
        QTest::mouseClick(bar->Entry(0), Qt::RightButton, Qt::ShiftModifier);
        EXPECT_EQ(bar->Entry(0)->Color(), 0xFF0000u);
        // The middle button does nothing.
        QTest::mouseClick(bar->Entry(4), Qt::MiddleButton);
        EXPECT_EQ(form.DrawColor(), 0xFFFFFFu);
        EXPECT_EQ(form.BackColor(), 0xFF0000u);
        QTest::mouseClick(bar->Entry(4), Qt::LeftButton);
        EXPECT_EQ(form.DrawColor(), 0x00FF00u);
        EXPECT_EQ(notified, 2);
    });
}

TEST_F(ColorsGui, StoredPaletteIndexSizesTheBarAndFilesReshapeIt) {
    {
        kv::SettingsStore store(settingsPath_);
        kv::Preferences p;
        p.Palette = 3;
        ASSERT_TRUE(kv::WritePreferences(store, p));
    }
    const fs::path pal = root_ / "ten.pal";
    Run({}, [&](kv::TMainForm& form) {
        kv::TPaletteBar* bar = form.Palette();
        EXPECT_EQ(bar->Layout().Count, 24);
        EXPECT_EQ(bar->Entry(5)->geometry(), QRect(14, 18, 14, 18)) << "4 columns of 14 x 18";
        ASSERT_TRUE(bar->SavePaletteFile(pal.string()));
        std::ofstream(pal) << "10\nFF0000\n";
        ASSERT_TRUE(bar->LoadPaletteFile(pal.string()));
        EXPECT_EQ(bar->Layout().Count, 12);
        EXPECT_EQ(bar->Entry(0)->Color(), 0xFF0000u);
        EXPECT_EQ(bar->Entry(1)->Color(), 0x00FFFFu);
        EXPECT_EQ(bar->Entry(3)->geometry(), QRect(28, 18, 28, 18)) << "2 columns of 28 x 18";
        EXPECT_TRUE(shown_.empty());
        EXPECT_FALSE(bar->LoadPaletteFile((root_ / "none.pal").string()));
        EXPECT_FALSE(bar->SavePaletteFile((root_ / "no" / "x.pal").string()));
        EXPECT_EQ(bar->Layout().Count, 12) << "a failed file leaves the palette";
    });
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[0].Text, "ErrOpenPal");
    EXPECT_EQ(shown_[1].Text, "ErrSavePal");
    EXPECT_EQ(shown_[1].Caption, "Err");
}

TEST_F(ColorsGui, DialogEditsLiveAndCancelRestores) {
    Run({}, [](kv::TMainForm& form) {
        form.SetDrawColor(0x204060);
        form.ShowColorDialog(false);
        kv::TColorSel* dlg = form.ColorDialog();
        ASSERT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->windowTitle(), "SelDrawCol");
        EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(dlg->Slider(0)->value(), 255 - 0x20);
        EXPECT_EQ(dlg->Edit(2)->text(), "96");
        EXPECT_EQ(dlg->HueBar()->value(), 210);

        int notified = 0;
        QObject::connect(&form, &kv::TMainForm::ColorsChanged, [&] { ++notified; });
        dlg->Slider(0)->setValue(0); // red to full
        EXPECT_EQ(form.DrawColor(), 0xFF4060u) << "applied live";
        EXPECT_EQ(dlg->Edit(0)->text(), "255");
        EXPECT_GE(notified, 1);

        // Typing: only one whole number from 0 to 255 moves a slider.
        for (const char* bad : {"12x", "256", "-1", "", "7 8"}) {
            dlg->Edit(1)->setText(bad);
            dlg->ColEditExit(1);
            EXPECT_EQ(form.DrawColor(), 0xFF4060u) << bad;
        }
        dlg->Edit(1)->setText("16");
        dlg->ColEditExit(1);
        EXPECT_EQ(form.DrawColor(), 0xFF1060u);

        // The field's far corner gives full saturation and value.
        dlg->SVChange({127, 127});
        EXPECT_EQ(dlg->Current().S, 255);
        EXPECT_EQ(dlg->Current().V, 255);
        EXPECT_EQ(form.DrawColor(), kv::HsvToRgb(dlg->Current().H, 255, 255));
        dlg->HueBar()->setValue(120);
        EXPECT_EQ(form.DrawColor(), 0x00FF00u);

        const int before = notified;
        dlg->reject();
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(form.DrawColor(), 0x204060u) << "Cancel restores the colour before the dialog";
        EXPECT_EQ(notified, before + 1);

        form.ShowColorDialog(true);
        EXPECT_EQ(dlg->windowTitle(), "SelBackCol");
        dlg->Slider(2)->setValue(0);
        dlg->accept();
        EXPECT_EQ(form.BackColor(), 0x0000FFu) << "Ok keeps the edited colour";
        EXPECT_EQ(form.DrawColor(), 0x204060u);
    });
}

TEST_F(ColorsGui, PressOnASwatchOpensTheDialogForIt) {
    Run({}, [](kv::TMainForm& form) {
        QTest::mouseClick(form.Palette()->BackCol(), Qt::LeftButton);
        EXPECT_TRUE(form.ColorDialog()->isVisible());
        EXPECT_EQ(form.ColorDialog()->Target(), form.Palette()->BackCol());
        form.ColorDialog()->reject();

        // A swatch deleted under the open dialog (a bar rebuilt) closes it.
        auto* passing = new kv::TColorSwatch(&form);
        form.ColorDialog()->Open(passing, "x", nullptr, [] {});
        delete passing;
        EXPECT_FALSE(form.ColorDialog()->isVisible());
        EXPECT_EQ(form.ColorDialog()->Target(), nullptr);
        form.ColorDialog()->Slider(0)->setValue(3); // writes to no swatch
    });
}

void Scribble(kv::UDBuffer& img) {
    img.Line({0, 0}, {30, 20}, 0x00FFFFFF);
    ++img.Changed;
}

TEST_F(UndoGui, UndoRedoAndSwitchingImages) {
    Run({}, [](kv::TMainForm& form) {
        kv::Documents& docs = form.Docs();
        form.UndoLastAction(); // empty snapshot right after start: nothing
        EXPECT_EQ(*docs.CurrentImage().At(0, 0), 0u);
        EXPECT_EQ(docs.CurrentImage().Changed, 0);

        form.TakeSnapshot();
        Scribble(docs.CurrentImage());
        form.UndoLastAction();
        EXPECT_EQ(*docs.CurrentImage().At(0, 0), 0u) << "undo removes the line";
        EXPECT_EQ(docs.CurrentImage().Changed, 0);
        form.UndoLastAction();
        EXPECT_EQ(*docs.CurrentImage().At(0, 0), 0u) << "nothing older to undo";
        form.RedoLastAction();
        EXPECT_EQ(*docs.CurrentImage().At(0, 0), 0xFFFFFFu) << "redo brings the line back";

        // Switch to image 2 and draw there, back to image 1 and undo: each
        // image has its own history.
        Q_EMIT form.ImageLeaving();
        docs.Current = 1;
        Q_EMIT form.ImageEntered();
        form.TakeSnapshot();
        Scribble(docs.CurrentImage());
        Q_EMIT form.ImageLeaving();
        docs.Current = 0;
        Q_EMIT form.ImageEntered();
        form.UndoLastAction();
        EXPECT_EQ(*docs.Slots[0].At(0, 0), 0u) << "image 1's own line is undone";
        EXPECT_EQ(*docs.Slots[0].At(30, 20), 0u);
        EXPECT_EQ(*docs.Slots[1].At(0, 0), 0xFFFFFFu) << "image 2 keeps its line";

        // A marking preview cancelled to the snapshot leaves no mark.
        form.TakeSnapshot();
        docs.CurrentImage().Box({5, 5, 9, 9}, 0x03123456);
        EXPECT_EQ(form.CancelToSnapshot(), 0);
        EXPECT_EQ(*docs.CurrentImage().At(6, 6), 0u);
        EXPECT_FALSE(docs.CurrentImage().CheckMask(0x03000000));
    });
}

TEST_F(UndoGui, CtrlZRunsTheUndoIconAndTheToolStays) {
    Run({}, [](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        kv::P_icon* undo = fw.ToolByName("Undo Last Action");
        ASSERT_NE(undo, nullptr);
        EXPECT_TRUE(undo->Immediate());
        kv::P_icon* before = fw.Current;
        kv::Documents& docs = form.Docs();
        form.TakeSnapshot();
        Scribble(docs.CurrentImage());
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(*docs.CurrentImage().At(0, 0), 0u) << "undone";
        EXPECT_EQ(fw.Current, before);
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(*docs.CurrentImage().At(0, 0), 0xFFFFFFu) << "redone";
        EXPECT_EQ(fw.Current, before);

        // "Redo" sits between "Undo Last Action" and "Clear Image".
        const kv::ToolRecord& next = fw.ToolTable()[std::size_t(fw.ToolIndex(undo) + 1)];
        EXPECT_EQ(next.Name, "Redo");
        kv::P_icon* redo = next.Tool;
        EXPECT_TRUE(redo->Immediate());
        EXPECT_EQ(fw.IconOf(redo), fw.IconOf(undo) + 1);
        EXPECT_EQ(fw.IconOf(fw.ToolByName("Clear Image")), fw.IconOf(undo) + 2);
    });
}

} // namespace
